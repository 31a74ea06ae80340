// An instance exactly as its files gave it, kept beside the project model.
// The search changes the model's precedence lists in place; the checker and
// the reports need the network as read, so it is kept here untouched. The
// limits every reader enforces are here too: every table of the solver is
// sized by them.
#pragma once

#include <vector>

namespace rcpspdc {

constexpr int MAX_ACTIVITIES = 128;  // largest instance accepted, both dummies included
constexpr int MAX_RESOURCES = 4;     // renewable resource types
constexpr int LANE_LIMIT = 32767;    // largest capacity and summed demand per resource

struct InstanceData {
  int activity_count = 0;                     // including both dummies
  int resource_count = 0;                     // renewable resource types
  int deadline = 0;                           // deadline file makespan plus offset
  std::vector<int> capacity;                  // per resource type
  std::vector<int> duration;                  // per activity
  std::vector<std::vector<int>> requirement;  // [activity][resource]
  std::vector<std::vector<int>> successors;   // model indices, in file order
  std::vector<int> cash_flow;                 // per activity; 0 for both dummies
};

}  // namespace rcpspdc
