// Tables of the branch-and-bound: the current node, conflict detection, the
// node pool with one list per level, the per-level snapshots and path records,
// the cutset store, the incumbent and the counters. The pool, the levels, the
// snapshot slots and the cutset store grow geometrically when a high-water
// mark is passed; nothing else is allocated while the search runs.
#pragma once

#include <cstdint>
#include <vector>

#include "bound/bound_state.hpp"
#include "engine/search_engine.hpp"
#include "model/project_model.hpp"
#include "platform/time_budget.hpp"

namespace rcpspdc {

constexpr int LIST_END = -1;  // ends a level list; no pool slot is negative

// Conflict detection: the load profile of the schedule under test and the
// first overloaded period it finds.
struct ConflictState {
  std::vector<Packed> period_load;  // load of periods 0..deadline
  ActivitySet found_conflict = {};  // activities in progress in the first overloaded period
  Packed found_excess = 0;          // capacity minus that period's load, packed
};

struct Solver;

// The sizes the growing tables start with; they double whenever a search
// passes them, so these decide only when the first growth comes.
struct SearchSettings {
  int initial_pool = 1024;    // first capacity of the node pool
  int initial_levels = 1024;  // first capacity of the level tables
  int initial_cuts = 1024;    // first capacity of the cutset store
};

// Watches the driver loop step by step, for tests that check the search's
// invariants as it runs; the programs set none.
class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  virtual void before_branching(const Solver& solver) = 0;  // a level was pushed
  virtual void after_branching(const Solver& solver) = 0;   // its list is filled, head not taken
  virtual void after_backtrack(const Solver& solver, int from_level) = 0;
};

struct SearchState {
  SearchSettings settings;

  // Driver, incumbent and counters.
  int level = 0;                        // depth of the list being filled or taken from
  bool has_incumbent = false;           // a resource-feasible schedule was found
  double best_npv = 0.0;                // its value; minus infinity while there is none
  int best_finish[ACTIVITY_ROWS] = {};  // its finish times
  std::int64_t created_nodes = 0;       // 1 plus the bound evaluations
  std::int64_t branched_nodes = 0;      // nodes taken from level lists
  double root_bound = 0.0;              // the root's bound; plus infinity until it is known

  // Limits: checked before every branching, and the clock also between the
  // alternatives of one branching, since a single branching over a large
  // conflict may take long.
  std::int64_t node_limit = 0;       // created nodes; 0: none
  WorkClock clock;                   // the time budget, read by work done
  std::int64_t evaluation_work = 0;  // work of one bound evaluation and its conflict test
  bool stopping = false;             // the clock stopped the branching in progress
  SearchEnd end = SearchEnd::complete;
  SearchResult result;  // filled when the search ends
  SearchObserver* observer = nullptr;

  // The current node.
  ActivitySet conflict_set = {};  // activities in progress in its first overloaded period
  Packed node_excess = 0;         // packed capacity minus that period's load
  ConflictState conflict;

  // Enumeration of delaying alternatives.
  ActivitySet candidate_set = {};      // conflict members not decided yet
  ActivitySet delay_set = {};          // members decided as delayed
  Packed kept_demand = 0;              // summed demand of the members kept
  int delay_list[ACTIVITY_ROWS] = {};  // a complete delaying set, descending

  // Node pool: one record per stored child, fields as parallel tables.
  int node_count = 0;                      // slots in use
  std::vector<int> node_next;              // next node of the same list, or LIST_END
  std::vector<int> node_activity;          // delaying activity
  std::vector<ActivitySet> node_delay;     // delaying set
  std::vector<double> node_bound;          // value of the child's relaxed schedule
  std::vector<ActivitySet> node_conflict;  // conflict set of that schedule
  std::vector<Packed> node_excess_of;      // residual capacity of its conflict period

  // Per-level tables, levels 0..capacity-1.
  std::vector<int> level_head;  // first node of the level's list
  std::vector<int> level_base;  // node_count when the list was opened
  std::vector<int> level_node;  // slot of the node taken at the level
  // delaying activity of the path node (or alternative under test)
  std::vector<int> level_activity;
  std::vector<ActivitySet> level_delay;   // its delaying set
  std::vector<ActivitySet> path_delayed;  // union of level_delay over levels 1..l
  std::vector<int> level_cut_base;        // cut_count when the level was pushed

  // Level snapshots: the conflict set of each level and, in a stack of slots,
  // the precedence rows and counts of its members (descending index order).
  std::vector<ActivitySet> saved_conflict;  // per level
  // first snapshot slot of each level; entry l + 1 ends level l
  std::vector<int> level_slot_base;
  std::vector<ActivitySet> saved_succ_set;  // per slot
  std::vector<ActivitySet> saved_pred_set;  // per slot
  std::vector<int> saved_succ_count;        // per slot
  std::vector<int> saved_pred_count;        // per slot

  // Cutset store, a stack truncated per level.
  int cut_count = 0;                   // entries in force
  std::vector<ActivitySet> cut_delay;  // delaying set of the alternative or node
  std::vector<ActivitySet> cut_union;  // activities that must all be delayed on the path
  std::vector<int> cut_activity;       // delaying activity
  std::vector<int> cut_level;          // level of the alternative or node
  ActivitySet covered_set = {};        // working set of the dominance test
};

// Everything one instance is solved with.
struct Solver {
  ProjectModel model;
  BoundState bound;
  SearchState search;
};

// Table growth: each makes room for at least `entries` entries, doubling the
// capacity. Called where a high-water mark is passed, never otherwise.
void reserve_pool(SearchState& s, std::size_t entries);
void reserve_levels(SearchState& s, std::size_t entries);
void reserve_snapshot_slots(SearchState& s, std::size_t entries);
void reserve_cuts(SearchState& s, std::size_t entries);

// Sizes the tables for the loaded instance (load profile, discount factors
// at `interest_rate`, first capacities); called by init_search.
void prepare_search(Solver& solver, double interest_rate);

// Conflict detection on the schedule in finish_time: 1 when some period is
// overloaded (result in found_conflict and found_excess; schedule and tree
// cleared), 0 when the schedule is resource-feasible (left untouched).
int detect_conflict(ProjectModel& m, BoundState& b, ConflictState& c);

// The per-instance reset of the search state (no limits: see solve_instance).
void init_search(Solver& solver, double interest_rate);

// The search on the loaded model, values discounted at `interest_rate`,
// until it completes or `limits` stop it. A `first_schedule` (finish times,
// feasible within the deadline) is the first incumbent. Returns the result,
// which stays in the state until the next search.
const SearchResult& solve_instance(Solver& solver, double interest_rate,
                                   const SearchLimits& limits,
                                   const std::vector<int>* first_schedule = nullptr);

// Before every branching: true when the node limit or the time budget ends
// the search (with `end` set).
bool limit_reached(Solver& solver);
void record_incumbent(Solver& solver);

// Fills the current level's list with the children of the current node.
enum class Branching { children, no_child };
Branching branch_node(Solver& solver);
void insert_node(Solver& solver, int k);
void take_next_node(Solver& solver);
int backtrack(Solver& solver);

void push_level(Solver& solver);
void restore_level(Solver& solver);

void enumerate_alternatives(Solver& solver, Packed excess);
void evaluate_alternative(Solver& solver, Packed excess);

int is_dominated(Solver& solver, int k);
void record_discarded_alternative(Solver& solver, int k);
void record_explored_node(Solver& solver);

}  // namespace rcpspdc
