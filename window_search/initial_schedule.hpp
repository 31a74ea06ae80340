// The first schedule of the window search: a feasible schedule within the
// deadline with a good net present value, found before the search starts so
// that every later node can be pruned against its value.
#pragma once

#include <cstdint>
#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

struct HeuristicSettings {
  int schedule_budget =
      1000;                // schedule generations allowed (deterministic work limit, not a clock)
  std::uint32_t seed = 1;  // for randomised priorities; same seed, same result
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
