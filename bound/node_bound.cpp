// The node bound: the best net present value of the current network when
// resources are ignored but the deadline holds. The schedule and the tree are
// rebuilt from scratch at every call; whoever consumes a surviving schedule
// clears it again, so every evaluation starts from zeros.
#include "bound/bound_state.hpp"
#include "model/npv.hpp"

namespace rcpspdc {

BoundOutcome compute_bound(ProjectModel& m, BoundState& b, double best_npv,
                           std::int64_t& created_nodes) {
  ++created_nodes;
  if (forward_pass(m, b) == 0) {
    clear_schedule(m, b);
    return BoundOutcome::fathomed;
  }
  backward_pass(m, b);
  subtree_search(m, b);
  const double npv =
      schedule_value(m.activity_count, m.cash_flow, m.finish_time, b.discount.data());
  b.node_npv = npv;
  if (npv > best_npv) return BoundOutcome::open;
  clear_schedule(m, b);
  return BoundOutcome::fathomed;
}

}  // namespace rcpspdc
