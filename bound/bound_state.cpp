#include "bound/bound_state.hpp"

#include "model/npv.hpp"

namespace rcpspdc {

void prepare_bound(BoundState& b, const ProjectModel& m, double interest_rate) {
  b.interest_rate = interest_rate;
  fill_discount_table(b.discount, interest_rate, m.deadline);
}

void clear_schedule(ProjectModel& m, BoundState& b) {
  for (int i = m.activity_count - 1; i >= 0; --i) {
    m.finish_time[i] = 0;
    set_clear(b.tree_set[i]);
    set_clear(b.tree_in[i]);
  }
}

}  // namespace rcpspdc
