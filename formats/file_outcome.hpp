// How a reader or writer of a file fared. Every reader and writer in
// formats/ returns one and none prints: the program that called it says what
// is wrong, and any note, on its own stream and under its own name.
#pragma once

#include <string>
#include <utility>

namespace rcpspdc {

// What went wrong, for callers that word or handle faults by kind (the
// console's error lines, the batch rows, the checker's exit paths).
enum class FileFault {
  none,
  cannot_open,           // the file cannot be opened or read
  cannot_write,          // the file cannot be written
  no_deadline_file,      // the deadline file cannot be opened
  too_many,              // more than 128 activities or more than 4 resource types
  dummies,               // an activity other than the first and the last has duration 0
  invalid,               // malformed, out of limits, or not the file the reader wants
  no_deadline,           // the deadline file has no usable triple for the instance
  deadline_above_limit,  // the triple is there, but the deadline is above MAX_DEADLINE
};

struct FileOutcome {
  FileOutcome() = default;
  FileOutcome(FileFault kind, std::string words) : fault(kind), message(std::move(words)) {}

  FileFault fault = FileFault::none;
  std::string message;  // what is wrong and where, in plain words ("" when ok)
  std::string note;     // an accepted file: what the reader changed to accept it
  bool ok() const { return fault == FileFault::none; }
};

}  // namespace rcpspdc
