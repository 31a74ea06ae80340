#include "formats/batch_csv.hpp"

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

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string optional_int(std::int64_t value) {
  return value < 0 ? std::string() : std::to_string(value);
}

}  // namespace

std::string csv_header() {
  return "number,activities,resources,deadline,created_nodes,branched_nodes,npv,seconds,status,"
         "bound,"
         "seconds_to_best\n";
}

std::string csv_row(const BatchRow& row) {
  return std::to_string(row.number) + ',' + optional_int(row.activities) + ',' +
         optional_int(row.resources) + ',' + optional_int(row.deadline) + ',' +
         optional_int(row.created_nodes) + ',' + optional_int(row.branched_nodes) + ',' +
         (row.has_value ? full(row.npv) : "") + ',' +
         (row.seconds < 0.0 ? "" : fixed_decimals(row.seconds, 6)) + ',' + csv_field(row.status) +
         ',' + (row.has_bound ? full(row.bound) : "") + ',' +
         (row.seconds_to_best < 0.0 ? "" : fixed_decimals(row.seconds_to_best, 6)) + '\n';
}

}  // namespace rcpspdc
