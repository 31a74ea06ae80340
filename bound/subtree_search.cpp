// Improves the early schedule to the best one under precedence and the
// deadline. A valuation walks the bound tree from activity 0; a subtree that
// hangs from a tree predecessor and is worth less than nothing is worth more
// later, so it is detached. All detached subtrees are then shifted right, the
// one with the smallest slack first, and hung back at the arc that stops them.
// Valuations repeat until one detaches nothing.
#include <climits>

#include "bound/bound_state.hpp"
#include "model/invariant.hpp"

namespace rcpspdc {

namespace {
constexpr double DETACH_THRESHOLD = -0.00001;
// Larger than any slack: slacks lie between finish times, which stay within
// the deadline (at most 100000 periods).
constexpr int NO_SLACK = INT_MAX;
}  // namespace

double subtree_value(ProjectModel& m, BoundState& b, int j) {
  const int d = ++b.subtree_depth;
  ActivitySet& row = b.subtree_stack[d];
  const ActivitySet& below = b.subtree_stack[d + 1];
  set_clear(row);
  set_add(row, j);
  set_add(b.visited_set, j);
  double value = m.cash_flow[j] * b.discount[static_cast<std::size_t>(m.finish_time[j])];

  // Successor side first: only these subtrees can be detached. The lists give
  // the order, which decides the order of detached rows and of the sum.
  if (!set_is_subset(b.tree_set[j], b.visited_set)) {
    for (int e = 0; e < m.succ_count[j]; ++e) {
      const int s = m.succ_list[j][e];
      if (!set_contains(b.tree_set[j], s) || set_contains(b.visited_set, s)) continue;
      const double x = subtree_value(m, b, s);
      if (x < DETACH_THRESHOLD) {
        tree_unlink(b, j, s);
        const int r = b.detached_count++;
        b.detached_set[r] = below;
        set_union(b.pending_set, below);
        for_each_member(below, [&](int a) { b.detached_of[a] = r; });
      } else {
        value += x;
        set_union(row, below);
      }
    }
  }
  if (!set_is_subset(b.tree_in[j], b.visited_set)) {
    for (int e = 0; e < m.pred_count[j]; ++e) {
      const int p = m.pred_list[j][e];
      if (!set_contains(b.tree_in[j], p) || set_contains(b.visited_set, p)) continue;
      value += subtree_value(m, b, p);
      set_union(row, below);
    }
  }
  b.subtree_depth = d - 1;
  return value;
}

namespace {

// Smallest slack from pending activity i to a successor outside the pending
// sets; scanning the list backwards with a strict test lets the last entry
// win a tie.
void settle_slack(const ProjectModel& m, BoundState& b, int i) {
  int best = NO_SLACK;
  int to = -1;
  const int fi = m.finish_time[i];
  for (int e = m.succ_count[i] - 1; e >= 0; --e) {
    const int s = m.succ_list[i][e];
    if (set_contains(b.pending_set, s)) continue;
    const int slack = (m.finish_time[s] - m.duration[s]) - fi;
    if (slack < best) {
      best = slack;
      to = s;
    }
  }
  b.slack_of[i] = best;
  b.slack_to[i] = to;
}

}  // namespace

// Shifts the detached sets one by one, always the one with the smallest slack
// (ties to the highest numbered activity, then to its last list entry). Each
// pending activity keeps its own smallest slack; shifting a set only changes
// the slacks of the pending activities with a successor in it.
void shift_detached_sets(ProjectModel& m, BoundState& b) {
  for_each_member(b.pending_set, [&](int i) { settle_slack(m, b, i); });
  while (!set_is_empty(b.pending_set)) {
    int amount = NO_SLACK;
    int from = -1;
    for_each_member(b.pending_set, [&](int i) {
      if (b.slack_of[i] < amount) {
        amount = b.slack_of[i];
        from = i;
      }
    });
    // The end is reached from activity 0 through the deadline arc, never
    // detached, and every activity has a path to it: some pending activity
    // has a successor outside the pending sets, with a slack below NO_SLACK.
    RCPSPDC_CHECK(from >= 0, "no arc leaves the pending activities");
    const ActivitySet& moved = b.detached_set[b.detached_of[from]];
    for_each_member(moved, [&](int a) {
      m.finish_time[a] += amount;
      set_toggle(b.pending_set, a);
    });
    tree_link(b, from, b.slack_to[from]);
    set_clear(b.stale_set);
    for_each_member(moved, [&](int a) {
      for (int e = 0; e < m.pred_count[a]; ++e) {
        const int p = m.pred_list[a][e];
        if (set_contains(b.pending_set, p)) set_add(b.stale_set, p);
      }
    });
    for_each_member(b.stale_set, [&](int i) { settle_slack(m, b, i); });
  }
}

void subtree_search(ProjectModel& m, BoundState& b) {
  for (;;) {
    set_clear(b.visited_set);
    set_clear(b.pending_set);
    b.detached_count = 0;
    b.subtree_depth = 0;
    subtree_value(m, b, 0);
    if (b.detached_count == 0) return;
    shift_detached_sets(m, b);
  }
}

}  // namespace rcpspdc
