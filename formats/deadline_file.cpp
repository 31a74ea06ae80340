#include "formats/deadline_file.hpp"

#include <climits>

#include "formats/integer_tokens.hpp"
#include "formats/text_file.hpp"

namespace rcpspdc {

std::string deadline_file_name(const std::string& problem_name) {
  return "deadline." + problem_name;
}

FileOutcome parse_deadline_text(const std::string& text, int problem_number, int deadline_offset,
                                int& deadline) {
  IntegerTokens tokens(text);
  const int wanted = problem_number > 1 ? problem_number : 1;
  std::string problem;
  int value = 0;
  for (int triple = 1; triple <= wanted; ++triple)
    for (int field = 0; field < 3; ++field)
      if (!tokens.next(value, "the deadline", problem))
        return FileOutcome{FileFault::no_deadline, problem};
  const long long total = static_cast<long long>(value) + deadline_offset;
  if (total > MAX_DEADLINE || total < INT_MIN)
    return FileOutcome{FileFault::deadline_above_limit,
                       "the deadline " + std::to_string(total) + " is above " +
                           std::to_string(MAX_DEADLINE) + " periods"};
  deadline = static_cast<int>(total);
  return FileOutcome{};
}

FileOutcome read_deadline_file(const std::string& path, int problem_number, int deadline_offset,
                               int& deadline) {
  std::string text;
  if (!read_text_file(path, text).ok())
    return FileOutcome{FileFault::no_deadline_file, "cannot open " + path};
  return parse_deadline_text(text, problem_number, deadline_offset, deadline);
}

std::string format_deadlines(const std::vector<int>& makespans) {
  std::string out;
  for (std::size_t p = 0; p < makespans.size(); ++p)
    out += "1 " + std::to_string(p + 1) + ' ' + std::to_string(makespans[p]) + '\n';
  return out;
}

std::string index_line(int number, const std::string& name, int makespan, bool from_table) {
  return std::to_string(number) + " " + name + " " + std::to_string(makespan) +
         (from_table ? " makespans\n" : " critical-path\n");
}

}  // namespace rcpspdc
