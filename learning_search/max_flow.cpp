// A maximum flow by Dinic's blocking flows, over tables kept between calls
// and grown geometrically; the network bounds find their closures with it.
#include <algorithm>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

// Distances from the source over edges with room left; false when the sink
// is out of reach.
bool layer(LearningSearch::FlowTables& f, int nodes, double tiny) {
  std::fill(f.level.begin(), f.level.begin() + nodes, -1);
  std::size_t head = 0;
  std::size_t tail = 0;
  f.queue[tail++] = FLOW_SOURCE;
  f.level[FLOW_SOURCE] = 0;
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
  return f.level[FLOW_SINK] >= 0;
}

// Augments along shortest paths until none is left in the layered graph
// (Dinic's blocking flow), with an explicit path instead of recursion:
// chains of starts can be thousands of nodes long.
double blocking_flow(LearningSearch::FlowTables& f, int nodes, double tiny) {
  std::copy(f.first.begin(), f.first.begin() + nodes, f.current.begin());
  double pushed = 0.0;
  std::size_t depth = 0;  // edges on the path, kept in f.queue
  int u = FLOW_SOURCE;
  for (;;) {
    if (u == FLOW_SINK) {
      double amount = FLOW_UNBOUNDED;
      for (std::size_t x = 0; x < depth; ++x)
        amount = std::min(amount, f.cap[static_cast<std::size_t>(f.queue[x])]);
      for (std::size_t x = 0; x < depth; ++x) {
        const auto e = static_cast<std::size_t>(f.queue[x]);
        f.cap[e] -= amount;
        f.cap[e ^ 1] += amount;
      }
      pushed += amount;
      depth = 0;
      u = FLOW_SOURCE;
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
    if (u == FLOW_SOURCE) break;
    f.level[static_cast<std::size_t>(u)] = -1;
    const auto back = static_cast<std::size_t>(f.queue[--depth]);
    u = f.head[back ^ 1];
    int& tail_edge = f.current[static_cast<std::size_t>(u)];
    tail_edge = f.next[static_cast<std::size_t>(tail_edge)];
  }
  return pushed;
}

}  // namespace

void prepare_flow(LearningSearch::FlowTables& f, int nodes) {
  const auto node_rows = static_cast<std::size_t>(nodes);
  if (f.first.size() < node_rows) {
    const std::size_t size = std::max(node_rows, 2 * f.first.size());
    f.first.resize(size);
    f.level.resize(size);
    f.current.resize(size);
    f.queue.resize(size);
  }
  std::fill(f.first.begin(), f.first.begin() + nodes, -1);
}

double maximum_flow(LearningSearch::FlowTables& f, int nodes, double tiny) {
  double flow = 0.0;
  while (layer(f, nodes, tiny)) flow += blocking_flow(f, nodes, tiny);
  return flow;
}

}  // namespace rcpspdc
