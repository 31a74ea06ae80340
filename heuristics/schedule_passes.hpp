// The serial schedule-generation scheme of the first-schedule heuristic: the
// network in flat tables, a load profile over periods, and the forward and
// backward passes that place one activity at a time.
#pragma once

#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

struct ScheduleNetwork {
  int activity_count = 0;       // including both dummies
  int resource_count = 0;       // renewable resource types
  int deadline = 0;             // latest finish of any activity
  int horizon = 0;              // last period a pass may use: max(deadline, summed durations)
  std::vector<int> duration;    // per activity
  std::vector<int> demand;      // [activity * resource_count + k]
  std::vector<int> capacity;    // per resource type
  std::vector<int> succ_begin;  // successors of i are succ[succ_begin[i] .. succ_begin[i + 1])
  std::vector<int> succ;        // successor lists, file order
  std::vector<int> pred_begin;  // predecessors of i are pred[pred_begin[i] .. pred_begin[i + 1])
  std::vector<int> pred;        // predecessor lists
  std::vector<int> order;       // a topological order
  std::vector<int> rank;        // position of each activity in `order`
  std::vector<int> earliest_finish;  // from the forward critical-path pass
  std::vector<int> latest_finish;    // from the deadline backward (may be below duration)
  bool usable =
      false;  // acyclic, every demand within its capacity, critical path within the deadline
};

// Load per period and resource type; kept empty between passes, every pass
// takes back what it placed, so no pass clears the whole horizon.
struct LoadProfile {
  int resource_count = 0;
  std::vector<int> load;  // [period * resource_count + k], periods 0..horizon
};

// Scratch of the passes, sized once per instance.
struct PassScratch {
  std::vector<int> list;  // activities in the order a pass places them
};

ScheduleNetwork build_network(const InstanceData& instance);
void init_profile(const ScheduleNetwork& net, LoadProfile& profile);
void init_scratch(const ScheduleNetwork& net, PassScratch& scratch);

// Adds (sign +1) or takes back (-1) activity i finishing at `finish`.
void occupy(const ScheduleNetwork& net, LoadProfile& profile, int i, int finish, int sign);
// The first (lowest) period of i's window that cannot take it, or 0 if it fits.
int first_blocked(const ScheduleNetwork& net, const LoadProfile& profile, int i, int finish);

// Serial forward pass over a precedence-feasible list: each activity at the
// earliest finish its predecessors and the loads allow. Returns the makespan;
// the profile is empty again afterwards.
int forward_pass(const ScheduleNetwork& net, LoadProfile& profile, const std::vector<int>& list,
                 std::vector<int>& finish);

// Left justification: the forward pass over the activities by start time.
int justify_left(const ScheduleNetwork& net, LoadProfile& profile, PassScratch& scratch,
                 std::vector<int>& finish);

// Right justification: activities by decreasing finish, each at the latest
// finish within `limit` its successors and the loads allow. No activity moves
// earlier, so the makespan stays within `limit`. Activity 0 stays at 0.
void justify_right(const ScheduleNetwork& net, LoadProfile& profile, PassScratch& scratch,
                   int limit, std::vector<int>& finish);

}  // namespace rcpspdc
