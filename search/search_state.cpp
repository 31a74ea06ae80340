#include <algorithm>

#include "search/search_state.hpp"

namespace rcpspdc {

namespace {
// The capacity after doubling `current` until it holds `entries`.
std::size_t doubled(std::size_t current, std::size_t entries) {
  std::size_t size = std::max<std::size_t>(current, 1);
  while (size < entries) size *= 2;
  return size;
}
}  // namespace

void reserve_pool(SearchState& s, std::size_t entries) {
  if (entries <= s.node_next.size()) return;
  const std::size_t size = doubled(s.node_next.size(), entries);
  s.node_next.resize(size);
  s.node_activity.resize(size);
  s.node_delay.resize(size);
  s.node_bound.resize(size);
  s.node_conflict.resize(size);
  s.node_excess_of.resize(size);
}

void reserve_levels(SearchState& s, std::size_t entries) {
  if (entries <= s.level_head.size()) return;
  const std::size_t size = doubled(s.level_head.size(), entries);
  s.level_head.resize(size);
  s.level_base.resize(size);
  s.level_node.resize(size);
  s.level_activity.resize(size);
  s.level_delay.resize(size);
  s.path_delayed.resize(size);
  s.level_cut_base.resize(size);
  s.saved_conflict.resize(size);
  s.level_slot_base.resize(size + 1);  // entry l + 1 marks where level l's slots end
}

void reserve_snapshot_slots(SearchState& s, std::size_t entries) {
  if (entries <= s.saved_succ_set.size()) return;
  const std::size_t size = doubled(s.saved_succ_set.size(), entries);
  s.saved_succ_set.resize(size);
  s.saved_pred_set.resize(size);
  s.saved_succ_count.resize(size);
  s.saved_pred_count.resize(size);
}

void reserve_cuts(SearchState& s, std::size_t entries) {
  if (entries <= s.cut_delay.size()) return;
  const std::size_t size = doubled(s.cut_delay.size(), entries);
  s.cut_delay.resize(size);
  s.cut_union.resize(size);
  s.cut_activity.resize(size);
  s.cut_level.resize(size);
}

void prepare_search(Solver& solver, double interest_rate) {
  SearchState& s = solver.search;
  const ProjectModel& m = solver.model;
  prepare_bound(solver.bound, m, interest_rate);
  s.conflict.period_load.resize(static_cast<std::size_t>(std::max(m.deadline, 0)) + 1);
  auto wanted = [](int entries) { return static_cast<std::size_t>(std::max(entries, 2)); };
  reserve_pool(s, wanted(s.settings.initial_pool));
  reserve_levels(s, wanted(s.settings.initial_levels));
  // A level saves at most one slot per activity of its conflict set.
  reserve_snapshot_slots(s, wanted(s.settings.initial_levels));
  reserve_cuts(s, wanted(s.settings.initial_cuts));
}

}  // namespace rcpspdc
