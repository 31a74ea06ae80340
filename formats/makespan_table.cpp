#include "formats/makespan_table.hpp"

#include <sstream>
#include <vector>

#include "formats/text_file.hpp"

namespace rcpspdc {

std::string parse_makespan_table(const std::string& text, const std::string& set,
                                 std::map<std::string, int>& makespans) {
  std::istringstream in(text);
  int line_number = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_number;
    std::istringstream words(line);
    std::vector<std::string> word;
    for (std::string w; words >> w;) word.push_back(w);
    int parameter = 0;
    int instance = 0;
    int makespan = 0;
    std::string name;
    if (word.size() >= 3 && to_number(word[0], parameter) && to_number(word[1], instance) &&
        to_number(word[2], makespan)) {
      name = set + word[0] + "_" + word[1];
    } else if (word.size() == 2 && !to_number(word[0], parameter) &&
               to_number(word[1], makespan)) {
      name = word[0];
    } else {
      continue;
    }
    if (makespan < 0) return "line " + std::to_string(line_number) + ": negative makespan";
    if (!makespans.emplace(name, makespan).second)
      return "line " + std::to_string(line_number) + ": " + name + " appears twice";
  }
  if (makespans.empty()) return "no makespans found";
  return {};
}

}  // namespace rcpspdc
