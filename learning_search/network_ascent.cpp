// The network bound without a time axis. Written in x_i = e^(-rate * s_i),
// the best schedule inside the windows that keeps every arc is a linear
// program: each term is linear in x, and every arc, earliest and latest start
// bounds the ratio of two x (time 0 being an x of 1). Its optimum is at a
// vertex, where the starts are whole periods, so it is the time-indexed
// closure's maximum (network_bound.cpp), found here over the activities
// alone by steepest ascent: from a schedule inside the windows, the set of
// activities that gains most by starting later together (closed under the
// arcs and latest starts that are tight) and the set that gains most by
// starting earlier are two maximum weight closures over a graph of one node
// per activity; the better one moves until a constraint stops it, and the
// ascent ends where neither gains. Started from the last call's schedule,
// a node costs a few such steps.
//
// The bound holds wherever the ascent stops: every feasible direction from
// the schedule gains at most the two closures' weights per unit, and no
// schedule inside the windows lies further than e^(rate * deadline) units
// away in x, so the schedule's value plus that much bounds them all.
#include <algorithm>
#include <cmath>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

bool real(const WindowProblem& p, int i) { return i > 0 && i < p.end_activity; }

// The heaviest set of activities that can start later together (`later`) or
// earlier together, each weighing what its term gains per unit of the move;
// marks it in a.inside and returns its weight (at least the true maximum
// where rounding leaves the flow short). Activities a tight constraint ties
// to a window end they sit on cannot move; the flow runs over the rest, and
// only when one of them gains.
double best_move(const WindowProblem& p, LearningSearch::AscentTables& a,
                 LearningSearch::FlowTables& f, const int* lower, const int* upper, bool later) {
  const int end = p.end_activity;
  const int* start = a.start;
  int tail = 0;
  for (int i = 1; i < end; ++i) {
    a.inside[i] = 0;
    a.node[i] = start[i] == (later ? upper[i] : lower[i]) ? -1 : 0;
    if (a.node[i] < 0) a.queue[tail++] = i;
  }
  // Moving later drags the successors of tight arcs along, moving earlier
  // the predecessors: what would drag a blocked activity is blocked too.
  for (int head = 0; head < tail; ++head) {
    const int v = a.queue[head];
    if (later) {
      for (int y = 0; y < p.pred_count[v]; ++y) {
        const int i = p.pred[v][y];
        if (real(p, i) && a.node[i] == 0 && start[v] == start[i] + p.duration[i])
          a.node[i] = -1, a.queue[tail++] = i;
      }
    } else {
      for (int y = 0; y < p.succ_count[v]; ++y) {
        const int j = p.succ[v][y];
        if (real(p, j) && a.node[j] == 0 && start[j] == start[v] + p.duration[v])
          a.node[j] = -1, a.queue[tail++] = j;
      }
    }
  }
  int nodes = 2;
  bool gains_any = false;
  for (int i = 1; i < end; ++i) {
    if (a.node[i] < 0) continue;
    a.node[i] = nodes++;
    const double term = window_term(p, i, start[i]);
    a.weight[i] = later ? -term : term;
    gains_any = gains_any || a.weight[i] > 0.0;
  }
  if (!gains_any) return 0.0;
  prepare_flow(f, nodes);
  FlowBuilder build{f};
  for (int i = 1; i < end; ++i) {
    const int v = a.node[i];
    if (v < 0) continue;
    build.weigh(v, a.weight[i]);
    // A tight arc: a later start drags the successor along, an earlier
    // start the predecessor (both free: neither drags a blocked one).
    for (int y = 0; y < p.succ_count[i]; ++y) {
      const int j = p.succ[i][y];
      if (!real(p, j) || a.node[j] < 0 || start[j] != start[i] + p.duration[i]) continue;
      if (later)
        build.add(v, a.node[j], FLOW_UNBOUNDED);
      else
        build.add(a.node[j], v, FLOW_UNBOUNDED);
    }
  }
  const double tiny = 1e-13 * (build.largest > 0.0 ? build.largest : 1.0);
  const double flow = maximum_flow(f, nodes, tiny);
  for (int i = 1; i < end; ++i)
    a.inside[i] = a.node[i] >= 0 && f.level[static_cast<std::size_t>(a.node[i])] >= 0 ? 1 : 0;
  return std::max(0.0, build.gains - flow);
}

