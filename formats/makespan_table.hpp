// Makespans by instance name, for instance files given on the command line:
// two-column lines "name makespan", or PSPLIB's optimum and bound tables as
// published, whose rows "parameter instance makespan ..." name the instance
// <set><parameter>_<instance> (j301_1 in j30opt.sm).
#pragma once

#include <map>
#include <string>

namespace rcpspdc {

// Reads the makespans of `text` into `makespans`; `set` is the name of the
// instance set for PSPLIB table rows (such as "j30"). Lines that are neither
// (headings, rules) are passed over. Returns "" or what is wrong.
std::string parse_makespan_table(const std::string& text, const std::string& set,
                                 std::map<std::string, int>& makespans);

// The set a PSPLIB table's file name belongs to: "j30" of "dir/j30opt.sm".
std::string table_set_name(const std::string& path);

// Reads the table file `path`; returns "" or what is wrong.
std::string read_makespan_table(const std::string& path, std::map<std::string, int>& makespans);

}  // namespace rcpspdc
