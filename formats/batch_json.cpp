#include "formats/batch_json.hpp"

#include <cmath>
#include <sstream>

#include <nlohmann/json.hpp>

namespace rcpspdc {

namespace {

nlohmann::json optional_number(bool present, double value) {
  return present && std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(nullptr);
}

nlohmann::json optional_count(std::int64_t value) {
  return value < 0 ? nlohmann::json(nullptr) : nlohmann::json(value);
}

}  // namespace

std::string json_row(const BatchRow& row, double interest_rate) {
  // ordered_json keeps the fields in the order written, so lines of two runs
  // compare byte for byte.
  nlohmann::ordered_json line;
  line["number"] = row.number;
  line["file"] = row.file;
  line["activities"] = optional_count(row.activities);
  line["resources"] = optional_count(row.resources);
  line["deadline"] = optional_count(row.deadline);
  // Instance files named on the command line say where the makespan came from.
  if (!row.deadline_from.empty()) line["deadline_from"] = row.deadline_from;
  line["rate"] = interest_rate;
  line["cash_flows"] = row.cash_flow;
  line["status"] = row.status;
  line["value"] = optional_number(row.has_value, row.npv);
  line["bound"] = optional_number(row.has_bound, row.bound);
  line["created_nodes"] = optional_count(row.created_nodes);
  line["branched_nodes"] = optional_count(row.branched_nodes);
  line["seconds"] = optional_number(row.seconds >= 0.0, row.seconds);
  line["seconds_to_best"] = optional_number(row.seconds_to_best >= 0.0, row.seconds_to_best);
  line["finish"] = row.has_value ? nlohmann::json(row.finish) : nlohmann::json(nullptr);
  return line.dump() + '\n';
}

std::string find_json_schedule(const std::string& text, int number, JsonSchedule& schedule) {
  std::istringstream in(text);
  int line_number = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object())
      return "line " + std::to_string(line_number) + ": not a JSON object";
    const auto found = object.find("number");
    if (found == object.end() || !found->is_number_integer() || found->get<int>() != number)
      continue;
    try {
      schedule.number = number;
      schedule.file = object.at("file").get<std::string>();
      schedule.deadline = object.at("deadline").get<int>();
      schedule.interest_rate = object.at("rate").get<double>();
      schedule.cash_flow = object.at("cash_flows").get<std::vector<int>>();
      const nlohmann::json& finish = object.at("finish");
      schedule.finish = finish.is_null() ? std::vector<int>() : finish.get<std::vector<int>>();
      const nlohmann::json& value = object.at("value");
      schedule.has_value = !value.is_null();
      schedule.value = schedule.has_value ? value.get<double>() : 0.0;
    } catch (const nlohmann::json::exception& fault) {
      return "line " + std::to_string(line_number) + ": " + fault.what();
    }
    return {};
  }
  return "no object for instance " + std::to_string(number);
}

}  // namespace rcpspdc
