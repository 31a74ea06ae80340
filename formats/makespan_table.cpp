#include "formats/makespan_table.hpp"

#include <filesystem>
#include <sstream>

#include "formats/deadline_file.hpp"
#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

}  // namespace

FileOutcome parse_makespan_table(const std::string& text, const std::string& set,
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
    if (makespan < 0)
      return invalid("line " + std::to_string(line_number) + ": negative makespan");
    if (!makespans.emplace(name, makespan).second)
      return invalid("line " + std::to_string(line_number) + ": " + name + " appears twice");
  }
  if (makespans.empty()) return invalid("no makespans found");
  return {};
}

std::string table_set_name(const std::string& path) {
  std::string set = std::filesystem::path(path).stem().string();
  std::size_t end = set.find_first_of("0123456789");
  if (end != std::string::npos) end = set.find_first_not_of("0123456789", end);
  return end == std::string::npos ? set : set.substr(0, end);
}

FileOutcome read_makespan_table(const std::string& path, std::map<std::string, int>& makespans) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  if (!read.ok()) return read;
  FileOutcome outcome = parse_makespan_table(text, table_set_name(path), makespans);
  if (!outcome.ok()) outcome.message = path + ": " + outcome.message;
  return outcome;
}

FileOutcome parse_makespans(const std::string& text, std::vector<int>& makespans) {
  makespans.clear();
  std::istringstream in(text);
  for (std::string token; in >> token;) {
    int value = 0;
    if (!to_number(token, value) || value < 0)
      return invalid("makespan " + std::to_string(makespans.size() + 1) + ": \"" +
                     token.substr(0, 20) + "\" is not a non-negative integer");
    if (value > MAX_DEADLINE)
      return invalid("makespan " + std::to_string(makespans.size() + 1) + " is " + token +
                     ", above " + std::to_string(MAX_DEADLINE) + " periods");
    makespans.push_back(value);
  }
  if (makespans.empty()) return invalid("the list holds no makespan");
  return {};
}

}  // namespace rcpspdc
