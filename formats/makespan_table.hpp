// Makespans from which deadlines are made. By instance name, for instance
// files given on the command line: two-column lines "name makespan", or
// PSPLIB's optimum and bound tables as published, whose rows "parameter
// instance makespan ..." name the instance <set><parameter>_<instance>
// (j301_1 in j30opt.sm). By instance number, for a series: a plain list.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "formats/file_outcome.hpp"

namespace rcpspdc {

// Reads the makespans of `text` into `makespans`; `set` is the name of the
// instance set for PSPLIB table rows (such as "j30"). Lines that are neither
// (headings, rules) are passed over. Fails (invalid) with what is wrong.
FileOutcome parse_makespan_table(const std::string& text, const std::string& set,
                                 std::map<std::string, int>& makespans);

// The set a PSPLIB table's file name belongs to: "j30" of "dir/j30opt.sm".
std::string table_set_name(const std::string& path);

// Reads the table file `path`; its faults name the file.
FileOutcome read_makespan_table(const std::string& path, std::map<std::string, int>& makespans);

// A list of makespans, one per instance number from 1: non-negative integers
// up to MAX_DEADLINE separated by any white space. Fails (invalid) with what
// is wrong.
FileOutcome parse_makespans(const std::string& text, std::vector<int>& makespans);

}  // namespace rcpspdc
