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

namespace {

constexpr int SOURCE = 0;
constexpr int SINK = 1;
constexpr double UNBOUNDED = 1e300;  // an implication; no cut may cross it

struct FlowBuilder {
  LearningSearch::FlowTables& f;
  std::size_t edges = 0;

  void add(int from, int to, double capacity) {
    if (edges + 2 > f.head.size()) {
      const std::size_t size = std::max<std::size_t>(1024, 2 * f.head.size());
      f.next.resize(size);
      f.head.resize(size);
      f.cap.resize(size);
    }
    const auto e = static_cast<int>(edges);
    f.head[edges] = to;
    f.cap[edges] = capacity;
    f.next[edges] = f.first[static_cast<std::size_t>(from)];
    f.first[static_cast<std::size_t>(from)] = e;
    f.head[edges + 1] = from;
    f.cap[edges + 1] = 0.0;
    f.next[edges + 1] = f.first[static_cast<std::size_t>(to)];
    f.first[static_cast<std::size_t>(to)] = e + 1;
    edges += 2;
  }
};

// Distances from the source over edges with room left; false when the sink
// is out of reach.
bool layer(LearningSearch::FlowTables& f, int nodes, double tiny) {
  std::fill(f.level.begin(), f.level.begin() + nodes, -1);
  std::size_t head = 0;
  std::size_t tail = 0;
  f.queue[tail++] = SOURCE;
  f.level[SOURCE] = 0;
  while (head < tail) {
    const int u = f.queue[head++];
    for (int e = f.first[static_cast<std::size_t>(u)]; e >= 0;
         e = f.next[static_cast<std::size_t>(e)]) {
      const int v = f.head[static_cast<std::size_t>(e)];
      if (f.cap[static_cast<std::size_t>(e)] <= tiny || f.level[static_cast<std::size_t>(v)] >= 0)
        continue;
      f.level[static_cast<std::size_t>(v)] = f.level[static_cast<std::size_t>(u)] + 1;
      f.queue[tail++] = v;
    }
  }
  return f.level[SINK] >= 0;
}

// Augments along shortest paths until none is left in the layered graph
// (Dinic's blocking flow), with an explicit path instead of recursion:
// chains of starts can be thousands of nodes long.
double blocking_flow(LearningSearch::FlowTables& f, int nodes, double tiny) {
  std::copy(f.first.begin(), f.first.begin() + nodes, f.current.begin());
  double pushed = 0.0;
  std::size_t depth = 0;  // edges on the path, kept in f.queue
  int u = SOURCE;
  for (;;) {
    if (u == SINK) {
      double amount = UNBOUNDED;
      for (std::size_t x = 0; x < depth; ++x)
        amount = std::min(amount, f.cap[static_cast<std::size_t>(f.queue[x])]);
      for (std::size_t x = 0; x < depth; ++x) {
        const auto e = static_cast<std::size_t>(f.queue[x]);
        f.cap[e] -= amount;
        f.cap[e ^ 1] += amount;
      }
      pushed += amount;
      depth = 0;
      u = SOURCE;
      continue;
    }
    int& e = f.current[static_cast<std::size_t>(u)];
    while (e >= 0) {
      const auto x = static_cast<std::size_t>(e);
      const int v = f.head[x];
      if (f.cap[x] > tiny &&
          f.level[static_cast<std::size_t>(v)] == f.level[static_cast<std::size_t>(u)] + 1)
        break;
      e = f.next[x];
    }
    if (e >= 0) {
      f.queue[depth++] = e;
      u = f.head[static_cast<std::size_t>(e)];
      continue;
    }
    // A dead end: retreat and never come back.
    if (u == SOURCE) break;
    f.level[static_cast<std::size_t>(u)] = -1;
    const auto back = static_cast<std::size_t>(f.queue[--depth]);
    u = f.head[back ^ 1];
    int& tail_edge = f.current[static_cast<std::size_t>(u)];
    tail_edge = f.next[static_cast<std::size_t>(tail_edge)];
  }
  return pushed;
}

}  // namespace

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
  const auto node_rows = static_cast<std::size_t>(nodes);
  if (f.first.size() < node_rows) {
    const std::size_t size = std::max(node_rows, 2 * f.first.size());
    f.first.resize(size);
    f.level.resize(size);
    f.current.resize(size);
    f.queue.resize(size);
  }
  std::fill(f.first.begin(), f.first.begin() + nodes, -1);
  FlowBuilder build{f};
  double value = 0.0;  // every term at its earliest start
  double gains = 0.0;  // the weights of the nodes that gain
  double largest = 0.0;
  for (int i = 1; i < p.end_activity; ++i) {
    value += value_at(i, lower[i]);
    double previous = value_at(i, lower[i]);
    for (int t = lower[i] + 1; t <= upper[i]; ++t) {
      const int v = f.base[i] + (t - lower[i] - 1);
      const double here = value_at(i, t);
      const double weight = here - previous;
      previous = here;
      if (weight > 0.0) {
        build.add(SOURCE, v, weight);
        gains += weight;
      } else if (weight < 0.0) {
        build.add(v, SINK, -weight);
      }
      largest = std::max(largest, std::fabs(weight));
      if (t - 1 > lower[i]) build.add(v, v - 1, UNBOUNDED);
      for (int x = 0; x < p.succ_count[i]; ++x) {
        const int j = p.succ[i][x];
        if (j == p.end_activity) continue;
        const int later = t + p.duration[i];
        if (later <= lower[j]) continue;
        if (later > upper[j])
          build.add(v, SINK, UNBOUNDED);  // the windows leave j no room
        else
          build.add(v, f.base[j] + (later - lower[j] - 1), UNBOUNDED);
      }
    }
  }
  w.work += static_cast<std::int64_t>(build.edges);
  const double tiny = 1e-13 * (largest > 0.0 ? largest : 1.0);
  double flow = 0.0;
  while (layer(f, nodes, tiny)) flow += blocking_flow(f, nodes, tiny);
  // The closure: what the source still reaches (layer() just marked it).
  for (int i = 1; i < p.end_activity; ++i) {
    int start = lower[i];
    for (int t = lower[i] + 1; t <= upper[i]; ++t)
      if (f.level[static_cast<std::size_t>(f.base[i] + (t - lower[i] - 1))] >= 0) start = t;
    w.network_start[i] = start;
  }
  w.network_start[0] = 0;
  return value + gains - flow + charged;
}

}  // namespace rcpspdc
