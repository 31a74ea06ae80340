#include "tools/check_schedule_files.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include "check/schedule_check.hpp"
#include "formats/batch_json.hpp"
#include "formats/info_file.hpp"
#include "formats/instance_file.hpp"
#include "formats/makespan_table.hpp"
#include "formats/psplib.hpp"
#include "formats/schedule_file.hpp"
#include "model/network.hpp"
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
  outcome.error = parse_options(args, table, o.help, {{"--all", &o.all}});
  if (!outcome.ok()) return outcome;
  if (o.help) return outcome;
  if (o.all) {
    if (o.json.empty() || have_number || have_rate || o.have_deadline ||
        !o.deadline_file.empty() || !o.cash_flows.empty() || !o.schedule.empty() ||
        !o.instance.empty())
      outcome.error = "--all goes with --json FILE alone: every line of the run is checked";
    return outcome;
  }
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
         "       rcpspdc-check --json FILE --all\n"
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
         "  --all                with --json: every line of the run, each against its\n"
         "                       instance file: the schedule and its value; the deadline\n"
         "                       against the makespan of the deadline file (a series) or\n"
         "                       the --makespans table or critical path (instance files)\n"
         "                       with the line's offset or factor; the status against the\n"
         "                       value, bound and schedule (optimal: a schedule whose value\n"
         "                       is the bound; infeasible: none; time limit or node limit:\n"
         "                       a bound not below the value, a limit the run set, and at\n"
         "                       least as many created nodes as the node limit). Prints\n"
         "                       each failure and one summary;\n"
         "                       exit 1 on any failure. Rows the run could not solve are\n"
         "                       counted, not failed\n"
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

// What the checks of a whole run know of it: the series' deadline file, or
// the instance files' makespan table; and every instance file read so far.
struct RunFiles {
  std::string deadline_file;  // a numbered series: DIR/deadline.PROBLEM
  std::map<std::string, std::map<std::string, int>> tables;  // makespan tables by path
  std::map<std::string, InstanceData> instances;             // by path
  std::map<std::string, std::string> unreadable;             // path -> why
};

// The instance of a line, read once per file; null after noting why not.
const InstanceData* instance_of(RunFiles& files, const std::string& path) {
  if (files.instances.count(path) != 0) return &files.instances[path];
  if (files.unreadable.count(path) != 0) return nullptr;
  InstanceData data;
  const FileOutcome read = read_any_instance_file(path, data);
  if (!read.ok()) {
    files.unreadable[path] = read.message;
    return nullptr;
  }
  return &(files.instances[path] = std::move(data));
}

// The deadline the line's settings give over its makespan, or why none.
std::string expected_deadline(RunFiles& files, const JsonSchedule& line, const InstanceData& data,
                              long long& deadline) {
  long long makespan = 0;
  if (!files.deadline_file.empty()) {
    int read_makespan = 0;
    const FileOutcome read =
        read_deadline_file(files.deadline_file, line.number, 0, read_makespan);
    if (!read.ok()) return files.deadline_file + ": " + read.message;
    makespan = read_makespan;
  } else if (line.deadline_from == "makespans") {
    const std::string& table_path = line.settings.makespans;
    if (files.tables.count(table_path) == 0) {
      const FileOutcome read = read_makespan_table(table_path, files.tables[table_path]);
      if (!read.ok()) return "--makespans " + table_path + ": " + read.message;
    }
    const auto& table = files.tables[table_path];
    const auto found = table.find(std::filesystem::path(line.file).stem().string());
    if (found == table.end()) return table_path + " has no makespan for " + line.file;
    makespan = found->second;
  } else {
    makespan = critical_path_length(data);
  }
  deadline = line.settings.factor > 0 ? factor_deadline(line.settings.factor, makespan)
                                      : makespan + line.settings.offset;
  return {};
}

// What is wrong with a solved line's status, "" when nothing: against its
// value, bound and schedule, and against the limits of its settings (a
// search stopped by a limit the run did not set, or by the node limit
// before it had created that many nodes).
std::string status_faults(const JsonSchedule& line) {
  const bool has_schedule = !line.finish.empty();
  const RowStatus kind = status_kind(line.status);
  const bool stopped = kind == RowStatus::time_limit || kind == RowStatus::node_limit;
  const std::int64_t limit = line.settings.node_limit;
  switch (kind) {
    case RowStatus::optimal:
      if (!has_schedule || !line.has_value || !line.has_bound || line.bound != line.value)
        return "optimal, but without a schedule whose value is the bound";
      break;
    case RowStatus::infeasible:
      if (has_schedule || line.has_value) return "infeasible, but with a schedule";
      break;
    case RowStatus::time_limit:
      if (line.settings.time_limit <= 0.0) return "time limit, but the run had none";
      break;
    case RowStatus::node_limit:
      if (limit <= 0) return "node limit, but the run had none";
      if (line.created_nodes < limit)
        return "node limit at " + std::to_string(line.created_nodes) + " nodes, below the limit " +
               std::to_string(limit);
      break;
    case RowStatus::error: return "status \"" + line.status + "\" with a deadline (a solved row)";
  }
  if (stopped && line.has_value && line.has_bound &&
      line.bound < line.value - 1e-9 * std::max(1.0, std::fabs(line.value)))
    return "the bound is below the value";
  return {};
}

