#include "formats/batch_json.hpp"

#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>

#include "formats/deadline_file.hpp"
#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

nlohmann::json optional_number(bool present, double value) {
  return present && std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(nullptr);
}

// The entries of an array, each a whole number from low to high; false when
// `array` is no such array (6.5 and 1e12 are refused, not cut or wrapped).
bool whole_numbers(const nlohmann::json& array, long long low, long long high,
                   std::vector<int>& values) {
  values.clear();
  if (!array.is_array()) return false;
  for (const nlohmann::json& entry : array) {
    if (!entry.is_number_integer()) return false;
    const bool negative = entry.is_number_unsigned() ? false : entry.get<long long>() < 0;
    if (!negative && entry.get<unsigned long long>() > static_cast<unsigned long long>(high))
      return false;
    if (negative && entry.get<long long>() < low) return false;
    values.push_back(static_cast<int>(entry.get<long long>()));
  }
  return true;
}

nlohmann::json optional_count(std::int64_t value) {
  return value < 0 ? nlohmann::json(nullptr) : nlohmann::json(value);
}

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

}  // namespace

nlohmann::ordered_json json_header(const RunHeader& h) {
  nlohmann::ordered_json head;
  head["program"] = "rcpspdc-batch";
  head["version"] = h.version;
  head["engine"] = h.engines;
  head["problem"] = h.problem;
  head["first"] = h.first;
  head["last"] = h.last;
  head["dir"] = h.dir;
  if (!h.files.empty()) {
    head["files"] = h.files;
    head["makespans"] = h.makespans;
  }
  if (h.factors.empty()) {
    head["offset"] = h.offsets;
  } else {
    nlohmann::ordered_json factors = nlohmann::ordered_json::array();
    for (const long long f : h.factors) factors.push_back(static_cast<double>(f) / 1e6);
    head["deadline_factor"] = factors;
  }
  head["rate"] = h.rates;
  head["negative"] = h.negatives;
  if (h.cash_flows.empty())
    head["seed"] = h.seed;
  else
    head["cash_flows"] = h.cash_flows;
  if (h.unmixed_seed) head["unmixed_seed"] = true;
  head["time_limit"] = h.time_limit;
  head["node_limit"] = optional_count(h.node_limit > 0 ? h.node_limit : -1);
  head["jobs"] = h.jobs;
  head["threads"] = h.threads;
  head["shard"] = std::to_string(h.shard_index) + "/" + std::to_string(h.shard_count);
  head["date"] = h.date;
  head["host"] = h.host;
  head["processor"] = h.processor;
  head["processor_threads"] = h.processor_threads;
  nlohmann::ordered_json sums = nlohmann::ordered_json::object();
  for (const auto& [path, sum] : h.checksums) sums[path] = sum;
  head["sha256"] = sums;
  return head;
}

const std::vector<std::string>& header_circumstances() {
  static const std::vector<std::string> keys = {"version", "jobs",      "threads",          "date",
                                                "host",    "processor", "processor_threads"};
  return keys;
}

std::string json_closing_line(const std::string& end, double wall_seconds, long long rows) {
  nlohmann::ordered_json line;
  line["end"] = end;
  line["wall_seconds"] = rounded_seconds(wall_seconds);
  line["rows"] = rows;
  return json_line(line);
}

nlohmann::ordered_json settings_json(const RunSettings& s) {
  nlohmann::ordered_json keys;
  keys["engine"] = s.engine;
  keys["offset"] =
      s.factor > 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s.offset);
  keys["deadline_factor"] = s.factor > 0
                                ? nlohmann::ordered_json(static_cast<double>(s.factor) / 1e6)
                                : nlohmann::ordered_json(nullptr);
  keys["rate"] = s.rate;
  keys["negative"] =
      s.negative < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s.negative);
  keys["seed"] = s.seed < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s.seed);
  if (s.unmixed_seed) keys["unmixed_seed"] = true;
  keys["cash_flow_file"] = s.cash_flows.empty() ? nlohmann::ordered_json(nullptr)
                                                : nlohmann::ordered_json(s.cash_flows);
  keys["makespans"] =
      s.makespans.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s.makespans);
  keys["time_limit"] = s.time_limit;
  keys["node_limit"] = optional_count(s.node_limit > 0 ? s.node_limit : -1);
  return keys;
}

