// Shaving: a start at either end of a window is tried on its own; when the
// node's propagation, with the activity fixed there, empties some window, no
// feasible schedule better than the incumbent starts the activity there, and
// the start is removed. Against an incumbent this looks one branching ahead
// everywhere at once, which the bound alone cannot.
//
// Every end of every window would cost two propagations per activity and
// node; the probes go where the node differs from its parent: the activity
// branched on, the activities whose windows propagation moved, and their
// neighbours (successors, and activities they can never overlap). After a
// removal, the activities whose windows moved are probed again. Skipping a
// probe only keeps a start, so the search stays exact whatever is skipped.
// A probe that the time budget interrupts removes nothing.
#include "window_search/window_state.hpp"

namespace rcpspdc {

namespace {

// Starts removed from one end of one window per node at most: over long
// horizons a window may be tens of thousands of periods wide, and probing
// it start by start would cost more than the branching it saves.
constexpr int MAX_REMOVALS_PER_END = 64;

bool moved(const Windows& a, const Windows& b, int i) {
  return a.early[i] != b.early[i] || a.late[i] != b.late[i];
}

}  // namespace

bool shave_windows(WindowSearch& w, Windows& win, const Windows& before) {
  const WindowProblem& p = w.problem;
  ActivitySet changed;
  set_clear(changed);
  for (int i = 1; i < p.end_activity; ++i)
    if (before.branched == 0 || i == before.branched || moved(win, before, i)) set_add(changed, i);
  ActivitySet probe_set = changed;
  for_each_member(changed, [&](int i) {
    probe_set = set_or(probe_set, p.incompatible[i]);
    for (int e = 0; e < p.succ_count[i]; ++e) set_add(probe_set, p.succ[i][e]);
  });
  int removed[ACTIVITY_ROWS][2] = {};  // per activity: starts removed at the early, late end
  Windows& probe = w.shave_scratch[0];
  Windows& previous = w.shave_scratch[1];
  while (!set_is_empty(probe_set)) {
    ActivitySet next;
    set_clear(next);
    for (int i = 1; i < p.end_activity; ++i) {
      if (!set_contains(probe_set, i)) continue;
      for (const bool at_early : {true, false}) {
        int& count = removed[i][at_early ? 0 : 1];
        for (; count < MAX_REMOVALS_PER_END && win.early[i] < win.late[i]; ++count) {
          probe = win;
          const int start = at_early ? win.early[i] : win.late[i];
          probe.early[i] = start;
          probe.late[i] = start;
          if (propagate_windows(w, probe)) break;
          if (w.interrupted) return false;
          if (w.settings.use_failure_weights) w.failure_weight[w.culprit] += 1.0;
          previous = win;
          if (at_early)
            ++win.early[i];
          else
            --win.late[i];
          if (!propagate_windows(w, win)) return false;
          for (int j = 1; j < p.end_activity; ++j)
            if (moved(win, previous, j)) set_add(next, j);
        }
      }
    }
    probe_set = next;
  }
  return true;
}

}  // namespace rcpspdc
