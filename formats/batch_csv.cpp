#include "formats/batch_csv.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

// A value in full precision: 17 significant digits read back bit for bit.
std::string full(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string optional_int(std::int64_t value) {
  return value < 0 ? std::string() : std::to_string(value);
}

}  // namespace

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

const char* status_word(RowStatus kind) {
  switch (kind) {
    case RowStatus::optimal: return "optimal";
    case RowStatus::infeasible: return "infeasible";
    case RowStatus::time_limit: return "time limit";
    case RowStatus::node_limit: return "node limit";
    case RowStatus::error: break;
  }
  return "";
}

RowStatus status_kind(const std::string& status) {
  for (const RowStatus kind :
       {RowStatus::optimal, RowStatus::infeasible, RowStatus::time_limit, RowStatus::node_limit})
    if (status == status_word(kind)) return kind;
  return RowStatus::error;
}

const std::vector<std::string>& settings_columns() {
  static const std::vector<std::string> names = {
      "engine",         "offset",    "deadline_factor", "rate",       "negative", "seed",
      "cash_flow_file", "makespans", "time_limit",      "node_limit", "file"};
  return names;
}

std::vector<std::string> settings_fields(const RunSettings& s) {
  return {s.engine,
          s.factor > 0 ? std::string() : std::to_string(s.offset),
          s.factor > 0 ? factor_text(s.factor) : std::string(),
          shortest(s.rate),
          s.negative < 0 ? std::string() : std::to_string(s.negative),
          s.seed < 0 ? std::string() : std::to_string(s.seed) + (s.unmixed_seed ? " unmixed" : ""),
          s.cash_flows,
          s.makespans,
          shortest(s.time_limit),
          optional_int(s.node_limit > 0 ? s.node_limit : -1)};
}

std::string csv_header() {
  std::string header =
      "number,activities,resources,deadline,created_nodes,branched_nodes,npv,seconds,status,"
      "bound,seconds_to_best";
  for (const std::string& name : settings_columns()) header += ',' + name;
  return header + '\n';
}

bool split_csv_line(const std::string& line, std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  bool quoted = false;
  for (std::size_t at = 0; at < line.size(); ++at) {
    const char c = line[at];
    if (quoted && c == '"' && at + 1 < line.size() && line[at + 1] == '"') {
      fields.back() += '"';
      ++at;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return !quoted;
}

bool parse_deadline_factor(const std::string& text, long long& millionths) {
  constexpr long long MILLION = 1000000;
  const std::size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string decimals = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() || decimals.size() > 6 || (point != std::string::npos && decimals.empty()) ||
      whole.find_first_not_of("0123456789") != std::string::npos ||
      decimals.find_first_not_of("0123456789") != std::string::npos || whole.size() > 3)
    return false;
  long long fraction = 0;
  for (std::size_t k = 0; k < 6; ++k)
    fraction = fraction * 10 + (k < decimals.size() ? decimals[k] - '0' : 0);
  millionths = std::stoll(whole) * MILLION + fraction;
  return millionths > 0 && millionths <= 100 * MILLION;
}

long long factor_deadline(long long millionths, long long makespan) {
  constexpr long long MILLION = 1000000;
  return (millionths * makespan + MILLION - 1) / MILLION;
}

std::string factor_text(long long millionths) {
  std::string text = std::to_string(millionths / 1000000);
  std::string decimals = std::to_string(1000000 + millionths % 1000000).substr(1);
  while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
  return decimals.empty() ? text : text + '.' + decimals;
}

double rounded_seconds(double seconds) { return std::round(seconds * 1e6) / 1e6; }

std::string shortest(double value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string csv_row(const BatchRow& row, const RunSettings& settings) {
  std::string tail;
  for (const std::string& field : settings_fields(settings)) tail += ',' + csv_field(field);
  tail += ',' + csv_field(row.file);
  return std::to_string(row.number) + ',' + optional_int(row.activities) + ',' +
         optional_int(row.resources) + ',' + optional_int(row.deadline) + ',' +
         optional_int(row.created_nodes) + ',' + optional_int(row.branched_nodes) + ',' +
         (row.has_value ? full(row.npv) : "") + ',' +
         (row.seconds < 0.0 ? "" : fixed_decimals(row.seconds, 6)) + ',' + csv_field(row.status) +
         ',' + (row.has_bound ? full(row.bound) : "") + ',' +
         (row.seconds_to_best < 0.0 ? "" : fixed_decimals(row.seconds_to_best, 6)) + tail + '\n';
}

}  // namespace rcpspdc
