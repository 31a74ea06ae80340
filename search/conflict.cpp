// Resource conflict detection: builds the load profile of a relaxed schedule
// and finds its first overloaded period. Only that period counts; later
// overloads are left to the children, which are tested again on their own
// schedules. On a conflict the schedule and the tree are cleared here, since
// this is where the evaluation ends.
#include "search/search_state.hpp"

namespace rcpspdc {

int detect_conflict(ProjectModel& m, BoundState& b, ConflictState& c) {
  const int horizon = m.finish_time[m.end_activity];
  Packed* load = c.period_load.data();
  for (int t = horizon; t >= 0; --t) load[t] = 0;
  for (int i = m.activity_count - 1; i >= 0; --i) {
    const Packed demand = m.packed_demand[i];
    for (int t = m.finish_time[i] - m.duration[i] + 1; t <= m.finish_time[i]; ++t)
      load[t] += demand;
  }
  set_clear(c.found_conflict);
  int t = 1;
  while (t <= horizon && !overloaded(m.packed_capacity - load[t], m.overflow_mask)) ++t;
  if (t > horizon) return 0;
  for (int i = m.activity_count - 1; i >= 0; --i) {
    if (m.finish_time[i] - m.duration[i] < t && t <= m.finish_time[i])
      set_add(c.found_conflict, i);
    m.finish_time[i] = 0;
    set_clear(b.tree_set[i]);
    set_clear(b.tree_in[i]);
  }
  c.found_excess = m.packed_capacity - load[t];
  return 1;
}

}  // namespace rcpspdc
