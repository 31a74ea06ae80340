// The instance file "<name><number>.rcp", read and checked, and written; and
// both files of a numbered instance read at once. Readers only parse and
// check: the console reports what they find and the batch tools record it,
// so both read files the same way.
#pragma once

#include <string>

#include "formats/deadline_file.hpp"
#include "formats/file_outcome.hpp"
#include "formats/text_file.hpp"
#include "model/instance_data.hpp"

namespace rcpspdc {

// The words a failure of read_instance_files is reported with, in
// output.out and the batch CSV alike: "problem not found", "invalid
// instance: <reason>", ...
std::string read_error_text(const FileOutcome& outcome);

// "x7.rcp" for the problem name "x" and the instance number 7.
std::string instance_file_name(const std::string& problem_name, int problem_number);

// Reads an instance file into `data` (all but cash flows and deadline) and
// checks it: token errors where they are met, the size limits right after the
// header, real dummies and the sum of the durations activity by activity, the
// structure after the whole file. Fails with cannot_open, too_many, dummies
// or invalid. An activity other than the last without a successor gets the
// arc to the last activity, one other than the first without a predecessor
// the arc from the first; the outcome's note says which (read_instance_file
// puts the path in front), for the program to say on standard error.
FileOutcome read_instance_file(const std::string& path, InstanceData& data);
FileOutcome parse_instance_text(const std::string& text, InstanceData& data);

// Both files of one numbered instance, the deadline file first: `data` gets
// the network and the deadline (cash flows are left to the caller). The files
// are looked up in `directory`, or in the working directory when it is "".
FileOutcome read_instance_files(const std::string& problem_name, int problem_number,
                                int deadline_offset, InstanceData& data,
                                const std::string& directory = "");

// The instance file of `data`: "n K", the K capacities, then one line per
// activity with duration, K demands, successor count and successors (1..n).
std::string format_instance(const InstanceData& data);

}  // namespace rcpspdc
