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
  const int words = solver.model.set_words;
  const int L = s.level;
  const ActivitySet& d = s.delay_set;
  s.level_activity[L] = k;
  set_copy(s.level_delay[L], d, words);
  const ActivitySet& above = s.path_delayed[L - 1];
  for (int e = s.cut_count - 1; e >= 0; --e) {
    // Cover test first: one word-wise pass, cheaper than the collection.
    bool covered = true;
    for (int w = words - 1; w >= 0; --w) {
      s.covered_set.word[w] = 0;
      if ((s.cut_union[e].word[w] & ~(d.word[w] | above.word[w])) != 0) covered = false;
    }
    if (!covered) continue;
    const int activity = s.cut_activity[e];
    for (int l = L; l >= s.cut_level[e]; --l)
      if (s.level_activity[l] == activity) set_union(s.covered_set, s.level_delay[l], words);
    if (set_is_subset(s.cut_delay[e], s.covered_set, words)) return 1;
  }
  return 0;
}

namespace {
void append_cut(SearchState& s, const ActivitySet& delay, const ActivitySet& cover, int activity,
                int words) {
  const int e = s.cut_count;
  if (static_cast<std::size_t>(e) >= s.cut_delay.size()) reserve_cuts(s, static_cast<std::size_t>(e) + 1);
  set_copy(s.cut_delay[e], delay, words);
  set_copy(s.cut_union[e], cover, words);
  s.cut_activity[e] = activity;
  s.cut_level[e] = s.level;
  ++s.cut_count;
}
}  // namespace

void record_discarded_alternative(Solver& solver, int k) {
  SearchState& s = solver.search;
  append_cut(s, s.delay_set, s.delay_set, k, solver.model.set_words);
}

void record_explored_node(Solver& solver) {
  SearchState& s = solver.search;
  const int words = solver.model.set_words;
  const int x = s.level_node[s.level];
  ActivitySet cover;
  for (int w = words - 1; w >= 0; --w) cover.word[w] = s.node_delay[x].word[w] | s.path_delayed[s.level].word[w];
  append_cut(s, s.node_delay[x], cover, s.node_activity[x], words);
}

}  // namespace rcpspdc
