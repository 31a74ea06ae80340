#include "tools/check_schedule_files.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "check/schedule_check.hpp"
#include "formats/batch_json.hpp"
#include "formats/info_file.hpp"
#include "formats/instance_file.hpp"
#include "formats/psplib.hpp"
#include "formats/schedule_file.hpp"
#include "tools/command_line.hpp"

namespace rcpspdc {

CheckOptionsOutcome parse_check_options(const std::vector<std::string>& args) {
  CheckOptionsOutcome outcome;
  CheckOptions& o = outcome.options;
  bool have_rate = false;
  bool have_number = false;
  bool have_offset = false;
  constexpr int INT_LOW = std::numeric_limits<int>::min();
  constexpr int INT_HIGH = std::numeric_limits<int>::max();
  const std::vector<OptionRow> table = {
      {"--instance", "a file name", set_text(o.instance)},
      {"--deadline", "a whole number of periods from 0 to " + std::to_string(MAX_DEADLINE),
       set_int(o.deadline, 0, MAX_DEADLINE), &o.have_deadline},
      {"--deadline-file", "a file name", set_text(o.deadline_file)},
      {"--offset", "an integer", set_int(o.offset, INT_LOW, INT_HIGH), &have_offset},
      {"--rate", "a rate of 0 or more, such as 0.01", set_rate(o.interest_rate), &have_rate},
      {"--cash-flows", "a file name", set_text(o.cash_flows)},
      {"--number", "an instance number", set_int(o.number, INT_LOW, INT_HIGH), &have_number},
      {"--schedule", "a file name", set_text(o.schedule)},
      {"--json", "a file name", set_text(o.json)},
  };
  outcome.error = parse_options(args, table, o.help);
  if (!outcome.ok()) return outcome;
  if (o.help) return outcome;
  if (!o.json.empty()) {
    // The line holds the rest; only the instance file may be named anew.
    if (!have_number)
      outcome.error = "--json needs --number (see --help)";
    else if (have_rate || o.have_deadline || !o.deadline_file.empty() || !o.cash_flows.empty() ||
             !o.schedule.empty())
      outcome.error =
          "--json takes the deadline, rate, cash flows and schedule from the line; give only "
          "--number (and --instance if the file has moved)";
    return outcome;
  }
  std::string missing;
  for (const auto& [given, option] : {std::pair{!o.instance.empty(), "--instance"},
                                      {have_rate, "--rate"},
                                      {!o.cash_flows.empty(), "--cash-flows"},
                                      {have_number, "--number"},
                                      {!o.schedule.empty(), "--schedule"}})
    if (!given) missing += std::string(missing.empty() ? "" : ", ") + option;
  if (!missing.empty())
    outcome.error = "missing " + missing + " (see --help)";
  else if (o.have_deadline && !o.deadline_file.empty())
    outcome.error = "give either --deadline or --deadline-file, not both (see --help)";
  else if (have_offset && o.deadline_file.empty())
    outcome.error = "--offset goes with --deadline-file: it is added to the makespan read there";
  return outcome;
}

std::string check_usage() {
  return "Usage: rcpspdc-check --instance FILE.rcp [--deadline D | --deadline-file FILE [--offset "
         "K]]\n"
         "                     --rate R --cash-flows INFO --number P --schedule FILE\n"
         "       rcpspdc-check --json FILE --number P [--instance FILE.rcp]\n"
         "\n"
         "Checks a schedule independently: every precedence arc, every resource in every\n"
         "period, the deadline, and the net present value.\n"
         "\n"
         "  --instance FILE      the instance file the schedule is for (the program's own\n"
         "                       form or PSPLIB .sm, told apart by content)\n"
         "  --deadline D         the deadline in periods (default: the deadline of the\n"
         "                       info.out record, which it must equal when given)\n"
         "  --deadline-file F    or: the makespan of triple P of this deadline file ...\n"
         "  --offset K           ... plus K periods (default: 0)\n"
         "  --rate R             continuous interest rate per period, such as 0.01\n"
         "  --cash-flows INFO    an info.out; the cash flows are those of its record P\n"
         "  --number P           the instance number of that record\n"
         "  --schedule FILE      the finish times: an output.out of a single-instance run\n"
         "                       (its \"Act. 2: einde 6\" lines), or a CSV file of lines\n"
         "                       \"activity,finish\" (an optional header first), activities\n"
         "                       numbered as in the instance file\n"
         "  --json FILE          or: the JSON Lines of rcpspdc-batch --json; the object of\n"
         "                       instance P gives the instance file (unless --instance\n"
         "                       names it), deadline, rate, cash flows, finish times and\n"
         "                       value, which must match to 1e-9 relative\n"
         "  --version            print the version and stop\n"
         "  --help               show this text\n"
         "\n"
         "Every real activity needs a finish time, a whole number from 0 to 100000. The\n"
         "first (dummy) activity finishes at 0\n"
         "and the last at the largest finish of the others, unless the CSV lists them.\n"
         "Prints every violated arc, overloaded period and missed deadline, the net present\n"
         "value, and whether it matches the listing's \"Solution:\" line to the 2 printed\n"
         "decimals. Exit status: 0 for a feasible schedule (with a matching value), 1 for an\n"
         "infeasible one or a wrong value, 2 for bad options or unusable files.\n";
}

namespace {

// The instance file to check against, of either form; false after saying
// why. A note of the reader goes to `err` too.
bool read_instance(const std::string& path, InstanceData& data, std::FILE* err) {
  const FileOutcome read = read_any_instance_file(path, data);
  if (!read.note.empty()) std::fprintf(err, "rcpspdc-check: %s\n", read.note.c_str());
  if (read.ok()) return true;
  std::fprintf(
      err, "rcpspdc-check: %s\n",
      (read.fault == FileFault::cannot_open ? read.message : path + ": " + read.message).c_str());
  return false;
}

// Every violation of a checked schedule, then its value.
void print_check(std::FILE* out, const ScheduleCheck& check) {
  for (const std::string& violation : check.violations)
    std::fprintf(out, "violated: %s\n", violation.c_str());
  std::fprintf(out, "net present value: %s (%.17g)\n", fixed_decimals(check.npv, 2).c_str(),
               check.npv);
}

// The verdict line; the exit status: 0 for a feasible schedule with the value
// it claims, 1 otherwise.
int print_verdict(std::FILE* out, const ScheduleCheck& check, bool value_matches) {
  if (!check.feasible()) {
    std::fprintf(out, "INFEASIBLE: %zu violation%s\n", check.violations.size(),
                 check.violations.size() == 1 ? "" : "s");
    return 1;
  }
  std::fputs(value_matches ? "feasible\n" : "feasible, but the listed value is wrong\n", out);
  return value_matches ? 0 : 1;
}

// The check of one object of a batch run's JSON Lines.
int check_json_line(const CheckOptions& o, std::FILE* out, std::FILE* err) {
  const auto fail = [err](const std::string& message) {
    std::fprintf(err, "rcpspdc-check: %s\n", message.c_str());
    return 2;
  };
  std::string text;
  const FileOutcome read = read_text_file(o.json, text);
  if (!read.ok()) return fail(read.message);
  JsonSchedule line;
  const FileOutcome found = find_json_schedule(text, o.number, line);
  if (!found.ok()) return fail(o.json + ", " + found.message);
  const std::string instance = o.instance.empty() ? line.file : o.instance;
  InstanceData data;
  if (!read_instance(instance, data, err)) return 2;
  data.deadline = line.deadline;
  if (line.cash_flow.size() != static_cast<std::size_t>(data.activity_count))
    return fail(o.json + ": instance " + std::to_string(o.number) + " has " +
                std::to_string(line.cash_flow.size()) + " cash flows; " + instance + " has " +
                std::to_string(data.activity_count) + " activities");
  if (line.finish.empty())
    return fail(o.json + ": instance " + std::to_string(o.number) + " has no schedule to check");
  if (line.finish.size() != static_cast<std::size_t>(data.activity_count))
    return fail(o.json + ": instance " + std::to_string(o.number) + " has " +
                std::to_string(line.finish.size()) + " finish times; " + instance + " has " +
                std::to_string(data.activity_count) + " activities");
  data.cash_flow = line.cash_flow;
  std::fprintf(out, "instance %s: %d activities, %d resources, deadline %d, rate %g\n",
               instance.c_str(), data.activity_count, data.resource_count, data.deadline,
               line.interest_rate);
  const ScheduleCheck check = check_schedule(data, line.finish, line.interest_rate);
  print_check(out, check);
  const bool value_matches = line.has_value && std::fabs(check.npv - line.value) <=
                                                   1e-9 * std::max(1.0, std::fabs(line.value));
  std::fprintf(out, "the line's value %.17g %s\n", line.value,
               value_matches ? "matches" : "does NOT match");
  return print_verdict(out, check, value_matches);
}

}  // namespace

int run_check(const CheckOptions& o, std::FILE* out, std::FILE* err) {
  if (!o.json.empty()) return check_json_line(o, out, err);
  const auto fail = [err](const std::string& message) {
    std::fprintf(err, "rcpspdc-check: %s\n", message.c_str());
    return 2;
  };
  InstanceData data;
  if (!read_instance(o.instance, data, err)) return 2;
  const bool deadline_given = o.have_deadline || !o.deadline_file.empty();
  if (o.have_deadline) {
    data.deadline = o.deadline;
  } else if (deadline_given) {
    const FileOutcome deadline =
        read_deadline_file(o.deadline_file, o.number, o.offset, data.deadline);
    if (!deadline.ok())
      return fail(deadline.fault == FileFault::no_deadline_file
                      ? deadline.message
                      : o.deadline_file + ": no deadline for instance " +
                            std::to_string(o.number) + ": " + deadline.message);
  }
  InfoRecords records;
  const FileOutcome info = read_info_file(o.cash_flows, records);
  if (!info.ok()) return fail(info.message);
  const auto record = records.find(o.number);
  if (record == records.end())
    return fail(o.cash_flows + " has no record of instance " + std::to_string(o.number));
  if (!take_cash_flows(record->second, data))
    return fail("record " + std::to_string(o.number) + " of " + o.cash_flows + " has " +
                std::to_string(record->second.cash_flow.size()) + " cash flows; " + o.instance +
                " has " + std::to_string(data.activity_count - 2) + " real activities");
  // The flows were drawn for the record's deadline: the schedule is checked
  // against it, and a deadline given otherwise must agree.
  if (!deadline_given)
    data.deadline = record->second.deadline;
  else if (record->second.deadline != data.deadline)
    return fail("record " + std::to_string(o.number) + " of " + o.cash_flows +
                " has the deadline " + std::to_string(record->second.deadline) + ", " +
                (o.have_deadline ? "--deadline" : "--deadline-file") + " gives " +
                std::to_string(data.deadline));
  std::string text;
  const FileOutcome read = read_text_file(o.schedule, text);
  if (!read.ok()) return fail(read.message);
  ScheduleFile schedule;
  const FileOutcome parsed = parse_schedule_text(text, data, schedule);
  if (!parsed.ok()) return fail(o.schedule + ", " + parsed.message);

  std::fprintf(out, "instance %s: %d activities, %d resources, deadline %d, rate %g\n",
               o.instance.c_str(), data.activity_count, data.resource_count, data.deadline,
               o.interest_rate);
  std::fprintf(out, "schedule %s: the last activity finishes at %d\n", o.schedule.c_str(),
               schedule.finish.back());
  const ScheduleCheck check = check_schedule(data, schedule.finish, o.interest_rate);
  print_check(out, check);
  bool value_matches = true;
  if (!schedule.claimed_value.empty()) {
    value_matches = schedule.claimed_value == fixed_decimals(check.npv, 2);
    std::fprintf(out, "the listing's value %s %s\n", schedule.claimed_value.c_str(),
                 value_matches ? "matches" : "does NOT match");
  }
  return print_verdict(out, check, value_matches);
}

}  // namespace rcpspdc
