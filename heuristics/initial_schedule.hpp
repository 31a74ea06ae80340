// The first-schedule heuristic: a feasible schedule within the deadline with
// a good net present value, found before an exact search starts so that
// every later node can be pruned against its value.
#pragma once

#include <cstdint>
#include <vector>

#include "model/instance_data.hpp"
#include "platform/time_budget.hpp"

namespace rcpspdc {

struct HeuristicSettings {
  // Work limits in schedule generations, deterministic unlike a clock.
  int schedule_budget = 1000;  // for the value, once a schedule meets the deadline
  int search_budget = 50000;   // in all while none does
  int restart_after = 300;     // children without a new best before the lists are drawn anew
  std::uint32_t seed = 1;      // for randomised priorities; same seed, same result
  TimeBudget time;             // ends the run early; the budgets hold with or without it
};

struct InitialSchedule {
  bool found = false;       // a feasible schedule within the deadline
  double npv = 0.0;         // its value, summed as the checker sums it
  std::vector<int> finish;  // per activity, model numbering
  int generations = 0;      // schedules generated
};

// Serial schedule generation over priority-rule and sampled activity lists,
// forward-backward justification to bring the makespan within the deadline,
// then shifts of precedence chains towards their preferred end for the value.
// A generation is one pass of the serial scheme in either direction or one
// sweep of chain shifts over all activities.
InitialSchedule initial_schedule(const InstanceData& instance, double interest_rate,
                                 const HeuristicSettings& settings);

}  // namespace rcpspdc
