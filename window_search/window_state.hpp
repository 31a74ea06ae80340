// Tables of the start-time search: a branch-and-bound that keeps, for every
// activity, a window of possible start times, narrows the windows by
// propagation (precedence, resource time-tabling, pairs that cannot overlap)
// and branches by fixing or excluding one start time at a time. It is built
// for tight deadlines, where most relaxed schedules overload a resource and a
// search over delaying alternatives cannot see that a subtree holds no
// feasible schedule at all.
//
// Times are start times: activity i starting at s occupies periods s + 1 ..
// s + duration (the time slots s .. s + duration - 1 of the profile) and
// finishes at s + duration. The engines built on it are in
// start_time_engine.hpp.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/search_engine.hpp"
#include "model/activity_set.hpp"
#include "model/instance_data.hpp"
#include "model/packed_resources.hpp"
#include "platform/time_budget.hpp"
#include "windows/window_problem.hpp"

namespace rcpspdc {

// One node: the start window of every activity.
struct Windows {
  int early[ACTIVITY_ROWS];  // earliest start
  int late[ACTIVITY_ROWS];   // latest start
  // The activity branched on to make this node; 0 at the root (the first
  // activity never is).
  int branched;
};

// Every setting of the start-time engine, with the values the programs run;
// the tests turn each off in turn, to show that the search stays exact
// without it and to reach the code paths it would otherwise hide.
struct WindowSettings {
  int heuristic_budget = 1000;        // generations of the first-schedule heuristic for the
                                      // value (see heuristics/); 0: no heuristic and no raise
  bool use_failure_weights = true;    // branch first on activities that failed often
  bool use_value_impact = true;       // ... and, once there is an incumbent, whose flow's worth
                                      // varies most across the window
  bool use_objective_windows = true;  // narrow windows against the incumbent
  bool use_pair_bound = true;         // bound by matched pairs against the incumbent
  bool use_shaving = true;            // against an incumbent, remove window ends that fail
};

struct WindowSearch {
  WindowSettings settings;
  WindowProblem problem;

  Windows current = {};           // the node being worked on
  std::vector<Windows> pending;   // open right-hand children, deepest last
  std::size_t pending_count = 0;  // entries of `pending` in use

  // Load of the compulsory parts per time slot, packed; all zero between
  // two propagation rounds.
  std::vector<Packed> profile;

  std::vector<PairLoss> pair_losses;  // scratch of the pair bound, one row per pair
  std::int64_t round_work = 0;        // work of one propagation round, less time-tabling
  Windows before_propagation = {};    // the node as branched, for shaving
  Windows shave_scratch[2] = {};      // a probe, and the windows before a removal

  int culprit = 0;                            // activity whose window emptied in the last failure
  double failure_weight[ACTIVITY_ROWS] = {};  // failures charged to each activity (branching)

  // The time budget, read by work done: propagation rounds count their work,
  // and a round that finds the budget spent sets `interrupted`, which ends
  // the propagation, the shaving and the search at once, the node unused.
  WorkClock clock;
  bool interrupted = false;

  bool has_incumbent = false;           // a feasible schedule was found
  double best_npv = 0.0;                // its value; minus infinity while there is none
  int best_finish[ACTIVITY_ROWS] = {};  // its finish times
  std::int64_t created_nodes = 0;       // nodes propagated
  std::int64_t branched_nodes = 0;      // nodes branched on
  std::int64_t started_ms = 0;          // the clock reading incumbents are timed from
  double seconds_to_best = 0.0;         // when the incumbent was found
  bool stopped = false;                 // a limit ended the search
  SearchEnd end = SearchEnd::complete;  // how the last run ended
  // The incumbents of the searches of this instance on other threads; null
  // when this search runs alone. `shared_seen`: the version last taken or
  // posted; `shared_finish`: scratch for taking.
  SharedIncumbent* shared = nullptr;
  std::uint64_t shared_seen = 0;
  std::vector<int> shared_finish;
};

// Fills the problem tables from a validated instance with its cash flows and
// sizes the profile; nothing is allocated afterwards but pending rows.
void load_window_problem(WindowSearch& w, const InstanceData& instance, double interest_rate);

// The root windows: every activity may start from 0 to the deadline minus
// its duration; the first activity starts at 0.
void open_windows(const WindowProblem& p, Windows& win);

// Narrows `win` to the fixed point of the propagators; false when some window
// became empty (the node holds no feasible schedule), or when the time budget
// ran out on the way (`interrupted` set; `win` is then narrowed only part of
// the way, still holding every schedule it held).
bool propagate_windows(WindowSearch& w, Windows& win);

// Removes window ends of `win` (propagated from `before`) where fixing the
// activity leaves propagation with an empty window; false when a whole
// window went. Stops early, as propagation does, when interrupted.
bool shave_windows(WindowSearch& w, Windows& win, const Windows& before);

// The pair bound of `win` (windows/window_problem.hpp); credit[i] is the
// loss charged to i's pair (0 if unmatched).
inline double pair_bound(WindowSearch& w, const Windows& win, double* credit) {
  return pair_bound(w.problem, win.early, win.late, w.pair_losses.data(), credit);
}

// An upper bound on the net present value of every schedule inside `win`.
inline double window_bound(const WindowProblem& p, const Windows& win) {
  return window_bound(p, win.early, win.late);
}

// The largest value any schedule not yet ruled out could have: the incumbent
// or the window bound of an open node, whichever is larger. After a complete
// search it is the incumbent's value (minus infinity when there is none).
double open_bound(const WindowSearch& w);

// The value of a schedule whose windows are all fixed, summed as the checker sums.
inline double fixed_schedule_value(const WindowProblem& p, const Windows& win) {
  return window_schedule_value(p, win.early);
}

// The search in two steps: begin_search resets the state to the root
// (incumbents are timed from `time`'s start; `seed_finish`, when not null, is
// offered as the first incumbent); continue_search runs from where the state
// stands until the search completes or `limits` stop it. Continued under a
// higher node limit, a search its node limit stopped goes on exactly as if it
// had never stopped; one the time budget stopped takes up the node it stopped
// in again. A completed search must not be continued.
void begin_search(WindowSearch& w, const TimeBudget& time, const std::vector<int>* seed_finish);
SearchEnd continue_search(WindowSearch& w, const SearchLimits& limits);

// Offers a schedule (finish times) found elsewhere to a search in progress;
// it becomes the incumbent when it is worth more, as the search values it.
void offer_schedule(WindowSearch& w, const std::vector<int>& finish);

// The whole search on the loaded problem: begin_search, then continue_search.
SearchEnd solve_windows(WindowSearch& w, const SearchLimits& limits,
                        const std::vector<int>* seed_finish);

// The outcome of the last run, as every engine reports it.
void fill_result(const WindowSearch& w, SearchResult& result);

}  // namespace rcpspdc
