// The batch runner's CSV: one row per instance, with a header. Fields that do
// not apply are empty; the status, the only field that may hold a comma, is
// quoted when it needs to be. The bound and the seconds to the best schedule
// came later and stand behind the status, so readers of the first nine
// columns keep working.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rcpspdc {

enum class RowStatus { optimal, infeasible, time_limit, error };

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
  std::string status;  // optimal, infeasible, time limit, or what went wrong
  // The largest value a schedule could still have: the value after a complete
  // search, the open bound after a stopped one; not finite when unknown.
  double bound = 0.0;
  bool has_bound = false;
  double seconds_to_best = -1.0;  // when the best schedule was found (-1: not recorded)
  std::string file;               // the instance file read
  std::string deadline_from;      // a named file's makespan source: makespans or critical path
  std::vector<int> cash_flow;     // of every activity, the first of the file first
  std::vector<int> finish;        // finish times of the best schedule, every activity
};

std::string csv_header();
std::string csv_row(const BatchRow& row);

}  // namespace rcpspdc
