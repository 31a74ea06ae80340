#include "formats/batch_results.hpp"

#include <map>
#include <utility>

#include "formats/batch_json.hpp"
#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

// A CSV field that may be empty: false when present but no number.
bool optional_double(const std::string& text, bool& present, double& value) {
  present = !text.empty();
  return !present || to_number(text, value);
}

// The rows of a CSV, its columns found by the header's names.
FileOutcome csv_rows(const std::string& path, const std::vector<std::string>& lines,
                     std::vector<ReportRow>& rows) {
  std::vector<std::string> names;
  split_csv_line(lines[0], names);
  std::map<std::string, std::size_t> column;
  for (std::size_t c = 0; c < names.size(); ++c) column[names[c]] = c;
  for (const char* needed : {"status", "npv", "bound", "seconds"})
    if (column.count(needed) == 0)
      return invalid(path + ": the header has no column " + std::string(needed));
  // Runs of older versions have no node_limit column: they had no node limit.
  for (const std::string& name : settings_columns())
    if (column.count(name) == 0 && name != "node_limit")
      return invalid(path + ": the header has no column " + name);
  std::vector<std::string> fields;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::string where = path + ", line " + std::to_string(k + 1) + ": ";
    if (!split_csv_line(lines[k], fields) || fields.size() != names.size())
      return invalid(where + "not a row of the header's columns");
    ReportRow row;
    row.kind = status_kind(fields[column["status"]]);
    bool searched = false;
    if (!optional_double(fields[column["npv"]], row.has_value, row.value) ||
        !optional_double(fields[column["bound"]], row.has_bound, row.bound) ||
        !optional_double(fields[column["seconds"]], searched, row.seconds))
      return invalid(where + "npv, bound or seconds is not a number");
    if (!searched) row.seconds = -1.0;
    for (std::size_t s = 0; s + 1 < settings_columns().size(); ++s) {
      const auto at = column.find(settings_columns()[s]);
      row.key.push_back(at == column.end() ? std::string() : fields[at->second]);
    }
    rows.push_back(std::move(row));
  }
  return {};
}

// The rows of JSON Lines, each with the problem of the header before it.
FileOutcome json_rows(const std::string& path, const std::vector<std::string>& lines,
                      std::vector<ReportRow>& rows) {
  std::string set;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const nlohmann::json line = nlohmann::json::parse(lines[k], nullptr, false);
    if (!line.is_object())
      return invalid(path + ", line " + std::to_string(k + 1) + ": not a JSON object");
    if (line.contains("program")) {
      const auto problem = line.find("problem");
      if (problem != line.end() && problem->is_string()) set = problem->get<std::string>();
      continue;
    }
    if (!line.contains("number")) continue;  // the closing line
    ReportRow row;
    row.set = set;
    row.key = settings_fields(settings_from_json(line));
    const auto status = line.find("status");
    row.kind =
        status_kind(status != line.end() && status->is_string() ? status->get<std::string>() : "");
    const auto number = [&line](const char* key, bool& present, double& value) {
      const auto at = line.find(key);
      present = at != line.end() && at->is_number();
      value = present ? at->get<double>() : 0.0;
    };
    bool searched = false;
    number("value", row.has_value, row.value);
    number("bound", row.has_bound, row.bound);
    number("seconds", searched, row.seconds);
    if (!searched) row.seconds = -1.0;
    rows.push_back(std::move(row));
  }
  return {};
}

}  // namespace

FileOutcome read_report_rows(const std::string& path, std::vector<ReportRow>& rows) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  if (!read.ok()) return read;
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    if (end > at) lines.push_back(text.substr(at, end - at));
  if (lines.empty()) return invalid(path + " holds no run");
  return lines[0].front() == '{' ? json_rows(path, lines, rows) : csv_rows(path, lines, rows);
}

}  // namespace rcpspdc
