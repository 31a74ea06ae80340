// The project model: one instance as the search works on it, in fixed tables
// that are overwritten by the next instance. Precedence is held twice, as
// lists (in the order arcs were added) and as activity sets, and every change
// updates both in step.
#pragma once

#include "model/activity_set.hpp"
#include "model/instance_data.hpp"
#include "model/packed_resources.hpp"

namespace rcpspdc {

// A list row has room for every distinct neighbour an activity can get (n - 1
// at most, arcs added by branching included) plus the deadline entry that
// closes the network from the dummy end back to activity 0.
constexpr int LIST_ROW = MAX_ACTIVITIES + 1;

struct ProjectModel {
  int activity_count = 0;      // activities including both dummies
  int end_activity = 0;        // activity_count - 1, the dummy end
  int resource_count = 0;      // renewable resource types, 0..4
  int deadline = 0;            // makespan from the deadline file plus the offset
  Packed packed_capacity = 0;  // capacities, one lane per resource type
  Packed overflow_mask = 0;    // top bit of every used lane

  int capacity[MAX_RESOURCES] = {};  // availability per period

  int duration[ACTIVITY_ROWS] = {};                    // periods
  int requirement[ACTIVITY_ROWS][MAX_RESOURCES] = {};  // demand per period and type
  Packed packed_demand[ACTIVITY_ROWS] = {};            // requirement, packed
  int cash_flow[ACTIVITY_ROWS] = {};                   // falls at the finish; 0 for dummies

  int succ_count[ACTIVITY_ROWS] = {};           // direct successors in use
  int succ_list[ACTIVITY_ROWS][LIST_ROW] = {};  // in the order they were added
  ActivitySet succ_set[ACTIVITY_ROWS] = {};     // the same successors as a set
  int pred_count[ACTIVITY_ROWS] = {};           // direct predecessors in use
  int pred_list[ACTIVITY_ROWS][LIST_ROW] = {};  // pred_list[0] ends with the deadline entry
  ActivitySet pred_set[ACTIVITY_ROWS] = {};     // predecessors as a set (no deadline entry)

  int finish_time[ACTIVITY_ROWS] = {};  // schedule under evaluation; all 0 between evaluations
};

// Starts a model of n activities and the given capacities: scalars, packed
// capacity and mask set, precedence of activities 0..n-1 emptied, demands and
// cash flows zero. Used by the reader and by tests that build networks by hand.
void begin_model(ProjectModel& m, int activity_count, int resource_count, const int* capacity);

// Sets the duration and demands of activity i and packs the demands.
void set_activity(ProjectModel& m, int i, int duration, const int* requirement);

// Appends the arc p -> s to both lists and both sets.
void add_arc(ProjectModel& m, int p, int s);

// Closes the network: sets end_activity and the deadline and appends the
// end entry to pred_list[0] without touching any set.
void finish_model(ProjectModel& m, int deadline);

// Fills the project model from a validated instance. Arcs go in activity by
// activity in file order, so successor lists keep the file's order and
// predecessor lists come out in ascending order of the predecessor.
void load_model(const InstanceData& data, ProjectModel& m);

}  // namespace rcpspdc
