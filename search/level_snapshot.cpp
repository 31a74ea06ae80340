// Per-level snapshots of the precedence rows of the conflict set. Every arc a
// node's children bring joins two members of its conflict set, and arcs are
// only appended at the ends of lists, so saving the members' sets and counts
// before branching and writing them back later undoes any number of arcs
// without an undo log.
#include "search/search_state.hpp"

namespace rcpspdc {

void push_level(Solver& solver) {
  SearchState& s = solver.search;
  const ProjectModel& m = solver.model;
  if (static_cast<std::size_t>(s.level) + 2 >= s.level_head.size())
    reserve_levels(s, static_cast<std::size_t>(s.level) + 3);
  const int L = ++s.level;
  int slot = s.level_slot_base[L];
  const std::size_t needed =
      static_cast<std::size_t>(slot) + static_cast<std::size_t>(m.activity_count);
  if (needed > s.saved_succ_set.size()) reserve_snapshot_slots(s, needed);
  s.saved_conflict[L] = s.conflict_set;
  for_each_member(s.conflict_set, [&](int a) {
    s.saved_succ_set[slot] = m.succ_set[a];
    s.saved_pred_set[slot] = m.pred_set[a];
    s.saved_succ_count[slot] = m.succ_count[a];
    s.saved_pred_count[slot] = m.pred_count[a];
    ++slot;
  });
  s.level_slot_base[L + 1] = slot;
  s.level_cut_base[L] = s.cut_count;
}

void restore_level(Solver& solver) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  const int L = s.level;
  int slot = s.level_slot_base[L];
  s.conflict_set = s.saved_conflict[L];
  for_each_member(s.conflict_set, [&](int a) {
    m.succ_set[a] = s.saved_succ_set[slot];
    m.pred_set[a] = s.saved_pred_set[slot];
    m.succ_count[a] = s.saved_succ_count[slot];
    m.pred_count[a] = s.saved_pred_count[slot];
    ++slot;
  });
}

}  // namespace rcpspdc
