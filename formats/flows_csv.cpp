#include "formats/flows_csv.hpp"

#include <algorithm>
#include <cctype>

#include "formats/batch_csv.hpp"
#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

}  // namespace

bool is_flows_csv_name(const std::string& path) {
  if (path.size() < 4) return false;
  std::string end = path.substr(path.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return end == ".csv";
}

std::string flows_csv_header() { return "number,instance,negative,seed,activity,flow\n"; }

std::string flows_csv_lines(int number, const std::string& instance, int negative, long long seed,
                            const std::vector<int>& flows) {
  const std::string head = std::to_string(number) + ',' + csv_field(instance) + ',' +
                           (negative < 0 ? "" : std::to_string(negative)) + ',' +
                           (seed < 0 ? "" : std::to_string(seed)) + ',';
  std::string text;
  for (std::size_t a = 0; a < flows.size(); ++a)
    text += head + std::to_string(a + 1) + ',' + std::to_string(flows[a]) + '\n';
  return text;
}

FileOutcome parse_flows_csv(const std::string& text, FlowsTable& table) {
  table.clear();
  std::map<std::pair<std::string, int>, std::map<int, int>> found;
  std::vector<std::string> fields;
  int instance_at = -1;
  int negative_at = -1;
  int activity_at = -1;
  int flow_at = -1;
  std::size_t columns = 0;
  int line_number = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(line_number) + ": ";
    if (!split_csv_line(line, fields)) return invalid(where + "a quote is not closed");
    if (columns == 0) {
      columns = fields.size();
      for (std::size_t c = 0; c < fields.size(); ++c) {
        const int index = static_cast<int>(c);
        if (fields[c] == "instance") instance_at = index;
        if (fields[c] == "negative") negative_at = index;
        if (fields[c] == "activity") activity_at = index;
        if (fields[c] == "flow") flow_at = index;
      }
      if (instance_at < 0 || activity_at < 0 || flow_at < 0)
        return invalid(where + "the header needs the columns instance, activity and flow");
      continue;
    }
    if (fields.size() != columns)
      return invalid(where + std::to_string(fields.size()) + " fields, the header has " +
                     std::to_string(columns));
    const auto field = [&fields](int c) { return fields[static_cast<std::size_t>(c)]; };
    int negative = -1;
    if (negative_at >= 0 && !field(negative_at).empty() &&
        (!to_number(field(negative_at), negative) || negative < 0 || negative > 100))
      return invalid(where + "negative is not a percentage from 0 to 100");
    int activity = 0;
    int flow = 0;
    if (!to_number(field(activity_at), activity) || activity < 1)
      return invalid(where + "activity is not a number from 1");
    if (!to_number(field(flow_at), flow)) return invalid(where + "flow is not a whole number");
    if (field(instance_at).empty()) return invalid(where + "no instance name");
    if (!found[{field(instance_at), negative}].emplace(activity, flow).second)
      return invalid(where + "activity " + std::to_string(activity) + " of " + field(instance_at) +
                     " appears twice");
  }
  for (const auto& [key, flows] : found) {
    if (flows.rbegin()->first != static_cast<int>(flows.size()))
      return invalid("the flows of " + key.first + " miss activities: activities 1 to " +
                     std::to_string(flows.rbegin()->first) + " need one line each");
    std::vector<int>& list = table[key];
    for (const auto& [activity, flow] : flows) list.push_back(flow);
  }
  return {};
}

FileOutcome read_flows_csv(const std::string& path, FlowsTable& table) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  if (!read.ok()) return read;
  const FileOutcome parsed = parse_flows_csv(text, table);
  if (!parsed.ok()) return invalid(path + ", " + parsed.message);
  return {};
}

const std::vector<int>* find_flows(const FlowsTable& table, const std::string& instance,
                                   int negative) {
  auto found = table.find({instance, negative});
  if (found == table.end()) found = table.find({instance, -1});
  return found == table.end() ? nullptr : &found->second;
}

}  // namespace rcpspdc
