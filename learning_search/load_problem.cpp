// Loading an instance into the learning search's tables.
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

void load_learning_problem(LearningSearch& w, const InstanceData& instance, double interest_rate) {
  load_window_rows(w.problem, instance, interest_rate);
  w.profile.assign(static_cast<std::size_t>(w.problem.deadline) + 1, 0);
  w.table.assign(w.profile.size(), 0);
  w.table_changed.assign(w.profile.size(), 0);
  w.table_changed_below.assign(w.profile.size() + 1, 0);
  for (int i = 0; i < ACTIVITY_ROWS; ++i) w.table_lo[i] = w.table_hi[i] = 0;
  w.pair_losses.resize(w.problem.pairs.size());
}

}  // namespace rcpspdc
