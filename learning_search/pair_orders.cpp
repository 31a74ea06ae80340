// Pairs of activities that can never be in progress together (their demands
// exceed some capacity): when one cannot finish before the other's latest
// start, the other goes first. The explanation names the start that showed
// it: [s_a >= x] with [s_b <= x + d_a - 1] leaves a no room to finish before b.
//
// A pair is settled once looked at until one of its windows moves, so a
// pass looks only at the pairs with an activity moved since the last pass
// began, in the order of a pass over all of them.
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

// Orders i and j where only one order is left; false on a conflict.
bool settle_pair(LearningSearch& w, int i, int j, bool& changed) {
  const WindowProblem& p = w.problem;
  ++w.work;
  const bool i_first = w.lower[i] + p.duration[i] <= w.upper[j];
  const bool j_first = w.lower[j] + p.duration[j] <= w.upper[i];
  if (i_first && j_first) return true;
  if (!i_first && !j_first) {
    w.conflict.clear();
    w.conflict.push_back(lower_lit(i, w.lower[i]));
    w.conflict.push_back(upper_lit(j, w.lower[i] + p.duration[i] - 1));
    w.conflict.push_back(lower_lit(j, w.lower[j]));
    w.conflict.push_back(upper_lit(i, w.lower[j] + p.duration[j] - 1));
    return false;
  }
  // `late` cannot precede `early`, so it follows it.
  const int late = i_first ? j : i;
  const int early = i_first ? i : j;
  const int x = w.lower[late];
  if (w.lower[late] < w.lower[early] + p.duration[early]) {
    changed = true;
    set_add(w.moved_pairs, late);
    if (!set_lower(w, late, w.lower[early] + p.duration[early],
                   {ReasonKind::pair_order, early, x}))
      return false;
  }
  if (w.upper[early] > w.upper[late] - p.duration[early]) {
    changed = true;
    set_add(w.moved_pairs, early);
    if (!set_upper(w, early, w.upper[late] - p.duration[early], {ReasonKind::pair_order, late, x}))
      return false;
  }
  return true;
}

}  // namespace

bool propagate_pair_orders(LearningSearch& w, bool& changed) {
  const WindowProblem& p = w.problem;
  const int n = p.activity_count;
  LearningSearch::Marks& marks = w.pair_marks;
  const bool every = marks.all;
  ActivitySet& moved = w.moved_pairs;
  set_clear(moved);
  for (std::size_t x = marks.since; x < w.trail_size; ++x) set_add(moved, w.trail[x].var);
  marks.since = w.trail_size;
  marks.all = false;
  for (int i = 1; i < n; ++i) {
    if (!p.uses_resources[i]) continue;
    // Its partners above it from the highest down: every one once i has
    // moved, else those that have.
    const ActivitySet& partners = p.incompatible[i];
    for (int j = ACTIVITY_ROWS;;) {
      j = every || set_contains(moved, i) ? set_highest_below(partners, j)
                                          : set_highest_below(set_and(partners, moved), j);
      if (j <= i) break;
      if (!settle_pair(w, i, j, changed)) return false;
    }
  }
  return true;
}

}  // namespace rcpspdc