RunSettings settings_from_json(const nlohmann::json& line) {
  const auto number = [&line](const char* key, double otherwise) {
    const auto at = line.find(key);
    return at != line.end() && at->is_number() ? at->get<double>() : otherwise;
  };
  const auto text = [&line](const char* key) {
    const auto at = line.find(key);
    return at != line.end() && at->is_string() ? at->get<std::string>() : std::string();
  };
  RunSettings s;
  s.engine = text("engine");
  s.offset = static_cast<int>(number("offset", 0.0));
  s.factor = std::llround(number("deadline_factor", 0.0) * 1e6);
  s.rate = number("rate", 0.0);
  s.negative = static_cast<int>(number("negative", -1.0));
  s.seed = static_cast<long long>(number("seed", -1.0));
  s.unmixed_seed = line.contains("unmixed_seed");
  s.cash_flows = text("cash_flow_file");
  s.makespans = text("makespans");
  s.time_limit = number("time_limit", 0.0);
  const auto nodes = line.find("node_limit");
  s.node_limit =
      nodes != line.end() && nodes->is_number_integer() ? nodes->get<std::int64_t>() : 0;
  return s;
}

std::string json_line(const nlohmann::ordered_json& object) {
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

std::string json_row(const BatchRow& row, const RunSettings& settings) {
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
  line["rate"] = settings.rate;
  line["cash_flows"] = row.cash_flow;
  line["status"] = row.status;
  line["value"] = optional_number(row.has_value, row.npv);
  line["bound"] = optional_number(row.has_bound, row.bound);
  line["created_nodes"] = optional_count(row.created_nodes);
  line["branched_nodes"] = optional_count(row.branched_nodes);
  line["seconds"] = optional_number(row.seconds >= 0.0, row.seconds);
  line["seconds_to_best"] = optional_number(row.seconds_to_best >= 0.0, row.seconds_to_best);
  line["finish"] = row.has_value ? nlohmann::json(row.finish) : nlohmann::json(nullptr);
  const nlohmann::ordered_json keys = settings_json(settings);
  for (auto key = keys.begin(); key != keys.end(); ++key)
    if (key.key() != "rate") line[key.key()] = key.value();
  return json_line(line);
}

FileOutcome read_json_schedule(const nlohmann::json& object, JsonSchedule& schedule) {
  const auto field = [&object](const char* key) {
    const auto at = object.find(key);
    return at == object.end() ? nlohmann::json() : *at;
  };
  const nlohmann::json number = field("number");
  if (!number.is_number_integer()) return invalid("\"number\" is not an instance number");
  schedule.number = number.get<int>();
  const nlohmann::json status = field("status");
  schedule.status = status.is_string() ? status.get<std::string>() : "";
  if (field("deadline").is_null() && status.is_string())
    return invalid("instance " + std::to_string(schedule.number) +
                   " was not solved: " + schedule.status);
  const nlohmann::json file = field("file");
  if (!file.is_string()) return invalid("\"file\" is not a file name");
  schedule.file = file.get<std::string>();
  std::vector<int> deadline;
  if (!whole_numbers(nlohmann::json::array({field("deadline")}), 0, MAX_DEADLINE, deadline))
    return invalid("\"deadline\" is not a whole number from 0 to " + std::to_string(MAX_DEADLINE));
  schedule.deadline = deadline[0];
  const nlohmann::json rate = field("rate");
  if (!rate.is_number() || !std::isfinite(rate.get<double>()) || rate.get<double>() < 0.0)
    return invalid("\"rate\" is not a rate of 0 or more");
  schedule.interest_rate = rate.get<double>();
  if (!whole_numbers(field("cash_flows"), std::numeric_limits<int>::min(),
                     std::numeric_limits<int>::max(), schedule.cash_flow))
    return invalid("\"cash_flows\" is not a list of whole numbers");
  const nlohmann::json finish = field("finish");
  schedule.finish.clear();
  if (!finish.is_null() && !whole_numbers(finish, 0, MAX_DEADLINE, schedule.finish))
    return invalid("\"finish\" is not a list of whole numbers from 0 to " +
                   std::to_string(MAX_DEADLINE));
  for (const auto& [key, present, value] :
       {std::tuple{"value", &schedule.has_value, &schedule.value},
        {"bound", &schedule.has_bound, &schedule.bound}}) {
    const nlohmann::json given = field(key);
    if (!given.is_null() && !given.is_number())
      return invalid("\"" + std::string(key) + "\" is not a number");
    *present = given.is_number();
    *value = *present ? given.get<double>() : 0.0;
  }
  const nlohmann::json from = field("deadline_from");
  schedule.deadline_from = from.is_string() ? from.get<std::string>() : "";
  const nlohmann::json created = field("created_nodes");
  schedule.created_nodes = created.is_number_integer() ? created.get<std::int64_t>() : -1;
  schedule.settings = settings_from_json(object);
  return {};
}

FileOutcome find_json_schedule(const std::string& text, int number, JsonSchedule& schedule) {
  std::istringstream in(text);
  int line_number = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object())
      return invalid("line " + std::to_string(line_number) + ": not a JSON object");
    const auto found = object.find("number");
    if (found == object.end() || !found->is_number_integer() || found->get<int>() != number)
      continue;
    const FileOutcome read = read_json_schedule(object, schedule);
    if (!read.ok()) return invalid("line " + std::to_string(line_number) + ": " + read.message);
    return {};
  }
  return invalid("no object for instance " + std::to_string(number));
}

