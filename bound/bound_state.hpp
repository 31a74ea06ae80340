// Tables of the upper bound: the bound tree, the working sets of the two
// passes and of the subtree search, and the per-instance discount factors.
// Everything is sized for the largest instance or when an instance is loaded,
// so an evaluation allocates nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "model/project_model.hpp"

namespace rcpspdc {

struct BoundState {
  // row p: every s with tree arc p -> s; empty between evaluations
  ActivitySet tree_set[ACTIVITY_ROWS] = {};
  // row s: every p with tree arc p -> s (tree_set turned around)
  ActivitySet tree_in[ACTIVITY_ROWS] = {};
  int tree_parent[ACTIVITY_ROWS] = {};  // binding predecessor chosen by the forward pass

  ActivitySet visited_set = {};                       // reached in the current valuation
  ActivitySet subtree_stack[ACTIVITY_ROWS + 1] = {};  // row d: subtree valued at depth d
  int subtree_depth = 0;                              // current valuation depth
  ActivitySet detached_set[ACTIVITY_ROWS] = {};       // subtrees detached in this valuation
  int detached_count = 0;                             // rows of detached_set in use
  ActivitySet pending_set = {};                       // detached activities not shifted yet
  // row of detached_set holding a pending activity
  int detached_of[ACTIVITY_ROWS] = {};
  // pending activity: smallest slack to a settled successor
  int slack_of[ACTIVITY_ROWS] = {};
  // that successor (the last in list order on a tie)
  int slack_to[ACTIVITY_ROWS] = {};
  // pending activities whose slack must be recomputed
  ActivitySet stale_set = {};

  double node_npv = 0.0;         // value of the last relaxed schedule that met the deadline
  double interest_rate = 0.0;    // continuous discount rate per period
  std::vector<double> discount;  // discount[t] = e^(-interest_rate * t), t = 0..deadline
};

// Sizes and fills the discount table for the model's deadline. Called once per
// instance, before the first evaluation.
void prepare_bound(BoundState& b, const ProjectModel& m, double interest_rate);

// A tree arc is held in both directions.
inline void tree_link(BoundState& b, int p, int s) {
  set_add(b.tree_set[p], s);
  set_add(b.tree_in[s], p);
}
inline void tree_unlink(BoundState& b, int p, int s) {
  set_toggle(b.tree_set[p], s);
  set_toggle(b.tree_in[s], p);
}

// Empties every finish time and every tree row of the model's activities: the
// state each evaluation starts from.
void clear_schedule(ProjectModel& m, BoundState& b);

int forward_pass(ProjectModel& m, BoundState& b);
void backward_pass(ProjectModel& m, BoundState& b);
double subtree_value(ProjectModel& m, BoundState& b, int j);
void shift_detached_sets(ProjectModel& m, BoundState& b);
void subtree_search(ProjectModel& m, BoundState& b);

// What an evaluation of a node found.
enum class BoundOutcome {
  open,      // survives: schedule in finish_time, tree in tree_set, value in node_npv
  fathomed,  // deadline unmet, or value not strictly above best_npv; schedule and tree cleared
};

// Evaluates the current network and counts the evaluation in created_nodes.
BoundOutcome compute_bound(ProjectModel& m, BoundState& b, double best_npv,
                           std::int64_t& created_nodes);

}  // namespace rcpspdc
