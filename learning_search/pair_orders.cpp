// Pairs of activities that can never be in progress together (their demands
// exceed some capacity): when one cannot finish before the other's latest
// start, the other goes first. The explanation names the start that showed
// it: [s_a >= x] with [s_b <= x + d_a - 1] leaves a no room to finish before b.
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

bool propagate_pair_orders(LearningSearch& w, bool& changed) {
  const WindowProblem& p = w.problem;
  const int n = p.activity_count;
  for (int i = 1; i < n; ++i) {
    if (!p.uses_resources[i]) continue;
    bool ok = true;
    for_each_member(p.incompatible[i], [&](int j) {
      if (j <= i || !ok) return;
      ++w.work;
      const bool i_first = w.lower[i] + p.duration[i] <= w.upper[j];
      const bool j_first = w.lower[j] + p.duration[j] <= w.upper[i];
      if (i_first && j_first) return;
      if (!i_first && !j_first) {
        w.conflict.clear();
        w.conflict.push_back(lower_lit(i, w.lower[i]));
        w.conflict.push_back(upper_lit(j, w.lower[i] + p.duration[i] - 1));
        w.conflict.push_back(lower_lit(j, w.lower[j]));
        w.conflict.push_back(upper_lit(i, w.lower[j] + p.duration[j] - 1));
        ok = false;
        return;
      }
      // `late` cannot precede `early`, so it follows it.
      const int late = i_first ? j : i;
      const int early = i_first ? i : j;
      const int x = w.lower[late];
      if (w.lower[late] < w.lower[early] + p.duration[early]) {
        changed = true;
        if (!set_lower(w, late, w.lower[early] + p.duration[early],
                       {ReasonKind::pair_order, early, x})) {
          ok = false;
          return;
        }
      }
      if (w.upper[early] > w.upper[late] - p.duration[early]) {
        changed = true;
        if (!set_upper(w, early, w.upper[late] - p.duration[early],
                       {ReasonKind::pair_order, late, x}))
          ok = false;
      }
    });
    if (!ok) return false;
  }
  return true;
}

}  // namespace rcpspdc
