// Tables of the learning search: a search over start times that, like the
// start-time search, keeps a window [lower, upper] of possible starts for
// every activity and narrows the windows by propagation, but records why
// every bound moved. When a node fails, the reasons are traced back to a
// nogood, a conjunction of window bounds that no schedule better than the
// incumbent satisfies; the nogood is kept, so the search never meets the same
// conflict again, and the search jumps back to the deepest level where the
// nogood narrows a window.
//
// Literals are window bounds: [start of i >= v] or [start of i <= v]. Every
// change of a bound is an entry on the trail with its reason; a literal is
// made true by the first entry of its activity and side that reaches it.
//
// Times are start times: activity i started at s occupies the slots s ..
// s + duration - 1 of the profile and finishes at s + duration.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/search_engine.hpp"
#include "model/activity_set.hpp"
#include "model/instance_data.hpp"
#include "model/packed_resources.hpp"
#include "platform/time_budget.hpp"
#include "windows/window_problem.hpp"

namespace rcpspdc {

// [start of var >= value], or [start of var <= value] when `upper`.
struct Lit {
  std::int32_t value = 0;
  std::uint16_t var = 0;
  std::uint16_t upper = 0;
};

inline Lit lower_lit(int var, int value) { return {value, static_cast<std::uint16_t>(var), 0}; }
inline Lit upper_lit(int var, int value) { return {value, static_cast<std::uint16_t>(var), 1}; }
// Not [s >= v] is [s <= v - 1], and the other way round.
inline Lit negate(Lit l) {
  return l.upper != 0 ? lower_lit(l.var, l.value + 1) : upper_lit(l.var, l.value - 1);
}

// Why a bound moved.
enum class ReasonKind : std::uint8_t {
  decision,    // a branching
  clause,      // a nogood became unit: `a` is its index
  arc,         // precedence from or to activity `a`
  time_table,  // slot `a` of resource `b` was full
  pair_order,  // activity `a` cannot overlap; `b` is the start that showed the order
  objective,   // the incumbent: the bounds in the explanation store from `a`, `b` of them
};

struct Reason {
  ReasonKind kind = ReasonKind::decision;
  std::int32_t a = 0;
  std::int32_t b = 0;
};

struct TrailEntry {
  Reason reason;
  std::int32_t old_value = 0;  // the bound before this entry
  std::int32_t new_value = 0;  // the bound it set
  std::int32_t prev = -1;      // previous entry of the same activity and side; -1: none
  std::int32_t level = 0;      // decision level it was made at
  std::uint16_t var = 0;
  std::uint16_t upper = 0;  // 1: the latest start moved, 0: the earliest
};

// A nogood, stored as the clause that forbids it: a disjunction of literals,
// the first two watched.
struct Clause {
  std::int32_t start = 0;  // first literal in the literal store
  std::int32_t size = 0;
  std::int32_t lbd = 0;   // decision levels among its literals when learnt
  float activity = 0.0f;  // bumped when it takes part in a conflict
  bool deleted = false;
};

constexpr int WATCH_BUCKETS = 256;  // value ranges per activity and side

// A watch on a clause literal that turns false when a bound passes `value`:
// [s >= value] is watched on the latest start, [s <= value] on the earliest.
struct Watch {
  std::int32_t clause = 0;
  std::int32_t value = 0;
  Lit blocker;  // another literal of the clause: while it is true the clause needs no visit
};

// Every setting of the learning search, with the values the programs run;
// the tests turn each off in turn, to show that the search stays exact
// without it.
struct LearningSettings {
  bool use_restarts = true;  // restart on the Luby sequence of conflicts
  int restart_unit = 100;    // conflicts of the first restart interval
  // ... while no schedule is known: longer descents between restarts find
  // more first schedules at tight deadlines (the j60 and j90 rows without
  // one at 10 s, two draws of cash flows: 11 found against 6 at 100, 8 at
  // 1,000).
  int first_restart_unit = 300;
  bool use_pair_orders = true;          // pairs that can never overlap go one after the other
  bool use_pair_bound = true;           // bound by matched pairs whose best starts clash
  bool use_lifting = true;              // weaken the bounds that explain the pair bound's failures
  bool use_objective_narrowing = true;  // remove starts that alone cost the bound's lead
  bool use_value_impact = true;         // once a schedule is known, branch where value varies most
  // ... that worth plus the node network's: an activity's price where the
  // last ascent stopped times the fall of the discount across its window,
  // so the branching goes where the bound the proof waits for moves most.
  bool use_bound_impact = true;
  // Once a schedule is known, no activity is fixed where a one-period shift
  // towards the end its cash flow prefers would be free and worth more.
  bool use_shift_dominance = true;
  // Once a schedule is known, a branching splits the window: the quarter
  // at the end the cash flow prefers, then the rest (off: the activity is
  // fixed at that end, then moved off it by one).
  bool use_window_split = true;
  // While no schedule is known, an activity starts where the deepest descent
  // so far had it, if its window still holds that start.
  bool use_phase_saving = true;
  // Where the heuristics found no schedule, the first descents start where
  // the shortest schedule they reached past the deadline has its activities
  // (off: on j60 and j90 it finds some schedules the search alone misses,
  // and misses others it finds; a portfolio member runs with it).
  bool use_seeded_phases = false;
  // Drop from each nogood the bounds the others imply by their own reasons;
  // while no schedule is known, also those they imply through the reasons of
  // the trail (that finds more first schedules on j60 and j120; once a
  // schedule is known it shortens the nogoods as much but proves no more
  // rows, and slows the proofs on j90 and j120).
  bool use_minimization = true;
  // Once a schedule is known, probe window ends at every node; off: on the
  // hard j60 instances it costs more time than it saves.
  bool use_shaving = false;
  bool use_root_network = true;   // bound the root by its network, resources aside
  bool use_arc_prices = true;     // ... and every node by the prices of its arcs' flow
  bool use_arc_narrowing = true;  // ... and remove the starts those prices rule out
  // ... and bound the root again, and price its arcs anew, once its windows
  // have lost this share of their starts since; 0: never (on 20 j90 rows
  // open at 10 s, 3 % and 10 % prove one more than never, 3 % fastest).
  double reprice_share = 0.03;
  // ... and every node the arc prices leave standing, by steepest ascent
  // over the starts (off: by a flow over every start, the same bound and
  // nodes at several times the cost; on 20 j90 rows open at 10 s the
  // ascent proves 19 where no network bound in the nodes proves 17).
  bool use_network_bound = true;
  bool use_network_ascent = true;
  // ... and remove the starts the prices of that ascent rule out, and
  // explain its failures by them (j90 at 10 s: 152 proven against 149, the
  // common proofs in three quarters of the time; j60 in three fifths)
  bool use_network_narrowing = true;
  int price_iterations = 0;          // steps pricing resources at the root; 0: none
  bool use_prices_in_nodes = false;  // ... and bound every node with the prices
  // Nogoods the store may hold: its limit grows with the search up to this,
  // so that a search of hours keeps to about a hundred megabytes at worst (a
  // nogood holds at most one literal per window side). A full store's cuts
  // take the shortest-range nogoods too.
  std::size_t max_nogoods = 50000;
  // A schedule known to be optimal (start times), for finding the first wrong
  // prune in tests: no bound may move past it while it is worth more than
  // the incumbent and no branching has left it.
  const int* debug_start = nullptr;
  double debug_value = 0.0;
};

struct LearningSearch {
  LearningSettings settings;
  WindowProblem problem;

