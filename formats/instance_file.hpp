// Reading and validating the instance and deadline files. These only parse
// and check; the console procedures report what they find and the batch tools
// record it, so both read files the same way.
#pragma once

#include <string>
#include <utility>

#include "formats/text_file.hpp"
#include "model/instance_data.hpp"

namespace rcpspdc {

// Read failures, by the number the reports use.
enum ReadErrorKind : int {
  READ_OK = -1,
  READ_NOT_FOUND = 0,         // instance file cannot be opened
  READ_TOO_MANY = 1,          // more than 128 activities or 4 resource types
  READ_DUMMIES = 2,           // a real activity of duration 0
  READ_NO_DEADLINE_FILE = 3,  // deadline file cannot be opened
  READ_INVALID = 4,           // malformed or out-of-limit instance
  READ_NO_DEADLINE = 5,       // no usable deadline triple for the instance
};

constexpr int MAX_DEADLINE = 100000;  // periods; larger deadlines are refused

struct ReadOutcome {
  ReadOutcome() = default;
  ReadOutcome(int failure, std::string why) : kind(failure), reason(std::move(why)) {}

  int kind = READ_OK;  // READ_OK or one of the failures above
  std::string reason;  // plain words on what is wrong and where (READ_INVALID)
  std::string notice;  // an accepted instance: the arcs the reader added to close dangling ends
  bool above_limit =
      false;  // READ_NO_DEADLINE: the triple is there but the deadline exceeds MAX_DEADLINE
  bool ok() const { return kind == READ_OK; }
};

// The words a failure is reported with, in output.out and the batch CSV alike:
// "problem not found", "invalid instance: <reason>", ...
std::string read_error_text(const ReadOutcome& outcome);

// File names for a problem name and an instance number: "x7.rcp", "deadline.x".
std::string instance_file_name(const std::string& problem_name, int problem_number);
std::string deadline_file_name(const std::string& problem_name);

// Takes triple number max(problem_number, 1) of the deadline file; the deadline
// is its third integer plus the offset.
ReadOutcome read_deadline_file(const std::string& path, int problem_number, int deadline_offset,
                               int& deadline);
ReadOutcome parse_deadline_text(const std::string& text, int problem_number, int deadline_offset,
                                int& deadline);

// Reads an instance file into `data` (all but cash flows and deadline) and
// checks it: token errors where they are met, the size limits right after the
// header, real dummies and the sum of the durations activity by activity, the
// structure after the whole file. An activity other than the last without a
// successor gets the arc to the last activity, one other than the first
// without a predecessor the arc from the first; the outcome's notice says
// which, and read_instance_file prints it on standard error with the path.
ReadOutcome read_instance_file(const std::string& path, InstanceData& data);
ReadOutcome parse_instance_text(const std::string& text, InstanceData& data);

// Both files of one numbered instance, the deadline file first: `data` gets
// the network and the deadline (cash flows are left to the caller). The files
// are looked up in `directory`, or in the working directory when it is "".
ReadOutcome read_instance_files(const std::string& problem_name, int problem_number,
                                int deadline_offset, InstanceData& data,
                                const std::string& directory = "");

}  // namespace rcpspdc
