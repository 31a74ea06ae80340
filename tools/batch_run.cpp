#include "tools/batch_run.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
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
#include "model/network.hpp"
#include "platform/platform.hpp"
#include "tools/batch_jobs.hpp"

namespace rcpspdc {

namespace {

constexpr std::int64_t BUSY_EVALUATIONS = 10000;  // searches above this count in the busy median

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

// The engine the options name, on the instance, within the time limit.
std::optional<SearchResult> run_engine(const BatchOptions& options, const InstanceData& data,
                                       Workspace& workspace) {
  SearchRequest request;
  request.instance = &data;
  request.interest_rate = options.interest_rate;
  request.limits.time = TimeBudget::starting_now(options.time_limit);
  SearchEngine& engine = options.engine == Engine::delaying
                             ? static_cast<SearchEngine&>(workspace.delaying)
                             : workspace.start_times;
  KeptResult kept;
  engine.solve(request, kept);
  return std::move(kept.result);
}

}  // namespace

namespace {

// An instance file named on the command line, PSPLIB or the own form by
// content, with its deadline; returns "" or what is wrong.
std::string read_named_instance(const BatchOptions& options, const Makespans* makespans,
                                const std::string& path, InstanceData& data, BatchRow& row) {
  std::string text;
  if (!read_text_file(path, text)) return "cannot open " + path;
  if (text.find("PRECEDENCE RELATIONS") != std::string::npos) {
    const std::string problem = parse_psplib_text(text, data);
    if (!problem.empty()) return problem;
  } else {
    const ReadOutcome outcome = read_instance_file(path, data);
    if (!outcome.ok()) return read_error_text(outcome);
  }
  const std::string name = std::filesystem::path(path).stem().string();
  const auto found = makespans != nullptr ? makespans->find(name) : Makespans::const_iterator();
  const bool known = makespans != nullptr && found != makespans->end();
  row.deadline_from = known ? "makespans" : "critical path";
  const long long deadline =
      static_cast<long long>(known ? found->second : critical_path_length(data)) +
      options.deadline_offset;
  if (deadline > MAX_DEADLINE)
    return "deadline above " + std::to_string(MAX_DEADLINE) + " periods";
  if (deadline < 0) return "negative deadline";
  data.deadline = static_cast<int>(deadline);
  return {};
}

}  // namespace

double relative_gap(const BatchRow& row) {
  return (row.bound - row.npv) / std::max(std::fabs(row.npv), 1.0);
}

BatchRow solve_one(const BatchOptions& options, const InfoRecords* records, int number,
                   Workspace& workspace, const Makespans* makespans) {
  BatchRow row;
  row.number = number;
  const bool named = !options.files.empty();
  row.file = named ? options.files[static_cast<std::size_t>(number - 1)]
                   : (std::filesystem::path(options.dir) /
                      (options.problem + std::to_string(number) + ".rcp"))
                         .string();
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
  }
  row.activities = data.activity_count;
  row.resources = data.resource_count;
  row.deadline = data.deadline;
  if (records != nullptr) {
    row.status = cash_flows_from(*records, number, data);
    if (!row.status.empty()) return row;
  } else {
    // Seeded anew per instance, like the console's clock seed.
    std::mt19937 generator(options.seed);
    draw_cash_flows(data, generator, options.negative_percent);
  }
  row.cash_flow = data.cash_flow;

