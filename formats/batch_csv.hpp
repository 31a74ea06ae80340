// The batch runner's CSV: one row per instance, with a header. Fields that do
// not apply are empty; a field that holds a comma, a quote or a line break
// (the status, a file name) is quoted. The bound and the seconds to the best
// schedule came later and stand behind the status, and the run's settings
// behind them, so readers of the first columns keep working.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rcpspdc {

// How a row ended: a complete search (optimal, infeasible), one stopped by
// the time or the node limit, or an instance that was not solved.
enum class RowStatus { optimal, infeasible, time_limit, node_limit, error };

// The status word of a row that was solved ("optimal", "infeasible", "time
// limit", "node limit"); an error row's status says what went wrong instead.
const char* status_word(RowStatus kind);
// The kind a status word names; any other text is an error row's.
RowStatus status_kind(const std::string& status);

// One instance's outcome. Fields that do not apply stay at -1 (or
// has_value false) and are written as empty CSV fields.
struct BatchRow {
  int number = 0;
  int activities = -1;
  int resources = -1;
  int deadline = -1;
  std::int64_t created_nodes = -1;
  std::int64_t branched_nodes = -1;
  bool has_value = false;  // a feasible schedule was found
  double npv = 0.0;
  double seconds = -1.0;     // wall time of the search alone
  double cpu_seconds = 0.0;  // processor time of the search's thread (not in the CSV)
  RowStatus kind = RowStatus::error;
  std::string status;  // status_word(kind), or what went wrong
  // The largest value a schedule could still have: the value after a complete
  // search, the open bound after a stopped one; not finite when unknown.
  double bound = 0.0;
  bool has_bound = false;
  double seconds_to_best = -1.0;  // when the best schedule was found (-1: not recorded)
  std::string file;               // the instance file read
  std::string deadline_from;      // a named file's makespan source: makespans or critical path
  std::string note;               // what the reader changed to accept the file (not in the CSV)
  std::vector<int> cash_flow;     // of every activity, the first of the file first
  std::vector<int> finish;        // finish times of the best schedule, every activity
};

// The settings that change a row's result. Every row carries them (CSV
// columns behind the results, then the row's instance file; the same keys in
// a JSON line), so a resumed run or a merge of shards can tell the rows of
// another run apart.
struct RunSettings {
  std::string engine;           // start-times or delaying
  int offset = 0;               // periods added to the makespan (unused with a factor)
  long long factor = 0;         // or: the makespan's factor in millionths (0: an offset)
  double rate = 0.0;            // interest rate
  int negative = -1;            // percentage of negative flows; -1: unused (flows from a file)
  long long seed = -1;          // -1: the flows come from a file
  bool unmixed_seed = false;    // every instance drawn from the seed alone
  std::string cash_flows;       // the info.out the flows come from ("" = drawn)
  std::string makespans;        // the makespan table of named files ("" = none)
  double time_limit = 0.0;      // seconds, 0 = none
  std::int64_t node_limit = 0;  // created nodes per search, 0 = none (written empty)
};

// The names of the settings columns, in order, and the file column last.
const std::vector<std::string>& settings_columns();
// The text of each settings column of `settings`, in the same order (without the file).
std::vector<std::string> settings_fields(const RunSettings& settings);

std::string csv_header();
std::string csv_row(const BatchRow& row, const RunSettings& settings);

// A deadline factor F, "1.25", as a whole number of millionths (1250000):
// at most 6 decimals, from 0.000001 to 100. False for any other text.
bool parse_deadline_factor(const std::string& text, long long& millionths);
// ceil(F x makespan), exactly.
long long factor_deadline(long long millionths, long long makespan);
// The factor as the shortest decimal text: "1.25".
std::string factor_text(long long millionths);

// A field as written: quoted when it holds a comma, a quote or a line break.
std::string csv_field(const std::string& text);

// The fields of one CSV line, quotes removed; false when a quote is not closed.
bool split_csv_line(const std::string& line, std::vector<std::string>& fields);

// A number of seconds as every row gives it: rounded to the microsecond, so
// the CSV's six decimals and the JSON value are one and the same.
double rounded_seconds(double seconds);

// `value` in the shortest text that reads back as the same double ("0.01").
std::string shortest(double value);

}  // namespace rcpspdc
