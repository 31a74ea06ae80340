#include "formats/batch_resume.hpp"

#include <algorithm>
#include <set>

#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

// The option behind a settings column or a JSON key, for messages.
std::string option_of(const std::string& key) {
  if (key == "program") return "program";
  if (key == "file" || key == "files") return "instance file";
  if (key == "cash_flow_file") return "--cash-flows";
  std::string option = "--" + key;
  std::replace(option.begin(), option.end(), '_', '-');
  return option;
}

// A JSON value as one line of text, for comparisons and messages.
std::string json_text(const nlohmann::ordered_json& value) {
  const std::string line = json_line(value);
  return line.substr(0, line.size() - 1);
}

FileOutcome settings_differ(const std::string& path, const std::string& key,
                            const std::string& theirs, const std::string& ours) {
  return invalid(path + " holds rows made with another " + option_of(key) + " (" +
                 (theirs.empty() ? "none" : theirs) +
                 "; this run: " + (ours.empty() ? "none" : ours) + ")");
}

FileOutcome check_csv_header(const std::string& path, const std::string& line) {
  if (line + '\n' != csv_header())
    return invalid(path + " was written by another program or version (its header differs)");
  return {};
}

// Every key of the two headers must agree but the version and the jobs.
FileOutcome check_json_header(const std::string& path, const std::string& line,
                              const RunHeader& header) {
  nlohmann::ordered_json theirs = nlohmann::ordered_json::parse(line, nullptr, false);
  if (!theirs.is_object() || !theirs.contains("program") || theirs["program"] != "rcpspdc-batch")
    return invalid(path + " was written by another program");
  nlohmann::ordered_json ours = nlohmann::ordered_json::parse(json_text(json_header(header)));
  for (const char* loose : {"version", "jobs"}) {
    theirs.erase(loose);
    ours.erase(loose);
  }
  for (auto& [key, value] : ours.items())
    if (!theirs.contains(key) || json_text(theirs[key]) != json_text(value))
      return settings_differ(path, key, theirs.contains(key) ? json_text(theirs[key]) : "",
                             json_text(value));
  for (auto& [key, value] : theirs.items())
    if (!ours.contains(key)) return settings_differ(path, key, json_text(value), "");
  return {};
}

// The settings of one row, key by key with the file last, as the row gives
// them and as the resuming run has them (its file is filled in by check_row).
struct RowSettings {
  long long number = 0;
  std::vector<std::string> keys;
  std::vector<std::string> theirs;
  std::vector<std::string> ours;
};

// A CSV row's settings columns; false when the line is no row of the runner.
bool csv_row_settings(const std::string& line, const RunSettings& settings, RowSettings& row) {
  std::vector<std::string> header;
  split_csv_line(csv_header().substr(0, csv_header().size() - 1), header);
  const std::size_t first_setting = header.size() - settings_columns().size();
  std::vector<std::string> fields;
  if (!split_csv_line(line, fields) || fields.size() != header.size() ||
      !to_number(fields[0], row.number))
    return false;
  row.keys = settings_columns();
  row.theirs.assign(fields.begin() + static_cast<std::ptrdiff_t>(first_setting), fields.end());
  row.ours = settings_fields(settings);
  row.ours.emplace_back();
  return true;
}

// A JSON line's settings keys; false when the line is no row of the runner.
bool json_row_settings(const std::string& line, const RunSettings& settings, RowSettings& row) {
  const nlohmann::ordered_json object = nlohmann::ordered_json::parse(line, nullptr, false);
  if (!object.is_object() || !object.contains("number") || !object["number"].is_number_integer())
    return false;
  row.number = object["number"].get<long long>();
  const nlohmann::ordered_json keys = settings_json(settings);
  for (const auto& [key, value] : keys.items()) {
    row.keys.push_back(key);
    row.theirs.push_back(object.contains(key) ? json_text(object[key]) : "");
    row.ours.push_back(json_text(value));
  }
  row.keys.push_back("file");
  row.theirs.push_back(object.contains("file") ? json_text(object["file"]) : "");
  row.ours.emplace_back();
  return true;
}

// The row must hold an instance of the run not seen before, of the run's
// instance file and with the run's settings.
FileOutcome check_row(const std::string& path, bool json, const ResumingRun& run,
                      std::set<long long>& seen, RowSettings& row) {
  const std::string holds = path + " holds instance " + std::to_string(row.number);
  const auto file = run.files.find(row.number);
  if (file == run.files.end())
    return invalid(holds + ", which this run does not solve (see --first, --last, --shard)");
  if (!seen.insert(row.number).second) return invalid(holds + " twice");
  row.ours.back() = json ? json_text(file->second) : file->second;
  for (std::size_t k = 0; k < row.keys.size(); ++k) {
    if (row.theirs[k] == row.ours[k]) continue;
    if (row.keys[k] == "file")
      return invalid(holds + " of the file " + row.theirs[k] + "; this run's instance " +
                     std::to_string(row.number) + " is " + row.ours[k]);
    return settings_differ(path, row.keys[k], row.theirs[k], row.ours[k]);
  }
  return {};
}

}  // namespace

FileOutcome read_earlier_file(const std::string& path, bool json, const ResumingRun& run,
                              EarlierFile& earlier) {
  std::string text;
  if (!read_text_file(path, text).ok())
    return FileOutcome{FileFault::cannot_open, "cannot read " + path};
  earlier.exists = !text.empty();
  std::set<long long> seen;
  int line_number = 0;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    ++line_number;
    FileOutcome outcome;
    if (at == 0) {
      earlier.header = line;
      outcome = json ? check_json_header(path, line, run.header) : check_csv_header(path, line);
    } else {
      RowSettings row;
      if (!(json ? json_row_settings(line, run.settings, row)
                 : csv_row_settings(line, run.settings, row)))
        return invalid("line " + std::to_string(line_number) + " of " + path +
                       " is not a row of rcpspdc-batch");
      outcome = check_row(path, json, run, seen, row);
      if (outcome.ok()) earlier.rows.emplace_back(row.number, line);
    }
    if (!outcome.ok()) return outcome;
  }
  return {};
}

}  // namespace rcpspdc
