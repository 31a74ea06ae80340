#include "tools/batch_run.hpp"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include "check/schedule_check.hpp"
#include "formats/batch_json.hpp"
#include "formats/instance_file.hpp"
#include "formats/makespan_table.hpp"
#include "formats/psplib.hpp"
#include "formats/run_plot.hpp"
#include "formats/svg_plot.hpp"
#include "model/cash_flows.hpp"
#include "model/critical_path.hpp"
#include "platform/platform.hpp"
#include "search/open_bound.hpp"
#include "tools/batch_jobs.hpp"
#include "tools/output_file.hpp"
#include "window_search/initial_schedule.hpp"

namespace rcpspdc {

namespace {

constexpr std::int64_t BUSY_EVALUATIONS = 10000;  // searches above this count in the busy median

// Records how the search ended.
struct EndSink : ResultSink {
  std::optional<SearchEnd> end;  // empty until the search reports
  void report_result(SearchEnd e) override { end = e; }
  void report_solution() override { end = SearchEnd::complete; }
};

// Copies the recorded cash flows into `data`; returns what is wrong, or "".
std::string cash_flows_from(const InfoRecords& records, int number, InstanceData& data) {
  const auto found = records.find(number);
  if (found == records.end()) return "no cash flows for this instance in the info.out file";
  const InfoRecord& record = found->second;
  if (record.deadline != data.deadline)
    return "cash flows recorded for deadline " + std::to_string(record.deadline) +
           ", the files give " + std::to_string(data.deadline);
  if (!take_cash_flows(record, data))
    return "cash flows recorded for " + std::to_string(record.cash_flow.size()) +
           " activities, the instance has " + std::to_string(data.activity_count - 2);
  return {};
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// A rate as written on a command line: 0.01, not 0.010000.
std::string compact(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the calling thread, to tell a slow search from a busy machine.
double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// What either engine leaves behind for the row.
struct EngineOutcome {
  std::optional<SearchEnd> end;   // how the search ended; empty if it never said
  bool has_incumbent = false;     // a feasible schedule was found
  double npv = 0.0;               // its value
  std::vector<int> finish;        // its finish times
  double bound = 0.0;             // the largest value still possible (see BatchRow)
  double seconds_to_best = -1.0;  // when the incumbent was found (-1: not recorded)
};

// The console's search over delaying alternatives.
EngineOutcome run_delaying(const BatchOptions& options, const InstanceData& data, Solver& solver,
                           BatchRow& row) {
  load_model(data, solver.model);
  EndSink sink;
  SearchSettings& settings = solver.search.settings;
  settings.interest_rate = options.interest_rate;
  // The console reads the clock against a whole number of seconds; a double
  // compares the same for those, and infinity never stops the search.
  settings.time_limit =
      options.time_limit > 0.0 ? options.time_limit : std::numeric_limits<double>::infinity();
  settings.single_instance = false;
  settings.clock_ms = &clock_ms;
  settings.sink = &sink;
  settings.start_clock = clock_ms();
  solve_instance(solver);
  settings.sink = nullptr;
  const SearchState& s = solver.search;
  row.created_nodes = s.created_nodes;
  row.branched_nodes = s.branched_nodes;
  // The search keeps no time of its incumbent, and gains no clock reading for one.
  return {sink.end,
          s.has_incumbent,
          s.best_npv,
          std::vector<int>(s.best_finish, s.best_finish + data.activity_count),
          sink.end == SearchEnd::time_limit ? open_bound(s) : s.best_npv,
          -1.0};
}

// The search over start-time windows, after its first-schedule heuristic.
EngineOutcome run_start_times(const BatchOptions& options, const InstanceData& data,
                              WindowSearch& w, BatchRow& row) {
  EndSink sink;
  WindowSettings settings;
  settings.interest_rate = options.interest_rate;
  settings.time_limit = options.time_limit;
  settings.clock_ms = &clock_ms;
  settings.sink = &sink;
  settings.start_clock = clock_ms();
  solve_start_times(w, data, settings, HeuristicSettings{}.schedule_budget);
  row.created_nodes = w.created_nodes;
  row.branched_nodes = w.branched_nodes;
  return {sink.end,      w.has_incumbent,
          w.best_npv,    std::vector<int>(w.best_finish, w.best_finish + data.activity_count),
          open_bound(w), w.has_incumbent ? w.seconds_to_best : -1.0};
}

}  // namespace

namespace {

std::string negative_deadline(long long deadline) {
  return "deadline " + std::to_string(deadline) + " is below zero";
}

// An instance file named on the command line, PSPLIB or the own form by
// content, with its deadline; returns "" or what is wrong.
std::string read_named_instance(const BatchOptions& options, const Makespans* makespans,
                                const std::string& path, InstanceData& data, BatchRow& row) {
  const std::string problem = read_any_instance_file(path, data);
  if (!problem.empty()) return problem;
  const auto found =
      makespans != nullptr ? makespans->find(file_stem(path)) : Makespans::const_iterator();
  const bool known = makespans != nullptr && found != makespans->end();
  row.deadline_from = known ? "makespans" : "critical path";
  const long long deadline =
      static_cast<long long>(known ? found->second : critical_path_length(data)) +
      options.deadline_offset;
  if (deadline > MAX_DEADLINE)
    return "deadline above " + std::to_string(MAX_DEADLINE) + " periods";
  if (deadline < 0) return negative_deadline(deadline);
  data.deadline = static_cast<int>(deadline);
  return {};
}

// The seed of one instance's draw: the run's seed mixed with the instance's
// number, or with the file's name for instance files (so a file keeps its
// flows in any list), and with --unmixed-seed the run's seed alone.
std::uint32_t draw_seed(const BatchOptions& options, int number, const std::string& file) {
  if (options.unmixed_seed) return options.seed;
  if (options.files.empty()) return instance_seed(options.seed, number);
  std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a over the name's bytes
  for (const char c : file_stem(file)) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ull;
  }
  return instance_seed(hash ^ options.seed, 0);
}

}  // namespace

std::string file_stem(const std::string& path) {
  return std::filesystem::path(path).stem().string();
}

std::string instance_path(const BatchOptions& options, int number) {
  if (!options.files.empty()) return options.files[static_cast<std::size_t>(number - 1)];
  return (std::filesystem::path(options.dir) / (options.problem + std::to_string(number) + ".rcp"))
      .string();
}

RunSettings run_settings(const BatchOptions& o) {
  RunSettings s;
  s.engine = o.engine == Engine::delaying ? "delaying" : "start-times";
  s.offset = o.deadline_offset;
  s.rate = o.interest_rate;
  const bool drawn = o.cash_flows.empty();
  s.negative = drawn ? o.negative_percent : -1;
  s.seed = drawn ? static_cast<long long>(o.seed) : -1;
  s.unmixed_seed = drawn && o.unmixed_seed;
  s.cash_flows = o.cash_flows;
  s.makespans = o.makespans;
  s.time_limit = o.time_limit;
  return s;
}

double relative_gap(const BatchRow& row) {
  return (row.bound - row.npv) / std::max(std::fabs(row.npv), 1.0);
}

BatchRow solve_one(const BatchOptions& options, const InfoRecords* records, int number,
                   Workspace& workspace, const Makespans* makespans) {
  BatchRow row;
  row.number = number;
  const bool named = !options.files.empty();
  row.file = instance_path(options, number);
  InstanceData data;
  const ReadOutcome outcome =
      named ? ReadOutcome{}
            : read_instance_files(options.problem, number, options.deadline_offset, data,
                                  options.dir);
  if (named) {
    row.status = read_named_instance(options, makespans, row.file, data, row);
    if (!row.status.empty()) return row;
  } else if (!outcome.ok()) {
    // The console keeps its words for a deadline above the limit; a row says why.
    row.status = outcome.kind == READ_NO_DEADLINE && outcome.above_limit
                     ? "deadline above " + std::to_string(MAX_DEADLINE) + " periods"
                     : read_error_text(outcome);
    return row;
  } else if (data.deadline < 0) {
    row.status = negative_deadline(data.deadline);
    return row;
  }
  row.activities = data.activity_count;
  row.resources = data.resource_count;
  row.deadline = data.deadline;
  if (records != nullptr) {
    row.status = cash_flows_from(*records, number, data);
    if (!row.status.empty()) return row;
  } else {
    // Seeded anew per instance, as the console mixes its run's seed.
    std::mt19937 generator(draw_seed(options, number, row.file));
    draw_cash_flows(data, generator, options.negative_percent);
  }
  row.cash_flow = data.cash_flow;

  const double cpu_start = thread_cpu_seconds();
  const auto wall_start = std::chrono::steady_clock::now();
  const EngineOutcome run = options.engine == Engine::delaying
                                ? run_delaying(options, data, workspace.solver, row)
                                : run_start_times(options, data, workspace.windows, row);
  // Rounded once, so the CSV and the JSON give one time, and the best
  // schedule is never found after the search ended.
  row.seconds = rounded_seconds(seconds_since(wall_start));
  row.cpu_seconds = thread_cpu_seconds() - cpu_start;
  if (!run.end) {
    row.status = "the search reported no result";
    return row;
  }
  if (run.has_incumbent) {
    const std::string problem =
        check_reported_schedule(data, run.finish, run.npv, options.interest_rate);
    if (!problem.empty()) {
      row.status = "schedule check failed: " + problem;
      return row;
    }
    row.has_value = true;
    row.npv = run.npv;
    row.finish = run.finish;
    row.seconds_to_best = run.seconds_to_best < 0.0
                              ? -1.0
                              : std::min(rounded_seconds(run.seconds_to_best), row.seconds);
  }
  row.has_bound = std::isfinite(run.bound);
  row.bound = row.has_bound ? run.bound : 0.0;
  row.kind = run.end == SearchEnd::time_limit ? RowStatus::time_limit
             : run.has_incumbent              ? RowStatus::optimal
                                              : RowStatus::infeasible;
  row.status = row.kind == RowStatus::time_limit ? "time limit"
               : run.has_incumbent               ? "optimal"
                                                 : "infeasible";
  if (row.has_value && !options.svg_dir.empty()) {
    const std::string name =
        named ? file_stem(row.file) : options.problem + std::to_string(number);
    const std::string problem = write_schedule_svg(
        (std::filesystem::path(options.svg_dir) / (name + ".svg")).string(), data, run.finish,
        name + ": deadline " + std::to_string(data.deadline) + ", rate " +
            compact(options.interest_rate) + ", " + row.status + ", net present value " +
            fixed_decimals(row.npv, 2),
        options.svg_arcs);
    if (!problem.empty()) {
      row.kind = RowStatus::error;
      row.status = problem;
    }
  }
  return row;
}

BatchSummary summarize(const std::vector<BatchRow>& rows) {
  BatchSummary sum;
  std::vector<double> seconds;
  std::vector<double> busy_rates;
  std::vector<double> busy_cpu_rates;
  for (const BatchRow& row : rows) {
    ++sum.instances;
    switch (row.kind) {
      case RowStatus::optimal: ++sum.optimal; break;
      case RowStatus::infeasible: ++sum.infeasible; break;
      case RowStatus::time_limit:
        ++sum.stopped;
        if (row.has_value && row.has_bound) {
          const double gap = relative_gap(row);
          ++sum.gap_instances;
          sum.mean_gap += gap;
          sum.largest_gap = std::max(sum.largest_gap, gap);
        }
        break;
      case RowStatus::error: ++sum.errors; break;
    }
    if (row.seconds < 0.0) continue;
    seconds.push_back(row.seconds);
    sum.total_seconds += row.seconds;
    sum.cpu_seconds += row.cpu_seconds;
    const std::int64_t evaluations = row.created_nodes - 1;
    sum.evaluations += evaluations;
    if (evaluations > BUSY_EVALUATIONS && row.seconds > 0.0 && row.cpu_seconds > 0.0) {
      busy_rates.push_back(static_cast<double>(evaluations) / row.seconds);
      busy_cpu_rates.push_back(static_cast<double>(evaluations) / row.cpu_seconds);
    }
  }
  if (sum.gap_instances > 0) sum.mean_gap /= sum.gap_instances;
  sum.median_seconds = median(seconds);
  if (sum.total_seconds > 0.0)
    sum.evaluations_per_second = static_cast<double>(sum.evaluations) / sum.total_seconds;
  if (sum.cpu_seconds > 0.0)
    sum.evaluations_per_cpu_second = static_cast<double>(sum.evaluations) / sum.cpu_seconds;
  sum.busy_instances = static_cast<int>(busy_rates.size());
  sum.busy_median_rate = median(busy_rates);
  sum.busy_median_cpu_rate = median(busy_cpu_rates);
  return sum;
}

std::string format_summary(const BatchSummary& s) {
  std::string text;
  const auto line = [&text](const char* name, const std::string& value) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%-44s %s\n", name, value.c_str());
    text += buffer;
  };
  line("instances", std::to_string(s.instances));
  line("optimal", std::to_string(s.optimal));
  line("infeasible", std::to_string(s.infeasible));
  line("stopped by the time limit", std::to_string(s.stopped));
  line("errors", std::to_string(s.errors));
  if (s.stopped > 0) {
    line("stopped with a schedule", std::to_string(s.gap_instances));
    line("  their mean relative gap",
         s.gap_instances > 0 ? fixed_decimals(100.0 * s.mean_gap, 3) + " %" : "-");
    line("  their largest relative gap",
         s.gap_instances > 0 ? fixed_decimals(100.0 * s.largest_gap, 3) + " %" : "-");
  }
  line("total seconds", fixed_decimals(s.total_seconds, 3));
  line("median seconds", fixed_decimals(s.median_seconds, 6));
  line("processor share of the search time",
       s.total_seconds > 0.0 ? fixed_decimals(100.0 * s.cpu_seconds / s.total_seconds, 1) + " %"
                             : "-");
  line("bound evaluations", std::to_string(s.evaluations));
  line("bound evaluations per second", fixed_decimals(s.evaluations_per_second, 0));
  line("  per processor second", fixed_decimals(s.evaluations_per_cpu_second, 0));
  line(("instances with more than " + std::to_string(BUSY_EVALUATIONS) + " evaluations").c_str(),
       std::to_string(s.busy_instances));
  line("  their median evaluations per second", fixed_decimals(s.busy_median_rate, 0));
  line("  per processor second", fixed_decimals(s.busy_median_cpu_rate, 0));
  return text;
}

namespace {

// The header line of the JSON output: everything needed to repeat the run.
nlohmann::ordered_json json_header(const BatchOptions& o) {
  nlohmann::ordered_json head;
  head["program"] = "rcpspdc-batch";
  head["version"] = version_text();
  head["engine"] = o.engine == Engine::delaying ? "delaying" : "start-times";
  head["problem"] = o.problem;
  head["first"] = o.first;
  head["last"] = o.last;
  head["dir"] = o.dir;
  if (!o.files.empty()) {
    head["files"] = o.files;
    head["makespans"] = o.makespans;
  }
  head["offset"] = o.deadline_offset;
  head["rate"] = o.interest_rate;
  head["negative"] = o.negative_percent;
  if (o.cash_flows.empty())
    head["seed"] = o.seed;
  else
    head["cash_flows"] = o.cash_flows;
  if (o.unmixed_seed) head["unmixed_seed"] = true;
  head["time_limit"] = o.time_limit;
  head["jobs"] = o.jobs > 0 ? o.jobs : default_jobs();
  head["shard"] = std::to_string(o.shard_index) + "/" + std::to_string(o.shard_count);
  return head;
}

// The option behind a settings column or a JSON key, for messages.
std::string option_of(const std::string& key) {
  if (key == "program") return "program";
  if (key == "file" || key == "files") return "instance file";
  if (key == "cash_flow_file") return "--cash-flows";
  std::string option = "--" + key;
  std::replace(option.begin(), option.end(), '_', '-');
  return option;
}

// A JSON value as one line of text, for comparisons and messages.
std::string json_text(const nlohmann::ordered_json& value) {
  const std::string line = json_line(value);
  return line.substr(0, line.size() - 1);
}

// A results file of an earlier run, for --resume: its header and the
// complete lines after it (a line cut off by the stop is dropped).
struct EarlierFile {
  bool exists = false;  // the file is there and not empty
  std::string header;
  std::vector<std::pair<long long, std::string>> rows;  // instance number, line
};

// What differs between a row's settings and the run's: "" or the message.
std::string settings_differ(const std::string& path, const std::string& key,
                            const std::string& theirs, const std::string& ours) {
  return path + " holds rows made with another " + option_of(key) + " (" +
         (theirs.empty() ? "none" : theirs) + "; this run: " + (ours.empty() ? "none" : ours) +
         ")";
}

// Reads `path` if it exists, as the CSV (or, with `json`, the JSON Lines) of
// an earlier run of `options`: every row must hold an instance this run
// solves, once, with the run's settings and instance file. Returns "" or
// what is wrong.
std::string read_earlier(const std::string& path, bool json, const BatchOptions& options,
                         const std::set<long long>& wanted, EarlierFile& earlier) {
  std::string text;
  if (!read_text_file(path, text)) return "cannot read " + path;
  earlier.exists = !text.empty();
  const RunSettings settings = run_settings(options);
  const std::vector<std::string> columns = settings_columns();
  const std::vector<std::string> expected = settings_fields(settings);
  std::vector<std::string> header_fields;
  split_csv_line(csv_header().substr(0, csv_header().size() - 1), header_fields);
  const std::size_t first_setting = header_fields.size() - columns.size();
  std::set<long long> seen;
  int line_number = 0;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    const std::string where = "line " + std::to_string(++line_number) + " of " + path;
    if (at == 0) {
      earlier.header = line;
      if (!json && line + '\n' != csv_header())
        return path + " was written by another program or version (its header differs)";
      if (!json) continue;
      nlohmann::ordered_json theirs = nlohmann::ordered_json::parse(line, nullptr, false);
      if (!theirs.is_object() || theirs.value("program", "") != "rcpspdc-batch")
        return path + " was written by another program";
      nlohmann::ordered_json ours = nlohmann::ordered_json::parse(json_text(json_header(options)));
      for (const char* loose : {"version", "jobs"}) {
        theirs.erase(loose);
        ours.erase(loose);
      }
      for (auto& [key, value] : ours.items())
        if (!theirs.contains(key) || json_text(theirs[key]) != json_text(value))
          return settings_differ(path, key, theirs.contains(key) ? json_text(theirs[key]) : "",
                                 json_text(value));
      for (auto& [key, value] : theirs.items())
        if (!ours.contains(key)) return settings_differ(path, key, json_text(value), "");
      continue;
    }
    long long number = 0;
    std::vector<std::string> theirs;
    std::vector<std::string> ours = expected;
    ours.emplace_back();  // the file, filled below
    std::vector<std::string> keys = columns;
    if (json) {
      const nlohmann::ordered_json object = nlohmann::ordered_json::parse(line, nullptr, false);
      if (!object.is_object() || !object.contains("number") ||
          !object["number"].is_number_integer())
        return where + " is not a row of rcpspdc-batch";
      number = object["number"].get<long long>();
      const nlohmann::ordered_json keys_ours = settings_json(settings);
      keys.clear();
      ours.clear();
      for (const auto& [key, value] : keys_ours.items()) {
        keys.push_back(key);
        ours.push_back(json_text(value));
        theirs.push_back(object.contains(key) ? json_text(object[key]) : "");
      }
      keys.push_back("file");
      ours.push_back("");  // filled below
      theirs.push_back(object.contains("file") ? json_text(object["file"]) : "");
    } else {
      std::vector<std::string> fields;
      if (!split_csv_line(line, fields) || fields.size() != first_setting + columns.size() ||
          !to_number(fields[0], number))
        return where + " is not a row of rcpspdc-batch";
      theirs.assign(fields.begin() + static_cast<std::ptrdiff_t>(first_setting), fields.end());
    }
    if (wanted.count(number) == 0)
      return path + " holds instance " + std::to_string(number) +
             ", which this run does not solve (see --first, --last, --shard)";
    if (!seen.insert(number).second)
      return path + " holds instance " + std::to_string(number) + " twice";
    const std::string file = instance_path(options, static_cast<int>(number));
    ours.back() = json ? json_text(file) : file;
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (theirs[k] == ours[k]) continue;
      if (keys[k] == "file")
        return path + " holds instance " + std::to_string(number) + " of the file " + theirs[k] +
               "; this run's instance " + std::to_string(number) + " is " + ours[k];
      return settings_differ(path, keys[k], theirs[k], ours[k]);
    }
    earlier.rows.emplace_back(number, line);
  }
  return {};
}

