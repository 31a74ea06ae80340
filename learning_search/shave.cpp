// Shaving with learning: once a schedule is known, a start at either end of
// a window is tried on its own, as a decision one level deeper. When its
// propagation fails, the failure is analysed like any other: the nogood
// learnt removes the start (and usually more, and for good), and the node
// goes on from the narrowed window. Against an incumbent this looks one
// branching ahead everywhere at once, which the bound alone cannot.
//
// The probes go where the node differs from its parent: the activities whose
// windows moved at this level, and their neighbours (successors, and
// activities they can never overlap). Skipping a probe only keeps a start,
// so the search stays exact whatever is skipped.
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

// Starts removed from one end of one window per node at most: over long
// horizons a window may be tens of thousands of periods wide, and probing
// it start by start would cost more than the branching it saves.
constexpr int MAX_REMOVALS_PER_END = 64;

// The activities to probe: those moved at the current level, and their
// neighbours; at the root, every activity.
ActivitySet probe_set(const LearningSearch& w) {
  const WindowProblem& p = w.problem;
  ActivitySet moved;
  set_clear(moved);
  const std::size_t from =
      w.level == 0
          ? 0
          : static_cast<std::size_t>(w.level_start[static_cast<std::size_t>(w.level - 1)]);
  for (std::size_t x = from; x < w.trail_size; ++x) set_add(moved, w.trail[x].var);
  if (w.level == 0)
    for (int i = 1; i < p.end_activity; ++i) set_add(moved, i);
  ActivitySet probes = moved;
  for_each_member(moved, [&](int i) {
    probes = set_or(probes, p.incompatible[i]);
    for (int e = 0; e < p.succ_count[i]; ++e) set_add(probes, p.succ[i][e]);
  });
  return probes;
}

}  // namespace

ShaveOutcome shave_node(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  const int node_level = w.level;
  const ActivitySet probes = probe_set(w);
  for (int i = 1; i < p.end_activity; ++i) {
    if (!set_contains(probes, i)) continue;
    for (const bool at_lower : {true, false}) {
      for (int count = 0; count < MAX_REMOVALS_PER_END && w.lower[i] < w.upper[i]; ++count) {
        if (budget_spent(w)) return ShaveOutcome::kept;  // the search stops at its next look
        const Lit probe = at_lower ? upper_lit(i, w.lower[i]) : lower_lit(i, w.upper[i]);
        ++w.probes;
        open_level(w);
        set_lit(w, probe, {ReasonKind::decision, 0, 0});
        if (propagate(w)) {
          backjump(w, node_level);
          break;
        }
        ++w.conflicts;
        ++w.restart_conflicts;
        const int jump = analyze_conflict(w);
        if (jump < 0) return ShaveOutcome::complete;
        learn_after_conflict(w, jump);
        // The nogood may hold below this node (the search then goes on from
        // there), and it may leave the node without a schedule.
        if (w.level < node_level) return ShaveOutcome::left_node;
        if (!propagate(w)) return ShaveOutcome::failed;
      }
    }
  }
  return ShaveOutcome::kept;
}

}  // namespace rcpspdc