  const double cpu_start = thread_cpu_seconds();
  const double wall_start = wall_seconds();
  const std::optional<SearchResult> searched = run_engine(options, data, workspace);
  row.seconds = wall_seconds() - wall_start;
  row.cpu_seconds = thread_cpu_seconds() - cpu_start;
  if (!searched) {
    row.status = "the search reported no result";
    return row;
  }
  const SearchResult& run = *searched;
  row.created_nodes = run.created_nodes;
  row.branched_nodes = run.branched_nodes;
  if (run.has_incumbent) {
    const std::string problem =
        check_reported_schedule(data, run.finish, run.value, options.interest_rate);
    if (!problem.empty()) {
      row.status = "schedule check failed: " + problem;
      return row;
    }
    row.has_value = true;
    row.npv = run.value;
    row.finish = run.finish;
    row.seconds_to_best = run.seconds_to_best;
  }
  row.has_bound = std::isfinite(run.bound);
  row.bound = row.has_bound ? run.bound : 0.0;
  row.kind = run.end != SearchEnd::complete ? RowStatus::time_limit
             : run.has_incumbent            ? RowStatus::optimal
                                            : RowStatus::infeasible;
  row.status = row.kind == RowStatus::time_limit ? "time limit"
               : run.has_incumbent               ? "optimal"
                                                 : "infeasible";
  if (row.has_value && !options.svg_dir.empty()) {
    const std::string name = named ? std::filesystem::path(row.file).stem().string()
                                   : options.problem + std::to_string(number);
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

// A results file: a named file, standard output ("-"), or none ("").
struct ResultFile {
  std::string name;
  std::FILE* file = nullptr;
  bool failed = false;  // a write failed; the remaining instances are skipped

  bool open(const std::string& path, std::FILE* out, std::FILE* err, bool append) {
    name = path == "-" ? "standard output" : path;
    file = path == "-" ? out : std::fopen(path.c_str(), append ? "a" : "w");
    if (file == nullptr)
      std::fprintf(err, "rcpspdc-batch: cannot write %s: %s\n", path.c_str(),
                   std::strerror(errno));
    return file != nullptr;
  }
  // Writes and flushes, so a stopped run keeps every finished instance.
  bool put(const std::string& text) {
    if (file != nullptr && (std::fputs(text.c_str(), file) < 0 || std::fflush(file) != 0))
      failed = true;
    return !failed;
  }
  // Closes a named file; true when everything reached it.
  bool close(std::FILE* out) {
    if (file == nullptr) return true;
    bool ok = !failed && std::ferror(file) == 0;
    if (file != out)
      ok = std::fclose(file) == 0 && ok;
    else
      ok = std::fflush(file) == 0 && ok;
    file = nullptr;
    return ok;
  }
};

// The header line of the JSON output: everything needed to repeat the run.
std::string json_header(const BatchOptions& o) {
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
  head["time_limit"] = o.time_limit;
  head["jobs"] = o.jobs > 0 ? o.jobs : default_jobs();
  head["shard"] = std::to_string(o.shard_index) + "/" + std::to_string(o.shard_count);
  return head.dump() + '\n';
}

// A results file of an earlier run, for --resume: its header and the
// complete lines after it (a line cut off by the stop is dropped).
struct EarlierFile {
  bool exists = false;
  std::string header;
  std::vector<std::pair<long long, std::string>> rows;  // instance number, line
};

// Reads `path` if it exists; `json` tells how to find a line's number.
// Returns "" or what is wrong.
std::string read_earlier(const std::string& path, bool json, EarlierFile& earlier) {
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored)) return {};
  std::string text;
  if (!read_text_file(path, text)) return "cannot read " + path;
  earlier.exists = true;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    if (at == 0) {
      earlier.header = line;
      continue;
    }
    long long number = 0;
    if (json) {
      const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
      if (object.is_discarded() || !object.is_object() || !object.contains("number") ||
          !object["number"].is_number_integer())
        continue;
      number = object["number"].get<long long>();
    } else if (!to_number(line.substr(0, line.find(',')), number)) {
      continue;
    }
    earlier.rows.emplace_back(number, line);
  }
  return {};
}

// A JSON header without what may change between a run and its resumption.
nlohmann::json settings_of(const std::string& header) {
  nlohmann::json head = nlohmann::json::parse(header, nullptr, false);
  if (head.is_object()) {
    head.erase("version");
    head.erase("jobs");
  }
  return head;
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

}  // namespace

