// Runs the first-schedule heuristic of the window search on the j30 and
// Patterson sets at deadline offsets 0 and 5, with cash flows drawn as the
// batch runner draws them (generator seeded with 1 anew per instance, 60 %
// negative, rate 0.01), and prints per set, offset and budget how many
// instances got a schedule within the deadline and the time taken.
//
//   rcpspdc-heuristic-bench INSTANCE_DIR [BUDGET ...]
//   rcpspdc-heuristic-bench --set DIR PROBLEM LAST [BUDGET ...]
//
// INSTANCE_DIR holds j30/ and pat/ with their deadline files; the second form
// runs instances PROBLEM1 .. PROBLEM<LAST> of DIR instead.
#include <cstdio>
#include <cstdlib>
#include <random>
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
  const bool one_set = argc >= 5 && std::string(argv[1]) == "--set";
  if (argc < 2 || (std::string(argv[1]) == "--set" && !one_set)) {
    std::fprintf(
        stderr,
        "usage: %s INSTANCE_DIR [BUDGET ...]\n       %s --set DIR PROBLEM LAST [BUDGET ...]\n",
        argv[0], argv[0]);
    return 2;
  }
  const std::string root = one_set ? "" : std::string(argv[1]) + "/";
  std::vector<int> budgets;
  for (int a = one_set ? 5 : 2; a < argc; ++a) budgets.push_back(std::atoi(argv[a]));
  if (budgets.empty()) budgets.push_back(HeuristicSettings{}.schedule_budget);
  const double rate = 0.01;
  std::vector<Set> sets = {{"j30", "j30_", 240}, {"pat", "pat", 110}};
  if (one_set) sets = {{argv[2], argv[3], std::atoi(argv[4])}};

  std::printf("%-4s %6s %7s %9s %6s %8s %10s %10s %10s\n", "set", "offset", "budget", "instances",
              "found", "checked", "total_ms", "mean_ms", "max_ms");
  int faults = 0;
  for (const Set& set : sets)
    for (int offset : {0, 5})
      for (int budget : budgets) {
        int read = 0, found = 0, checked = 0;
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
          const double begin = wall_seconds();
          const InitialSchedule schedule = initial_schedule(data, rate, settings);
          const double ms = 1000.0 * (wall_seconds() - begin);
          total_ms += ms;
          if (ms > max_ms) max_ms = ms;
          if (!schedule.found) continue;
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
        std::fflush(stdout);
      }
  return faults == 0 ? 0 : 1;
}
