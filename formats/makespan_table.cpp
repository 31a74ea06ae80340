#include "formats/makespan_table.hpp"

#include <filesystem>
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

std::string table_set_name(const std::string& path) {
  std::string set = std::filesystem::path(path).stem().string();
  std::size_t end = set.find_first_of("0123456789");
  if (end != std::string::npos) end = set.find_first_not_of("0123456789", end);
  return end == std::string::npos ? set : set.substr(0, end);
}

std::string read_makespan_table(const std::string& path, std::map<std::string, int>& makespans) {
  std::string text;
  if (!read_text_file(path, text)) return "cannot open " + path;
  const std::string problem = parse_makespan_table(text, table_set_name(path), makespans);
  return problem.empty() ? problem : path + ": " + problem;
}

}  // namespace rcpspdc
