// rcpspdc-check: a schedule, from the listing of an output.out or from a CSV
// file, checked against the instance file, a deadline and the cash flows of
// an info.out record by the same independent checker the programs run before
// they report a schedule.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/command_line.hpp"

namespace rcpspdc {

struct CheckOptions {
  std::string instance;        // the instance file
  bool have_deadline = false;  // --deadline given
  int deadline = 0;
  std::string deadline_file;  // or: triple `number` of this file, plus `offset`
  int offset = 0;
  double interest_rate = 0.0;
  std::string cash_flows;  // info.out holding the cash flows
  int number = 0;          // its record (and the deadline file's triple)
  std::string schedule;    // output.out listing or activity,finish CSV
  std::string json;        // or: object `number` of rcpspdc-batch --json output
  bool all = false;        // or: every object of that output
  bool help = false;
};

using CheckOptionsOutcome = ParsedOptions<CheckOptions>;

CheckOptionsOutcome parse_check_options(const std::vector<std::string>& args);
std::string check_usage();

// The whole check: a report to `out`, file and usage faults to `err`. Returns
// 0 for a feasible schedule (whose listed value, if any, matches), 1 for an
// infeasible one or a wrong value, 2 when a file cannot be read or used.
// With --all, every line of a run, one summary, 1 on any failure.
int run_check(const CheckOptions& options, std::FILE* out, std::FILE* err);

}  // namespace rcpspdc
