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
  if (key == "sha256") return "content of an input file (see \"sha256\" in the header)";
  std::string option = "--" + key;
  std::replace(option.begin(), option.end(), '_', '-');
  return option;
}

// A JSON value as one line of text, for comparisons and messages.
std::string json_text(const nlohmann::ordered_json& value) {
  const std::string line = json_line(value);
  return line.substr(0, line.size() - 1);
}

// A setting as messages show it: unset (an empty CSV field, JSON null) is "none".
std::string shown(const std::string& value) {
  return value.empty() || value == "null" ? "none" : value;
}

FileOutcome settings_differ(const std::string& path, const std::string& key,
                            const std::string& theirs, const std::string& ours) {
  return invalid(path + " holds rows made with another " + option_of(key) + " (" + shown(theirs) +
                 "; this run: " + shown(ours) + ")");
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
  for (const std::string& loose : header_circumstances()) {
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
// them and as each grid point of the resuming run has them (the file is
// filled in by check_row).
struct RowSettings {
  long long number = 0;
  std::vector<std::string> keys;
  std::vector<std::string> theirs;
  std::vector<std::vector<std::string>> ours;  // per grid point
};

// A CSV row's settings columns; false when the line is no row of the runner.
bool csv_row_settings(const std::string& line, const std::vector<RunSettings>& points,
                      RowSettings& row) {
  std::vector<std::string> header;
  split_csv_line(csv_header().substr(0, csv_header().size() - 1), header);
  const std::size_t first_setting = header.size() - settings_columns().size();
  std::vector<std::string> fields;
  if (!split_csv_line(line, fields) || fields.size() != header.size() ||
      !to_number(fields[0], row.number))
    return false;
  row.keys = settings_columns();
  row.theirs.assign(fields.begin() + static_cast<std::ptrdiff_t>(first_setting), fields.end());
  for (const RunSettings& settings : points) {
    row.ours.push_back(settings_fields(settings));
    row.ours.back().emplace_back();
  }
  return true;
}

// A JSON line's settings keys; false when the line is no row of the runner.
bool json_row_settings(const nlohmann::ordered_json& object,
                       const std::vector<RunSettings>& points, RowSettings& row) {
  if (!object.is_object() || !object.contains("number") || !object["number"].is_number_integer())
    return false;
  row.number = object["number"].get<long long>();
  row.ours.resize(points.size());
  for (std::size_t p = 0; p < points.size(); ++p) {
    const nlohmann::ordered_json keys = settings_json(points[p]);
    for (const auto& [key, value] : keys.items()) {
      if (p == 0) {
        row.keys.push_back(key);
        row.theirs.push_back(object.contains(key) ? json_text(object[key]) : "");
      }
      row.ours[p].push_back(json_text(value));
    }
    row.ours[p].emplace_back();
  }
  row.keys.push_back("file");
  row.theirs.push_back(object.contains("file") ? json_text(object["file"]) : "");
  return true;
}

// The first key in which the row differs from grid point `p`, or keys.size().
std::size_t first_difference(const RowSettings& row, std::size_t p) {
  std::size_t k = 0;
  while (k < row.keys.size() && row.theirs[k] == row.ours[p][k]) ++k;
  return k;
}

// The row must hold an instance of the run, of the run's instance file and
// with the settings of one of its grid points, not seen before; `point` is
// set to that grid point.
FileOutcome check_row(const std::string& path, bool json, const ResumingRun& run,
                      std::set<RowKey>& seen, RowSettings& row, int& point) {
  const std::string holds = path + " holds instance " + std::to_string(row.number);
  const auto file = run.files.find(row.number);
  if (file == run.files.end())
    return invalid(holds + ", which this run does not solve (see --first, --last, --shard)");
  for (auto& ours : row.ours) ours.back() = json ? json_text(file->second) : file->second;
  // The grid point the row agrees with longest names the setting that differs.
  std::size_t best = 0;
  std::size_t agree = 0;
  for (std::size_t p = 0; p < row.ours.size(); ++p)
    if (const std::size_t k = first_difference(row, p); k > agree || p == 0) {
      best = p;
      agree = k;
    }
  if (agree < row.keys.size()) {
    if (row.keys[agree] == "file")
      return invalid(holds + " of the file " + row.theirs[agree] + "; this run's instance " +
                     std::to_string(row.number) + " is " + row.ours[best][agree]);
    return settings_differ(path, row.keys[agree], row.theirs[agree], row.ours[best][agree]);
  }
  point = static_cast<int>(best);
  if (!seen.insert({row.number, point}).second)
    return invalid(holds + " twice" + (run.points.size() > 1 ? " at one grid point" : ""));
  return {};
}

}  // namespace

FileOutcome read_earlier_file(const std::string& path, bool json, const ResumingRun& run,
                              EarlierFile& earlier) {
  std::string text;
  if (!read_text_file(path, text).ok())
    return FileOutcome{FileFault::cannot_open, "cannot read " + path};
  earlier.exists = !text.empty();
  std::set<RowKey> seen;
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
      const nlohmann::ordered_json object =
          json ? nlohmann::ordered_json::parse(line, nullptr, false) : nlohmann::ordered_json();
      if (json && object.is_object() && object.contains("end") && !object.contains("number"))
        continue;  // a closing line: the resumed run writes its own
      if (!(json ? json_row_settings(object, run.points, row)
                 : csv_row_settings(line, run.points, row)))
        return invalid("line " + std::to_string(line_number) + " of " + path +
                       " is not a row of rcpspdc-batch");
      int point = 0;
      outcome = check_row(path, json, run, seen, row, point);
      if (outcome.ok()) earlier.rows.emplace_back(RowKey{row.number, point}, line);
    }
    if (!outcome.ok()) return outcome;
  }
  return {};
}

}  // namespace rcpspdc
