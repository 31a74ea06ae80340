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

#include "check/schedule_check.hpp"
#include "formats/batch_json.hpp"
#include "formats/batch_resume.hpp"
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
#include "tools/batch_summary.hpp"
#include "tools/output_file.hpp"
#include "window_search/initial_schedule.hpp"

namespace rcpspdc {

namespace {

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

std::string deadline_above_limit() {
  return "deadline above " + std::to_string(MAX_DEADLINE) + " periods";
}

// A numbered instance: the deadline file and the instance file of the
// series. False, with the row's status saying why, when it cannot be solved.
bool read_numbered_instance(const BatchOptions& options, int number, InstanceData& data,
                            BatchRow& row) {
  const FileOutcome outcome =
      read_instance_files(options.problem, number, options.deadline_offset, data, options.dir);
  row.note = outcome.note;
  // The console keeps its words for a deadline above the limit; a row says why.
  if (!outcome.ok())
    row.status = outcome.fault == FileFault::deadline_above_limit ? deadline_above_limit()
                                                                  : read_error_text(outcome);
  else if (data.deadline < 0)
    row.status = negative_deadline(data.deadline);
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
      static_cast<long long>(known ? found->second : critical_path_length(data)) +
      options.deadline_offset;
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

const char* engine_name(Engine engine) {
  return engine == Engine::delaying ? "delaying" : "start-times";
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
  s.engine = engine_name(o.engine);
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

RunHeader run_header(const BatchOptions& o) {
  return {.version = version_text(),
          .engine = engine_name(o.engine),
          .problem = o.problem,
          .first = o.first,
          .last = o.last,
          .dir = o.dir,
          .files = o.files,
          .makespans = o.makespans,
          .offset = o.deadline_offset,
          .rate = o.interest_rate,
          .negative = o.negative_percent,
          .seed = o.seed,
          .cash_flows = o.cash_flows,
          .unmixed_seed = o.unmixed_seed,
          .time_limit = o.time_limit,
          .jobs = o.jobs > 0 ? o.jobs : default_jobs(),
          .shard_index = o.shard_index,
          .shard_count = o.shard_count};
}

namespace {

// The instance's cash flows: those of its info.out record when `records` is
// given, else drawn from the seed as the console draws them. False, with the
// row's status saying why, when the record does not fit.
bool give_cash_flows(const BatchOptions& options, const InfoRecords* records, InstanceData& data,
                     BatchRow& row) {
  if (records != nullptr) {
    row.status = cash_flows_from(*records, row.number, data);
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
EngineOutcome run_engine(const BatchOptions& options, const InstanceData& data,
                         Workspace& workspace, BatchRow& row) {
  const double cpu_start = thread_cpu_seconds();
  const auto wall_start = std::chrono::steady_clock::now();
  const EngineOutcome run = options.engine == Engine::delaying
                                ? run_delaying(options, data, workspace.solver, row)
                                : run_start_times(options, data, workspace.windows, row);
  // Rounded once, so the CSV and the JSON give one time, and the best
  // schedule is never found after the search ended.
  row.seconds = rounded_seconds(seconds_since(wall_start));
  row.cpu_seconds = thread_cpu_seconds() - cpu_start;
  return run;
}

// Checks the schedule the engine found and records how the search ended.
// False, with the row's status saying why, when there is nothing to record.
bool record_outcome(const BatchOptions& options, const InstanceData& data,
                    const EngineOutcome& run, BatchRow& row) {
  if (!run.end) {
    row.status = "the search reported no result";
    return false;
  }
  if (run.has_incumbent) {
    const std::string problem =
        check_reported_schedule(data, run.finish, run.npv, options.interest_rate);
    if (!problem.empty()) {
      row.status = "schedule check failed: " + problem;
      return false;
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
  return true;
}

// The picture of the row's schedule in the --svg directory; one that cannot
// be written makes the row an error.
void draw_schedule(const BatchOptions& options, const InstanceData& data, BatchRow& row) {
  const std::string name =
      options.files.empty() ? options.problem + std::to_string(row.number) : file_stem(row.file);
  const FileOutcome drawn = write_schedule_svg(
      (std::filesystem::path(options.svg_dir) / (name + ".svg")).string(), data, row.finish,
      name + ": deadline " + std::to_string(data.deadline) + ", rate " +
          compact(options.interest_rate) + ", " + row.status + ", net present value " +
          fixed_decimals(row.npv, 2),
      options.svg_arcs);
  if (!drawn.ok()) {
    row.kind = RowStatus::error;
    row.status = drawn.message;
  }
}

}  // namespace

BatchRow solve_one(const BatchOptions& options, const InfoRecords* records, int number,
                   Workspace& workspace, const Makespans* makespans) {
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
  if (!give_cash_flows(options, records, data, row)) return row;
  const EngineOutcome run = run_engine(options, data, workspace, row);
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

// What the run reads besides the instances: the recorded cash flows and the
// makespan table. False after saying why.
bool read_run_inputs(const BatchOptions& options, std::FILE* err, InfoRecords& records,
                     Makespans& makespans) {
  if (!options.cash_flows.empty()) {
    const FileOutcome read = read_info_file(options.cash_flows, records);
    if (!read.ok()) return refuse(err, "--cash-flows: " + read.message);
  }
  if (!options.makespans.empty()) {
    const FileOutcome read = read_makespan_table(options.makespans, makespans);
    if (!read.ok()) return refuse(err, "--makespans: " + read.message);
  }
  std::error_code ignored;
  if (!options.dir.empty() && !std::filesystem::is_directory(options.dir, ignored))
    return refuse(err, "--dir: " + options.dir + " is not a directory");
  return note_deadline_sources(options, makespans, err, false);
}

// The outputs of a run.
struct RunOutputs {
  OutputFile csv;
  OutputFile json;
  OutputFile plot;
  DirectoryLock pictures;

  void abandon() {
    for (OutputFile* file : {&csv, &json, &plot}) file->abandon();
  }
};

// Every output is opened and locked before any is changed: a file that
// cannot be written, or that another run holds, stops the run untouched.
// With --dry-run the outputs are only checked. False after saying why.
bool open_outputs(const BatchOptions& options, std::FILE* out, std::FILE* err,
                  RunOutputs& outputs) {
  const std::vector<std::string> paths = {options.csv, options.json, options.plot};
  for (std::size_t a = 0; a < paths.size(); ++a)
    for (std::size_t b = a + 1; b < paths.size(); ++b)
      if (same_path(paths[a], paths[b])) return refuse(err, "two outputs name the same file");
  for (const auto& [file, path, option] : {std::tuple{&outputs.csv, options.csv, "--csv"},
                                           {&outputs.json, options.json, "--json"},
                                           {&outputs.plot, options.plot, "--plot"}}) {
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

// The shard's instances: first + shard_index + j * shard_count.
std::vector<long long> shard_numbers(const BatchOptions& options) {
  std::vector<long long> numbers;
  for (long long number = static_cast<long long>(options.first) + options.shard_index;
       number <= options.last; number += options.shard_count)
    numbers.push_back(number);
  return numbers;
}

// The result files a run resumes, and the instances done before: those both
// files hold (or the one file named), so both go on alike and in instance
// order.
struct Resumed {
  EarlierFile csv;
  EarlierFile json;
  std::set<long long> done;
};

FileOutcome read_earlier_files(const BatchOptions& options, const std::vector<long long>& numbers,
                               Resumed& resumed) {
  ResumingRun run;
  for (const long long number : numbers)
    run.files.emplace(number, instance_path(options, static_cast<int>(number)));
  run.settings = run_settings(options);
  run.header = run_header(options);
  for (const auto& [path, is_json, earlier] :
       {std::tuple{options.csv, false, &resumed.csv}, {options.json, true, &resumed.json}}) {
    std::error_code missing;
    if (path.empty() || !std::filesystem::exists(path, missing)) continue;
    const FileOutcome read = read_earlier_file(path, is_json, run, *earlier);
    if (!read.ok()) return read;
  }
  const bool both = !options.csv.empty() && !options.json.empty();
  std::set<long long> in_csv;
  for (const auto& row : resumed.csv.rows) in_csv.insert(row.first);
  for (const auto& row : resumed.json.rows)
    if (!both || in_csv.count(row.first) != 0) resumed.done.insert(row.first);
  if (options.json.empty()) resumed.done = in_csv;
  return {};
}

// The first lines of the result files: the header, or on --resume the
// earlier file's header and the rows kept; the files are cut back to them.
// Devices and pipes take their first lines before any file is cut, so a full
// device stops the run with every file as it was. False after saying why.
bool start_result_files(RunOutputs& outputs, const Resumed& resumed, const RunHeader& header,
                        std::FILE* err) {
  const std::string json_head = json_line(json_header(header));
  for (const bool regular : {false, true})
    for (const auto& [file, earlier, head] : {std::tuple{&outputs.csv, &resumed.csv, csv_header()},
                                              {&outputs.json, &resumed.json, json_head}}) {
      if (!file->is_open() || file->regular() != regular) continue;
      std::string text = head;
      if (earlier->exists) {
        text = earlier->header + '\n';
        for (const auto& [number, line] : earlier->rows)
          if (resumed.done.count(number) != 0) text += line + '\n';
      }
      if (!file->replace(text)) {
        const std::string name = file->name();
        outputs.abandon();
        return refuse(err, "cannot write " + name + ": " + std::strerror(errno));
      }
    }
  return true;
}

// What a finished instance says on standard error: a reader's note (unless
// --quiet), then its --verbose line, or without --verbose its fault, which
// even a quiet run names.
void say_row(const BatchOptions& options, const BatchRow& row, bool progress, std::FILE* err) {
  const char* clear = progress ? "\r\033[K" : "";
  if (!row.note.empty() && !options.quiet)
    std::fprintf(err, "%srcpspdc-batch: %s\n", clear, row.note.c_str());
  if (options.verbose)
    std::fputs(verbose_line(row).c_str(), err);
  else if (row.kind == RowStatus::error)
    std::fprintf(err, "%srcpspdc-batch: instance %d: %s\n", clear, row.number, row.status.c_str());
  std::fflush(err);
}

// Solves `numbers` on options.jobs threads. Rows are solved in parallel and
// written in order as soon as all before them are done; a row that cannot be
// written skips the remaining instances.
std::vector<BatchRow> solve_all(const BatchOptions& options, const std::vector<long long>& numbers,
                                const InfoRecords& records, const Makespans& makespans,
                                RunOutputs& outputs, bool progress, std::FILE* err) {
  const RunSettings settings = run_settings(options);
  const auto run_start = std::chrono::steady_clock::now();
  const auto count = static_cast<long long>(numbers.size());
  std::vector<BatchRow> rows(static_cast<std::size_t>(count));
  std::vector<char> done(rows.size(), 0);
  std::size_t written = 0;
  long long started = 0;
  std::mutex lock;  // guards done, written, started, the result files and err
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
             say_row(options, row, progress, err);
             rows[static_cast<std::size_t>(k)] = std::move(row);
             done[static_cast<std::size_t>(k)] = 1;
             for (; written < rows.size() && done[written] != 0; ++written) {
               const BatchRow& next = rows[written];
               if ((outputs.csv.is_open() && !outputs.csv.put(csv_row(next, settings))) ||
                   (outputs.json.is_open() && !outputs.json.put(json_row(next, settings))))
                 write_failed = true;
             }
           });
  if (progress) std::fputs("\r\033[K", err);
  return rows;
}

// Closes the result files, draws the run's picture and gives the summary
// (on standard error when the results take standard output). Returns the
// exit status.
int finish_run(const BatchOptions& options, const std::vector<BatchRow>& rows, RunOutputs& outputs,
               std::FILE* out, std::FILE* err) {
  bool unwritten = false;
  for (OutputFile* file : {&outputs.csv, &outputs.json}) {
    if (!file->is_open()) continue;
    if (!file->close()) {
      std::fprintf(err, "rcpspdc-batch: cannot write %s\n", file->name().c_str());
      unwritten = true;
    }
  }
  if (unwritten) return 2;
  if (outputs.plot.is_open()) {
    const std::string title =
        (options.files.empty() ? options.problem + " " + std::to_string(options.first) + "-" +
                                     std::to_string(options.last)
                               : std::to_string(options.files.size()) + " instance files") +
        ", offset " + std::to_string(options.deadline_offset) + ", time limit " +
        compact(options.time_limit) + " s";
    if (!outputs.plot.replace(run_plot_svg(rows, title)) || !outputs.plot.close()) {
      refuse(err, "--plot: cannot write " + options.plot);
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

}  // namespace

int run_batch(const BatchOptions& options, std::FILE* out, std::FILE* err, bool progress) {
  InfoRecords records;
  Makespans makespans;
  if (!read_run_inputs(options, err, records, makespans)) return 2;
  RunOutputs outputs;
  if (!open_outputs(options, out, err, outputs)) return 2;
  const std::vector<long long> all_numbers = shard_numbers(options);
  // With --resume, the instances both files hold are kept and skipped.
  Resumed resumed;
  if (options.resume) {
    const FileOutcome read = read_earlier_files(options, all_numbers, resumed);
    if (!read.ok()) {
      outputs.abandon();
      refuse(err, "--resume: " + read.message + "; nothing was changed");
      return 2;
    }
  }
  std::vector<long long> numbers;
  for (const long long number : all_numbers)
    if (resumed.done.count(number) == 0) numbers.push_back(number);
  if (options.dry_run) {
    if (!options.quiet)
      std::fprintf(out, "rcpspdc-batch: dry run: %zu instances to solve; nothing was written\n",
                   numbers.size());
    return 0;
  }
  note_deadline_sources(options, makespans, err, true);
  if (!start_result_files(outputs, resumed, run_header(options), err)) return 2;
  if (!resumed.done.empty() && !options.quiet)
    std::fprintf(err, "rcpspdc-batch: --resume: %zu instances done before, %zu to go\n",
                 resumed.done.size(), numbers.size());
  const std::vector<BatchRow> rows =
      solve_all(options, numbers, records, makespans, outputs,
                progress && !options.quiet && !options.verbose, err);
  return finish_run(options, rows, outputs, out, err);
}

}  // namespace rcpspdc