  // Windows; at the root every activity may start from 0 to the deadline
  // less its duration.
  int lower[ACTIVITY_ROWS] = {};
  int upper[ACTIVITY_ROWS] = {};
  int root_lower[ACTIVITY_ROWS] = {};
  int root_upper[ACTIVITY_ROWS] = {};
  std::int32_t last_entry[ACTIVITY_ROWS][2] = {};  // latest trail entry per side; -1: none

  std::vector<TrailEntry> trail;
  std::size_t trail_size = 0;             // entries in use
  std::vector<std::int32_t> level_start;  // trail size when each level was opened
  int level = 0;
  std::size_t propagated = 0;  // trail entries whose watches and arcs have run

  // Nogoods.
  std::vector<Clause> clauses;
  std::vector<Lit> clause_lits;
  // Watches by activity, side and value: [var][0] holds the literals
  // [s <= v] that moves of the earliest start falsify, [var][1] the literals
  // [s >= v] of the latest start, each in the bucket of v (values shifted
  // right by `watch_shift`), so a move visits only the buckets it passed.
  std::vector<Watch> watches[ACTIVITY_ROWS][2][WATCH_BUCKETS];
  int watch_shift = 0;
  std::size_t learnt_count = 0;
  std::size_t garbage = 0;  // nogoods dropped since the store was last compacted
  std::size_t learnt_limit = 0;
  float clause_increment = 1.0f;

