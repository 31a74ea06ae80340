// The start-time search: depth first over binary branchings. A node picks an
// activity whose window holds more than one start time and a start time v at
// one end of that window (the end its cash flow prefers); the left child
// starts the activity at v, the right child excludes v. Both children keep
// every window an interval, the two together cover the node, and a window
// shrinks at every step, so the search ends and misses nothing.
#include <algorithm>
#include <limits>

#include "model/npv.hpp"
#include "window_search/window_state.hpp"

namespace rcpspdc {

namespace {

constexpr double MIN_IMPACT = 1e-9;  // keeps activities whose flow cannot move in the order
// Before an incumbent exists, among windows of equal weighted width the one
// with the larger cash flow is split first: each unit of flow counts this
// much less width.
constexpr double CASH_TIE_BREAK = 1e-6;

void record_schedule(WindowSearch& w, const Windows& win, double value) {
  const WindowProblem& p = w.problem;
  w.has_incumbent = true;
  w.best_npv = value;
  for (int i = 0; i < p.activity_count; ++i) w.best_finish[i] = win.early[i] + p.duration[i];
  w.seconds_to_best = static_cast<double>(clock_ms() - w.started_ms) * 0.001;
  if (w.shared != nullptr) {
    const std::uint64_t version = w.shared->post(value, w.best_finish, p.activity_count);
    if (version != 0) w.shared_seen = version;
  }
}

// The branching decision of a node: activity and start time, or -1 when
// every window is a single start time.
int choose_activity(const WindowSearch& w, const Windows& win, int& start) {
  const WindowProblem& p = w.problem;
  int best = -1;
  double best_key = std::numeric_limits<double>::max();
  for (int i = 1; i < p.end_activity; ++i) {
    const int width = win.late[i] - win.early[i];
    if (width == 0) continue;
    const long long magnitude = p.cash_flow[i] < 0 ? -p.cash_flow[i] : p.cash_flow[i];
    double key = 0;
    if (w.has_incumbent && w.settings.use_value_impact) {
      // Once a schedule is known the search is mostly a proof: windows whose
      // cash flow's worth varies most across them are split first, so the
      // bound falls fastest.
      const double impact = static_cast<double>(magnitude) *
                            (p.discount[static_cast<std::size_t>(win.early[i] + p.duration[i])] -
                             p.discount[static_cast<std::size_t>(win.late[i] + p.duration[i])]);
      key = (width + 1) / ((1.0 + w.failure_weight[i]) * (impact + MIN_IMPACT));
    } else {
      key = (width + 1) / (1.0 + w.failure_weight[i]) -
            static_cast<double>(magnitude) * CASH_TIE_BREAK;
    }
    if (key < best_key) {
      best_key = key;
      best = i;
    }
  }
  if (best >= 0) start = p.cash_flow[best] < 0 ? win.late[best] : win.early[best];
  return best;
}

void push_pending(WindowSearch& w, const Windows& win) {
  if (w.pending_count == w.pending.size()) w.pending.resize(2 * w.pending.size());
  w.pending[w.pending_count++] = win;
}

// Before every node: the node limit, then the time budget as the rounds of
// the last node left it.
bool limit_reached(WindowSearch& w, const SearchLimits& limits) {
  if (limits.node_limit > 0 && w.created_nodes >= limits.node_limit) {
    w.end = SearchEnd::node_limit;
    return true;
  }
  if (w.clock.spent()) {
    w.end = SearchEnd::time_limit;
    return true;
  }
  return false;
}

}  // namespace

double open_bound(const WindowSearch& w) {
  double bound = w.best_npv;
  if (!w.stopped) return bound;
  // The node being worked on when the limit struck, then every open right
  // child; propagation only narrows windows, so unpropagated ones bound too.
  bound = std::max(bound, window_bound(w.problem, w.current));
  for (std::size_t x = 0; x < w.pending_count; ++x)
    bound = std::max(bound, window_bound(w.problem, w.pending[x]));
  return bound;
}

void open_windows(const WindowProblem& p, Windows& win) {
  for (int i = 0; i < p.activity_count; ++i) {
    win.early[i] = 0;
    win.late[i] = p.deadline - p.duration[i];
  }
  win.late[0] = 0;
  win.branched = 0;
}

void offer_schedule(WindowSearch& w, const std::vector<int>& finish) {
  const WindowProblem& p = w.problem;
  Windows& fixed = w.shave_scratch[0];  // free between nodes
  for (int i = 0; i < p.activity_count; ++i) {
    fixed.early[i] = finish[static_cast<std::size_t>(i)] - p.duration[i];
    fixed.late[i] = fixed.early[i];
  }
  const double value = fixed_schedule_value(p, fixed);
  if (value > w.best_npv) record_schedule(w, fixed, value);
}

void begin_search(WindowSearch& w, const TimeBudget& time, const std::vector<int>* seed_finish) {
  const WindowProblem& p = w.problem;
  w.has_incumbent = false;
  w.best_npv = -std::numeric_limits<double>::infinity();
  w.created_nodes = 0;
  w.branched_nodes = 0;
  w.started_ms = time.start_ms;
  w.seconds_to_best = 0.0;
  w.shared_seen = 0;
  w.stopped = false;
  w.end = SearchEnd::complete;
  w.pending_count = 0;
  for (int i = 0; i < ACTIVITY_ROWS; ++i) {
    w.best_finish[i] = 0;
    w.failure_weight[i] = 0.0;
  }
  if (seed_finish != nullptr) offer_schedule(w, *seed_finish);
  open_windows(p, w.current);
}

SearchEnd continue_search(WindowSearch& w, const SearchLimits& limits) {
  const WindowProblem& p = w.problem;
  Windows& win = w.current;
  w.stopped = false;
  w.end = SearchEnd::complete;
  w.clock = WorkClock(limits.time);
  w.interrupted = false;
  for (;;) {
    // A better schedule from another thread, taken between nodes.
    if (w.shared != nullptr && w.shared->version() != w.shared_seen) {
      w.shared_seen = w.shared->take(w.shared_finish);
      offer_schedule(w, w.shared_finish);
    }
    if (limit_reached(w, limits)) {
      w.stopped = true;
      break;
    }
    ++w.created_nodes;
    const bool shave = w.has_incumbent && w.settings.use_shaving;
    w.before_propagation = win;
    bool consistent = propagate_windows(w, win);
    if (consistent && shave) consistent = shave_windows(w, win, w.before_propagation);
    if (w.interrupted) {
      // The budget ran out inside the node: it stays open as it was
      // branched, uncounted, so a continued search takes it up again.
      win = w.before_propagation;
      --w.created_nodes;
      w.end = SearchEnd::time_limit;
      w.stopped = true;
      break;
    }
    if (!consistent && w.settings.use_failure_weights) w.failure_weight[w.culprit] += 1.0;
    bool open = consistent && window_bound(p, win) > w.best_npv;
    if (open) {
      int start = 0;
      const int a = choose_activity(w, win, start);
      if (a < 0) {
        // Every start is fixed, and propagation has accepted the schedule.
        record_schedule(w, win, fixed_schedule_value(p, win));
        open = false;
      } else {
        ++w.branched_nodes;
        push_pending(w, win);
        Windows& right = w.pending[w.pending_count - 1];
        right.branched = a;
        win.branched = a;
        if (start == right.early[a])
          ++right.early[a];
        else
          --right.late[a];
        win.early[a] = start;
        win.late[a] = start;
      }
    }
    if (!open) {
      if (w.pending_count == 0) break;
      win = w.pending[--w.pending_count];
    }
  }
  return w.end;
}

SearchEnd solve_windows(WindowSearch& w, const SearchLimits& limits,
                        const std::vector<int>* seed_finish) {
  begin_search(w, limits.time, seed_finish);
  return continue_search(w, limits);
}

void fill_result(const WindowSearch& w, SearchResult& result) {
  result.end = w.end;
  set_incumbent(result, w.has_incumbent, w.best_npv, w.best_finish, w.problem.activity_count);
  result.bound = open_bound(w);
  result.created_nodes = w.created_nodes;
  result.branched_nodes = w.branched_nodes;
  result.seconds = static_cast<double>(clock_ms() - w.started_ms) * 0.001;
  result.seconds_to_best = w.has_incumbent ? w.seconds_to_best : -1.0;
}

}  // namespace rcpspdc
