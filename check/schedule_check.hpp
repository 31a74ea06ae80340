// The independent schedule checker. It re-verifies a schedule against the
// instance as read, with plain loops over arcs and periods: no activity sets,
// no packed vectors and no bound or search code, so a fault there cannot hide
// itself here.
#pragma once

#include <string>
#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

struct ScheduleCheck {
  std::vector<std::string> violations;  // one plain-words line per fault found
  double npv = 0.0;                     // net present value of the schedule
  bool feasible() const { return violations.empty(); }
};

// Checks finish times (one per activity, model numbering) against the
// instance: activity 0 finishes at 0, every activity starts at 0 or later,
// every arc of the file holds, every finish is within the deadline, and no
// resource is overloaded in any period. Also values the schedule, summing
// cash_flow * e^(-rate * finish) from the last real activity down to the first.
ScheduleCheck check_schedule(const InstanceData& instance, const std::vector<int>& finish_time,
                             double interest_rate);

// The verdict on a schedule a search reports as worth `claimed_npv`: "" when
// it is feasible and worth exactly that, bit for bit; otherwise the first
// violation, or both values in full precision.
std::string check_reported_schedule(const InstanceData& instance,
                                    const std::vector<int>& finish_time, double claimed_npv,
                                    double interest_rate);

}  // namespace rcpspdc
