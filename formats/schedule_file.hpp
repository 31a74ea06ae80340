// Schedules written by hand or by another program: the solution listing of a
// single-instance output.out, or CSV lines "activity,finish".
#pragma once

#include <string>
#include <vector>

#include "formats/file_outcome.hpp"
#include "model/instance_data.hpp"

namespace rcpspdc {

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
// finish time of the real activities, unless the file lists them. Fails
// (invalid), naming the line and the fault, when the text does not fit the
// instance.
FileOutcome parse_schedule_text(const std::string& text, const InstanceData& instance,
                                ScheduleFile& schedule);

}  // namespace rcpspdc
