// Value improvement of a feasible schedule: chains of activities tied by
// precedence move together towards the end their discounted cash flows prefer.
#pragma once

#include <vector>

#include "window_search/schedule_passes.hpp"

namespace rcpspdc {

// Scratch of the chain shifts, sized once per instance.
struct ShiftScratch {
  std::vector<double> cash_flow;  // per activity, as a double
  std::vector<int> chain;         // the activities that move together
  std::vector<char> in_chain;     // membership flags of `chain`
};

void init_shift_scratch(const InstanceData& instance, ShiftScratch& scratch);

// Sweeps over all activities, shifting each one's chain while that raises the
// value, until a sweep changes nothing or `max_sweeps` have run. `finish` must
// be feasible within the deadline and stays so. Returns the sweeps run.
int improve_by_shifts(const ScheduleNetwork& net, LoadProfile& profile, ShiftScratch& scratch,
                      double interest_rate, int max_sweeps, std::vector<int>& finish);

}  // namespace rcpspdc
