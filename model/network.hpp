// Facts of the precedence network as read, computed in one place for every
// part of the solver: a topological order, earliest and latest finishes, and
// the critical path length.
#pragma once

#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

// Which ready activity Kahn's algorithm takes next. Both give a topological
// order; the searches break ties along theirs, so each keeps its own rule.
enum class ReadyRule {
  lowest_index,  // the lowest numbered: index order wherever the arcs all point forward
  first_ready,   // the one that became ready first (breadth first; index order at the start)
};

// The activities in an order where every arc points forward. Shorter than
// activity_count exactly when the network has a cycle.
std::vector<int> topological_order(const InstanceData& data, ReadyRule rule);

// The earliest finish of every activity when each starts as soon as its
// predecessors finish, along a topological `order`.
std::vector<int> earliest_finishes(const InstanceData& data, const std::vector<int>& order);

// The latest finish of every activity that leaves each successor its duration
// before the successor's own latest finish, everything by `deadline`. It may
// lie below the activity's duration when the deadline is too short.
std::vector<int> latest_finishes(const InstanceData& data, const std::vector<int>& order,
                                 int deadline);

// The shortest makespan the network allows, resources aside: the deadline a
// run falls back on when no makespan is known for an instance. The network
// must be acyclic, as every reader makes sure.
int critical_path_length(const InstanceData& data);

}  // namespace rcpspdc
