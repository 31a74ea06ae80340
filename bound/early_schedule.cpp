// The first schedule and bound tree of an evaluation. The forward pass hangs
// every activity from its binding predecessor at its earliest finish and pins
// the end to the deadline; the backward pass then moves each negative activity
// without a tree successor of its own as late as its successors allow, and
// hangs it from the successor that stops it. Both passes take the highest
// numbered ready activity first and test readiness as one subset test of a
// whole neighbour set against done_set. The two working sets live in locals
// for the length of a pass, so they stay in registers.
#include <climits>

#include "bound/bound_state.hpp"
#include "model/invariant.hpp"

namespace rcpspdc {

int forward_pass(ProjectModel& m, BoundState& b) {
  m.finish_time[0] = 0;
  ActivitySet ready_set{};
  ActivitySet done_set{};
  set_add(done_set, 0);
  for (int e = 0; e < m.succ_count[0]; ++e) {
    const int s = m.succ_list[0][e];
    if (set_is_subset(m.pred_set[s], done_set)) set_add(ready_set, s);
  }
  for (int j = set_highest(ready_set); j >= 0; j = set_highest(ready_set)) {
    set_toggle(ready_set, j);
    set_add(done_set, j);
    // Scanning from the last entry and replacing only on a strictly later
    // finish lets the predecessor standing last in the list win a tie.
    // Finish times are at least 0, so the first predecessor always replaces
    // the starting value.
    int latest = INT_MIN;
    int binding = -1;
    const int dj = m.duration[j];
    for (int e = m.pred_count[j] - 1; e >= 0; --e) {
      const int p = m.pred_list[j][e];
      const int f = m.finish_time[p] + dj;
      if (f > latest) {
        latest = f;
        binding = p;
      }
    }
    RCPSPDC_CHECK(binding >= 0, "an activity became ready without a predecessor");
    m.finish_time[j] = latest;
    b.tree_parent[j] = binding;
    tree_link(b, binding, j);
    for (int e = 0; e < m.succ_count[j]; ++e) {
      const int s = m.succ_list[j][e];
      if (set_is_subset(m.pred_set[s], done_set)) set_add(ready_set, s);
    }
  }
  const int end = m.end_activity;
  if (m.finish_time[end] > m.deadline) return 0;
  // The deadline arc replaces the end's binding arc in the tree.
  m.finish_time[end] = m.deadline;
  tree_unlink(b, b.tree_parent[end], end);
  tree_link(b, end, 0);
  return 1;
}

void backward_pass(ProjectModel& m, BoundState& b) {
  const int end = m.end_activity;
  ActivitySet ready_set{};
  ActivitySet done_set{};
  set_add(done_set, end);
  for (int e = 0; e < m.pred_count[end]; ++e) {
    const int p = m.pred_list[end][e];
    if (set_is_subset(m.succ_set[p], done_set)) set_add(ready_set, p);
  }
  for (int j = set_highest(ready_set); j >= 0; j = set_highest(ready_set)) {
    set_toggle(ready_set, j);
    set_add(done_set, j);
    // Activity 0 comes last; its only list entry is the deadline arc, and
    // handling the end a second time would change nothing.
    if (j == 0) break;
    if (m.cash_flow[j] < 0 && m.succ_count[j] > 0 && set_is_empty(b.tree_set[j])) {
      // Every successor is final here; the first one in list order wins a tie.
      // Starts lie within the deadline, below INT_MAX, so the first successor
      // always replaces the starting value.
      int earliest = INT_MAX;
      int stopper = -1;
      for (int e = 0; e < m.succ_count[j]; ++e) {
        const int s = m.succ_list[j][e];
        const int start = m.finish_time[s] - m.duration[s];
        if (start < earliest) {
          earliest = start;
          stopper = s;
        }
      }
      RCPSPDC_CHECK(stopper >= 0, "an activity with successors found no stopping successor");
      m.finish_time[j] = earliest;
      tree_link(b, j, stopper);
      tree_unlink(b, b.tree_parent[j], j);
    }
    for (int e = 0; e < m.pred_count[j]; ++e) {
      const int p = m.pred_list[j][e];
      if (set_is_subset(m.succ_set[p], done_set)) set_add(ready_set, p);
    }
  }
}

}  // namespace rcpspdc