// Moves the marked set as far as it goes without leaving the windows or
// breaking an arc (at least one period: the set is closed under what is tight).
void move_set(const WindowProblem& p, LearningSearch::AscentTables& a, const int* lower,
              const int* upper, bool later) {
  const int end = p.end_activity;
  int* start = a.start;
  int shift = p.deadline + 1;
  for (int u = 1; u < end; ++u) {
    if (!a.inside[u]) continue;
    if (later) {
      shift = std::min(shift, upper[u] - start[u]);
      for (int y = 0; y < p.succ_count[u]; ++y) {
        const int j = p.succ[u][y];
        if (real(p, j) && !a.inside[j])
          shift = std::min(shift, start[j] - start[u] - p.duration[u]);
      }
    } else {
      shift = std::min(shift, start[u] - lower[u]);
      for (int y = 0; y < p.pred_count[u]; ++y) {
        const int i = p.pred[u][y];
        if (real(p, i) && !a.inside[i])
          shift = std::min(shift, start[u] - start[i] - p.duration[i]);
      }
    }
  }
  for (int u = 1; u < end; ++u)
    if (a.inside[u]) start[u] += later ? shift : -shift;
}

}  // namespace

double ascent_network_bound(LearningSearch& w, const int* lower, const int* upper, int slot) {
  const WindowProblem& p = w.problem;
  LearningSearch::AscentTables& a = w.ascent[slot];
  int* start = a.start;
  const int end = p.end_activity;
  double magnitude = 0.0;
  for (int i = 1; i < end; ++i) {
    if (lower[i] > upper[i]) return network_bound(w, lower, upper);
    magnitude += std::fabs(static_cast<double>(p.cash_flow[i]));
  }
  // The windows must hold their arcs at both ends, as propagation leaves them.
  for (int i = 1; i < end; ++i)
    for (int y = 0; y < p.succ_count[i]; ++y) {
      const int j = p.succ[i][y];
      if (real(p, j) &&
          (lower[j] < lower[i] + p.duration[i] || upper[i] > upper[j] - p.duration[i]))
        return network_bound(w, lower, upper);
    }
  // The last call's schedule brought into these windows: pushed up to the
  // earliest starts and along the arcs, then down to the latest starts and
  // back along the arcs (which keeps the earliest starts, the windows
  // holding their arcs).
  bool moved = !a.ready;
  if (!a.ready)
    for (int i = 1; i < end; ++i) start[i] = lower[i];
  a.ready = true;
  for (int x = 0; x < p.activity_count; ++x) {
    const int i = p.order[x];
    if (!real(p, i)) continue;
    int s = std::max(start[i], lower[i]);
    for (int y = 0; y < p.pred_count[i]; ++y) {
      const int h = p.pred[i][y];
      if (real(p, h)) s = std::max(s, start[h] + p.duration[h]);
    }
    moved = moved || s != start[i];
    start[i] = s;
  }
  for (int x = p.activity_count - 1; x >= 0; --x) {
    const int i = p.order[x];
    if (!real(p, i)) continue;
    int s = std::min(start[i], upper[i]);
    for (int y = 0; y < p.succ_count[i]; ++y) {
      const int j = p.succ[i][y];
      if (real(p, j)) s = std::min(s, start[j] - p.duration[i]);
    }
    moved = moved || s != start[i];
    start[i] = s;
  }
  // Where the schedule stays and every window end it sat on still holds
  // it, the windows only added constraints: no move gains more than before.
  bool same = !moved;
  for (int i = 1; i < end && same; ++i)
    same = (!a.at_lower[i] || start[i] == lower[i]) && (!a.at_upper[i] || start[i] == upper[i]);
  if (same) {
    for (int i = 1; i < end; ++i) w.network_start[i] = start[i];
    w.network_start[0] = 0;
    w.work += end;
    return a.bound;
  }
  // Gains within rounding of the terms are no reason to move.
  const double enough = 1e-12 * magnitude;
  const int step_limit = 4 * end + 64;
  double open = 0.0;  // the two closures' weights where the ascent stopped
  int steps = 0;
  for (;; ++steps) {
    const double later = best_move(p, a, w.ascent_flow, lower, upper, true);
    if (later > enough && steps < step_limit) {
      move_set(p, a, lower, upper, true);
      continue;
    }
    const double earlier = best_move(p, a, w.ascent_flow, lower, upper, false);
    if (earlier > enough && steps < step_limit) {
      move_set(p, a, lower, upper, false);
      continue;
    }
    open = later + earlier;
    break;
  }
  w.ascent_steps += steps;
  a.priced_current = false;
  // The sums of the terms round at about 1e-16 of their sizes.
  double bound = window_schedule_value(p, start) + 1e-14 * magnitude;
  bound += open / p.discount[static_cast<std::size_t>(p.deadline)];
  for (int i = 1; i < end; ++i) {
    w.network_start[i] = start[i];
    a.at_lower[i] = start[i] == lower[i] ? 1 : 0;
    a.at_upper[i] = start[i] == upper[i] ? 1 : 0;
  }
  w.network_start[0] = 0;
  a.bound = bound;
  w.work += static_cast<std::int64_t>(2 * steps + 2) * end;
  return bound;
}

