// The net present value of a schedule, summed one way everywhere in the
// solver: every cash flow falls when its activity finishes and is discounted
// by e^(-rate * finish), and the terms are added from the last real activity
// down to the first, the order the independent checker sums in (with a sum
// of its own), so that both arrive at the same double. Bounds that take each
// activity's best term are summed in the same order, so that they bound the
// computed values, rounding included.
#pragma once

#include <vector>

namespace rcpspdc {

// discount[t] = e^(-rate * t) for t = 0..horizon (none below 0): the
// expression the checker evaluates. Allocates only when the table grows.
void fill_discount_table(std::vector<double>& discount, double interest_rate, int horizon);

// The sum of term(i) over the real activities 1..activity_count-2, from the
// last down to the first.
template <typename Term>
inline double sum_over_real_activities(int activity_count, Term&& term) {
  double sum = 0.0;
  for (int i = activity_count - 2; i >= 1; --i) sum += term(i);
  return sum;
}

// The value of the finish times `finish` (one per activity).
inline double schedule_value(int activity_count, const int* cash_flow, const int* finish,
                             const double* discount) {
  return sum_over_real_activities(activity_count,
                                  [&](int i) { return cash_flow[i] * discount[finish[i]]; });
}

}  // namespace rcpspdc
