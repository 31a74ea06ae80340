// The deadline file of a series, "deadline.<name>": integer triples, triple
// p for instance p, whose third number is the instance's makespan; and the
// index of a converted series beside it.
#pragma once

#include <string>
#include <vector>

#include "formats/file_outcome.hpp"

namespace rcpspdc {

constexpr int MAX_DEADLINE = 100000;  // periods; larger deadlines are refused

// "deadline.x" for the problem name "x".
std::string deadline_file_name(const std::string& problem_name);

// Takes triple number max(problem_number, 1); the deadline is its third
// integer plus the offset. Fails with no_deadline_file when the file cannot
// be opened, no_deadline when the triple is not there, deadline_above_limit
// when the deadline exceeds MAX_DEADLINE.
FileOutcome read_deadline_file(const std::string& path, int problem_number, int deadline_offset,
                               int& deadline);
FileOutcome parse_deadline_text(const std::string& text, int problem_number, int deadline_offset,
                                int& deadline);

// The deadline file of a series: triple p is "1 p makespan[p-1]", one a line.
std::string format_deadlines(const std::vector<int>& makespans);

// A line of the index that goes with the deadline file of a converted series,
// "number name makespan source": where instance `number` came from, and
// whether its makespan is from a table ("makespans") or the critical path.
std::string index_line(int number, const std::string& name, int makespan, bool from_table);

}  // namespace rcpspdc
