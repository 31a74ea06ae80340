// Loading an instance into the fixed rows, and the window bound.
#include "windows/window_problem.hpp"

#include "model/network.hpp"
#include "model/npv.hpp"

namespace rcpspdc {

namespace {

// Two activities whose demands together exceed some capacity can never be
// in progress in the same period.
void find_incompatible_pairs(WindowProblem& p) {
  const int n = p.activity_count;
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
}

// The pair bound's candidates: arcs and incompatible pairs between real
// activities of which at least one has a cash flow.
void build_pairs(WindowProblem& p) {
  p.pairs.clear();
  for (int i = 1; i < p.end_activity; ++i) {
    for (int e = 0; e < p.succ_count[i]; ++e) {
      const int j = p.succ[i][e];
      if (j == p.end_activity || (p.cash_flow[i] == 0 && p.cash_flow[j] == 0)) continue;
      p.pairs.push_back({i, j, false});
    }
    for_each_member(p.incompatible[i], [&](int j) {
      if (j <= i || j == p.end_activity || (p.cash_flow[i] == 0 && p.cash_flow[j] == 0)) return;
      p.pairs.push_back({i, j, true});
    });
  }
}

}  // namespace

void load_window_rows(WindowProblem& p, const InstanceData& instance, double interest_rate) {
  const int n = instance.activity_count;
  p.activity_count = n;
  p.end_activity = n - 1;
  p.resource_count = instance.resource_count;
  p.deadline = instance.deadline;
  for (int k = 0; k < MAX_RESOURCES; ++k)
    p.capacity[k] = k < p.resource_count ? instance.capacity[static_cast<std::size_t>(k)] : 0;
  // The reader keeps capacities and summed demands within a lane, so packed
  // sums and differences never carry across lanes unseen.
  p.packed_capacity = pack_amounts(p.capacity, p.resource_count);
  p.overflow_mask = overflow_mask_of(p.resource_count);
  for (int i = 0; i < n; ++i) {
    p.succ_count[i] = 0;
    p.pred_count[i] = 0;
  }
  for (int& count : p.user_count) count = 0;
  for (int i = 0; i < n; ++i) {
    const auto row = static_cast<std::size_t>(i);
    p.duration[i] = instance.duration[row];
    p.cash_flow[i] = instance.cash_flow.empty() ? 0 : instance.cash_flow[row];
    p.uses_resources[i] = false;
    for (int k = 0; k < MAX_RESOURCES; ++k) {
      p.demand[i][k] =
          k < p.resource_count ? instance.requirement[row][static_cast<std::size_t>(k)] : 0;
      if (p.demand[i][k] > 0 && p.duration[i] > 0) p.uses_resources[i] = true;
      if (p.demand[i][k] > 0 && i > 0 && i < n - 1) p.users[k][p.user_count[k]++] = i;
    }
    p.packed_demand[i] = pack_amounts(p.demand[i], p.resource_count);
    for (const int s : instance.successors[row]) {
      p.succ[i][p.succ_count[i]++] = s;
      p.pred[s][p.pred_count[s]++] = i;
    }
  }
  // The start-time search's precedence pass charges a failure to the first
  // activity whose window empties along this order, and its branching
  // follows the charges.
  const std::vector<int> order = topological_order(instance, ReadyRule::first_ready);
  for (int x = 0; x < n; ++x) p.order[x] = order[static_cast<std::size_t>(x)];
  find_incompatible_pairs(p);
  build_pairs(p);
  fill_discount_table(p.discount, interest_rate, p.deadline);
}

double window_bound(const WindowProblem& p, const int* early, const int* late) {
  // Each cash flow at the best finish its window allows: positive flows as
  // early, negative ones as late as possible. Every term is at least the
  // term of any schedule in the windows, rounding included, and the terms are
  // summed in the checker's order, so the sum bounds the computed value too.
  return sum_over_real_activities(p.activity_count, [&](int i) {
    return window_term(p, i, p.cash_flow[i] >= 0 ? early[i] : late[i]);
  });
}

double window_schedule_value(const WindowProblem& p, const int* start) {
  return sum_over_real_activities(p.activity_count,
                                  [&](int i) { return window_term(p, i, start[i]); });
}

}  // namespace rcpspdc
