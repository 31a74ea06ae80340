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

#include "check/schedule_check.hpp"
#include "formats/batch_json.hpp"
#include "formats/batch_resume.hpp"
#include "formats/flows_csv.hpp"
#include "formats/instance_file.hpp"
#include "formats/makespan_table.hpp"
#include "formats/profile_plot.hpp"
#include "formats/psplib.hpp"
#include "formats/svg_plot.hpp"
#include "model/cash_flows.hpp"
#include "model/network.hpp"
#include "platform/machine.hpp"
#include "platform/platform.hpp"
#include "tools/batch_jobs.hpp"
#include "tools/batch_report.hpp"
#include "tools/batch_summary.hpp"
#include "tools/file_checksum.hpp"
#include "tools/output_file.hpp"

namespace rcpspdc {

namespace {

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

// A rate as written on a command line: 0.01, not 0.010000.
std::string compact(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The request for the engine: the instance and its rate within the limits.
SearchRequest engine_request(const BatchOptions& options, const InstanceData& data) {
  SearchRequest request;
  request.instance = &data;
  request.interest_rate = options.interest_rate;
  request.limits.time = TimeBudget::starting_now(options.time_limit);
  request.limits.node_limit = options.node_limit;
  return request;
}

// The engines a run can use, by name; the first is the default. Another
// engine is one more row here (and its tables in Workspace).
struct EngineRow {
  const char* name;
  SearchEngine& (*engine)(Workspace& workspace);
};

const EngineRow ENGINES[] = {
    {"learning", [](Workspace& w) -> SearchEngine& { return w.learning; }},
    {"start-times", [](Workspace& w) -> SearchEngine& { return w.start_times; }},
    {"delaying", [](Workspace& w) -> SearchEngine& { return w.delaying; }},
};

}  // namespace

const std::vector<std::string>& engine_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const EngineRow& row : ENGINES) list.emplace_back(row.name);
    return list;
  }();
  return names;
}

