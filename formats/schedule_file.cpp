#include "formats/schedule_file.hpp"

#include <algorithm>
#include <sstream>

#include "formats/instance_file.hpp"
#include "formats/text_file.hpp"

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

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

}  // namespace

FileOutcome parse_schedule_text(const std::string& text, const InstanceData& instance,
                                ScheduleFile& schedule) {
  const int n = instance.activity_count;
  std::vector<std::string> lines;
  std::istringstream in(text);
  bool listing = false;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
    listing = listing || trimmed(line).rfind("Act. ", 0) == 0;
  }
  std::vector<int> finish(static_cast<std::size_t>(n), 0);
  // line of each activity's finish, 0 = none
  std::vector<int> listed_on(static_cast<std::size_t>(n), 0);
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
      if (!listing_line(line, activity, value))
        return invalid(where + "expected \"Act. <activity>: einde <finish time>\"");
    } else {
      if (line.empty()) continue;
      const bool header =
          first_line && !line.empty() && line[0] != '-' && (line[0] < '0' || line[0] > '9');
      first_line = false;
      if (header) continue;
      if (!csv_line(line, activity, value))
        return invalid(
            where +
            "expected \"activity,finish\" with two integers (or an output.out solution listing)");
    }
    if (activity < 1 || activity > n)
      return invalid(where + "activity " + std::to_string(activity) +
                     " is not one of the instance's 1.." + std::to_string(n));
    if (value < 0 || value > MAX_DEADLINE)
      return invalid(where + "finish time " + std::to_string(value) + " of activity " +
                     std::to_string(activity) + " is not from 0 to " +
                     std::to_string(MAX_DEADLINE));
    int& seen = listed_on[static_cast<std::size_t>(activity - 1)];
    if (seen != 0)
      return invalid(where + "activity " + std::to_string(activity) +
                     " was given a finish time on line " + std::to_string(seen) + " already");
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
  if (missing > 0)
    return invalid(
        "no finish time for activity " + std::to_string(first_missing) +
        (missing > 1 ? " and " + std::to_string(missing - 1) + " more" : std::string()) +
        " of 2.." + std::to_string(n - 1));
  if (n >= 2 && listed_on[static_cast<std::size_t>(n - 1)] == 0)
    finish[static_cast<std::size_t>(n - 1)] = latest;
  schedule.finish = std::move(finish);
  return FileOutcome{};
}

}  // namespace rcpspdc