// The prices come from the ascent's last schedule s: in x = e^(-rate * s)
// the network is a linear program, and its optimal duals are a flow over
// the constraints tight at s. Each activity's term must reach time 0 (a
// node holding the window ends) over the tight arcs, entering through the
// earliest start it sits on or leaving through the latest; the flow over
// an arc i -> j, divided by j's x, is that arc's price. Charging the
// prices instead of keeping the arcs, activity i's value at start t is
// (c_i e^(-rate * d_i) + its arcs' prices out * e^(-rate * d_i) - in) * x_i(t),
// at least the value of every schedule that keeps the arcs, whatever the
// prices (all of them at least 0): so a flow left short by rounding still
// bounds, only less tightly.
const double* ascent_prices(LearningSearch& w, int slot) {
  const WindowProblem& p = w.problem;
  LearningSearch::AscentTables& a = w.ascent[slot];
  if (a.priced_current) return a.price;
  const int end = p.end_activity;
  const int* start = a.start;
  LearningSearch::FlowTables& f = w.ascent_flow;
  constexpr int ORIGIN = 2;  // time 0; activity i is node i + 2
  const int nodes = end + 2;
  prepare_flow(f, nodes);
  FlowBuilder build{f};
  double value = 0.0;
  for (int i = 1; i < end; ++i) {
    const double term = window_term(p, i, start[i]);
    value += term;
    build.weigh(i + 2, -term);
    if (a.at_lower[i]) build.add(ORIGIN, i + 2, FLOW_UNBOUNDED);
    if (a.at_upper[i]) build.add(i + 2, ORIGIN, FLOW_UNBOUNDED);
    for (int y = 0; y < p.succ_count[i]; ++y) {
      const int j = p.succ[i][y];
      if (real(p, j) && start[j] == start[i] + p.duration[i])
        build.add(i + 2, j + 2, FLOW_UNBOUNDED);
    }
  }
  build.weigh(ORIGIN, value);
  maximum_flow(f, nodes, 1e-13 * (build.largest > 0.0 ? build.largest : 1.0));
  double* price = a.price;
  double scale = 0.0;  // what the coefficients' sums may round by
  for (int i = 1; i < end; ++i) {
    const double carried = p.discount[static_cast<std::size_t>(p.duration[i])];
    price[i] = p.cash_flow[i] * carried;
    scale += std::fabs(price[i]);
  }
  for (int i = 1; i < end; ++i) {
    const double carried = p.discount[static_cast<std::size_t>(p.duration[i])];
    for (int e = f.first[static_cast<std::size_t>(i + 2)]; e >= 0;
         e = f.next[static_cast<std::size_t>(e)]) {
      const auto x = static_cast<std::size_t>(e);
      const int h = f.head[x];
      if ((e & 1) != 0 || h <= ORIGIN) continue;  // not an arc
      const double flow = std::max(0.0, f.cap[x ^ 1]);
      if (flow == 0.0) continue;
      const int j = h - 2;
      const double arc = flow / p.discount[static_cast<std::size_t>(start[j])];
      price[i] += arc * carried;
      price[j] -= arc;
      scale += arc * carried + arc;
    }
  }
  a.price_rounding = 1e-13 * scale;
  a.priced = a.priced_current = true;
  w.work += 2 * end;
  return price;
}

double priced_window_bound(const LearningSearch& w, const double* price, double rounding,
                           const int* lower, const int* upper) {
  const WindowProblem& p = w.problem;
  double bound = rounding;
  for (int i = 1; i < p.end_activity; ++i)
    bound += price[i] * p.discount[static_cast<std::size_t>(price[i] > 0.0 ? lower[i] : upper[i])];
  return bound;
}

}  // namespace rcpspdc