namespace {

std::string negative_deadline(long long deadline) {
  return "deadline " + std::to_string(deadline) + " is below zero";
}

std::string deadline_above_limit() {
  return "deadline above " + std::to_string(MAX_DEADLINE) + " periods";
}

// The deadline of the options' grid point over `makespan`: the makespan plus
// the offset, or its factor rounded up.
long long deadline_over(const BatchOptions& options, long long makespan) {
  return options.deadline_factor > 0 ? factor_deadline(options.deadline_factor, makespan)
                                     : makespan + options.deadline_offset;
}

// A numbered instance: the deadline file and the instance file of the
// series. False, with the row's status saying why, when it cannot be solved.
bool read_numbered_instance(const BatchOptions& options, int number, InstanceData& data,
                            BatchRow& row) {
  const bool factor = options.deadline_factor > 0;
  const FileOutcome outcome = read_instance_files(
      options.problem, number, factor ? 0 : options.deadline_offset, data, options.dir);
  row.note = outcome.note;
  // The console keeps its words for a deadline above the limit; a row says why.
  if (!outcome.ok()) {
    row.status = outcome.fault == FileFault::deadline_above_limit ? deadline_above_limit()
                                                                  : read_error_text(outcome);
    return false;
  }
  const long long deadline = factor ? deadline_over(options, data.deadline) : data.deadline;
  if (deadline < 0)
    row.status = negative_deadline(deadline);
  else if (deadline > MAX_DEADLINE)
    row.status = deadline_above_limit();
  else
    data.deadline = static_cast<int>(deadline);
  return row.status.empty();
}

// An instance file named on the command line, PSPLIB or the own form by
// content, with its deadline over its makespan. False, with the row's status
// saying why, when it cannot be solved.
bool read_named_instance(const BatchOptions& options, const Makespans* makespans,
                         InstanceData& data, BatchRow& row) {
  const FileOutcome outcome = read_any_instance_file(row.file, data);
  row.note = outcome.note;
  if (!outcome.ok()) {
    row.status = outcome.message;
    return false;
  }
  const auto found =
      makespans != nullptr ? makespans->find(file_stem(row.file)) : Makespans::const_iterator();
  const bool known = makespans != nullptr && found != makespans->end();
  row.deadline_from = known ? "makespans" : "critical path";
  const long long deadline =
      deadline_over(options, known ? found->second : critical_path_length(data));
  if (deadline > MAX_DEADLINE)
    row.status = deadline_above_limit();
  else if (deadline < 0)
    row.status = negative_deadline(deadline);
  else
    data.deadline = static_cast<int>(deadline);
  return row.status.empty();
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

// The instance's name in a flows CSV: pat7, or the file's stem.
std::string instance_name(const BatchOptions& options, const BatchRow& row) {
  return options.files.empty() ? options.problem + std::to_string(row.number)
                               : file_stem(row.file);
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

std::vector<BatchOptions> grid_points(const BatchOptions& o) {
  std::vector<BatchOptions> points;
  const std::size_t deadlines = o.factors.empty() ? o.offsets.size() : o.factors.size();
  for (const std::string& engine : o.engines)
    for (std::size_t d = 0; d < deadlines; ++d)
      for (const double rate : o.rates)
        for (const int negative : o.negatives) {
          BatchOptions point = o;
          point.engine = engine;
          point.deadline_offset = o.factors.empty() ? o.offsets[d] : 0;
          point.deadline_factor = o.factors.empty() ? 0 : o.factors[d];
          point.interest_rate = rate;
          point.negative_percent = negative;
          points.push_back(std::move(point));
        }
  return points;
}

RunSettings run_settings(const BatchOptions& o) {
  RunSettings s;
  s.engine = o.engine;
  s.offset = o.deadline_offset;
  s.factor = o.deadline_factor;
  s.rate = o.interest_rate;
  const bool drawn = o.cash_flows.empty();
  // Flows of a CSV are chosen by their share; those of an info.out have none.
  s.negative = drawn || is_flows_csv_name(o.cash_flows) ? o.negative_percent : -1;
  s.seed = drawn ? static_cast<long long>(o.seed) : -1;
  s.unmixed_seed = drawn && o.unmixed_seed;
  s.cash_flows = o.cash_flows;
  s.makespans = o.makespans;
  s.time_limit = o.time_limit;
  s.node_limit = o.node_limit;
  return s;
}

RunHeader run_header(const BatchOptions& o) {
  return {.version = version_text(),
          .engines = o.engines,
          .problem = o.problem,
          .first = o.first,
          .last = o.last,
          .dir = o.dir,
          .files = o.files,
          .makespans = o.makespans,
          .offsets = o.factors.empty() ? o.offsets : std::vector<int>(),
          .factors = o.factors,
          .rates = o.rates,
          .negatives = o.negatives,
          .seed = o.seed,
          .cash_flows = o.cash_flows,
          .unmixed_seed = o.unmixed_seed,
          .time_limit = o.time_limit,
          .node_limit = o.node_limit,
          .jobs = o.jobs > 0 ? o.jobs : default_jobs(),
          .threads = o.threads,
          .shard_index = o.shard_index,
          .shard_count = o.shard_count,
          .date = utc_timestamp(),
          .host = host_name(),
          .processor = processor_model(),
          .processor_threads = default_jobs(),
          .checksums = {}};
}

namespace {

// The flows of a row from a flows CSV; "" or what is missing.
std::string flows_from_table(const BatchOptions& options, const FlowsTable& table,
                             InstanceData& data, const BatchRow& row) {
  const std::string name = instance_name(options, row);
  const std::vector<int>* flows = find_flows(table, name, options.negative_percent);
  if (flows == nullptr)
    return "no cash flows for " + name + " at " + std::to_string(options.negative_percent) +
           " % negative in " + options.cash_flows;
  if (flows->size() != static_cast<std::size_t>(data.activity_count))
    return "cash flows of " + std::to_string(flows->size()) + " activities in " +
           options.cash_flows + ", the instance has " + std::to_string(data.activity_count);
  if (flows->front() != 0 || flows->back() != 0)
    return "the dummy activities of " + name + " have cash flows in " + options.cash_flows;
  data.cash_flow = *flows;
  return {};
}

// The instance's cash flows: those of its info.out record when `records` is
// given, or of the flows CSV `flows`, else drawn from the seed as the console
// draws them. False, with the row's status saying why, when the file's
// flows do not fit.
bool give_cash_flows(const BatchOptions& options, const InfoRecords* records,
                     const FlowsTable* flows, InstanceData& data, BatchRow& row) {
  if (records != nullptr || flows != nullptr) {
    row.status = records != nullptr ? cash_flows_from(*records, row.number, data)
                                    : flows_from_table(options, *flows, data, row);
    if (!row.status.empty()) return false;
  } else {
    // Seeded anew per instance, as the console mixes its run's seed.
    std::mt19937 generator(draw_seed(options, row.number, row.file));
    draw_cash_flows(data, generator, options.negative_percent);
  }
  row.cash_flow = data.cash_flow;
  return true;
}

// The engine the options name on `data`, timed for the row.
std::optional<SearchResult> run_engine(const BatchOptions& options, const InstanceData& data,
                                       Workspace& workspace, BatchRow& row) {
  const EngineRow* engine = &ENGINES[0];
  for (const EngineRow& candidate : ENGINES)
    if (options.engine == candidate.name) engine = &candidate;
  SearchEngine* chosen = &engine->engine(workspace);
  if (options.threads > 1 && options.engine != "delaying") {
    if (!workspace.portfolio || workspace.portfolio_first != options.engine) {
      workspace.portfolio = make_portfolio(options.engine, options.threads);
      workspace.portfolio_first = options.engine;
    }
    chosen = workspace.portfolio.get();
  }
  const double cpu_start = thread_cpu_seconds();
  const double wall_start = wall_seconds();
  KeptResult kept;
  chosen->solve(engine_request(options, data), kept);
  // Rounded once, so the CSV and the JSON give one time, and the best
  // schedule is never found after the search ended.
  row.seconds = rounded_seconds(wall_seconds() - wall_start);
  row.cpu_seconds = thread_cpu_seconds() - cpu_start;
  return std::move(kept.result);
}

// Checks the schedule the engine found and records how the search ended.
// False, with the row's status saying why, when there is nothing to record.
bool record_outcome(const BatchOptions& options, const InstanceData& data,
                    const std::optional<SearchResult>& searched, BatchRow& row) {
  if (!searched) {
    row.status = "the search reported no result";
    return false;
  }
  const SearchResult& run = *searched;
  row.created_nodes = run.created_nodes;
  row.branched_nodes = run.branched_nodes;
  if (run.has_incumbent) {
    const std::string problem =
        check_reported_schedule(data, run.finish, run.value, options.interest_rate);
    if (!problem.empty()) {
      row.status = "schedule check failed: " + problem;
      return false;
    }
    row.has_value = true;
    row.npv = run.value;
    row.finish = run.finish;
    row.seconds_to_best = run.seconds_to_best < 0.0
                              ? -1.0
                              : std::min(rounded_seconds(run.seconds_to_best), row.seconds);
  }
  row.has_bound = std::isfinite(run.bound);
  row.bound = row.has_bound ? run.bound : 0.0;
  row.kind = run.end == SearchEnd::time_limit   ? RowStatus::time_limit
             : run.end == SearchEnd::node_limit ? RowStatus::node_limit
             : run.has_incumbent                ? RowStatus::optimal
                                                : RowStatus::infeasible;
  row.status = status_word(row.kind);
  return true;
}

// The grid point in a picture's name, dimension by dimension where the
// grid has more than one value: "-delaying-offset5-rate0.005-negative20".
std::string point_suffix(const BatchOptions& o) {
  std::string suffix;
  if (o.engines.size() > 1) suffix += "-" + o.engine;
  if (o.factors.size() > 1) suffix += "-factor" + factor_text(o.deadline_factor);
  if (o.factors.empty() && o.offsets.size() > 1)
    suffix += "-offset" + std::to_string(o.deadline_offset);
  if (o.rates.size() > 1) suffix += "-rate" + compact(o.interest_rate);
  if (o.negatives.size() > 1) suffix += "-negative" + std::to_string(o.negative_percent);
  return suffix;
}

// The picture of the row's schedule in the --svg directory; one that cannot
// be written makes the row an error.
void draw_schedule(const BatchOptions& options, const InstanceData& data, BatchRow& row) {
  const std::string name = instance_name(options, row);
  const std::string deadline = options.deadline_factor > 0
                                   ? factor_text(options.deadline_factor) + " x makespan"
                                   : "makespan + " + std::to_string(options.deadline_offset);
  const FileOutcome drawn = write_schedule_svg(
      (std::filesystem::path(options.svg_dir) / (name + point_suffix(options) + ".svg")).string(),
      data, row.finish,
      name + ": " + options.engine + ", deadline " + std::to_string(data.deadline) + " (" +
          deadline + "), rate " + compact(options.interest_rate) + ", " + row.status +
          ", net present value " + fixed_decimals(row.npv, 2),
      options.svg_arcs);
  if (!drawn.ok()) {
    row.kind = RowStatus::error;
    row.status = drawn.message;
  }
}

}  // namespace

BatchRow solve_one(const BatchOptions& options, const InfoRecords* records, int number,
                   Workspace& workspace, const Makespans* makespans, const FlowsTable* flows) {
  BatchRow row;
  row.number = number;
  row.file = instance_path(options, number);
  InstanceData data;
  const bool read = options.files.empty() ? read_numbered_instance(options, number, data, row)
                                          : read_named_instance(options, makespans, data, row);
  if (!read) return row;
  row.activities = data.activity_count;
  row.resources = data.resource_count;
  row.deadline = data.deadline;
  if (!give_cash_flows(options, records, flows, data, row)) return row;
  const std::optional<SearchResult> run = run_engine(options, data, workspace, row);
  if (record_outcome(options, data, run, row) && row.has_value && !options.svg_dir.empty())
    draw_schedule(options, data, row);
  return row;
}

namespace {

// Says what stops the run; false, for the caller to give up.
bool refuse(std::FILE* err, const std::string& message) {
  std::fprintf(err, "rcpspdc-batch: %s\n", message.c_str());
  return false;
}

// The --verbose line of a finished instance.
std::string verbose_line(const BatchRow& row) {
  std::string text = "instance " + std::to_string(row.number) + ": " + row.status;
  if (row.deadline_from == "critical path") text += " (deadline over the critical path)";
  if (row.has_value) text += ", value " + fixed_decimals(row.npv, 2);
  if ((row.kind == RowStatus::time_limit || row.kind == RowStatus::node_limit) && row.has_bound)
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

// What the run reads besides the instances: the cash flows of an info.out
// or a flows CSV, and the makespan table. False after saying why.
struct RunInputs {
  InfoRecords records;
  FlowsTable flows;
  Makespans makespans;
  const InfoRecords* info() const { return records.empty() ? nullptr : &records; }
  const FlowsTable* table() const { return flows.empty() ? nullptr : &flows; }
};

bool read_run_inputs(const BatchOptions& options, std::FILE* err, RunInputs& inputs) {
  if (!options.cash_flows.empty()) {
    const bool csv = is_flows_csv_name(options.cash_flows);
    const FileOutcome read = csv ? read_flows_csv(options.cash_flows, inputs.flows)
                                 : read_info_file(options.cash_flows, inputs.records);
    if (!read.ok()) return refuse(err, "--cash-flows: " + read.message);
    if (inputs.info() == nullptr && inputs.table() == nullptr)
      return refuse(err, "--cash-flows: " + options.cash_flows + " holds no cash flows");
  }
  if (!options.makespans.empty()) {
    const FileOutcome read = read_makespan_table(options.makespans, inputs.makespans);
    if (!read.ok()) return refuse(err, "--makespans: " + read.message);
  }
  std::error_code ignored;
  if (!options.dir.empty() && !std::filesystem::is_directory(options.dir, ignored))
    return refuse(err, "--dir: " + options.dir + " is not a directory");
  return note_deadline_sources(options, inputs.makespans, err, false);
}

// The outputs of a run.
struct RunOutputs {
  OutputFile csv;
  OutputFile json;
  OutputFile flows;
  OutputFile plot;
  OutputFile gap_plot;
  DirectoryLock pictures;

  void abandon() {
    for (OutputFile* file : {&csv, &json, &flows, &plot, &gap_plot}) file->abandon();
  }
};

// Every output is opened and locked before any is changed: a file that
// cannot be written, or that another run holds, stops the run untouched.
// With --dry-run the outputs are only checked. False after saying why.
bool open_outputs(const BatchOptions& options, std::FILE* out, std::FILE* err,
                  RunOutputs& outputs) {
  const std::vector<std::tuple<OutputFile*, std::string, const char*>> files = {
      {&outputs.csv, options.csv, "--csv"},
      {&outputs.json, options.json, "--json"},
      {&outputs.flows, options.flows_out, "--flows-out"},
      {&outputs.plot, options.plot, "--plot"},
      {&outputs.gap_plot, options.gap_plot, "--gap-plot"}};
  for (std::size_t a = 0; a < files.size(); ++a)
    for (std::size_t b = a + 1; b < files.size(); ++b)
      if (same_path(std::get<1>(files[a]), std::get<1>(files[b])))
        return refuse(err, "two outputs name the same file");
  for (const auto& [file, path, option] : files) {
    if (path.empty()) continue;
    const FileOutcome opened = file->open(path, out, options.dry_run);
    if (!opened.ok()) {
      outputs.abandon();
      return refuse(err, std::string(option) + ": " + opened.message);
    }
  }
  if (!options.svg_dir.empty()) {
    const FileOutcome locked = outputs.pictures.lock(options.svg_dir, options.dry_run);
    if (!locked.ok()) {
      outputs.abandon();
      return refuse(err, "--svg: " + locked.message);
    }
  }
  return true;
}

// The shard's instances: first + shard_index + j * shard_count. A shard
// takes whole instances, every grid point of each.
std::vector<long long> shard_numbers(const BatchOptions& options) {
  std::vector<long long> numbers;
  for (long long number = static_cast<long long>(options.first) + options.shard_index;
       number <= options.last; number += options.shard_count)
    numbers.push_back(number);
  return numbers;
}

// The SHA-256 of every file the shard reads: the deadline file and the
// instance files of a series, or the instance files named, the makespan
// table and the file of the cash flows. Files that cannot be read are left
// out (their rows say why).
std::vector<std::pair<std::string, std::string>> input_checksums(
    const BatchOptions& options, const std::vector<long long>& numbers) {
  std::vector<std::string> paths;
  if (options.files.empty())
    paths.push_back(
        (std::filesystem::path(options.dir) / ("deadline." + options.problem)).string());
  for (const long long number : numbers)
    paths.push_back(instance_path(options, static_cast<int>(number)));
  for (const std::string& path : {options.makespans, options.cash_flows})
    if (!path.empty()) paths.push_back(path);
  std::vector<std::pair<std::string, std::string>> sums;
  std::set<std::string> seen;
  for (const std::string& path : paths) {
    if (!seen.insert(path).second) continue;
    const std::string sum = sha256_of_file(path);
    if (!sum.empty()) sums.emplace_back(path, sum);
  }
  return sums;
}

// One row to solve: an instance and the index of its grid point.
struct WorkItem {
  long long number = 0;
  int point = 0;
};

// The result files a run resumes, and the rows done before: those both
// files hold (or the one file named), so both go on alike and in row order;
// and the flows written before for those rows.
struct Resumed {
  EarlierFile csv;
  EarlierFile json;
  EarlierFile flows;  // keyed by instance number and share of negative flows
  std::set<RowKey> done;
  std::set<RowKey> flows_kept;
};

// The flows key of a row: its instance and the share its flows were drawn with.
RowKey flows_key(long long number, const RunSettings& settings) {
  return {number, settings.negative};
}

// The lines of an earlier flows file, by flows key; those of rows done
// before are kept (each was written before its row).
FileOutcome read_earlier_flows(const std::string& path, const std::vector<RunSettings>& points,
                               Resumed& resumed) {
  std::string text;
  if (!read_text_file(path, text).ok())
    return FileOutcome{FileFault::cannot_open, "cannot read " + path};
  resumed.flows.exists = !text.empty();
  for (const RowKey& row : resumed.done)
    resumed.flows_kept.insert(flows_key(row.first, points[static_cast<std::size_t>(row.second)]));
  std::vector<std::string> fields;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    if (at == 0) {
      if (line + '\n' != flows_csv_header())
        return FileOutcome{FileFault::invalid, path + " is no flows file of rcpspdc-batch"};
      resumed.flows.header = line;
      continue;
    }
    RowKey key{0, -1};
    if (!split_csv_line(line, fields) || fields.size() != 6 || !to_number(fields[0], key.first) ||
        (!fields[2].empty() && !to_number(fields[2], key.second)))
      return FileOutcome{FileFault::invalid, path + " holds a line that is no flow: " + line};
    if (resumed.flows_kept.count(key) != 0) resumed.flows.rows.emplace_back(key, line);
  }
  return {};
}

FileOutcome read_earlier_files(const BatchOptions& options, const std::vector<long long>& numbers,
                               const std::vector<RunSettings>& points, const RunHeader& header,
                               Resumed& resumed) {
  ResumingRun run;
  for (const long long number : numbers)
    run.files.emplace(number, instance_path(options, static_cast<int>(number)));
  run.points = points;
  run.header = header;
  for (const auto& [path, is_json, earlier] :
       {std::tuple{options.csv, false, &resumed.csv}, {options.json, true, &resumed.json}}) {
    std::error_code missing;
    if (path.empty() || !std::filesystem::exists(path, missing)) continue;
    const FileOutcome read = read_earlier_file(path, is_json, run, *earlier);
    if (!read.ok()) return read;
  }
  const bool both = !options.csv.empty() && !options.json.empty();
  std::set<RowKey> in_csv;
  for (const auto& row : resumed.csv.rows) in_csv.insert(row.first);
  for (const auto& row : resumed.json.rows)
    if (!both || in_csv.count(row.first) != 0) resumed.done.insert(row.first);
  if (options.json.empty()) resumed.done = in_csv;
  std::error_code missing;
  if (!options.flows_out.empty() && std::filesystem::exists(options.flows_out, missing))
    return read_earlier_flows(options.flows_out, points, resumed);
  return {};
}

// The first lines of the result files: the header, or on --resume the
// earlier file's header and the lines kept; the files are cut back to them.
// Devices and pipes take their first lines before any file is cut, so a full
// device stops the run with every file as it was. False after saying why.
bool start_result_files(RunOutputs& outputs, const Resumed& resumed, const RunHeader& header,
                        std::FILE* err) {
  const std::string json_head = json_line(json_header(header));
  for (const bool regular : {false, true})
    for (const auto& [file, earlier, head, kept] :
         {std::tuple{&outputs.csv, &resumed.csv, csv_header(), &resumed.done},
          {&outputs.json, &resumed.json, json_head, &resumed.done},
          {&outputs.flows, &resumed.flows, flows_csv_header(), &resumed.flows_kept}}) {
      if (!file->is_open() || file->regular() != regular) continue;
      std::string text = head;
      if (earlier->exists) {
        text = earlier->header + '\n';
        for (const auto& [key, line] : earlier->rows)
          if (kept->count(key) != 0) text += line + '\n';
      }
      if (!file->replace(text)) {
        const std::string name = file->name();
        outputs.abandon();
        return refuse(err, "cannot write " + name + ": " + std::strerror(errno));
      }
    }
  return true;
}

// The grid point of a row in words, for messages: "delaying, offset 5".
std::string point_words(const BatchOptions& o, std::size_t points) {
  if (points <= 1) return {};
  return o.engine + ", " +
         (o.deadline_factor > 0 ? "factor " + factor_text(o.deadline_factor)
                                : "offset " + std::to_string(o.deadline_offset)) +
         ", rate " + compact(o.interest_rate) + ", negative " +
         std::to_string(o.negative_percent) + ": ";
}

// What a finished row says on standard error: a reader's note (unless
// --quiet), then its --verbose line, or without --verbose its fault, which
// even a quiet run names.
void say_row(const BatchOptions& options, const std::string& point, const BatchRow& row,
             bool progress, std::FILE* err) {
  const char* clear = progress ? "\r\033[K" : "";
  if (!row.note.empty() && !options.quiet)
    std::fprintf(err, "%srcpspdc-batch: %s\n", clear, row.note.c_str());
  if (options.verbose)
    std::fputs((point + verbose_line(row)).c_str(), err);
  else if (row.kind == RowStatus::error)
    std::fprintf(err, "%srcpspdc-batch: %sinstance %d: %s\n", clear, point.c_str(), row.number,
                 row.status.c_str());
  std::fflush(err);
}

// A span of seconds as a person reads it: "42 s", "7 min", "2.5 h".
std::string duration_words(double seconds) {
  if (seconds < 90.0) return fixed_decimals(seconds, 0) + " s";
  if (seconds < 5400.0) return fixed_decimals(seconds / 60.0, 0) + " min";
  return fixed_decimals(seconds / 3600.0, 1) + " h";
}

// How far a run has come: rows written, of them proven and errors.
struct Tally {
  long long total = 0;
  long long done = 0;
  long long proven = 0;
  long long errors = 0;
  double start = wall_seconds();

  void count(const BatchRow& row) {
    ++done;
    proven += row.kind == RowStatus::optimal || row.kind == RowStatus::infeasible;
    errors += row.kind == RowStatus::error;
  }
  std::string words() const {
    return std::to_string(done) + " of " + std::to_string(total) + " rows done, " +
           std::to_string(proven) + " proven" +
           (errors > 0 ? ", " + std::to_string(errors) + " errors" : "") + ", " +
           duration_words(wall_seconds() - start);
  }
  // The progress line: the rows left at the pace so far.
  std::string progress() const {
    const double elapsed = wall_seconds() - start;
    return words() + (done > 0 && done < total
                          ? ", about " +
                                duration_words(elapsed / static_cast<double>(done) *
                                               static_cast<double>(total - done)) +
                                " left"
                          : "");
  }
};

// Everything the threads of a run share, guarded by `lock`.
struct SharedRun {
  SharedRun(const BatchOptions& o, const std::vector<BatchOptions>& p,
            const std::vector<RunSettings>& s, const std::vector<WorkItem>& i, const RunInputs& in,
            RunOutputs& out, Resumed& r, std::FILE* e, bool show)
      : options(o),
        points(p),
        settings(s),
        items(i),
        inputs(in),
        outputs(out),
        resumed(r),
        err(e),
        progress(show) {}
  const BatchOptions& options;
  const std::vector<BatchOptions>& points;
  const std::vector<RunSettings>& settings;
  const std::vector<WorkItem>& items;
  const RunInputs& inputs;
  RunOutputs& outputs;
  Resumed& resumed;
  std::FILE* err;
  bool progress;
  std::mutex lock;
  std::vector<BatchRow> rows;
  std::vector<char> done;
  std::size_t written = 0;
  Tally tally;
  std::atomic<bool> write_failed{false};
  std::set<long long> noted;  // instances whose reader's note was said

  // Writes the rows that are next in order: the flows of each (once per
  // instance and share), then its CSV and JSON lines.
  void write_ready() {
    for (; written < rows.size() && done[written] != 0; ++written) {
      const BatchRow& next = rows[written];
      const RunSettings& s = settings[static_cast<std::size_t>(items[written].point)];
      bool ok = true;
      if (outputs.flows.is_open() && !next.cash_flow.empty() &&
          resumed.flows_kept.insert(flows_key(next.number, s)).second)
        ok = outputs.flows.put(flows_csv_lines(next.number, instance_name(options, next),
                                               s.negative, s.seed, next.cash_flow));
      ok = ok && (!outputs.csv.is_open() || outputs.csv.put(csv_row(next, s)));
      ok = ok && (!outputs.json.is_open() || outputs.json.put(json_row(next, s)));
      if (!ok) write_failed = true;
      tally.count(next);
    }
  }
};

// Solves the work items on options.jobs threads. Rows are solved in parallel
// and written in order as soon as all before them are done; a row that
// cannot be written skips the remaining ones. While it runs, `interrupt`
// can stop it.
std::vector<BatchRow> solve_all(SharedRun& run, RunInterrupt* interrupt, long long earlier_rows) {
  const BatchOptions& options = run.options;
  run.rows.resize(run.items.size());
  run.done.assign(run.items.size(), 0);
  run.tally.total = static_cast<long long>(run.items.size());
  if (interrupt != nullptr) {
    const std::lock_guard<std::mutex> hold(interrupt->lock);
    interrupt->stop = [&run, earlier_rows] {
      run.lock.lock();  // held for good: the process ends with every line whole
      const std::string summary = "interrupted: " + run.tally.words();
      if (run.outputs.json.is_open())
        run.outputs.json.put(json_closing_line("interrupted", wall_seconds() - run.tally.start,
                                               earlier_rows + run.tally.done));
      return summary;
    };
  }
  if (run.progress) std::fprintf(run.err, "%s\033[K", run.tally.progress().c_str());
  run_jobs(
      static_cast<long long>(run.items.size()), options.jobs > 0 ? options.jobs : default_jobs(),
      [&run](long long k, Workspace& workspace) {
        if (run.write_failed.load()) return;
        const WorkItem& item = run.items[static_cast<std::size_t>(k)];
        const BatchOptions& point = run.points[static_cast<std::size_t>(item.point)];
        BatchRow row = solve_one(point, run.inputs.info(), static_cast<int>(item.number),
                                 workspace, &run.inputs.makespans, run.inputs.table());
        const std::lock_guard<std::mutex> hold(run.lock);
        if (!run.noted.insert(item.number).second) row.note.clear();  // said once
        say_row(run.options, point_words(point, run.points.size()), row, run.progress, run.err);
        run.rows[static_cast<std::size_t>(k)] = std::move(row);
        run.done[static_cast<std::size_t>(k)] = 1;
        run.write_ready();
        if (run.progress) {
          std::fprintf(run.err, "\r%s\033[K", run.tally.progress().c_str());
          std::fflush(run.err);
        }
      });
  if (interrupt != nullptr) {
    const std::lock_guard<std::mutex> hold(interrupt->lock);
    interrupt->stop = nullptr;
  }
  if (run.progress) std::fputs("\r\033[K", run.err);
  return std::move(run.rows);
}

// The rows the figures show: the whole results file when there is one
// (rows of an earlier run resumed included), else the rows of this run.
std::vector<ReportRow> figure_rows(const BatchOptions& options, const SharedRun& run,
                                   const std::vector<BatchRow>& rows) {
  std::vector<ReportRow> report;
  for (const std::string& path : {options.json, options.csv}) {
    if (path.empty() || path == "-" || !std::filesystem::is_regular_file(path)) continue;
    if (read_report_rows(path, report).ok()) {
      for (ReportRow& row : report) row.set = options.problem;
      return report;
    }
    report.clear();
  }
  for (std::size_t k = 0; k < rows.size(); ++k)
    report.push_back(report_row(
        rows[k], run.settings[static_cast<std::size_t>(run.items[k].point)], options.problem));
  return report;
}

// Closes the result files, draws the run's figures and gives the summary
// (on standard error when the results take standard output). Returns the
// exit status.
int finish_run(const BatchOptions& options, const SharedRun& run,
               const std::vector<BatchRow>& rows, RunOutputs& outputs, long long earlier_rows,
               std::FILE* out, std::FILE* err) {
  bool unwritten = false;
  if (outputs.json.is_open())
    outputs.json.put(json_closing_line("complete", wall_seconds() - run.tally.start,
                                       earlier_rows + static_cast<long long>(rows.size())));
  for (OutputFile* file : {&outputs.csv, &outputs.json, &outputs.flows}) {
    if (!file->is_open()) continue;
    if (!file->close()) {
      std::fprintf(err, "rcpspdc-batch: cannot write %s\n", file->name().c_str());
      unwritten = true;
    }
  }
  if (unwritten) return 2;
  if (outputs.plot.is_open() || outputs.gap_plot.is_open()) {
    const ProfileFigure figure = profile_figure(group_rows(figure_rows(options, run, rows)));
    for (const auto& [file, draw, option] :
         {std::tuple{&outputs.plot, &performance_profile_svg, "--plot"},
          {&outputs.gap_plot, &gap_profile_svg, "--gap-plot"}})
      if (file->is_open() && (!file->replace(draw(figure)) || !file->close())) {
        refuse(err, std::string(option) + ": cannot write " + file->name());
        return 2;
      }
  }
  std::FILE* summary_to = options.csv == "-" || options.json == "-" ? err : out;
  const BatchSummary summary = summarize(rows);
  if (!options.quiet) {
    std::fputs(format_summary(summary).c_str(), summary_to);
    if (std::fflush(summary_to) != 0 || std::ferror(summary_to) != 0) {
      refuse(err, "cannot write the summary");
      return 2;
    }
  }
  return summary.errors > 0 ? 1 : 0;
}

// A run whose rows go nowhere keeps nothing but its summary: said first.
void warn_without_rows(const BatchOptions& options, std::FILE* err) {
  if (options.quiet || !options.csv.empty() || !options.json.empty() || !options.svg_dir.empty())
    return;
  std::fputs(
      "rcpspdc-batch: warning: no --csv or --json: the rows of this run are kept nowhere, only "
      "its summary\n",
      err);
}

}  // namespace

int run_batch(const BatchOptions& options, std::FILE* out, std::FILE* err, bool progress,
              RunInterrupt* interrupt) {
  if (options.report) return run_report(options, out, err);
  RunInputs inputs;
  if (!read_run_inputs(options, err, inputs)) return 2;
  RunOutputs outputs;
  if (!open_outputs(options, out, err, outputs)) return 2;
  const std::vector<BatchOptions> points = grid_points(options);
  std::vector<RunSettings> settings;
  for (const BatchOptions& point : points) settings.push_back(run_settings(point));
  const std::vector<long long> numbers = shard_numbers(options);
  RunHeader header = run_header(options);
  header.checksums = input_checksums(options, numbers);
  // With --resume, the rows both files hold are kept and skipped.
  Resumed resumed;
  if (options.resume) {
    const FileOutcome read = read_earlier_files(options, numbers, settings, header, resumed);
    if (!read.ok()) {
      outputs.abandon();
      refuse(err, "--resume: " + read.message + "; nothing was changed");
      return 2;
    }
  }
  // Instance by instance, each at every grid point in the grid's order.
  std::vector<WorkItem> items;
  for (const long long number : numbers)
    for (std::size_t p = 0; p < points.size(); ++p)
      if (resumed.done.count({number, static_cast<int>(p)}) == 0)
        items.push_back({number, static_cast<int>(p)});
  if (options.dry_run) {
    if (!options.quiet)
      std::fprintf(out,
                   "rcpspdc-batch: dry run: %zu rows to solve (%zu instances at %zu grid "
                   "points); nothing was written\n",
                   items.size(), numbers.size(), points.size());
    return 0;
  }
  warn_without_rows(options, err);
  note_deadline_sources(options, inputs.makespans, err, true);
  if (!start_result_files(outputs, resumed, header, err)) return 2;
  if (!resumed.done.empty() && !options.quiet)
    std::fprintf(err, "rcpspdc-batch: --resume: %zu rows done before, %zu to go\n",
                 resumed.done.size(), items.size());
  SharedRun run(options, points, settings, items, inputs, outputs, resumed, err,
                progress && !options.quiet && !options.verbose);
  const auto earlier_rows = static_cast<long long>(resumed.done.size());
  const std::vector<BatchRow> rows = solve_all(run, interrupt, earlier_rows);
  return finish_run(options, run, rows, outputs, earlier_rows, out, err);
}

}  // namespace rcpspdc