FileOutcome read_json_run(const std::string& path, std::vector<JsonRunLine>& lines) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  if (!read.ok()) return read;
  int line_number = 0;
  std::istringstream in(text);
  for (std::string raw; std::getline(in, raw);) {
    ++line_number;
    if (raw.find_first_not_of(" \t\r") == std::string::npos) continue;
    JsonRunLine line;
    line.line_number = line_number;
    const nlohmann::json object = nlohmann::json::parse(raw, nullptr, false);
    if (!object.is_object()) {
      line.message = "not a JSON object";
    } else if (object.contains("program")) {
      const nlohmann::json problem = object.value("problem", nlohmann::json(""));
      const nlohmann::json dir = object.value("dir", nlohmann::json(""));
      if (!problem.is_string() || !dir.is_string()) {
        line.message = "the header's \"problem\" and \"dir\" are not both text";
      } else {
        line.kind = JsonRunLine::Kind::header;
        if (!problem.get<std::string>().empty())
          line.deadline_file = (std::filesystem::path(dir.get<std::string>()) /
                                ("deadline." + problem.get<std::string>()))
                                   .string();
      }
    } else if (!object.contains("number")) {
      continue;  // the closing line
    } else {
      const FileOutcome parsed = read_json_schedule(object, line.schedule);
      // A row the run could not solve (its status says why) has no deadline,
      // and then no schedule either.
      const bool unsolved_row = object.value("deadline", nlohmann::json()).is_null() &&
                                object.value("status", nlohmann::json()).is_string();
      if (unsolved_row && object.value("finish", nlohmann::json()).is_null() &&
          object.value("value", nlohmann::json()).is_null())
        line.kind = JsonRunLine::Kind::unsolved;
      else if (!parsed.ok())
        line.message = parsed.message;
      else
        line.kind = JsonRunLine::Kind::solved;
    }
    lines.push_back(std::move(line));
  }
  return {};
}

}  // namespace rcpspdc
