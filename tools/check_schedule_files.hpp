// rcpspdc-check: a schedule, from the listing of an output.out or from a CSV
// file, checked against the instance file, a deadline and the cash flows of
// an info.out record by the same independent checker the programs run before
// they report a schedule.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

struct CheckOptions {
  std::string instance;       // the instance file
  bool have_deadline = false; // --deadline given
  int deadline = 0;
  std::string deadline_file;  // or: triple `number` of this file, plus `offset`
  int offset = 0;
  double interest_rate = 0.0;
  std::string cash_flows;     // info.out holding the cash flows
  int number = 0;             // its record (and the deadline file's triple)
  std::string schedule;       // output.out listing or activity,finish CSV
  bool help = false;
};

struct CheckOptionsOutcome {
  CheckOptions options;
  std::string error;  // empty when the arguments were accepted
  bool ok() const { return error.empty(); }
};

CheckOptionsOutcome parse_check_options(const std::vector<std::string>& args);
std::string check_usage();

// A schedule as read: finish times in model numbering with the dummies filled
// in, and the value a listing's "Solution:" line claims ("" when none).
struct ScheduleFile {
  std::vector<int> finish;
  std::string claimed_value;
};

// Reads either form, told apart by content: a text with an "Act. " line is a
// solution listing ("Act. 2: einde 6", activities numbered as in the instance
// file); anything else must be CSV lines "activity,finish" (file numbering),
// the first line possibly a header. Every real activity needs exactly one
// finish time. The start dummy finishes at 0 and the end dummy at the largest
// finish time of the real activities, unless the file lists them. False, with
// the line and the fault in `error`, when the text does not fit the instance.
bool parse_schedule_text(const std::string& text, const InstanceData& instance, ScheduleFile& schedule,
                         std::string& error);

// The whole check: a report to `out`, file and usage faults to `err`. Returns
// 0 for a feasible schedule (whose listed value, if any, matches), 1 for an
// infeasible one or a wrong value, 2 when a file cannot be read or used.
int run_check(const CheckOptions& options, std::FILE* out, std::FILE* err);

}  // namespace rcpspdc