// The --verbose line of a finished instance.
std::string verbose_line(const BatchRow& row) {
  std::string text = "instance " + std::to_string(row.number) + ": " + row.status;
  if (row.deadline_from == "critical path") text += " (deadline over the critical path)";
  if (row.has_value) text += ", value " + fixed_decimals(row.npv, 2);
  if (row.kind == RowStatus::time_limit && row.has_bound)
    text += ", bound " + fixed_decimals(row.bound, 2);
  if (row.created_nodes >= 0) text += ", " + std::to_string(row.created_nodes) + " nodes";
  if (row.seconds >= 0.0) text += ", " + fixed_decimals(row.seconds, 3) + " s";
  return text + '\n';
}

// Two output paths that name one file (standard output is no file).
bool same_path(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty() || a == "-" || b == "-") return false;
  std::error_code fault;
  if (std::filesystem::equivalent(a, b, fault)) return true;
  const std::filesystem::path x = std::filesystem::weakly_canonical(a, fault);
  const std::filesystem::path y = std::filesystem::weakly_canonical(b, fault);
  return !fault && x == y;
}

// Instance files without a makespan in the table: said once per run on
// `err` when `say` is set. Returns false, saying why, when the table has
// none of the run's files.
bool note_deadline_sources(const BatchOptions& options, const Makespans& makespans, std::FILE* err,
                           bool say) {
  if (options.files.empty()) return true;
  if (options.makespans.empty()) {
    if (say && !options.quiet)
      std::fputs(
          "rcpspdc-batch: no --makespans: every deadline is --offset periods above the file's "
          "critical path length\n",
          err);
    return true;
  }
  std::vector<std::string> unmatched;
  for (const std::string& file : options.files)
    if (makespans.count(file_stem(file)) == 0) unmatched.push_back(file_stem(file));
  if (unmatched.size() == options.files.size()) {
    std::fprintf(err,
                 "rcpspdc-batch: --makespans: %s has a makespan for none of the files (it is "
                 "looked up by the name without directory and extension, such as %s)\n",
                 options.makespans.c_str(), unmatched.front().c_str());
    return false;
  }
  if (say && !unmatched.empty() && !options.quiet) {
    std::string names;
    for (std::size_t k = 0; k < unmatched.size() && k < 5; ++k)
      names += (k == 0 ? "" : ", ") + unmatched[k];
    if (unmatched.size() > 5) names += " and " + std::to_string(unmatched.size() - 5) + " more";
    std::fprintf(err,
                 "rcpspdc-batch: --makespans: %s has no makespan for %s; their deadlines are "
                 "taken over the critical path\n",
                 options.makespans.c_str(), names.c_str());
  }
  return true;
}

}  // namespace

