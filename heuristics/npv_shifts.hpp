// Value improvement of a feasible schedule: chains of activities tied by
// precedence move together towards the end their discounted cash flows prefer.
#pragma once

#include <vector>

#include "heuristics/schedule_passes.hpp"
#include "platform/time_budget.hpp"

namespace rcpspdc {

// Scratch of the chain shifts, sized once per instance.
struct ShiftScratch {
  std::vector<double> cash_flow;  // per activity, as a double
  std::vector<int> chain;         // the activities that move together
  std::vector<char> in_chain;     // membership flags of `chain`
};

void init_shift_scratch(const InstanceData& instance, ShiftScratch& scratch);

// How long the sweeps may go on: at most `sweeps` of them, and, with a
// clock, none after its budget is spent, each counting `sweep_work`.
struct ShiftLimits {
  int sweeps = 0;
  WorkClock* clock = nullptr;
  std::int64_t sweep_work = 0;
};

// Sweeps over all activities, shifting each one's chain while that raises the
// value, until a sweep changes nothing or `limits` end them. `finish` must
// be feasible within the deadline and stays so. Returns the sweeps run.
int improve_by_shifts(const ScheduleNetwork& net, LoadProfile& profile, ShiftScratch& scratch,
                      double interest_rate, const ShiftLimits& limits, std::vector<int>& finish);

}  // namespace rcpspdc