int run_batch(const BatchOptions& options, std::FILE* out, std::FILE* err, bool progress) {
  InfoRecords records;
  if (!options.cash_flows.empty()) {
    std::string error;
    if (!read_info_file(options.cash_flows, records, error)) {
      std::fprintf(err, "rcpspdc-batch: --cash-flows: %s\n", error.c_str());
      return 2;
    }
  }
  Makespans makespans;
  if (!options.makespans.empty()) {
    const std::string problem = read_makespan_table(options.makespans, makespans);
    if (!problem.empty()) {
      std::fprintf(err, "rcpspdc-batch: --makespans: %s\n", problem.c_str());
      return 2;
    }
  }
  std::error_code ignored;
  if (!options.dir.empty() && !std::filesystem::is_directory(options.dir, ignored)) {
    std::fprintf(err, "rcpspdc-batch: --dir: %s is not a directory\n", options.dir.c_str());
    return 2;
  }
  if (!options.svg_dir.empty() && !std::filesystem::is_directory(options.svg_dir, ignored) &&
      !std::filesystem::create_directories(options.svg_dir, ignored)) {
    std::fprintf(err, "rcpspdc-batch: --svg: cannot create the directory %s\n",
                 options.svg_dir.c_str());
    return 2;
  }
  // With --resume, the instances both files hold are kept and skipped; the
  // files are cut back to them, so both go on alike and in instance order.
  EarlierFile earlier_csv;
  EarlierFile earlier_json;
  std::set<long long> done_before;
  if (options.resume) {
    for (const auto& [path, json, earlier] :
         {std::tuple{options.csv, false, &earlier_csv}, {options.json, true, &earlier_json}}) {
      if (path.empty()) continue;
      const std::string problem = read_earlier(path, json, *earlier);
      if (!problem.empty()) {
        std::fprintf(err, "rcpspdc-batch: --resume: %s\n", problem.c_str());
        return 2;
      }
      const bool same = !earlier->exists ||
                        (json ? settings_of(earlier->header) == settings_of(json_header(options))
                              : earlier->header + '\n' == csv_header());
      if (!same) {
        std::fprintf(err,
                     "rcpspdc-batch: --resume: %s was written by another program or with other "
                     "options\n",
                     path.c_str());
        return 2;
      }
    }
    const bool both = !options.csv.empty() && !options.json.empty();
    std::set<long long> in_csv;
    for (const auto& row : earlier_csv.rows) in_csv.insert(row.first);
    for (const auto& row : earlier_json.rows)
      if (!both || in_csv.count(row.first) != 0) done_before.insert(row.first);
    if (options.json.empty()) done_before = in_csv;
    for (const auto& [path, earlier] :
         {std::pair{options.csv, &earlier_csv}, {options.json, &earlier_json}}) {
      if (!earlier->exists) continue;
      std::string kept = earlier->header + '\n';
      for (const auto& [number, line] : earlier->rows)
        if (done_before.count(number) != 0) kept += line + '\n';
      const std::string problem = write_text_file(path, kept);
      if (!problem.empty()) {
        std::fprintf(err, "rcpspdc-batch: --resume: %s\n", problem.c_str());
        return 2;
      }
    }
  }
  ResultFile csv;
  ResultFile json;
  // A file that takes no header (a full disk) stops the run before any search.
  const auto open_with_header = [&](ResultFile& file, const std::string& path,
                                    const std::string& header, bool append) {
    if (path.empty()) return true;
    if (!file.open(path, out, err, append)) return false;
    if (file.put(append ? std::string() : header)) return true;
    std::fprintf(err, "rcpspdc-batch: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    file.close(out);
    return false;
  };
  if (!open_with_header(csv, options.csv, csv_header(), earlier_csv.exists)) return 2;
  if (!open_with_header(json, options.json, json_header(options), earlier_json.exists)) {
    csv.close(out);
    return 2;
  }
  // Results on standard output keep it for themselves; the summary goes to stderr.
  std::FILE* summary_to = options.csv == "-" || options.json == "-" ? err : out;
  progress = progress && !options.quiet && !options.verbose;

  const double run_start = wall_seconds();
  // The shard's instances first + shard_index + j * shard_count, less those
  // a resumed run has. Rows are solved in parallel and written in order as
  // soon as all before them are done.
  std::vector<long long> numbers;
  for (long long number = static_cast<long long>(options.first) + options.shard_index;
       number <= options.last; number += options.shard_count)
    if (done_before.count(number) == 0) numbers.push_back(number);
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
                            ++started, count, number, wall_seconds() - run_start);
               std::fflush(err);
             }
             BatchRow row = solve_one(options, options.cash_flows.empty() ? nullptr : &records,
                                      static_cast<int>(number), workspace, &makespans);
             const std::lock_guard<std::mutex> hold(lock);
             if (options.verbose) {
               std::fputs(verbose_line(row).c_str(), err);
               std::fflush(err);
             }
             rows[static_cast<std::size_t>(k)] = std::move(row);
             done[static_cast<std::size_t>(k)] = 1;
             for (; written < rows.size() && done[written] != 0; ++written) {
               const BatchRow& next = rows[written];
               if (!csv.put(csv_row(next)) || !json.put(json_row(next, options.interest_rate)))
                 write_failed = true;
             }
           });
  if (progress) std::fputs("\r\033[K", err);
  bool unwritten = false;
  for (ResultFile* file : {&csv, &json}) {
    if (file->file == nullptr) continue;
    const std::string name = file->name;
    if (!file->close(out)) {
      std::fprintf(err, "rcpspdc-batch: cannot write %s\n", name.c_str());
      unwritten = true;
    }
  }
  if (unwritten) return 2;
  if (!options.plot.empty()) {
    const std::string title =
        (options.files.empty() ? options.problem + " " + std::to_string(options.first) + "-" +
                                     std::to_string(options.last)
                               : std::to_string(options.files.size()) + " instance files") +
        ", offset " + std::to_string(options.deadline_offset) + ", time limit " +
        compact(options.time_limit) + " s";
    const std::string problem = write_text_file(options.plot, run_plot_svg(rows, title));
    if (!problem.empty()) {
      std::fprintf(err, "rcpspdc-batch: --plot: %s\n", problem.c_str());
      return 2;
    }
  }
  const BatchSummary summary = summarize(rows);
  if (!options.quiet) {
    std::fputs(format_summary(summary).c_str(), summary_to);
    std::fflush(summary_to);
  }
  return summary.errors > 0 ? 1 : 0;
}

}  // namespace rcpspdc
