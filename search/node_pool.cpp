// The node pool and the level lists. Children of one branching take
// consecutive slots from node_count up and are linked into their level's list
// best bound first; leaving a level gives its whole block back. The search is
// depth first: the best child of the deepest level that still has one is
// always taken next.
#include "search/search_state.hpp"

namespace rcpspdc {

Branching branch_node(Solver& solver) {
  SearchState& s = solver.search;
  const int L = s.level;
  s.level_head[L] = LIST_END;
  s.level_base[L] = s.node_count;
  s.kept_demand = 0;
  set_clear(s.delay_set);
  s.candidate_set = s.conflict_set;
  enumerate_alternatives(solver, s.node_excess);
  return s.level_head[L] == LIST_END ? Branching::no_child : Branching::children;
}

// A new node goes behind every node of greater bound and in front of those of
// equal bound, except on a tie with the head, where it goes right behind it.
void insert_node(Solver& solver, int k) {
  SearchState& s = solver.search;
  const double bound = solver.bound.node_npv;
  int& head = s.level_head[s.level];
  if (head == LIST_END) {
    head = k;
    s.node_next[k] = LIST_END;
  } else if (bound > s.node_bound[head]) {
    s.node_next[k] = head;
    head = k;
  } else {
    int p = head;
    while (s.node_next[p] != LIST_END && bound < s.node_bound[s.node_next[p]]) p = s.node_next[p];
    s.node_next[k] = s.node_next[p];
    s.node_next[p] = k;
  }
}

void take_next_node(Solver& solver) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  ++s.branched_nodes;
  const int L = s.level;
  const int x = s.level_head[L];
  s.level_node[L] = x;
  s.node_excess = s.node_excess_of[x];
  s.level_head[L] = s.node_next[x];
  const int d = s.node_activity[x];
  const ActivitySet& delay = s.node_delay[x];
  s.level_delay[L] = delay;
  s.path_delayed[L] = set_or(s.path_delayed[L - 1], delay);
  s.conflict_set = s.node_conflict[x];
  // The delayed activities start after d; arcs go in highest first.
  for_each_member(delay, [&](int j) { add_arc(m, d, j); });
  s.level_activity[L] = d;
}

int backtrack(Solver& solver) {
  SearchState& s = solver.search;
  restore_level(solver);
  while (s.level != 0) {
    const int L = s.level;
    const int head = s.level_head[L];
    // The list is sorted, so a head that does not beat the incumbent means
    // that nothing left at this level does.
    if (head != LIST_END && s.node_bound[head] > s.best_npv) return 1;
    s.cut_count = s.level_cut_base[L];
    set_clear(s.path_delayed[L]);
    s.node_count = s.level_base[L];
    s.level = L - 1;
    if (s.level >= 1) record_explored_node(solver);
    restore_level(solver);
  }
  return 0;
}

}  // namespace rcpspdc
