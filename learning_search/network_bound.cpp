// The network bound: the best value of a schedule inside the windows that
// keeps every arc, resources aside. In time-indexed form it is a maximum
// weight closure: a node (i, t) for every start t of i past its earliest one
// stands for "i starts at t or later"; it weighs the change of i's term from
// t - 1 to t (a gain for a negative cash flow, a loss for a positive one),
// and implies (i, t - 1) and, for every arc i -> j, (j, t + d_i). The
// heaviest closed set is the source side of a minimum cut (Picard), so a
// maximum flow gives the bound: the terms at the earliest starts, plus the
// gains, less the flow. Any flow bounds the closure from above, so rounding
// that leaves the flow short of maximal only loosens the bound.
#include <algorithm>
#include <cmath>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

double priced_term(const WindowProblem& p, const double* running, int i, int s) {
  double v = window_term(p, i, s);
  if (running != nullptr) {
    const std::size_t from = static_cast<std::size_t>(s) * MAX_RESOURCES;
    const std::size_t to = static_cast<std::size_t>(s + p.duration[i]) * MAX_RESOURCES;
    for (int k = 0; k < p.resource_count; ++k)
      v -= p.demand[i][k] * (running[to + static_cast<std::size_t>(k)] -
                             running[from + static_cast<std::size_t>(k)]);
  }
  return v;
}

double network_bound(LearningSearch& w, const int* lower, const int* upper, const double* prices) {
  const WindowProblem& p = w.problem;
  LearningSearch::FlowTables& f = w.flow;
  // With prices, each activity pays for the slots it occupies: a start s
  // costs the sum over resources of demand times the prices of slots
  // s .. s + d - 1, read from running sums of the prices.
  const double* running = nullptr;
  double charged = 0.0;  // prices times capacities, which the bound adds back
  if (prices != nullptr) {
    // Slots 0 .. deadline - 1 have prices; the running sums one row more.
    const auto slots = static_cast<std::size_t>(p.deadline);
    w.price_sums.resize((slots + 1) * MAX_RESOURCES);
    for (int k = 0; k < p.resource_count; ++k) {
      double sum = 0.0;
      for (std::size_t t = 0; t <= slots; ++t) {
        w.price_sums[t * MAX_RESOURCES + static_cast<std::size_t>(k)] = sum;
        if (t == slots) break;
        const double price = prices[t * MAX_RESOURCES + static_cast<std::size_t>(k)];
        sum += price;
        charged += price * p.capacity[k];
      }
    }
    running = w.price_sums.data();
  }
  auto value_at = [&](int i, int s) { return priced_term(p, running, i, s); };
  int nodes = 2;
  for (int i = 1; i < p.end_activity; ++i) {
    f.base[i] = nodes;
    nodes += upper[i] - lower[i];
  }
  prepare_flow(f, nodes);
  FlowBuilder build{f};
  double value = 0.0;  // every term at its earliest start
  for (int i = 1; i < p.end_activity; ++i) {
    value += value_at(i, lower[i]);
    double previous = value_at(i, lower[i]);
    for (int t = lower[i] + 1; t <= upper[i]; ++t) {
      const int v = f.base[i] + (t - lower[i] - 1);
      const double here = value_at(i, t);
      const double weight = here - previous;
      previous = here;
      build.weigh(v, weight);
      if (t - 1 > lower[i]) build.add(v, v - 1, FLOW_UNBOUNDED);
      for (int x = 0; x < p.succ_count[i]; ++x) {
        const int j = p.succ[i][x];
        if (j == p.end_activity) continue;
        const int later = t + p.duration[i];
        if (later <= lower[j]) continue;
        if (later > upper[j])
          build.add(v, FLOW_SINK, FLOW_UNBOUNDED);  // the windows leave j no room
        else
          build.add(v, f.base[j] + (later - lower[j] - 1), FLOW_UNBOUNDED);
      }
    }
  }
  w.work += static_cast<std::int64_t>(build.edges);
  const double tiny = 1e-13 * (build.largest > 0.0 ? build.largest : 1.0);
  const double flow = maximum_flow(f, nodes, tiny);
  // The closure: what the source still reaches.
  for (int i = 1; i < p.end_activity; ++i) {
    int start = lower[i];
    for (int t = lower[i] + 1; t <= upper[i]; ++t)
      if (f.level[static_cast<std::size_t>(f.base[i] + (t - lower[i] - 1))] >= 0) start = t;
    w.network_start[i] = start;
  }
  w.network_start[0] = 0;
  return value + build.gains - flow + charged;
}

}  // namespace rcpspdc
