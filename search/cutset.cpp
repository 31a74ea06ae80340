// Cutset dominance. An entry stands for a network already dealt with: an
// alternative fathomed or made incumbent, or a node whose subtree was searched
// completely. The alternative under test is dominated when the entry's
// delaying activity has, somewhere on the path from the entry's level down to
// the alternative, been made the delaying activity of every member of the
// entry's delaying set: the current network then holds all the entry's arcs.
// Entries are dropped when the search leaves their level, so the arcs above
// that level are shared.
#include "search/search_state.hpp"

namespace rcpspdc {

int is_dominated(Solver& solver, int k) {
  SearchState& s = solver.search;
  const int L = s.level;
  s.level_activity[L] = k;
  s.level_delay[L] = s.delay_set;
  // Everything delayed on the path, the alternative included: an entry whose
  // cover set is not inside it cannot apply. One word-wise test per entry
  // before the per-level collection.
  const ActivitySet delayed = set_or(s.delay_set, s.path_delayed[L - 1]);
  const ActivitySet* cover = s.cut_union.data();
  for (int e = s.cut_count - 1; e >= 0; --e) {
    if (!set_is_subset(cover[e], delayed)) continue;
    const int activity = s.cut_activity[e];
    set_clear(s.covered_set);
    for (int l = L; l >= s.cut_level[e]; --l)
      if (s.level_activity[l] == activity) set_union(s.covered_set, s.level_delay[l]);
    if (set_is_subset(s.cut_delay[e], s.covered_set)) return 1;
  }
  return 0;
}

namespace {
void append_cut(SearchState& s, const ActivitySet& delay, const ActivitySet& cover, int activity) {
  const int e = s.cut_count;
  if (static_cast<std::size_t>(e) >= s.cut_delay.size())
    reserve_cuts(s, static_cast<std::size_t>(e) + 1);
  s.cut_delay[e] = delay;
  s.cut_union[e] = cover;
  s.cut_activity[e] = activity;
  s.cut_level[e] = s.level;
  ++s.cut_count;
}
}  // namespace

void record_discarded_alternative(Solver& solver, int k) {
  SearchState& s = solver.search;
  append_cut(s, s.delay_set, s.delay_set, k);
}

void record_explored_node(Solver& solver) {
  SearchState& s = solver.search;
  const int x = s.level_node[s.level];
  append_cut(s, s.node_delay[x], set_or(s.node_delay[x], s.path_delayed[s.level]),
             s.node_activity[x]);
}

}  // namespace rcpspdc
