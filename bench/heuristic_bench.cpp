// Runs the first-schedule heuristic of the window search on the j30 and
// Patterson sets at deadline offsets 0 and 5, with cash flows drawn as the
// batch runner draws them (generator seeded with 1 anew per instance, 60 %
// negative, rate 0.01), and prints per set, offset and budget how many
// instances got a schedule within the deadline and the time taken.
//
//   rcpspdc-heuristic-bench [OPTIONS] INSTANCE_DIR [BUDGET ...]
//   rcpspdc-heuristic-bench [OPTIONS] --set DIR PROBLEM LAST [BUDGET ...]
//
// INSTANCE_DIR holds j30/ and pat/ with their deadline files; the second form
// runs instances PROBLEM1 .. PROBLEM<LAST> of DIR instead. OPTIONS:
//   --offsets A,B,...   deadline offsets (default 0,5)
//   --search-budget N   generations while no schedule meets the deadline
//                       (default the heuristic's own)
//   --misses            also list, per row of the table, the instances
//                       without a schedule
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "check/schedule_check.hpp"
#include "formats/instance_file.hpp"
#include "heuristics/initial_schedule.hpp"
#include "model/cash_flows.hpp"
#include "platform/platform.hpp"

namespace {

struct Set {
  const char* folder;   // below the instance directory
  const char* problem;  // file name stem
  int last;             // instances 1..last
};

}  // namespace

int main(int argc, char** argv) {
  using namespace rcpspdc;
  std::vector<int> offsets = {0, 5};
  int search_budget = HeuristicSettings{}.search_budget;
  bool misses = false;
  int first = 1;  // the first argument after the options
  for (; first < argc; ++first) {
    const std::string arg = argv[first];
    if (arg == "--offsets" && first + 1 < argc) {
      offsets.clear();
      std::istringstream list(argv[++first]);
      for (std::string item; std::getline(list, item, ',');)
        offsets.push_back(std::atoi(item.c_str()));
    } else if (arg == "--search-budget" && first + 1 < argc) {
      search_budget = std::max(1, std::atoi(argv[++first]));
    } else if (arg == "--misses") {
      misses = true;
    } else {
      break;
    }
  }
  const int rest = argc - first;
  const bool unknown = rest >= 1 && std::string(argv[first]).rfind("--", 0) == 0 &&
                       std::string(argv[first]) != "--set";
  const bool one_set = rest >= 4 && std::string(argv[first]) == "--set";
  if (rest < 1 || unknown || (std::string(argv[first]) == "--set" && !one_set) ||
      offsets.empty()) {
    std::fprintf(stderr,
                 "usage: %s [OPTIONS] INSTANCE_DIR [BUDGET ...]\n"
                 "       %s [OPTIONS] --set DIR PROBLEM LAST [BUDGET ...]\n"
                 "OPTIONS: --offsets A,B,... --search-budget N --misses\n",
                 argv[0], argv[0]);
    return 2;
  }
  const std::string root = one_set ? "" : std::string(argv[first]) + "/";
  std::vector<int> budgets;
  for (int a = first + (one_set ? 4 : 1); a < argc; ++a) budgets.push_back(std::atoi(argv[a]));
  if (budgets.empty()) budgets.push_back(HeuristicSettings{}.schedule_budget);
  const double rate = 0.01;
  std::vector<Set> sets = {{"j30", "j30_", 240}, {"pat", "pat", 110}};
  if (one_set) sets = {{argv[first + 1], argv[first + 2], std::atoi(argv[first + 3])}};

  std::printf("%-4s %6s %7s %9s %6s %8s %10s %10s %10s\n", "set", "offset", "budget", "instances",
              "found", "checked", "total_ms", "mean_ms", "max_ms");
  int faults = 0;
  for (const Set& set : sets)
    for (const int offset : offsets)
      for (int budget : budgets) {
        int read = 0, found = 0, checked = 0;
        std::string missed;  // the instances without a schedule
        double total_ms = 0.0, max_ms = 0.0;
        for (int number = 1; number <= set.last; ++number) {
          InstanceData data;
          if (!read_instance_files(set.problem, number, offset, data, root + set.folder).ok())
            continue;
          std::mt19937 generator(1);
          draw_cash_flows(data, generator, 60);
          ++read;
          HeuristicSettings settings;
          settings.schedule_budget = budget;
          settings.search_budget = search_budget;
          const double begin = wall_seconds();
          const InitialSchedule schedule = initial_schedule(data, rate, settings);
          const double ms = 1000.0 * (wall_seconds() - begin);
          total_ms += ms;
          if (ms > max_ms) max_ms = ms;
          if (!schedule.found) {
            missed += " " + std::to_string(number);
            continue;
          }
          ++found;
          const ScheduleCheck check = check_schedule(data, schedule.finish, rate);
          if (check.feasible() && check.npv == schedule.npv) {
            ++checked;
          } else {
            ++faults;
            std::fprintf(stderr, "%s%d offset %d: the checker rejects the schedule\n", set.problem,
                         number, offset);
          }
        }
        std::printf("%-4s %6d %7d %9d %6d %8d %10.1f %10.3f %10.3f\n", set.folder, offset, budget,
                    read, found, checked, total_ms, read > 0 ? total_ms / read : 0.0, max_ms);
        if (misses)
          std::printf("  without a schedule:%s\n", missed.empty() ? " none" : missed.c_str());
        std::fflush(stdout);
      }
  return faults == 0 ? 0 : 1;
}