  // Explanations of the objective's narrowings, cut back with the trail.
  std::vector<Lit> explanations;
  std::vector<std::int32_t> explanation_mark;  // store size at each level's start

  // Conflict analysis scratch.
  std::vector<Lit> conflict;               // true literals whose conjunction fails
  std::vector<Lit> scratch;                // an explanation being traced
  std::vector<Lit> learnt;                 // the nogood being built
  int learnt_lbd = 0;                      // decision levels among its literals
  std::vector<std::int32_t> reduce_order;  // nogoods by usefulness, when the store is cut
  std::vector<std::int32_t> need;    // per trail entry: the bound the analysis needs, or unset
  std::vector<std::uint8_t> seen;    // per trail entry: marked by the analysis
  std::vector<std::int32_t> marked;  // entries marked
  std::vector<Lit> touched;          // activity sides with a lower-level literal
  std::int32_t lower_need[ACTIVITY_ROWS][2] = {};  // strongest lower-level literal per side
  bool lower_seen[ACTIVITY_ROWS][2] = {};
  std::vector<Lit> derive_stack;             // literals a minimization trace has still to reach
  std::vector<std::uint8_t> derive_mark;     // per trail entry: derived, or failed, this conflict
  std::vector<std::int32_t> derive_value;    // per trail entry: the bound derived
  std::vector<std::int32_t> derive_touched;  // entries marked

  // Branching.
  double activity[ACTIVITY_ROWS] = {};
  int saved_start[ACTIVITY_ROWS] = {};  // starts of the deepest descent's fixed activities
  int saved_depth = 0;                  // its fixed activities
  double activity_increment = 1.0;

  // Pair bound scratch: one row per pair, and the loss charged to each activity.
  std::vector<PairLoss> pair_losses;
  double credit[ACTIVITY_ROWS] = {};
  int partner[ACTIVITY_ROWS] = {};        // the activity's matched pair partner; 0 if none
  bool either_order[ACTIVITY_ROWS] = {};  // its pair may run in either order