int run_batch(const BatchOptions& options, std::FILE* out, std::FILE* err, bool progress) {
  const auto fail = [err](const std::string& message) {
    std::fprintf(err, "rcpspdc-batch: %s\n", message.c_str());
    return 2;
  };
  InfoRecords records;
  if (!options.cash_flows.empty()) {
    std::string error;
    if (!read_info_file(options.cash_flows, records, error)) return fail("--cash-flows: " + error);
  }
  Makespans makespans;
  if (!options.makespans.empty()) {
    const std::string problem = read_makespan_table(options.makespans, makespans);
    if (!problem.empty()) return fail("--makespans: " + problem);
  }
  std::error_code ignored;
  if (!options.dir.empty() && !std::filesystem::is_directory(options.dir, ignored))
    return fail("--dir: " + options.dir + " is not a directory");
  if (!note_deadline_sources(options, makespans, err, false)) return 2;

  // Every output is opened and locked before any is changed: a file that
  // cannot be written, or that another run holds, stops the run untouched.
  OutputFile csv;
  OutputFile json;
  OutputFile plot;
  DirectoryLock pictures;
  const auto abandon = [&] {
    for (OutputFile* file : {&csv, &json, &plot}) file->abandon();
  };
  const std::vector<std::string> paths = {options.csv, options.json, options.plot};
  for (std::size_t a = 0; a < paths.size(); ++a)
    for (std::size_t b = a + 1; b < paths.size(); ++b)
      if (same_path(paths[a], paths[b])) return fail("two outputs name the same file");
  for (const auto& [file, path, option] : {std::tuple{&csv, options.csv, "--csv"},
                                           {&json, options.json, "--json"},
                                           {&plot, options.plot, "--plot"}}) {
    if (path.empty()) continue;
    const std::string problem = file->open(path, out, options.dry_run);
    if (!problem.empty()) {
      abandon();
      return fail(std::string(option) + ": " + problem);
    }
  }
  if (!options.svg_dir.empty()) {
    const std::string problem = pictures.lock(options.svg_dir, options.dry_run);
    if (!problem.empty()) {
      abandon();
      return fail("--svg: " + problem);
    }
  }

  // The shard's instances first + shard_index + j * shard_count.
  std::vector<long long> all_numbers;
  for (long long number = static_cast<long long>(options.first) + options.shard_index;
       number <= options.last; number += options.shard_count)
    all_numbers.push_back(number);
  // With --resume, the instances both files hold are kept and skipped; the
  // files are cut back to them, so both go on alike and in instance order.
  EarlierFile earlier_csv;
  EarlierFile earlier_json;
  std::set<long long> done_before;
  if (options.resume) {
    const std::set<long long> wanted(all_numbers.begin(), all_numbers.end());
    for (const auto& [path, is_json, earlier] :
         {std::tuple{options.csv, false, &earlier_csv}, {options.json, true, &earlier_json}}) {
      std::error_code missing;
      if (path.empty() || !std::filesystem::exists(path, missing)) continue;
      const std::string problem = read_earlier(path, is_json, options, wanted, *earlier);
      if (!problem.empty()) {
        abandon();
        return fail("--resume: " + problem + "; nothing was changed");
      }
    }
    const bool both = !options.csv.empty() && !options.json.empty();
    std::set<long long> in_csv;
    for (const auto& row : earlier_csv.rows) in_csv.insert(row.first);
    for (const auto& row : earlier_json.rows)
      if (!both || in_csv.count(row.first) != 0) done_before.insert(row.first);
    if (options.json.empty()) done_before = in_csv;
  }
  std::vector<long long> numbers;
  for (const long long number : all_numbers)
    if (done_before.count(number) == 0) numbers.push_back(number);
  if (options.dry_run) {
    if (!options.quiet)
      std::fprintf(out, "rcpspdc-batch: dry run: %zu instances to solve; nothing was written\n",
                   numbers.size());
    return 0;
  }

  note_deadline_sources(options, makespans, err, true);

  // Devices and pipes take their first lines before any file is cut, so a
  // full device stops the run with every file as it was.
  const RunSettings settings = run_settings(options);
  const std::string json_head = json_line(json_header(options));
  for (const bool regular : {false, true})
    for (const auto& [file, earlier, header] :
         {std::tuple{&csv, &earlier_csv, csv_header()}, {&json, &earlier_json, json_head}}) {
      if (!file->is_open() || file->regular() != regular) continue;
      std::string text = header;
      if (earlier->exists) {
        text = earlier->header + '\n';
        for (const auto& [number, line] : earlier->rows)
          if (done_before.count(number) != 0) text += line + '\n';
      }
      if (!file->replace(text)) {
        const std::string name = file->name();
        abandon();
        return fail("cannot write " + name + ": " + std::strerror(errno));
      }
    }
  // Results on standard output keep it for themselves; the summary goes to stderr.
  std::FILE* summary_to = options.csv == "-" || options.json == "-" ? err : out;
  progress = progress && !options.quiet && !options.verbose;

  const auto run_start = std::chrono::steady_clock::now();
  // Rows are solved in parallel and written in order as soon as all before
  // them are done.
  if (!done_before.empty() && !options.quiet)
    std::fprintf(err, "rcpspdc-batch: --resume: %zu instances done before, %zu to go\n",
                 done_before.size(), numbers.size());
  const auto count = static_cast<long long>(numbers.size());
  std::vector<BatchRow> rows(static_cast<std::size_t>(count));
  std::vector<char> done(rows.size(), 0);
  std::size_t written = 0;
  long long started = 0;
  std::mutex lock;  // guards done, written, started, the result files and err
  // A row that cannot be written skips the remaining instances.
  std::atomic<bool> write_failed{false};
  run_jobs(count, options.jobs > 0 ? options.jobs : default_jobs(),
           [&](long long k, Workspace& workspace) {
             if (write_failed.load()) return;
             const long long number = numbers[static_cast<std::size_t>(k)];
             if (progress) {
               const std::lock_guard<std::mutex> hold(lock);
               std::fprintf(err, "\rinstance %lld of %lld (number %lld), %.1f s elapsed\033[K",
                            ++started, count, number, seconds_since(run_start));
               std::fflush(err);
             }
             BatchRow row = solve_one(options, options.cash_flows.empty() ? nullptr : &records,
                                      static_cast<int>(number), workspace, &makespans);
             const std::lock_guard<std::mutex> hold(lock);
             if (options.verbose) {
               std::fputs(verbose_line(row).c_str(), err);
               std::fflush(err);
             } else if (row.kind == RowStatus::error) {
               // Even a quiet run names the instances it could not solve.
               std::fprintf(err, "%srcpspdc-batch: instance %d: %s\n", progress ? "\r\033[K" : "",
                            row.number, row.status.c_str());
               std::fflush(err);
             }
             rows[static_cast<std::size_t>(k)] = std::move(row);
             done[static_cast<std::size_t>(k)] = 1;
             for (; written < rows.size() && done[written] != 0; ++written) {
               const BatchRow& next = rows[written];
               if ((csv.is_open() && !csv.put(csv_row(next, settings))) ||
                   (json.is_open() && !json.put(json_row(next, settings))))
                 write_failed = true;
             }
           });
  if (progress) std::fputs("\r\033[K", err);
  bool unwritten = false;
  for (OutputFile* file : {&csv, &json}) {
    if (!file->is_open()) continue;
    if (!file->close()) {
      std::fprintf(err, "rcpspdc-batch: cannot write %s\n", file->name().c_str());
      unwritten = true;
    }
  }
  if (unwritten) return 2;
  if (plot.is_open()) {
    const std::string title =
        (options.files.empty() ? options.problem + " " + std::to_string(options.first) + "-" +
                                     std::to_string(options.last)
                               : std::to_string(options.files.size()) + " instance files") +
        ", offset " + std::to_string(options.deadline_offset) + ", time limit " +
        compact(options.time_limit) + " s";
    if (!plot.replace(run_plot_svg(rows, title)) || !plot.close())
      return fail("--plot: cannot write " + options.plot);
  }
  const BatchSummary summary = summarize(rows);
  if (!options.quiet) {
    std::fputs(format_summary(summary).c_str(), summary_to);
    if (std::fflush(summary_to) != 0 || std::ferror(summary_to) != 0)
      return fail("cannot write the summary");
  }
  return summary.errors > 0 ? 1 : 0;
}

}  // namespace rcpspdc
