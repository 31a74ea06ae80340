// The batch runner's CSV: one row per instance, with a header. Fields that do
// not apply are empty; the status, the only field that may hold a comma, is
// quoted when it needs to be.
#pragma once

#include <cstdint>
#include <string>

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
};

std::string csv_header();
std::string csv_row(const BatchRow& row);

}  // namespace rcpspdc