  // The network bound's flow graph: one node per activity and start past its
  // earliest, edges in lists by tail; grown geometrically, kept between nodes.
  struct FlowTables {
    std::vector<int> first;        // per node: its first edge, -1 if none
    std::vector<int> next;         // per edge: the next edge of its tail
    std::vector<int> head;         // per edge
    std::vector<double> cap;       // per edge: residual capacity
    std::vector<int> level;        // per node: BFS distance from the source
    std::vector<int> current;      // per node: the edge the augmenting search resumes at
    std::vector<int> queue;        // BFS queue, and the augmenting path's edges
    int base[ACTIVITY_ROWS] = {};  // node of (i, earliest + 1)
  } flow;
  // The same bound by steepest ascent over the starts (network_ascent.cpp):
  // one warm start for the nodes, one for their explanations.
  struct AscentTables {
    int start[ACTIVITY_ROWS] = {};      // the last schedule of the ascent
    char inside[ACTIVITY_ROWS] = {};    // the set that moves
    int node[ACTIVITY_ROWS] = {};       // each free activity's node in the flow; -1: blocked
    double weight[ACTIVITY_ROWS] = {};  // what its term gains per unit of the move
    int queue[ACTIVITY_ROWS] = {};
    char at_lower[ACTIVITY_ROWS] = {};  // where the last ascent stopped: on the earliest start
    char at_upper[ACTIVITY_ROWS] = {};  // ... on the latest start
    double bound = 0.0;                 // ... and the bound it gave
    bool ready = false;                 // `start` holds the last call's schedule
    // The network's prices where an ascent stopped (ascent_prices()); they
    // bound any windows, so they stay until fresh ones are asked for.
    double price[ACTIVITY_ROWS] = {};
    double price_rounding = 0.0;
    bool priced = false;          // `price` holds prices
    bool priced_current = false;  // ... those of `start`
  } ascent[2];
  FlowTables ascent_flow;  // one node per activity
  std::int64_t ascent_steps = 0;
  int relaxed_lower[ACTIVITY_ROWS] = {};
  int relaxed_upper[ACTIVITY_ROWS] = {};
  int network_start[ACTIVITY_ROWS] = {};  // the best schedule the network bound found
  std::vector<double> price_sums;         // running sums of the prices, per slot and resource
  std::vector<double> prices;             // the resource prices the nodes bound with
  std::vector<double> price_step;         // scratch of the subgradient steps
  std::vector<double> price_usage;        // ... and of the relaxed schedule's use of each slot
  double root_lagrangian = 0.0;           // the root bound with `prices`
  bool priced = false;                    // the resources were priced at the root
  bool priced_nodes = false;              // ... and the nodes bound with the prices
  bool root_networked = false;            // the root was bounded by its network
  double root_network = 0.0;              // ... to this value
  std::int64_t networked_width = 0;       // ... when its windows left this many starts
  int root_pricings = 0;                  // times the root was bounded by its network
  // The arc prices of the root network's flow (arc_prices.cpp): per
  // activity, the value of each start of its window at pricing time, from
  // `arc_first`; and each activity's best over its window when last asked.
  std::vector<double> arc_value;
  std::int32_t arc_first[ACTIVITY_ROWS] = {};
  int arc_lower[ACTIVITY_ROWS] = {};
  int arc_upper[ACTIVITY_ROWS] = {};
  double arc_best[ACTIVITY_ROWS] = {};
  int arc_best_lower[ACTIVITY_ROWS] = {};  // the window arc_best is of; -1: none yet
  int arc_best_upper[ACTIVITY_ROWS] = {};
  double arc_constant = 0.0;  // the priced capacities, with resource prices
  bool arcs_priced = false;
  std::int64_t network_calls = 0;
  std::int64_t network_prunes = 0;

  // Scratch of checking a whole schedule: one packed word per slot, zero
  // between uses.
  std::vector<Packed> profile;

  // The pair orders and the time-table look again only at what moved since
  // they last began a pass (trail position `since`; `all`: everything, as
  // after a reset): every other pair, and every other activity whose runs
  // meet no slot whose load changed, is where that pass left it. A jump
  // back restores the windows of a node every propagator had finished with,
  // so it only lowers the position to the trail it keeps.
  struct Marks {
    std::size_t since = 0;
    bool all = true;
  };
  Marks pair_marks;
  Marks table_marks;
  ActivitySet moved_pairs;  // activities moved since the pair pass's mark
  // The time-table's profile: the compulsory parts [table_lo[i],
  // table_hi[i]) as they were when its last pass began (or its mark was
  // last lowered), one packed word per slot; and scratch of a pass.
  std::vector<Packed> table;
  int table_lo[ACTIVITY_ROWS] = {};
  int table_hi[ACTIVITY_ROWS] = {};
  std::vector<std::uint8_t> table_changed;  // per slot: its load changed
  std::vector<int> table_changed_below;     // per slot: changed slots before it

  // Outcome.
  bool has_incumbent = false;
  double best_npv = 0.0;
  int best_finish[ACTIVITY_ROWS] = {};
  double seconds_to_best = 0.0;
  std::int64_t started_ms = 0;     // the clock reading incumbents are timed from
  std::int64_t created_nodes = 0;  // nodes propagated: the root, branchings and jumps back
  std::int64_t decisions = 0;      // branchings
  std::int64_t conflicts = 0;
  std::int64_t probes = 0;  // window ends shaving tried
  std::int64_t restarts = 0;
  std::int64_t restart_conflicts = 0;   // conflicts since the last restart
  std::int64_t work = 0;                // propagation steps since the clock was last told
  WorkClock clock;                      // the time budget, read by work done
  std::int64_t node_limit = 0;          // created nodes; 0: none
  SearchEnd end = SearchEnd::complete;  // how the last run ended
  bool stopped = false;
  bool complete = false;

