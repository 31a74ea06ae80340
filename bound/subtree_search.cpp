// Improves the early schedule to the best one under precedence and the
// deadline. A valuation walks the bound tree from activity 0; a subtree that
// hangs from a tree predecessor and is worth less than nothing is worth more
// later, so it is detached. All detached subtrees are then shifted right, the
// one with the smallest slack first, and hung back at the arc that stops them.
// Valuations repeat until one detaches nothing.
#include <cassert>

#include "bound/bound_state.hpp"

namespace rcpspdc {

namespace {
constexpr double DETACH_THRESHOLD = -0.00001;
}  // namespace

double subtree_value(ProjectModel& m, BoundState& b, int j) {
  const int words = m.set_words;
  const int d = ++b.subtree_depth;
  ActivitySet& row = b.subtree_stack[d];
  const ActivitySet& below = b.subtree_stack[d + 1];
  set_clear(row, words);
  set_add(row, j);
  set_add(b.visited_set, j);
  double value = m.cash_flow[j] * b.discount[static_cast<std::size_t>(m.finish_time[j])];

  // Successor side first: only these subtrees can be detached.
  for (int e = 0; e < m.succ_count[j]; ++e) {
    const int s = m.succ_list[j][e];
    if (!set_contains(b.tree_set[j], s) || set_contains(b.visited_set, s)) continue;
    const double x = subtree_value(m, b, s);
    if (x < DETACH_THRESHOLD) {
      set_toggle(b.tree_set[j], s);
      ActivitySet& detached = b.detached_set[b.detached_count++];
      set_copy(detached, below, words);
      set_union(b.pending_set, below, words);
    } else {
      value += x;
      set_union(row, below, words);
    }
  }
  for (int e = 0; e < m.pred_count[j]; ++e) {
    const int p = m.pred_list[j][e];
    if (!set_contains(b.tree_set[p], j) || set_contains(b.visited_set, p)) continue;
    value += subtree_value(m, b, p);
    set_union(row, below, words);
  }
  b.subtree_depth = d - 1;
  return value;
}

void shift_detached_sets(ProjectModel& m, BoundState& b) {
  const int words = m.set_words;
  while (!set_is_empty(b.pending_set, words)) {
    // Smallest slack of an arc leaving the pending activities; ties go to the
    // highest numbered activity and, within it, to the last list entry.
    int amount = 9999;
    int from = -1;
    int to = -1;
    for_each_member(b.pending_set, words, [&](int i) {
      if (i == 0) return;
      const int fi = m.finish_time[i];
      for (int e = m.succ_count[i] - 1; e >= 0; --e) {
        const int s = m.succ_list[i][e];
        if (set_contains(b.pending_set, s)) continue;
        const int slack = (m.finish_time[s] - m.duration[s]) - fi;
        if (slack < amount) {
          amount = slack;
          from = i;
          to = s;
        }
      }
    });
    assert(from >= 0 && "a pending set always has an arc leaving it");
    if (from < 0) return;
    int r = b.detached_count - 1;
    while (!set_contains(b.detached_set[r], from)) --r;
    const ActivitySet& moved = b.detached_set[r];
    for_each_member(moved, words, [&](int a) {
      m.finish_time[a] += amount;
      set_toggle(b.pending_set, a);
    });
    set_add(b.tree_set[from], to);
  }
}

void subtree_search(ProjectModel& m, BoundState& b) {
  const int words = m.set_words;
  for (;;) {
    set_clear(b.visited_set, words);
    set_clear(b.pending_set, words);
    b.detached_count = 0;
    b.subtree_depth = 0;
    subtree_value(m, b, 0);
    if (b.detached_count == 0) return;
    shift_detached_sets(m, b);
  }
}

}  // namespace rcpspdc
