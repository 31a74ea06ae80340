// The network bound of a node: the largest value of a schedule that keeps
// precedence, the deadline and every start window, with resources ignored.
// Windows become arcs of zero-valued dummy activities (a release date r of
// activity i is a dummy of duration r between the start and i, a latest
// finish f is a dummy of duration deadline - f between i and the end), so the
// bound procedure of the delaying search values the node as it is. Dummies
// take the rows left over by the instance; pairs that propagation has put in
// order get an arc; when they run out the remaining
// windows are left out, which only loosens the bound.
#include <limits>

#include "window_search/window_state.hpp"

namespace rcpspdc {

double network_bound(WindowSearch& w, const Windows& win) {
  const WindowProblem& p = w.problem;
  ProjectModel& m = w.network;
  const int n = p.activity_count;
  const int real_end = n - 1;  // the end activity's index in the problem
  int release[ACTIVITY_ROWS];
  int tail[ACTIVITY_ROWS];
  int dummies = 0;
  for (int i = 1; i < real_end; ++i) {
    release[i] = 0;
    tail[i] = 0;
    if (win.early[i] > 0 && dummies < MAX_ACTIVITIES - n) {
      release[i] = win.early[i];
      ++dummies;
    }
    const int latest_finish = win.late[i] + p.duration[i];
    if (latest_finish < p.deadline && dummies < MAX_ACTIVITIES - n) {
      tail[i] = p.deadline - latest_finish;
      ++dummies;
    }
  }
  const int count = n + dummies;
  const int end = count - 1;
  const int zero[MAX_RESOURCES] = {};
  begin_model(m, count, 0, zero);
  for (int i = 0; i < real_end; ++i) {
    set_activity(m, i, p.duration[i], zero);
    m.cash_flow[i] = p.cash_flow[i];
  }
  int next = real_end;
  for (int i = 1; i < real_end; ++i) {
    if (release[i] > 0) {
      set_activity(m, next, release[i], zero);
      add_arc(m, 0, next);
      add_arc(m, next, i);
      ++next;
    }
    if (tail[i] > 0) {
      set_activity(m, next, tail[i], zero);
      add_arc(m, i, next);
      add_arc(m, next, end);
      ++next;
    }
  }
  for (int i = 0; i < real_end; ++i)
    for (int e = 0; e < p.succ_count[i]; ++e) {
      const int s = p.succ[i][e];
      add_arc(m, i, s == real_end ? end : s);
    }
  // Pairs that cannot overlap and whose windows leave only one order are
  // sequenced by an arc; the windows are consistent, so no arc closes a cycle.
  for (int i = 1; i < real_end; ++i)
    for_each_member(p.incompatible[i], [&](int j) {
      if (win.early[i] + p.duration[i] > win.late[j] && !set_contains(m.succ_set[j], i))
        add_arc(m, j, i);
    });
  finish_model(m, p.deadline);
  ++w.network_evaluations;
  std::int64_t evaluations = 0;
  const double none = -std::numeric_limits<double>::infinity();
  if (compute_bound(m, w.network_bound, none, evaluations) == BoundOutcome::fathomed) return none;
  const double value = w.network_bound.node_npv;
  clear_schedule(m, w.network_bound);
  return value;
}

}  // namespace rcpspdc