  // The incumbents of the searches of this instance on other threads; null
  // when this search runs alone. `shared_seen`: the version last taken or
  // posted; `shared_finish`: scratch for taking.
  SharedIncumbent* shared = nullptr;
  std::uint64_t shared_seen = 0;
  std::vector<int> shared_finish;
  // Short nogoods likewise: posted as learnt, taken at the root (after a
  // restart) once a schedule is known: before that the searches find more
  // schedules apart. `shared_taken`: the next entry to look at; the rest
  // scratch.
  SharedNogoods* shared_nogoods = nullptr;
  int shared_origin = 0;
  std::size_t shared_taken = 0;
  std::vector<std::uint64_t> shared_words;
  std::vector<int> shared_sizes;
  std::vector<Lit> shared_lits;

  // The known schedule's watch (settings.debug_start): the lowest level whose
  // branching left it (above every level while none has), and the first
  // entry that cut it off wrongly.
  int debug_left_level = 0;
  std::int64_t debug_faults = 0;
  std::int32_t debug_first_fault = -1;
};

}  // namespace rcpspdc

namespace rcpspdc {

// --- loading (load_problem.cpp) ---

// Fills the rows from a validated instance with its cash flows and sizes
// every table that does not grow with the search.
void load_learning_problem(LearningSearch& w, const InstanceData& instance, double interest_rate);

// --- the trail (trail.cpp) ---

// Empties the trail and the nogood store, and opens the root windows.
void reset_trail(LearningSearch& w);
void open_level(LearningSearch& w);
// Undoes every entry above `level`.
void backjump(LearningSearch& w, int level);

inline bool is_true(const LearningSearch& w, Lit l) {
  return l.upper != 0 ? w.upper[l.var] <= l.value : w.lower[l.var] >= l.value;
}
inline bool is_false(const LearningSearch& w, Lit l) {
  return l.upper != 0 ? w.lower[l.var] > l.value : w.upper[l.var] < l.value;
}

// Raises the earliest start (lowers the latest one) to `value`; false, with
// the failing literals in w.conflict, when that empties the window.
bool set_lower(LearningSearch& w, int var, int value, Reason reason);
bool set_upper(LearningSearch& w, int var, int value, Reason reason);
inline bool set_lit(LearningSearch& w, Lit l, Reason reason) {
  return l.upper != 0 ? set_upper(w, l.var, l.value, reason)
                      : set_lower(w, l.var, l.value, reason);
}

// The trail entry that made the true literal `l` true, or -1 when the root
// windows already satisfy it.
std::int32_t entry_of(const LearningSearch& w, Lit l);
// True when `l` was true before trail entry `position` was made.
inline bool true_before(const LearningSearch& w, Lit l, std::int32_t position) {
  return is_true(w, l) && entry_of(w, l) < position;
}
inline int level_of(const LearningSearch& w, std::int32_t entry) {
  return entry < 0 ? 0 : w.trail[static_cast<std::size_t>(entry)].level;
}

// --- explanations (explain.cpp) ---

// Appends to `out` true literals that imply [var >= value] (or <= when
// `upper`) by `reason`, each true before trail entry `position`.
void explain(const LearningSearch& w, Reason reason, int var, bool upper, int value,
             std::int32_t position, std::vector<Lit>& out);
// Appends the compulsory parts covering slot `slot` that, with `extra` of
// resource `resource` on top, exceed its capacity; each true before `position`.
void explain_full_slot(const LearningSearch& w, int slot, int resource, int extra, int except,
                       std::int32_t position, std::vector<Lit>& out);

// --- propagators ---

// Nogoods watching the side of `var` that entry `entry` moved (nogoods.cpp).
bool propagate_nogoods(LearningSearch& w, std::int32_t entry);
// Time-tabling over compulsory parts (time_table.cpp).
bool propagate_time_table(LearningSearch& w, bool& changed);
// Brings the time-table's profile to the compulsory parts of the windows.
void sync_time_table(LearningSearch& w);
// Pairs that can never overlap (pair_orders.cpp).
bool propagate_pair_orders(LearningSearch& w, bool& changed);
// The incumbent: fails when no schedule in the windows is worth more, and
// narrows windows whose end alone would cost the bound's lead (objective.cpp).
bool propagate_objective(LearningSearch& w, bool& changed);
// Fails where an activity is fixed at a start that a one-period shift
// towards the end its cash flow prefers would leave, free and worth more
// (shift_dominance.cpp); w.conflict says why.
bool check_shift_dominance(LearningSearch& w);
// The window bound of the node: every cash flow at the best end of its window.
inline double learning_window_bound(const LearningSearch& w) {
  return window_bound(w.problem, w.lower, w.upper);
}
// The pair bound of the node; fills w.credit, w.partner and w.either_order.
inline double learning_pair_bound(LearningSearch& w) {
  return pair_bound(w.problem, w.lower, w.upper, w.pair_losses.data(), w.credit, w.partner,
                    w.either_order);
}
// --- maximum flow (max_flow.cpp) ---

constexpr int FLOW_SOURCE = 0;
constexpr int FLOW_SINK = 1;
constexpr double FLOW_UNBOUNDED = 1e300;  // an implication; no cut may cross it

// Adds edges with their reverse edges, growing the tables as it goes.
struct FlowBuilder {
  LearningSearch::FlowTables& f;
  std::size_t edges = 0;

