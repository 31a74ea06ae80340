#include "formats/info_file.hpp"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

constexpr const char* INFO_TITLE = "information about the generated cash flows";
constexpr const char* INFO_COLUMNS =
    "problem number    project deadline     (number of activity / cash flow)";
constexpr const char* INFO_REMARK =
    "Remark: information about dummy start and dummy end activity not displayed";
constexpr int HEADER_LINES = 3;  // title, column names, remark

// A cursor over one record line.
struct LineCursor {
  const char* at;
  const char* end;

  void skip_blanks() {
    while (at != end && (*at == ' ' || *at == '\t' || *at == '\r')) ++at;
  }
  bool integer(int& value) {
    skip_blanks();
    const auto [next, status] = std::from_chars(at, end, value);
    if (status != std::errc()) return false;
    at = next;
    return true;
  }
  bool symbol(char c) {
    skip_blanks();
    if (at == end || *at != c) return false;
    ++at;
    return true;
  }
  bool done() {
    skip_blanks();
    return at == end;
  }
};

bool parse_record(const std::string& line, InfoRecord& record, std::string& problem) {
  LineCursor cursor{line.data(), line.data() + line.size()};
  if (!cursor.integer(record.number) || !cursor.integer(record.deadline)) {
    problem = "expected an instance number and a deadline";
    return false;
  }
  while (!cursor.done()) {
    int activity = 0;
    int cash = 0;
    if (!cursor.symbol('(') || !cursor.integer(activity) || !cursor.symbol('/') ||
        !cursor.integer(cash) || !cursor.symbol(')')) {
      problem = "expected an \"(activity / cash flow)\" pair";
      return false;
    }
    const auto expected = static_cast<int>(record.cash_flow.size()) + 1;
    if (activity != expected) {
      problem = "activity " + std::to_string(activity) + " where " + std::to_string(expected) +
                " should come";
      return false;
    }
    record.cash_flow.push_back(cash);
  }
  return true;
}

}  // namespace

FileOutcome parse_info_text(const std::string& text, InfoRecords& records) {
  records.clear();
  std::istringstream lines(text);
  std::string line;
  int line_number = 0;
  const auto fault = [&line_number](const std::string& problem) {
    return FileOutcome{FileFault::invalid, "line " + std::to_string(line_number) + ": " + problem};
  };
  while (std::getline(lines, line)) {
    ++line_number;
    if (line_number == 1 && line != INFO_TITLE)
      return fault("not an information file (it must begin with \"" + std::string(INFO_TITLE) +
                   "\")");
    if (line_number <= HEADER_LINES || LineCursor{line.data(), line.data() + line.size()}.done())
      continue;
    InfoRecord record;
    std::string problem;
    if (!parse_record(line, record, problem)) return fault(problem);
    const int number = record.number;
    if (!records.emplace(number, std::move(record)).second)
      return fault("instance " + std::to_string(number) + " appears twice");
  }
  if (line_number == 0) return FileOutcome{FileFault::invalid, "the file is empty"};
  return {};
}

FileOutcome read_info_file(const std::string& path, InfoRecords& records) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  if (!read.ok()) return read;
  FileOutcome outcome = parse_info_text(text, records);
  if (!outcome.ok()) outcome.message = path + ", " + outcome.message;
  return outcome;
}

std::string info_head() {
  return std::string(INFO_TITLE) + '\n' + INFO_COLUMNS + '\n' + INFO_REMARK + "\n\n";
}

std::string info_record(int number, const InstanceData& data) {
  std::string record = printed("\n%5d     %5d     ", number, data.deadline);
  for (int i = 1; i <= data.activity_count - 2; ++i)
    record += printed("(%d / %d)   ", i, data.cash_flow[static_cast<std::size_t>(i)]);
  return record;
}

bool take_cash_flows(const InfoRecord& record, InstanceData& data) {
  const auto real = static_cast<std::size_t>(data.activity_count - 2);
  if (data.activity_count < 2 || record.cash_flow.size() != real) return false;
  data.cash_flow.assign(static_cast<std::size_t>(data.activity_count), 0);
  std::copy(record.cash_flow.begin(), record.cash_flow.end(), data.cash_flow.begin() + 1);
  return true;
}

}  // namespace rcpspdc
