#include "model/network.hpp"

#include <algorithm>

namespace rcpspdc {

std::vector<int> topological_order(const InstanceData& data, ReadyRule rule) {
  const int n = data.activity_count;
  std::vector<int> waiting(static_cast<std::size_t>(n), 0);
  for (const std::vector<int>& successors : data.successors)
    for (const int s : successors) ++waiting[static_cast<std::size_t>(s)];
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    if (waiting[static_cast<std::size_t>(i)] == 0) order.push_back(i);
  // order[taken..] holds the ready activities not yet taken, in the order
  // they became ready; the lowest-index rule moves its pick to the front.
  for (std::size_t taken = 0; taken < order.size(); ++taken) {
    if (rule == ReadyRule::lowest_index) {
      const auto lowest =
          std::min_element(order.begin() + static_cast<std::ptrdiff_t>(taken), order.end());
      std::rotate(order.begin() + static_cast<std::ptrdiff_t>(taken), lowest, lowest + 1);
    }
    for (const int s : data.successors[static_cast<std::size_t>(order[taken])])
      if (--waiting[static_cast<std::size_t>(s)] == 0) order.push_back(s);
  }
  return order;
}

std::vector<int> earliest_finishes(const InstanceData& data, const std::vector<int>& order) {
  // Entry i holds the latest finish of i's predecessors until i is reached.
  std::vector<int> finish(static_cast<std::size_t>(data.activity_count), 0);
  for (const int i : order) {
    const auto a = static_cast<std::size_t>(i);
    finish[a] += data.duration[a];
    for (const int s : data.successors[a])
      finish[static_cast<std::size_t>(s)] =
          std::max(finish[static_cast<std::size_t>(s)], finish[a]);
  }
  return finish;
}

std::vector<int> latest_finishes(const InstanceData& data, const std::vector<int>& order,
                                 int deadline) {
  std::vector<int> finish(static_cast<std::size_t>(data.activity_count), deadline);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const auto a = static_cast<std::size_t>(*it);
    for (const int s : data.successors[a]) {
      const auto b = static_cast<std::size_t>(s);
      finish[a] = std::min(finish[a], finish[b] - data.duration[b]);
    }
  }
  return finish;
}

int critical_path_length(const InstanceData& data) {
  const std::vector<int> finish =
      earliest_finishes(data, topological_order(data, ReadyRule::lowest_index));
  return finish.empty() ? 0 : *std::max_element(finish.begin(), finish.end());
}

}  // namespace rcpspdc
