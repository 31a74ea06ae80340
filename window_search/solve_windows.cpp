// The start-time search: depth first over binary branchings. A node picks an
// activity whose window holds more than one start time and a start time v at
// one end of that window (the end its cash flow prefers); the left child
// starts the activity at v, the right child excludes v. Both children keep
// every window an interval, the two together cover the node, and a window
// shrinks at every step, so the search ends and misses nothing.
#include <algorithm>
#include <limits>

#include "search/search_state.hpp"
#include "window_search/initial_schedule.hpp"
#include "window_search/neighbourhood_search.hpp"
#include "window_search/window_state.hpp"

namespace rcpspdc {

namespace {

constexpr int TIME_CHECK_INTERVAL = 256;  // nodes between two clock readings
constexpr double MIN_IMPACT = 1e-9;       // keeps activities whose flow cannot move in the order
// The search for a first schedule at a tight deadline, relative to the
// heuristic's budget for the value (1000 by default: 50000 generations of
// sampling, then 20 rounds of neighbourhood search, each ended by the time
// limit when there is one).
constexpr int SEARCH_BUDGET_FACTOR = 50;
constexpr int GENERATIONS_PER_ROUND = 50;
// Nodes the search gets before the incumbent is raised by neighbourhood
// search; then the share of the time limit that may take, and the share of
// the activities each neighbourhood frees.
constexpr std::int64_t PROBE_NODES = 20000;
constexpr double RAISE_SHARE = 0.1;
constexpr int RAISE_FREE_PERCENT = 30;
constexpr int RAISE_PATIENCE = 100;  // neighbourhoods in a row without a better schedule

double elapsed(const WindowSearch& w) {
  return static_cast<double>(w.settings.clock_ms() - w.settings.start_clock) * 0.001;
}

bool limit_reached(WindowSearch& w) {
  const WindowSettings& settings = w.settings;
  if (settings.node_limit > 0 && w.created_nodes >= settings.node_limit) return true;
  if (--w.time_check_countdown > 0) return false;
  w.time_check_countdown = TIME_CHECK_INTERVAL;
  return settings.time_limit > 0.0 && elapsed(w) > settings.time_limit;
}

void record_schedule(WindowSearch& w, const Windows& win, double value) {
  const WindowProblem& p = w.problem;
  w.has_incumbent = true;
  w.best_npv = value;
  for (int i = 0; i < p.activity_count; ++i) w.best_finish[i] = win.early[i] + p.duration[i];
  w.seconds_to_best = elapsed(w);
}

// The branching decision of a node: activity and start time, or -1 when
// every window is a single start time.
int choose_activity(const WindowSearch& w, const Windows& win, BranchRule rule, int& start) {
  const WindowProblem& p = w.problem;
  int best = -1;
  double best_key = std::numeric_limits<double>::max();
  for (int i = 1; i < p.end_activity; ++i) {
    const int width = win.late[i] - win.early[i];
    if (width == 0) continue;
    const long long magnitude = p.cash_flow[i] < 0 ? -p.cash_flow[i] : p.cash_flow[i];
    double key = 0;
    if (rule == BranchRule::smallest_window && w.has_incumbent && w.settings.use_value_impact) {
      // Once a schedule is known the search is mostly a proof: windows whose
      // cash flow's worth varies most across them are split first, so the
      // bound falls fastest.
      const double impact = static_cast<double>(magnitude) *
                            (p.discount[static_cast<std::size_t>(win.early[i] + p.duration[i])] -
                             p.discount[static_cast<std::size_t>(win.late[i] + p.duration[i])]);
      key = (width + 1) / ((1.0 + w.failure_weight[i]) * (impact + MIN_IMPACT));
    } else if (rule == BranchRule::smallest_window) {
      key = (width + 1) / (1.0 + w.failure_weight[i]) - static_cast<double>(magnitude) * 1e-6;
    } else {
      key = static_cast<double>(win.early[i]) * 200000 + win.late[i];
    }
    if (key < best_key) {
      best_key = key;
      best = i;
    }
  }
  if (best >= 0) {
    const bool prefer_late = rule == BranchRule::smallest_window && p.cash_flow[best] < 0;
    start = prefer_late ? win.late[best] : win.early[best];
  }
  return best;
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

namespace {

void push_pending(WindowSearch& w, const Windows& win) {
  if (w.pending_count == w.pending.size()) w.pending.resize(2 * w.pending.size());
  w.pending[w.pending_count++] = win;
}

}  // namespace

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

void begin_search(WindowSearch& w, const std::vector<int>* seed_finish) {
  const WindowProblem& p = w.problem;
  w.has_incumbent = false;
  w.best_npv = -std::numeric_limits<double>::infinity();
  w.created_nodes = 0;
  w.branched_nodes = 0;
  w.seconds_to_best = 0.0;
  w.stopped = false;
  w.pending_count = 0;
  w.restarts = 0;
  w.failures = 0;
  w.restart_limit = w.settings.restart_failures;
  w.time_check_countdown = TIME_CHECK_INTERVAL;
  for (int i = 0; i < ACTIVITY_ROWS; ++i) {
    w.best_finish[i] = 0;
    w.failure_weight[i] = 0.0;
  }
  if (seed_finish != nullptr) offer_schedule(w, *seed_finish);
  open_windows(p, w.current);
}

void continue_search(WindowSearch& w) {
  const WindowProblem& p = w.problem;
  Windows& win = w.current;
  w.stopped = false;
  for (;;) {
    if (w.restart_limit > 0 && w.failures >= w.restart_limit) {
      // A restart keeps the incumbent and the failure weights: the next
      // descent branches on what failed. The limit grows geometrically, so
      // some descent finally runs to the end and proves the result.
      w.failures = 0;
      w.restart_limit += w.restart_limit / 2;
      w.pending_count = 0;
      open_windows(p, win);
      ++w.restarts;
    }
    if (limit_reached(w)) {
      w.stopped = true;
      break;
    }
    ++w.created_nodes;
    const bool shave = w.has_incumbent && w.settings.use_shaving;
    if (shave) w.before_propagation = win;
    bool consistent = propagate_windows(w, win);
    if (consistent && shave) consistent = shave_windows(w, win, w.before_propagation);
    if (!consistent) {
      ++w.failures;
      if (w.settings.use_failure_weights) w.failure_weight[w.culprit] += 1.0;
    }
    bool open = consistent && window_bound(p, win) > w.best_npv;
    if (open) {
      int start = 0;
      const int a = choose_activity(w, win, w.settings.branch_rule, start);
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
        if (w.settings.bisect) {
          const int mid = win.early[a] + (win.late[a] - win.early[a]) / 2;
          if (start == win.early[a]) {
            right.early[a] = mid + 1;
            win.late[a] = mid;
          } else {
            right.late[a] = mid;
            win.early[a] = mid + 1;
          }
        } else {
          if (start == right.early[a])
            ++right.early[a];
          else
            --right.late[a];
          win.early[a] = start;
          win.late[a] = start;
        }
      }
    }
    if (!open) {
      if (w.pending_count == 0) break;
      win = w.pending[--w.pending_count];
    }
  }
  if (w.settings.sink != nullptr)
    w.settings.sink->report_result(w.stopped ? SearchEnd::time_limit : SearchEnd::complete);
}

void solve_windows(WindowSearch& w, const std::vector<int>* seed_finish) {
  begin_search(w, seed_finish);
  continue_search(w);
}

}  // namespace rcpspdc

namespace rcpspdc {

void solve_start_times(WindowSearch& w, const InstanceData& instance,
                       const WindowSettings& settings, int heuristic_budget) {
  load_window_problem(w, instance, settings.interest_rate);
  w.settings = settings;
  w.has_incumbent = false;
  Windows root;
  open_windows(w.problem, root);
  // Where propagation alone empties a window, no heuristic can succeed.
  const bool may_be_feasible = propagate_windows(w, root);
  InitialSchedule first;
  if (heuristic_budget > 0 && may_be_feasible) {
    // While no schedule within the deadline is known, sampling and then the
    // neighbourhood search go on looking, in proportion to the budget, but
    // leave the search at least half the time.
    HeuristicSettings heuristic;
    heuristic.schedule_budget = heuristic_budget;
    heuristic.search_budget = SEARCH_BUDGET_FACTOR * heuristic_budget;
    heuristic.time = {0.5 * settings.time_limit, settings.start_clock, settings.clock_ms};
    first = initial_schedule(instance, settings.interest_rate, heuristic);
    const int rounds = heuristic_budget / GENERATIONS_PER_ROUND;
    if (!first.found && rounds > 0) {
      NeighbourhoodSettings tighten;
      tighten.time = heuristic.time;
      const NeighbourhoodResult shorter =
          find_tight_schedule(instance, settings.interest_rate, tighten, rounds, w);
      first.found = shorter.found;
      first.finish = shorter.finish;
      // The neighbourhoods used the same tables.
      load_window_problem(w, instance, settings.interest_rate);
      w.settings = settings;
    }
  }
  const bool probe = heuristic_budget > 0 && may_be_feasible &&
                     (settings.node_limit == 0 || settings.node_limit > PROBE_NODES);
  if (!probe) {
    solve_windows(w, first.found ? &first.finish : nullptr);
    return;
  }
  // Most instances are solved within a few thousand nodes; only the others
  // pay for raising the incumbent's value by neighbourhood search, on
  // tables of its own, while the search waits. The search then goes on where
  // it stopped, the better incumbent pruning from there: the windows narrowed
  // against the old one hold every schedule better than the new one.
  w.settings.node_limit = PROBE_NODES;
  w.settings.sink = nullptr;
  solve_windows(w, first.found ? &first.finish : nullptr);
  const bool node_limit_hit = w.stopped && w.created_nodes >= PROBE_NODES;
  if (!node_limit_hit) {
    w.settings = settings;
    if (settings.sink != nullptr)
      settings.sink->report_result(w.stopped ? SearchEnd::time_limit : SearchEnd::complete);
    return;
  }
  const TimeShare raise_time{RAISE_SHARE * settings.time_limit, settings.start_clock,
                             settings.clock_ms};
  if (w.has_incumbent && !raise_time.spent()) {
    if (!w.raise_scratch) w.raise_scratch = std::make_unique<WindowSearch>();
    const std::vector<int> incumbent(w.best_finish, w.best_finish + instance.activity_count);
    NeighbourhoodSettings raise;
    raise.free_percent = RAISE_FREE_PERCENT;
    raise.patience = RAISE_PATIENCE;
    raise.time = raise_time;
    const NeighbourhoodResult better = raise_schedule_value(
        instance, settings.interest_rate, incumbent, w.best_npv, raise, *w.raise_scratch);
    if (better.found) offer_schedule(w, better.finish);
  }
  w.settings = settings;
  continue_search(w);
}

}  // namespace rcpspdc
