#include "tools/check_schedule_files.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "formats/instance_file.hpp"
#include "check/schedule_check.hpp"
#include "tools/command_line.hpp"
#include "formats/info_file.hpp"

namespace rcpspdc {

namespace {

std::string trimmed(const std::string& text) {
  const std::size_t from = text.find_first_not_of(" \t\r");
  if (from == std::string::npos) return {};
  return text.substr(from, text.find_last_not_of(" \t\r") - from + 1);
}

// "Act. 12: einde 30" -> 12, 30.
bool listing_line(const std::string& line, int& activity, int& finish) {
  const std::string text = trimmed(line);
  const std::size_t colon = text.find(':');
  if (text.rfind("Act.", 0) != 0 || colon == std::string::npos) return false;
  const std::string rest = trimmed(text.substr(colon + 1));
  return to_number(trimmed(text.substr(4, colon - 4)), activity) && rest.rfind("einde", 0) == 0 &&
         to_number(trimmed(rest.substr(5)), finish);
}

// "12,30" -> 12, 30.
bool csv_line(const std::string& line, int& activity, int& finish) {
  const std::size_t comma = line.find(',');
  return comma != std::string::npos && to_number(trimmed(line.substr(0, comma)), activity) &&
         to_number(trimmed(line.substr(comma + 1)), finish);
}

std::string two_decimals(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

CheckOptionsOutcome parse_check_options(const std::vector<std::string>& args) {
  CheckOptionsOutcome outcome;
  CheckOptions& o = outcome.options;
  bool have_rate = false;
  bool have_number = false;
  bool have_offset = false;
  for (std::size_t a = 0; a < args.size(); ++a) {
    std::string name;
    std::string value;
    if (!next_option(args, a, name, value, outcome.error)) return outcome;
    if (name == "--help") {
      o.help = true;
      continue;
    }
    bool good = !value.empty();
    std::string wanted = "a file name";
    if (name == "--instance") {
      o.instance = value;
    } else if (name == "--deadline") {
      good = to_number(value, o.deadline) && o.deadline >= 0 && o.deadline <= MAX_DEADLINE;
      o.have_deadline = true;
      wanted = "a whole number of periods from 0 to " + std::to_string(MAX_DEADLINE);
    } else if (name == "--deadline-file") {
      o.deadline_file = value;
    } else if (name == "--offset") {
      good = to_number(value, o.offset);
      have_offset = true;
      wanted = "an integer";
    } else if (name == "--rate") {
      good = to_number(value, o.interest_rate) && std::isfinite(o.interest_rate) && o.interest_rate >= 0.0;
      have_rate = true;
      wanted = "a rate of 0 or more, such as 0.01";
    } else if (name == "--cash-flows") {
      o.cash_flows = value;
    } else if (name == "--number") {
      good = to_number(value, o.number);
      have_number = true;
      wanted = "an instance number";
    } else if (name == "--schedule") {
      o.schedule = value;
    } else {
      outcome.error = "unknown option " + name + " (see --help)";
      return outcome;
    }
    if (!good) {
      outcome.error = name + " \"" + value + "\": expected " + wanted;
      return outcome;
    }
  }
  if (o.help) return outcome;
  std::string missing;
  for (const auto& [given, option] : {std::pair{!o.instance.empty(), "--instance"}, {have_rate, "--rate"},
                                      {!o.cash_flows.empty(), "--cash-flows"}, {have_number, "--number"},
                                      {!o.schedule.empty(), "--schedule"}})
    if (!given) missing += std::string(missing.empty() ? "" : ", ") + option;
  if (!missing.empty())
    outcome.error = "missing " + missing + " (see --help)";
  else if (o.have_deadline == !o.deadline_file.empty())
    outcome.error = "give either --deadline or --deadline-file (see --help)";
  else if (have_offset && o.deadline_file.empty())
    outcome.error = "--offset goes with --deadline-file: it is added to the makespan read there";
  return outcome;
}

std::string check_usage() {
  return "Usage: rcpspdc-check --instance FILE.rcp (--deadline D | --deadline-file FILE [--offset K])\n"
         "                     --rate R --cash-flows INFO --number P --schedule FILE\n"
         "\n"
         "Checks a schedule independently: every precedence arc, every resource in every\n"
         "period, the deadline, and the net present value.\n"
         "\n"
         "  --instance FILE      the instance file the schedule is for\n"
         "  --deadline D         the deadline in periods\n"
         "  --deadline-file F    or: the makespan of triple P of this deadline file ...\n"
         "  --offset K           ... plus K periods (default: 0)\n"
         "  --rate R             continuous interest rate per period, such as 0.01\n"
         "  --cash-flows INFO    an info.out; the cash flows are those of its record P\n"
         "  --number P           the instance number of that record\n"
         "  --schedule FILE      the finish times: an output.out of a single-instance run\n"
         "                       (its \"Act. 2: einde 6\" lines), or a CSV file of lines\n"
         "                       \"activity,finish\" (an optional header first), activities\n"
         "                       numbered as in the instance file\n"
         "  --help               show this text\n"
         "\n"
         "Every real activity needs a finish time. The first (dummy) activity finishes at 0\n"
         "and the last at the largest finish of the others, unless the CSV lists them.\n"
         "Prints every violated arc, overloaded period and missed deadline, the net present\n"
         "value, and whether it matches the listing's \"Solution:\" line to the 2 printed\n"
         "decimals. Exit status: 0 for a feasible schedule (with a matching value), 1 for an\n"
         "infeasible one or a wrong value, 2 for bad options or unusable files.\n";
}

bool parse_schedule_text(const std::string& text, const InstanceData& instance, ScheduleFile& schedule,
                         std::string& error) {
  const int n = instance.activity_count;
  std::vector<std::string> lines;
  std::istringstream in(text);
  bool listing = false;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
    listing = listing || trimmed(line).rfind("Act. ", 0) == 0;
  }
  std::vector<int> finish(static_cast<std::size_t>(n), 0);
  std::vector<int> listed_on(static_cast<std::size_t>(n), 0);  // line of each activity's finish, 0 = none
  schedule.claimed_value.clear();
  bool first_line = true;
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const std::string line = trimmed(lines[l]);
    const std::string where = "line " + std::to_string(l + 1) + ": ";
    int activity = 0;
    int value = 0;
    if (listing) {
      if (line.rfind("Solution:", 0) == 0) {
        schedule.claimed_value = trimmed(line.substr(9, line.find(',') - 9));
        continue;
      }
      if (line.rfind("Act.", 0) != 0) continue;
      if (!listing_line(line, activity, value)) {
        error = where + "expected \"Act. <activity>: einde <finish time>\"";
        return false;
      }
    } else {
      if (line.empty()) continue;
      const bool header = first_line && !line.empty() && line[0] != '-' && (line[0] < '0' || line[0] > '9');
      first_line = false;
      if (header) continue;
      if (!csv_line(line, activity, value)) {
        error = where + "expected \"activity,finish\" with two integers (or an output.out solution listing)";
        return false;
      }
    }
    if (activity < 1 || activity > n) {
      error = where + "activity " + std::to_string(activity) + " is not one of the instance's 1.." + std::to_string(n);
      return false;
    }
    int& seen = listed_on[static_cast<std::size_t>(activity - 1)];
    if (seen != 0) {
      error = where + "activity " + std::to_string(activity) + " was given a finish time on line " +
              std::to_string(seen) + " already";
      return false;
    }
    seen = static_cast<int>(l + 1);
    finish[static_cast<std::size_t>(activity - 1)] = value;
  }
  int missing = 0;
  int first_missing = 0;
  int latest = 0;
  for (int i = 1; i < n - 1; ++i) {
    if (listed_on[static_cast<std::size_t>(i)] == 0 && missing++ == 0) first_missing = i + 1;
    latest = std::max(latest, finish[static_cast<std::size_t>(i)]);
  }
  if (missing > 0) {
    error = "no finish time for activity " + std::to_string(first_missing) +
            (missing > 1 ? " and " + std::to_string(missing - 1) + " more" : std::string()) + " of 2.." +
            std::to_string(n - 1);
    return false;
  }
  if (n >= 2 && listed_on[static_cast<std::size_t>(n - 1)] == 0) finish[static_cast<std::size_t>(n - 1)] = latest;
  schedule.finish = std::move(finish);
  return true;
}

int run_check(const CheckOptions& o, std::FILE* out, std::FILE* err) {
  const auto fail = [err](const std::string& message) {
    std::fprintf(err, "rcpspdc-check: %s\n", message.c_str());
    return 2;
  };
  InstanceData data;
  const ReadOutcome read = read_instance_file(o.instance, data);
  if (!read.ok()) return fail(read.kind == READ_NOT_FOUND ? read.reason : o.instance + ": " + read.reason);
  if (o.have_deadline) {
    data.deadline = o.deadline;
  } else {
    const ReadOutcome deadline = read_deadline_file(o.deadline_file, o.number, o.offset, data.deadline);
    if (!deadline.ok())
      return fail(deadline.kind == READ_NO_DEADLINE_FILE ? deadline.reason
                                                         : o.deadline_file + ": no deadline for instance " +
                                                               std::to_string(o.number) + ": " + deadline.reason);
  }
  InfoRecords records;
  std::string error;
  if (!read_info_file(o.cash_flows, records, error)) return fail(error);
  const auto record = records.find(o.number);
  if (record == records.end())
    return fail(o.cash_flows + " has no record of instance " + std::to_string(o.number));
  if (!take_cash_flows(record->second, data))
    return fail("record " + std::to_string(o.number) + " of " + o.cash_flows + " has " +
                std::to_string(record->second.cash_flow.size()) + " cash flows; " + o.instance + " has " +
                std::to_string(data.activity_count - 2) + " real activities");
  std::string text;
  if (!read_text_file(o.schedule, text)) return fail("cannot open " + o.schedule);
  ScheduleFile schedule;
  if (!parse_schedule_text(text, data, schedule, error)) return fail(o.schedule + ", " + error);

  std::fprintf(out, "instance %s: %d activities, %d resources, deadline %d, rate %g\n", o.instance.c_str(),
               data.activity_count, data.resource_count, data.deadline, o.interest_rate);
  if (record->second.deadline != data.deadline)
    std::fprintf(out, "note: the cash flows were recorded for deadline %d\n", record->second.deadline);
  std::fprintf(out, "schedule %s: the last activity finishes at %d\n", o.schedule.c_str(), schedule.finish.back());
  const ScheduleCheck check = check_schedule(data, schedule.finish, o.interest_rate);
  for (const std::string& violation : check.violations) std::fprintf(out, "violated: %s\n", violation.c_str());
  std::fprintf(out, "net present value: %s (%.17g)\n", two_decimals(check.npv).c_str(), check.npv);
  bool value_matches = true;
  if (!schedule.claimed_value.empty()) {
    value_matches = schedule.claimed_value == two_decimals(check.npv);
    std::fprintf(out, "the listing's value %s %s\n", schedule.claimed_value.c_str(),
                 value_matches ? "matches" : "does NOT match");
  }
  if (!check.feasible()) {
    std::fprintf(out, "INFEASIBLE: %zu violation%s\n", check.violations.size(),
                 check.violations.size() == 1 ? "" : "s");
    return 1;
  }
  std::fputs(value_matches ? "feasible\n" : "feasible, but the listed value is wrong\n", out);
  return value_matches ? 0 : 1;
}

}  // namespace rcpspdc