// Everything wrong with one solved line, "" when nothing.
std::string line_faults(RunFiles& files, const JsonSchedule& line) {
  const InstanceData* instance = instance_of(files, line.file);
  if (instance == nullptr) return line.file + ": " + files.unreadable[line.file];
  InstanceData data = *instance;
  std::string faults;
  const auto fault = [&faults](const std::string& what) {
    faults += (faults.empty() ? "" : "; ") + what;
  };
  long long deadline = 0;
  const std::string unknown = expected_deadline(files, line, data, deadline);
  if (!unknown.empty())
    fault(unknown);
  else if (deadline != line.deadline)
    fault("deadline " + std::to_string(line.deadline) + ", the settings give " +
          std::to_string(deadline));
  data.deadline = line.deadline;
  if (line.cash_flow.size() != static_cast<std::size_t>(data.activity_count))
    return faults + (faults.empty() ? "" : "; ") + std::to_string(line.cash_flow.size()) +
           " cash flows for " + std::to_string(data.activity_count) + " activities";
  data.cash_flow = line.cash_flow;
  const bool has_schedule = !line.finish.empty();
  const std::string status = status_faults(line);
  if (!status.empty()) fault(status);
  if (has_schedule != line.has_value) fault("a value without a schedule, or the other way");
  if (!has_schedule) return faults;
  if (line.finish.size() != static_cast<std::size_t>(data.activity_count))
    return faults + (faults.empty() ? "" : "; ") + std::to_string(line.finish.size()) +
           " finish times for " + std::to_string(data.activity_count) + " activities";
  const ScheduleCheck check = check_schedule(data, line.finish, line.interest_rate);
  for (const std::string& violation : check.violations) fault("violated: " + violation);
  if (std::fabs(check.npv - line.value) > 1e-9 * std::max(1.0, std::fabs(line.value)))
    fault("value " + printed("%.17g", line.value) + ", the schedule is worth " +
          printed("%.17g", check.npv));
  return faults;
}

// Every line of a run's JSON Lines.
int check_all_lines(const CheckOptions& o, std::FILE* out, std::FILE* err) {
  std::vector<JsonRunLine> lines;
  const FileOutcome read = read_json_run(o.json, lines);
  if (!read.ok()) {
    std::fprintf(err, "rcpspdc-check: %s\n", read.message.c_str());
    return 2;
  }
  RunFiles files;
  int failures = 0;
  int solved = 0;
  int unsolved = 0;
  std::map<std::string, int> statuses;
  bool header = false;
  for (const JsonRunLine& line : lines) {
    const auto fail = [&](const std::string& what) {
      ++failures;
      std::fprintf(out, "line %d: %s\n", line.line_number, what.c_str());
    };
    switch (line.kind) {
      case JsonRunLine::Kind::header:
        header = true;
        if (!line.deadline_file.empty()) files.deadline_file = line.deadline_file;
        break;
      case JsonRunLine::Kind::unsolved: ++unsolved; break;
      case JsonRunLine::Kind::invalid: fail(line.message); break;
      case JsonRunLine::Kind::solved: {
        ++solved;
        ++statuses[line.schedule.status];
        const std::string faults = line_faults(files, line.schedule);
        if (!faults.empty())
          fail("instance " + std::to_string(line.schedule.number) + ": " + faults);
        break;
      }
    }
  }
  if (!header) {
    ++failures;
    std::fprintf(out, "%s has no header line of rcpspdc-batch\n", o.json.c_str());
  }
  std::string counts;
  for (const auto& [status, count] : statuses)
    counts += ", " + std::to_string(count) + " " + status;
  std::fprintf(out, "%s: %d rows checked%s, %d not solved by the run; %d failure%s\n",
               o.json.c_str(), solved, counts.c_str(), unsolved, failures,
               failures == 1 ? "" : "s");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int run_check(const CheckOptions& o, std::FILE* out, std::FILE* err) {
  if (o.all) return check_all_lines(o, out, err);
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
