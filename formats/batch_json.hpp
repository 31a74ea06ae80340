// The batch runner's JSON Lines: a header object with the settings of the
// run, then one object per instance with its outcome and its best schedule,
// so every result can be checked again and analysed without the solver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "formats/batch_csv.hpp"
#include "formats/file_outcome.hpp"

namespace rcpspdc {

// What the header line says about the run: everything needed to repeat it.
struct RunHeader {
  std::string version;  // of the program
  // The grid: every instance at every combination of these (see the runner).
  std::vector<std::string> engines;
  std::string problem;  // a numbered series: PROBLEM<number>.rcp in dir
  int first = 0;
  int last = 0;
  std::string dir;
  std::vector<std::string> files;  // or: the instance files named
  std::string makespans;           // their makespan table (with files only)
  std::vector<int> offsets;        // deadlines over the makespan,
  std::vector<long long> factors;  // or as its factors in millionths (then no offsets)
  std::vector<double> rates;
  std::vector<int> negatives;
  std::uint32_t seed = 0;  // with drawn flows
  std::string cash_flows;  // or: the info.out the flows come from
  bool unmixed_seed = false;
  double time_limit = 0.0;
  std::int64_t node_limit = 0;  // 0: none (written null)
  int jobs = 1;
  int threads = 1;  // searches on each instance at once
  int shard_index = 0;
  int shard_count = 1;
  // Where and when the run began (not compared when a run resumes):
  std::string date;       // UTC, ISO 8601
  std::string host;       // the machine's name
  std::string processor;  // its processor model
  int processor_threads = 0;
  // The SHA-256 of every input file read, by path (compared when a run resumes).
  std::vector<std::pair<std::string, std::string>> checksums;
};

// The keys of the header that say where and when, not what: a resumed run
// may differ in these.
const std::vector<std::string>& header_circumstances();

// The closing line of a run: "complete" or "interrupted", the wall time of
// the whole run and its rows. Readers of rows pass over it (it has no
// "number"); a resumed run drops it and writes its own.
std::string json_closing_line(const std::string& end, double wall_seconds, long long rows);

// The header object, written as the first line.
nlohmann::ordered_json json_header(const RunHeader& header);

// One instance's object as one line (with its newline). Fields that do not
// apply (no value, no bound, no schedule) are null. "cash_flows" and
// "finish" hold one entry per activity: entry k - 1 is activity k of the file.
// The run's settings follow under the names of the CSV columns.
std::string json_row(const BatchRow& row, const RunSettings& settings);

// The settings as the JSON keys of a line (the file not included).
nlohmann::ordered_json settings_json(const RunSettings& settings);

// The settings of a line, read back from the keys settings_json writes
// (missing or mistyped keys read as unused).
RunSettings settings_from_json(const nlohmann::json& line);

// One line of JSON text. Paths are bytes and need not be UTF-8: bytes that
// are not valid UTF-8 are written as U+FFFD, so every line stays valid JSON.
std::string json_line(const nlohmann::ordered_json& object);

// A finished instance read back from such a line: what the checker needs.
struct JsonSchedule {
  int number = 0;
  std::string file;  // the instance file, as the run named it
  int deadline = 0;
  double interest_rate = 0.0;
  std::vector<int> cash_flow;  // of every activity, the first of the file first
  std::vector<int> finish;     // every activity, empty without a schedule
  bool has_value = false;
  double value = 0.0;  // the value the run reported
  std::string status;
  bool has_bound = false;
  double bound = 0.0;
  std::string deadline_from;        // instance files: makespans or critical path
  std::int64_t created_nodes = -1;  // -1: not given
  RunSettings settings;             // of the line's grid point
};

// Reads one object of such a line (see find_json_schedule for what fails).
FileOutcome read_json_schedule(const nlohmann::json& object, JsonSchedule& schedule);

// Finds the object of instance `number` among the lines of `text` (the header
// and other instances are skipped). Fails (invalid) with what is wrong: no
// such line, a line that was never solved (its status says why), or a field
// that is not what the run writes (finish times and cash flows must be
// integers of 32 bits).
FileOutcome find_json_schedule(const std::string& text, int number, JsonSchedule& schedule);

// One line of a run's JSON Lines, as a reader of the whole run takes it.
struct JsonRunLine {
  enum class Kind {
    header,    // an object with "program": the run's header
    solved,    // an instance's object, read into `schedule`
    unsolved,  // an instance the run could not solve (its status says why): no deadline,
               // schedule or value
    invalid,   // not a JSON object, or an instance's field not as the run writes it
  };
  Kind kind = Kind::invalid;
  int line_number = 0;        // from 1, blank lines counted
  std::string deadline_file;  // header of a numbered series: DIR/deadline.PROBLEM ("" otherwise)
  JsonSchedule schedule;      // solved
  std::string message;        // invalid: what is wrong
};

// Reads every line of the run's JSON Lines at `path`, in order; blank lines
// and the closing line are passed over. Fails only with "cannot open PATH".
FileOutcome read_json_run(const std::string& path, std::vector<JsonRunLine>& lines);

}  // namespace rcpspdc
