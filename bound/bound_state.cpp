#include "bound/bound_state.hpp"

#include <algorithm>
#include <cmath>

namespace rcpspdc {

void prepare_bound(BoundState& b, const ProjectModel& m, double interest_rate) {
  b.interest_rate = interest_rate;
  const int horizon = std::max(m.deadline, 0);
  b.discount.resize(static_cast<std::size_t>(horizon) + 1);
  // The same expression the checker evaluates, so both agree bit for bit.
  for (int t = 0; t <= horizon; ++t)
    b.discount[static_cast<std::size_t>(t)] = std::exp(-interest_rate * t);
}

void clear_schedule(ProjectModel& m, BoundState& b) {
  for (int i = m.activity_count - 1; i >= 0; --i) {
    m.finish_time[i] = 0;
    set_clear(b.tree_set[i]);
    set_clear(b.tree_in[i]);
  }
}

}  // namespace rcpspdc
