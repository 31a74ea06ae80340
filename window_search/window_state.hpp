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
// finishes at s + duration.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/activity_set.hpp"
#include "model/instance_data.hpp"
#include "model/packed_resources.hpp"

namespace rcpspdc {

class ResultSink;

// Two activities that run in order: `second` after `first`, or, when
// `either_order`, one after the other in either order.
struct ActivityPair {
  int first = 0;
  int second = 0;
  bool either_order = false;
};

// A pair whose best starts clash, and the value it loses against them.
struct PairLoss {
  double loss = 0.0;
  int first = 0;
  int second = 0;
};

// The instance as the start-time search reads it, in fixed rows.
struct WindowProblem {
  int activity_count = 0;  // including both dummies
  int end_activity = 0;    // activity_count - 1
  int resource_count = 0;  // renewable resource types
  int deadline = 0;        // latest finish of every activity
  int capacity[MAX_RESOURCES] = {};
  int duration[ACTIVITY_ROWS] = {};
  int demand[ACTIVITY_ROWS][MAX_RESOURCES] = {};
  int cash_flow[ACTIVITY_ROWS] = {};
  int order[ACTIVITY_ROWS] = {};                 // a topological order of the network
  int succ_count[ACTIVITY_ROWS] = {};            // direct successors from the file
  int succ[ACTIVITY_ROWS][MAX_ACTIVITIES] = {};  // their indices
  ActivitySet incompatible[ACTIVITY_ROWS] = {};  // activities that can never overlap with i
  bool uses_resources[ACTIVITY_ROWS] = {};       // some demand above 0 and duration above 0
  Packed packed_capacity = 0;                    // capacities, one lane per resource type
  Packed overflow_mask = 0;                      // top bit of every used lane
  Packed packed_demand[ACTIVITY_ROWS] = {};      // demands, packed the same way
  std::vector<ActivityPair> pairs;               // precedences and incompatible pairs with cash
  std::vector<double> discount;                  // discount[t] = e^(-rate * t), t = 0..deadline
};

// One node: the start window of every activity.
struct Windows {
  int early[ACTIVITY_ROWS];  // earliest start
  int late[ACTIVITY_ROWS];   // latest start
  // The activity branched on to make this node; 0 at the root (the first
  // activity never is).
  int branched;
};

// Which activity and which start time a node branches on.
enum class BranchRule {
  smallest_window,  // the unfixed activity with the fewest start times left
  earliest_start,   // the unfixed activity that can start first
};

struct WindowSettings {
  double interest_rate = 0.0;            // continuous discount rate per period
  double time_limit = 0.0;               // seconds; 0 = none
  std::int64_t start_clock = 0;          // clock reading when the search started
  std::int64_t (*clock_ms)() = nullptr;  // milliseconds since program start
  ResultSink* sink = nullptr;            // receives the outcome
  BranchRule branch_rule = BranchRule::smallest_window;
  std::int64_t restart_failures = 0;     // failures before the first restart; 0 = never restart
  bool bisect = false;                   // split windows in halves instead of fixing one start
  bool use_failure_weights = true;       // branch first on activities that failed often
  bool use_value_impact = true;          // ... and, once there is an incumbent, whose flow's worth
                                         // varies most across the window
  bool use_objective_windows = true;     // narrow windows against the incumbent
  bool use_pair_bound = true;            // bound by matched pairs against the incumbent
  bool use_shaving = true;               // against an incumbent, remove window ends that fail
  bool use_energy_check = false;         // energetic reasoning while there is no incumbent
  bool use_energy_check_always = false;  // ... and after one was found
  std::int64_t node_limit = 0;           // stop after this many nodes; 0 = none (fuzzing)
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
  Windows before_propagation = {};    // the node as branched, for shaving
  Windows shave_scratch[2] = {};      // a probe, and the windows before a removal

  int culprit = 0;                            // activity whose window emptied in the last failure
  double failure_weight[ACTIVITY_ROWS] = {};  // failures charged to each activity (branching)

  // Tables for the neighbourhood search that raises the incumbent while this
  // search is stopped, so that it can go on afterwards; made when first needed.
  std::unique_ptr<WindowSearch> raise_scratch;

  bool has_incumbent = false;           // a feasible schedule was found
  double best_npv = 0.0;                // its value; minus infinity while there is none
  int best_finish[ACTIVITY_ROWS] = {};  // its finish times
  std::int64_t created_nodes = 0;       // nodes propagated
  std::int64_t branched_nodes = 0;      // nodes branched on
  double seconds_to_best = 0.0;         // when the incumbent was found
  std::int64_t restarts = 0;            // descents begun again from the root
  std::int64_t failures = 0;            // failed nodes since the last restart
  std::int64_t restart_limit = 0;       // failures that trigger the next restart; 0 = never
  bool stopped = false;                 // the time or node limit ended the search
  int time_check_countdown = 0;         // nodes before the clock is read again
};

// Fills the problem tables from a validated instance with its cash flows and
// sizes the profile; nothing is allocated afterwards but pending rows.
void load_window_problem(WindowSearch& w, const InstanceData& instance, double interest_rate);

// The root windows: every activity may start from 0 to the deadline minus
// its duration; the first activity starts at 0.
void open_windows(const WindowProblem& p, Windows& win);

// Narrows `win` to the fixed point of the propagators; false when some window
// became empty (the node holds no feasible schedule).
bool propagate_windows(WindowSearch& w, Windows& win);

// Removes window ends of `win` (propagated from `before`) where fixing the
// activity leaves propagation with an empty window; false when a whole
// window went.
bool shave_windows(WindowSearch& w, Windows& win, const Windows& before);

// Precedences and incompatible pairs that the pair bound tries (at load).
void build_pairs(WindowProblem& p);

// The window bound less the losses of a matching of ordered pairs whose best
// starts clash; credit[i] is the loss charged to i's pair (0 if unmatched).
double pair_bound(WindowSearch& w, const Windows& win, double* credit);

// An upper bound on the net present value of every schedule inside `win`.
double window_bound(const WindowProblem& p, const Windows& win);

// The largest value any schedule not yet ruled out could have: the incumbent
// or the window bound of an open node, whichever is larger. After a complete
// search it is the incumbent's value (minus infinity when there is none).
double open_bound(const WindowSearch& w);

// The value of a schedule whose windows are all fixed, summed as the checker sums.
double fixed_schedule_value(const WindowProblem& p, const Windows& win);

// The search in two steps: begin_search resets the state (and offers
// `seed_finish` as in solve_windows); continue_search runs from where the
// state stands until the search completes or a limit stops it, then reports.
// A search stopped by a limit continues where it stopped once the limit is
// raised; a completed search must not be continued.
void begin_search(WindowSearch& w, const std::vector<int>* seed_finish);
void continue_search(WindowSearch& w);

// Offers a schedule (finish times) found elsewhere to a search in progress;
// it becomes the incumbent when it is worth more, as the search values it.
void offer_schedule(WindowSearch& w, const std::vector<int>& finish);

// The whole search on the loaded problem. Offers `seed_finish` (when not
// null) as the first incumbent. Reports through settings.sink: 1 when the
// search completed, 0 when a limit stopped it.
void solve_windows(WindowSearch& w, const std::vector<int>* seed_finish);

// The engine as the programs run it: loads the instance (with its cash
// flows), finds a first schedule with the heuristic (`heuristic_budget`
// schedule generations; 0 = none) and runs the search with `settings`.
void solve_start_times(WindowSearch& w, const InstanceData& instance,
                       const WindowSettings& settings, int heuristic_budget);

}  // namespace rcpspdc
