// The trail: every bound change in the order it was made, with its reason.
// Undoing a level restores the bounds from the entries' old values; a
// literal is traced to the entry that made it true by walking its activity's
// entries of one side back from the latest.
#include <algorithm>
#include <limits>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

constexpr std::size_t FIRST_TRAIL_ROWS = 1024;
constexpr int NO_LEVEL =
    std::numeric_limits<int>::max();  // no branching has left the known schedule

bool satisfies(std::int32_t bound, Lit l) {
  return l.upper != 0 ? bound <= l.value : bound >= l.value;
}

// The failing literals when `l` cannot be made true: why it would hold,
// and the bound that contradicts it.
void fail_with(LearningSearch& w, Lit l, Reason reason) {
  w.conflict.clear();
  explain(w, reason, l.var, l.upper != 0, l.value, static_cast<std::int32_t>(w.trail_size),
          w.conflict);
  w.conflict.push_back(l.upper != 0 ? lower_lit(l.var, w.lower[l.var])
                                    : upper_lit(l.var, w.upper[l.var]));
}

// In tests with a known optimal schedule: a bound that a propagator moves
// past it while it is still inside the node and worth more than the
// incumbent is a wrong prune; a branching that moves past it leaves it.
void watch_known_schedule(LearningSearch& w, int var, int side, std::int32_t new_value,
                          Reason reason) {
  const int start = w.settings.debug_start[var];
  const bool cut = side != 0 ? start > new_value : start < new_value;
  if (!cut || w.level >= w.debug_left_level) return;
  if (reason.kind == ReasonKind::decision) {
    w.debug_left_level = w.level;
    return;
  }
  const double margin = 1e-9 * (1.0 + (w.best_npv < 0 ? -w.best_npv : w.best_npv));
  if (w.has_incumbent && w.settings.debug_value <= w.best_npv + margin) return;
  if (w.debug_faults++ == 0) w.debug_first_fault = static_cast<std::int32_t>(w.trail_size);
}

void push_entry(LearningSearch& w, int var, int side, std::int32_t old_value,
                std::int32_t new_value, Reason reason) {
  if (w.settings.debug_start != nullptr) watch_known_schedule(w, var, side, new_value, reason);
  if (w.trail_size == w.trail.size())
    w.trail.resize(std::max(FIRST_TRAIL_ROWS, 2 * w.trail.size()));
  TrailEntry& e = w.trail[w.trail_size];
  e.reason = reason;
  e.old_value = old_value;
  e.new_value = new_value;
  e.prev = w.last_entry[var][side];
  e.level = w.level;
  e.var = static_cast<std::uint16_t>(var);
  e.upper = static_cast<std::uint16_t>(side);
  w.last_entry[var][side] = static_cast<std::int32_t>(w.trail_size);
  ++w.trail_size;
  // Root bounds hold for the rest of the search.
  if (w.level == 0) (side != 0 ? w.root_upper : w.root_lower)[var] = new_value;
}

}  // namespace

void reset_trail(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  w.trail_size = 0;
  w.propagated = 0;
  w.level = 0;
  w.debug_left_level = NO_LEVEL;
  w.level_start.clear();
  w.explanations.clear();
  w.explanation_mark.clear();
  w.pair_marks = {};
  w.table_marks = {};
  for (int i = 0; i < p.activity_count; ++i) {
    w.root_lower[i] = 0;
    w.root_upper[i] = i == 0 ? 0 : p.deadline - p.duration[i];
    w.lower[i] = w.root_lower[i];
    w.upper[i] = w.root_upper[i];
    w.last_entry[i][0] = -1;
    w.last_entry[i][1] = -1;
  }
}

void open_level(LearningSearch& w) {
  w.level_start.push_back(static_cast<std::int32_t>(w.trail_size));
  w.explanation_mark.push_back(static_cast<std::int32_t>(w.explanations.size()));
  ++w.level;
}

void backjump(LearningSearch& w, int level) {
  if (level >= w.level) return;
  const auto keep = static_cast<std::size_t>(w.level_start[static_cast<std::size_t>(level)]);
  while (w.trail_size > keep) {
    const TrailEntry& e = w.trail[--w.trail_size];
    if (e.upper != 0)
      w.upper[e.var] = e.old_value;
    else
      w.lower[e.var] = e.old_value;
    w.last_entry[e.var][e.upper] = e.prev;
  }
  w.explanations.resize(
      static_cast<std::size_t>(w.explanation_mark[static_cast<std::size_t>(level)]));
  w.level_start.resize(static_cast<std::size_t>(level));
  if (level < w.debug_left_level) w.debug_left_level = NO_LEVEL;
  w.explanation_mark.resize(static_cast<std::size_t>(level));
  w.level = level;
  w.propagated = std::min(w.propagated, w.trail_size);
  // The windows left are those of a node every propagator had finished
  // with; the time-table's profile is brought back to them.
  w.pair_marks.since = std::min(w.pair_marks.since, w.trail_size);
  if (w.table_marks.since > w.trail_size) {
    w.table_marks.since = w.trail_size;
    sync_time_table(w);
  }
}

bool set_lower(LearningSearch& w, int var, int value, Reason reason) {
  if (value <= w.lower[var]) return true;
  if (value > w.upper[var]) {
    fail_with(w, lower_lit(var, value), reason);
    return false;
  }
  push_entry(w, var, 0, w.lower[var], value, reason);
  w.lower[var] = value;
  return true;
}

bool set_upper(LearningSearch& w, int var, int value, Reason reason) {
  if (value >= w.upper[var]) return true;
  if (value < w.lower[var]) {
    fail_with(w, upper_lit(var, value), reason);
    return false;
  }
  push_entry(w, var, 1, w.upper[var], value, reason);
  w.upper[var] = value;
  return true;
}

std::int32_t entry_of(const LearningSearch& w, Lit l) {
  std::int32_t e = w.last_entry[l.var][l.upper];
  while (e >= 0 && satisfies(w.trail[static_cast<std::size_t>(e)].old_value, l))
    e = w.trail[static_cast<std::size_t>(e)].prev;
  return e;
}

}  // namespace rcpspdc