  void add(int from, int to, double capacity) {
    if (edges + 2 > f.head.size()) {
      const std::size_t size = std::max<std::size_t>(1024, 2 * f.head.size());
      f.next.resize(size);
      f.head.resize(size);
      f.cap.resize(size);
    }
    const auto e = static_cast<int>(edges);
    f.head[edges] = to;
    f.cap[edges] = capacity;
    f.next[edges] = f.first[static_cast<std::size_t>(from)];
    f.first[static_cast<std::size_t>(from)] = e;
    f.head[edges + 1] = from;
    f.cap[edges + 1] = 0.0;
    f.next[edges + 1] = f.first[static_cast<std::size_t>(to)];
    f.first[static_cast<std::size_t>(to)] = e + 1;
    edges += 2;
  }

  // A closure node's weight: a gain flows in from the source, a loss out to
  // the sink.
  void weigh(int node, double weight) {
    if (weight > 0.0) {
      add(FLOW_SOURCE, node, weight);
      gains += weight;
    } else if (weight < 0.0) {
      add(node, FLOW_SINK, -weight);
    }
    largest = std::max(largest, std::fabs(weight));
  }
  double gains = 0.0;    // the weights that gain, summed
  double largest = 0.0;  // the largest weight's size
};

// Sizes the node rows of `f` for `nodes` nodes and empties their edge lists.
void prepare_flow(LearningSearch::FlowTables& f, int nodes);
// The maximum flow from FLOW_SOURCE to FLOW_SINK over the edges added since;
// afterwards f.level[v] >= 0 exactly for the nodes the source still reaches.
// Edges with at most `tiny` left count as full.
double maximum_flow(LearningSearch::FlowTables& f, int nodes, double tiny);

// The largest value of a schedule inside the windows [lower, upper] that
// keeps every arc, resources aside (network_bound.cpp): the exact maximum of
// the time-indexed closure, from a maximum flow; a valid upper bound even
// where rounding leaves the flow short of maximal. Fills w.network_start with
// a schedule that reaches it.
// With `prices` (per slot and resource, [t * MAX_RESOURCES + k], at least 0)
// the resources enter as a Lagrangian relaxation: each activity pays for
// the capacity it occupies, and the bound adds the priced capacities back,
// so it stays an upper bound on every resource-feasible schedule.
// Activity i's term at start s, less what it pays for the capacity it
// occupies where `running` (running sums of resource prices, as the network
// bound keeps them in w.price_sums) is given.
double priced_term(const WindowProblem& p, const double* running, int i, int s);
double network_bound(LearningSearch& w, const int* lower, const int* upper,
                     const double* prices = nullptr);
// The same bound without resource prices, by steepest ascent over the
// activities' starts (network_ascent.cpp): at least network_bound() less
// rounding, never below the best schedule inside the windows, and far
// cheaper where windows are wide. `slot` picks the warm start kept for the
// next call. Fills w.network_start the same way.
double ascent_network_bound(LearningSearch& w, const int* lower, const int* upper, int slot = 0);
// The prices of the arcs where the last ascent of `slot` stopped (kept if
// they are already those of its schedule), folded into one coefficient per
// activity: for every schedule inside any windows that
// keeps the arcs, its value is at most the sum over the activities of
// coefficient * discount[start], plus the rounding kept beside them; at the
// ascent's windows the best of that sum equals the ascent's bound.
const double* ascent_prices(LearningSearch& w, int slot = 0);
// That sum's best over the windows [lower, upper], rounding included.
double priced_window_bound(const LearningSearch& w, const double* price, double rounding,
                           const int* lower, const int* upper);
// Prices the arcs from the flow the network bound just found for the
// windows of the root (arc_prices.cpp); w.arcs_priced tells whether it could.
// With `prices`, those the network bound was just given, the resources
// are priced too.
void price_arcs(LearningSearch& w, const double* prices = nullptr);
// The bound of the node by the arc prices: each activity's best start in
// its window; infinite where a window reaches past the priced ones.
double arc_priced_bound(LearningSearch& w);
// After arc_priced_bound failed: the window bounds that explain it, each
// given back to its root value while the bound stays `slack` short at most.
void arc_price_literals(LearningSearch& w, double slack, std::vector<Lit>& out);
// After arc_priced_bound passed with `lead` over the incumbent: removes from
// the ends of each window the starts whose drop from the activity's best
// uses up the lead, explained by the others' bounds that cost value (none
// given back: a lifted explanation would remove fewer starts, and measured
// slower). False on a conflict.
bool narrow_by_arc_prices(LearningSearch& w, double lead, bool& changed);
// Prices for the resources by subgradient steps on the root windows
// (lagrangian.cpp): w.prices holds the best found, w.root_lagrangian its bound.
void price_resources(LearningSearch& w, int iterations);
// Every propagator to a fixed point (propagate.cpp).
bool propagate(LearningSearch& w);
// Each arc once from the root windows, before the first propagation.
bool propagate_root_arcs(LearningSearch& w);

// --- branching (branching.cpp) ---

// The next branching literal; false when every real activity is fixed.
bool choose_decision(const LearningSearch& w, Lit& decision);
// The Luby sequence 1, 1, 2, 1, 1, 2, 4, ... at position x (from 0).
std::int64_t luby(std::int64_t x);

// --- shaving (shave.cpp) ---

enum class ShaveOutcome {
  kept,       // the node stands, its windows maybe narrower
  failed,     // the node holds nothing better: w.conflict says why
  left_node,  // a nogood learnt holds below the node; the search goes on from there
  complete,   // a nogood learnt holds at the root: the search is complete
};
// Probes the window ends of the activities the node moved (and their
// neighbours), learning from every probe that fails.
ShaveOutcome shave_node(LearningSearch& w);

// --- learning (analyze.cpp, nogoods.cpp, solve_learning.cpp) ---

// After analyze_conflict: jumps back, stores and asserts the nogood, decays
// the activities, and now and then cuts the store or restarts.
void learn_after_conflict(LearningSearch& w, int jump);
// The time budget, told the work since it was last told; true once spent.
bool budget_spent(LearningSearch& w);

// From the failing literals in w.conflict, builds the first-UIP nogood in
// w.learnt (asserting literal first) and returns the level to jump back to;
// -1 when the conflict holds at the root (the search is complete).
int analyze_conflict(LearningSearch& w);
// Stores w.learnt as a clause, watches it and asserts its first literal.
void learn_and_assert(LearningSearch& w);
// Stores a nogood given from outside (a conjunction of literals no better
// schedule satisfies) at the root; false when it leaves no schedule.
bool add_nogood(LearningSearch& w, const std::vector<Lit>& nogood);
// Empties every watch list and sizes the buckets to the deadline.
void clear_watches(LearningSearch& w);
// Drops the less useful half of the learnt nogoods.
void reduce_nogoods(LearningSearch& w);
// Compacts the store at the root, where no reason refers to a nogood.
void collect_nogoods(LearningSearch& w);

}  // namespace rcpspdc
