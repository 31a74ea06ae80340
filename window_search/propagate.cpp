// Propagation over start windows. Three rules narrow the windows, each only
// ever raising an earliest start or lowering a latest one, so repeating them
// until none moves reaches a fixed point:
// - precedence: a successor starts no earlier than its predecessor finishes;
// - time-tabling: the compulsory part of an activity (the slots it occupies
//   wherever in its window it starts) loads the profile, and no activity may
//   start where the others' compulsory parts leave it too little room;
// - pairs that can never overlap (their demands together exceed some
//   capacity): when one cannot finish before the other's latest start, the
//   other goes first.
// Every rule only removes start times that no feasible schedule of the node
// uses, so the search stays exact.
#include "model/npv.hpp"
#include "window_search/window_state.hpp"

namespace rcpspdc {

namespace {

bool precedence_pass(const WindowProblem& p, Windows& win, int& culprit) {
  const int n = p.activity_count;
  for (int x = 0; x < n; ++x) {
    const int i = p.order[x];
    const int finish = win.early[i] + p.duration[i];
    for (int e = 0; e < p.succ_count[i]; ++e) {
      const int j = p.succ[i][e];
      if (win.early[j] < finish) win.early[j] = finish;
    }
  }
  for (int x = n - 1; x >= 0; --x) {
    const int i = p.order[x];
    for (int e = 0; e < p.succ_count[i]; ++e) {
      const int limit = win.late[p.succ[i][e]] - p.duration[i];
      if (win.late[i] > limit) win.late[i] = limit;
    }
    if (win.early[i] > win.late[i]) {
      culprit = i;
      return false;
    }
  }
  return true;
}

// True when activity i, started at s, fits on top of the profile of
// compulsory parts in every slot of its run. Inside its own compulsory part
// [lo, hi) its demand is already in the profile. On a clash, `clash` is the
// slot found: the last one when scanning down, the first one when scanning up.
bool fits_down(const WindowProblem& p, const Packed* profile, int i, int s, int lo, int hi,
               int& clash) {
  const Packed demand = p.packed_demand[i];
  for (int t = s + p.duration[i] - 1; t >= s; --t) {
    const Packed load = (lo <= t && t < hi) ? profile[t] : profile[t] + demand;
    if (overloaded(p.packed_capacity - load, p.overflow_mask)) {
      clash = t;
      return false;
    }
  }
  return true;
}

bool fits_up(const WindowProblem& p, const Packed* profile, int i, int s, int lo, int hi,
             int& clash) {
  const Packed demand = p.packed_demand[i];
  for (int t = s; t < s + p.duration[i]; ++t) {
    const Packed load = (lo <= t && t < hi) ? profile[t] : profile[t] + demand;
    if (overloaded(p.packed_capacity - load, p.overflow_mask)) {
      clash = t;
      return false;
    }
  }
  return true;
}

// Time-tabling over the compulsory parts, in packed resource vectors: one
// word per slot holds the load of every resource type.
bool time_table(WindowSearch& w, Windows& win, bool& changed) {
  const WindowProblem& p = w.problem;
  if (p.resource_count == 0) return true;
  const int n = p.activity_count;
  Packed* profile = w.profile.data();
  int lo[ACTIVITY_ROWS] = {};
  int hi[ACTIVITY_ROWS] = {};
  bool feasible = true;
  for (int i = 0; i < n; ++i) {
    lo[i] = win.late[i];
    hi[i] = p.uses_resources[i] ? win.early[i] + p.duration[i] : lo[i];
    if (hi[i] < lo[i]) hi[i] = lo[i];
    for (int t = lo[i]; t < hi[i]; ++t) {
      profile[t] += p.packed_demand[i];
      if (overloaded(p.packed_capacity - profile[t], p.overflow_mask)) {
        feasible = false;
        w.culprit = i;
      }
    }
  }
  for (int i = 0; i < n && feasible; ++i) {
    if (!p.uses_resources[i] || win.early[i] == win.late[i]) continue;
    int s = win.early[i];
    int clash = 0;
    while (s <= win.late[i] && !fits_down(p, profile, i, s, lo[i], hi[i], clash)) s = clash + 1;
    if (s > win.late[i]) {
      feasible = false;
      w.culprit = i;
      break;
    }
    if (s != win.early[i]) {
      win.early[i] = s;
      changed = true;
    }
    s = win.late[i];
    while (s >= win.early[i] && !fits_up(p, profile, i, s, lo[i], hi[i], clash))
      s = clash - p.duration[i];
    if (s < win.early[i]) {
      feasible = false;
      w.culprit = i;
      break;
    }
    if (s != win.late[i]) {
      win.late[i] = s;
      changed = true;
    }
  }
  for (int i = 0; i < n; ++i)
    for (int t = lo[i]; t < hi[i]; ++t) profile[t] -= p.packed_demand[i];
  return feasible;
}

bool disjoint_pairs(const WindowProblem& p, Windows& win, bool& changed, int& culprit) {
  const int n = p.activity_count;
  for (int i = 0; i < n; ++i) {
    if (!p.uses_resources[i]) continue;
    bool feasible = true;
    for_each_member(p.incompatible[i], [&](int j) {
      if (j <= i || !feasible) return;
      const bool i_first = win.early[i] + p.duration[i] <= win.late[j];
      const bool j_first = win.early[j] + p.duration[j] <= win.late[i];
      if (!i_first && !j_first) {
        feasible = false;
        culprit = j;
        return;
      }
      int a = i;  // goes first
      int b = j;
      if (!i_first) {
        a = j;
        b = i;
      } else if (j_first) {
        return;
      }
      if (win.early[b] < win.early[a] + p.duration[a]) {
        win.early[b] = win.early[a] + p.duration[a];
        changed = true;
      }
      if (win.late[a] > win.late[b] - p.duration[a]) {
        win.late[a] = win.late[b] - p.duration[a];
        changed = true;
      }
      if (win.early[b] > win.late[b] || win.early[a] > win.late[a]) {
        feasible = false;
        culprit = win.early[b] > win.late[b] ? b : a;
      }
    });
    if (!feasible) return false;
  }
  return true;
}

// Cost-based narrowing against the incumbent: the window bound is a sum of
// one best term per activity, so starting activity i at s costs exactly the
// drop of its own term; with the pair bound, at most that drop less the loss
// of i's pair, since the other pairs keep their windows and losses. A start
// whose drop alone uses up the whole lead of the bound over the incumbent
// leaves no better schedule and is removed. The margin keeps every start
// whose schedules could beat the incumbent by more than rounding.
// Relative to the incumbent's value: how far above it a schedule must be
// able to get for its starts to be kept, well above rounding.
constexpr double OBJECTIVE_MARGIN = 1e-9;

bool objective_windows(WindowSearch& w, Windows& win, bool& changed) {
  const WindowProblem& p = w.problem;
  if (!w.has_incumbent) return true;
  double credit[ACTIVITY_ROWS] = {};
  const double bound =
      w.settings.use_pair_bound ? pair_bound(w, win, credit) : window_bound(p, win);
  const double margin = OBJECTIVE_MARGIN * (1.0 + (w.best_npv < 0 ? -w.best_npv : w.best_npv));
  const double lead = bound - w.best_npv + margin;
  if (lead <= 0.0) {
    w.culprit = 0;
    return false;
  }
  for (int i = 1; i < p.end_activity; ++i) {
    const int c = p.cash_flow[i];
    if (c == 0 || win.early[i] == win.late[i]) continue;
    // A start of i lowers the bound by the drop of i's own term, less at
    // most the loss of i's pair (which the narrowed pair may no longer have).
    const double lead_i = lead + credit[i];
    const int kept =
        kept_end(c, p.discount.data() + p.duration[i], win.early[i], win.late[i], lead_i);
    int& far = c > 0 ? win.late[i] : win.early[i];
    if (kept != far) {
      far = kept;
      changed = true;
    }
  }
  return true;
}

}  // namespace

bool propagate_windows(WindowSearch& w, Windows& win) {
  const WindowProblem& p = w.problem;
  for (;;) {
    bool changed = false;
    const bool consistent =
        precedence_pass(p, win, w.culprit) && time_table(w, win, changed) &&
        disjoint_pairs(p, win, changed, w.culprit) &&
        (!w.settings.use_objective_windows || objective_windows(w, win, changed));
    if (w.clock.spent_after(w.round_work)) {
      w.interrupted = true;
      return false;
    }
    if (!consistent) return false;
    if (!changed) return true;
  }
}

}  // namespace rcpspdc
