// Loading an instance into the start-time search's fixed rows.
#include <cmath>

#include "window_search/window_state.hpp"

namespace rcpspdc {

void load_window_problem(WindowSearch& w, const InstanceData& instance, double interest_rate) {
  WindowProblem& p = w.problem;
  const int n = instance.activity_count;
  p.activity_count = n;
  p.end_activity = n - 1;
  p.resource_count = instance.resource_count;
  p.deadline = instance.deadline;
  for (int k = 0; k < MAX_RESOURCES; ++k)
    p.capacity[k] = k < p.resource_count ? instance.capacity[static_cast<std::size_t>(k)] : 0;
  // The reader keeps capacities and summed demands within a lane, so packed
  // sums and differences never carry across lanes unseen.
  p.packed_capacity = 0;
  p.overflow_mask = 0;
  for (int k = 0; k < p.resource_count; ++k) {
    p.packed_capacity |= static_cast<Packed>(p.capacity[k]) << (LANE_BITS * k);
    p.overflow_mask |= LANE_TOP << (LANE_BITS * k);
  }
  int in_count[ACTIVITY_ROWS] = {};
  for (int i = 0; i < n; ++i) {
    const auto row = static_cast<std::size_t>(i);
    p.duration[i] = instance.duration[row];
    p.cash_flow[i] = instance.cash_flow.empty() ? 0 : instance.cash_flow[row];
    p.uses_resources[i] = false;
    for (int k = 0; k < MAX_RESOURCES; ++k) {
      p.demand[i][k] =
          k < p.resource_count ? instance.requirement[row][static_cast<std::size_t>(k)] : 0;
      if (p.demand[i][k] > 0 && p.duration[i] > 0) p.uses_resources[i] = true;
    }
    p.packed_demand[i] = 0;
    for (int k = 0; k < p.resource_count; ++k)
      p.packed_demand[i] |= static_cast<Packed>(p.demand[i][k]) << (LANE_BITS * k);
    p.succ_count[i] = 0;
    for (const int s : instance.successors[row]) {
      p.succ[i][p.succ_count[i]++] = s;
      ++in_count[s];
    }
  }
  // Kahn's order; the reader has already refused cycles.
  int head = 0;
  int tail = 0;
  for (int i = 0; i < n; ++i)
    if (in_count[i] == 0) p.order[tail++] = i;
  while (head < tail) {
    const int i = p.order[head++];
    for (int e = 0; e < p.succ_count[i]; ++e)
      if (--in_count[p.succ[i][e]] == 0) p.order[tail++] = p.succ[i][e];
  }
  // Two activities whose demands together exceed some capacity can never be
  // in progress in the same period.
  for (int i = 0; i < n; ++i) set_clear(p.incompatible[i]);
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      if (!p.uses_resources[i] || !p.uses_resources[j]) continue;
      for (int k = 0; k < p.resource_count; ++k)
        if (p.demand[i][k] + p.demand[j][k] > p.capacity[k]) {
          set_add(p.incompatible[i], j);
          set_add(p.incompatible[j], i);
          break;
        }
    }
  build_pairs(p);
  w.pair_losses.resize(p.pairs.size());
  p.discount.resize(static_cast<std::size_t>(p.deadline) + 1);
  // The expression the checker evaluates, so values agree bit for bit.
  for (int t = 0; t <= p.deadline; ++t)
    p.discount[static_cast<std::size_t>(t)] = std::exp(-interest_rate * t);
  w.profile.assign(static_cast<std::size_t>(p.deadline) + 1, 0);
  if (w.pending.size() < 64) w.pending.resize(64);
}

}  // namespace rcpspdc
