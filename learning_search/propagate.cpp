// Propagation to a fixed point. New trail entries are taken in order: each
// wakes the nogoods watching its side and the arcs of its activity (cheap,
// and most of the narrowing); only when those are quiet do the pairs, the
// time-table and the incumbent look at the whole node, and any move they make
// goes through the queue again.
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

bool propagate_entry(LearningSearch& w, std::int32_t entry) {
  if (!propagate_nogoods(w, entry)) return false;
  const WindowProblem& p = w.problem;
  const TrailEntry e = w.trail[static_cast<std::size_t>(entry)];
  const int var = e.var;
  const Reason reason{ReasonKind::arc, var, 0};
  if (e.upper != 0) {
    for (int x = 0; x < p.pred_count[var]; ++x) {
      const int i = p.pred[var][x];
      if (!set_upper(w, i, w.upper[var] - p.duration[i], reason)) return false;
    }
    w.work += p.pred_count[var];
  } else {
    const int finish = w.lower[var] + p.duration[var];
    for (int x = 0; x < p.succ_count[var]; ++x)
      if (!set_lower(w, p.succ[var][x], finish, reason)) return false;
    w.work += p.succ_count[var];
  }
  return true;
}

}  // namespace

bool propagate_root_arcs(LearningSearch& w) {
  // The queue only wakes arcs of moved bounds; the root windows themselves
  // must reach every arc once.
  const WindowProblem& p = w.problem;
  for (int i = 0; i < p.activity_count; ++i) {
    for (int x = 0; x < p.succ_count[i]; ++x)
      if (!set_lower(w, p.succ[i][x], w.lower[i] + p.duration[i], {ReasonKind::arc, i, 0}))
        return false;
    for (int x = 0; x < p.pred_count[i]; ++x) {
      const int h = p.pred[i][x];
      if (!set_upper(w, h, w.upper[i] - p.duration[h], {ReasonKind::arc, i, 0})) return false;
    }
  }
  return true;
}

bool propagate(LearningSearch& w) {
  for (;;) {
    while (w.propagated < w.trail_size) {
      const auto entry = static_cast<std::int32_t>(w.propagated++);
      if (!propagate_entry(w, entry)) return false;
    }
    bool changed = false;
    if (w.settings.use_pair_orders && !propagate_pair_orders(w, changed)) return false;
    if (changed) continue;
    if (!propagate_time_table(w, changed)) return false;
    if (changed) continue;
    if (w.has_incumbent && w.settings.use_shift_dominance && !check_shift_dominance(w))
      return false;
    if (!propagate_objective(w, changed)) return false;
    if (!changed) return true;
  }
}

}  // namespace rcpspdc
