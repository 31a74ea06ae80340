// PSPLIB single-mode files (".sm") and the instance and deadline files the
// solver reads. A .sm file numbers the supersource 1 and the sink n, exactly
// as the instance file does, so activities keep their numbers.
#pragma once

#include <string>
#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

// Parses the text of a .sm file into `data`: activity count, renewable
// resources with their capacities, durations, demands and successors (model
// indices, in the file's order). Deadline and cash flows stay empty. Returns
// "" on success, otherwise what is wrong, naming the line or job concerned.
// Refused: multi-mode jobs, a nonrenewable or doubly constrained resource that
// some job uses, more than 4 renewable resources, more than 128 jobs, and
// anything the instance reader would refuse in the converted file.
std::string parse_psplib_text(const std::string& text, InstanceData& data);
std::string read_psplib_file(const std::string& path, InstanceData& data);

// An instance file of either form, told apart by content: a PSPLIB file has
// a "PRECEDENCE RELATIONS" section, anything else is read as the program's own
// form. Returns "" or what is wrong ("cannot open PATH" when it cannot be read,
// else the fault in the words of a batch row).
std::string read_any_instance_file(const std::string& path, InstanceData& data);

// The instance file of `data`: "n K", the K capacities, then one line per
// activity with duration, K demands, successor count and successors (1..n).
std::string format_instance(const InstanceData& data);

// A list of makespans: non-negative integers separated by any white space.
// Returns "" on success, otherwise what is wrong.
std::string parse_makespans(const std::string& text, std::vector<int>& makespans);

// The deadline file of a series: triple p is "1 p makespan[p-1]", one a line.
std::string format_deadlines(const std::vector<int>& makespans);

}  // namespace rcpspdc
