// The root network's arc prices. The maximum flow that bounds the root by
// its network carries flow over the implications between activities
// ("i starts at t or later" implies "j starts at t + d_i or later"); that
// flow is an optimal price for each implication. Giving up the implications
// and charging their prices instead leaves a bound that splits by activity:
// each one's term at a start, plus the prices flowing into the starts up
// to it, less those flowing out. Any prices of at least zero keep it an
// upper bound on every schedule that keeps the arcs, and at the root it
// equals the network bound; in a node each activity takes the best start
// its window leaves, which costs a scan per window that moved instead of a
// flow per node, and still sees the precedence where windows are wide.
// The same prices remove the starts whose value alone would sink the bound
// below the incumbent.
#include <algorithm>
#include <limits>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

constexpr int SINK = 1;  // the flow graph's sink node, as the network bound numbers it
constexpr double IMPLICATION = 1e299;  // the flow graph's implications have no capacity limit

// The best value of i over starts lo .. hi, from its table.
double best_in(const LearningSearch& w, int i, int lo, int hi) {
  const double* value = w.arc_value.data() + w.arc_first[i] + (lo - w.arc_lower[i]);
  double best = value[0];
  for (int x = 1; x <= hi - lo; ++x) best = std::max(best, value[x]);
  return best;
}

}  // namespace

void price_arcs(LearningSearch& w, const double* prices) {
  const WindowProblem& p = w.problem;
  const LearningSearch::FlowTables& f = w.flow;
  w.arcs_priced = false;
  // Per start: the prices flowing in less those flowing out, at the flow
  // graph's node of that start (the first start of each window has none).
  std::size_t rows = 0;
  for (int i = 1; i < p.end_activity; ++i) {
    w.arc_first[i] = static_cast<std::int32_t>(rows);
    w.arc_lower[i] = w.lower[i];
    w.arc_upper[i] = w.upper[i];
    rows += static_cast<std::size_t>(w.upper[i] - w.lower[i] + 1);
  }
  w.arc_value.assign(rows, 0.0);
  for (int i = 1; i < p.end_activity; ++i) {
    for (int t = w.lower[i] + 1; t <= w.upper[i]; ++t) {
      const int v = f.base[i] + (t - w.lower[i] - 1);
      for (int e = f.first[static_cast<std::size_t>(v)]; e >= 0;
           e = f.next[static_cast<std::size_t>(e)]) {
        if ((e & 1) != 0) continue;  // a residual edge
        const auto x = static_cast<std::size_t>(e);
        const int h = f.head[x];
        const double capacity = f.cap[x] + f.cap[x ^ 1];
        if (capacity < IMPLICATION) continue;            // a weight, not an implication
        if (h == SINK) return;                           // a start the windows forbid: no prices
        if (t - 1 > w.lower[i] && h == v - 1) continue;  // i's own chain stays
        const double price = std::max(0.0, f.cap[x ^ 1]);
        // The head's activity (windows without starts past their first have
        // no nodes and share their base with the next) and start.
        const auto j = static_cast<int>(std::upper_bound(f.base + 1, f.base + p.end_activity, h) -
                                        f.base - 1);
        const int u = w.lower[j] + (h - f.base[j]) + 1;
        w.arc_value[static_cast<std::size_t>(w.arc_first[i] + (t - w.lower[i]))] -= price;
        w.arc_value[static_cast<std::size_t>(w.arc_first[j] + (u - w.lower[j]))] += price;
      }
    }
  }
  // With resource prices each start also pays for the slots it occupies
  // (the network bound left their running sums), and the bound gets the
  // priced capacities back.
  w.arc_constant = 0.0;
  const double* running = prices != nullptr ? w.price_sums.data() : nullptr;
  if (prices != nullptr)
    for (std::size_t t = 0; t < static_cast<std::size_t>(p.deadline); ++t)
      for (int k = 0; k < p.resource_count; ++k)
        w.arc_constant += prices[t * MAX_RESOURCES + static_cast<std::size_t>(k)] * p.capacity[k];
  // Running sums of the arc prices, and each start's term.
  for (int i = 1; i < p.end_activity; ++i) {
    double* value = w.arc_value.data() + w.arc_first[i];
    double sum = 0.0;
    for (int s = w.lower[i]; s <= w.upper[i]; ++s) {
      sum += value[s - w.lower[i]];
      value[s - w.lower[i]] = priced_term(p, running, i, s) + sum;
    }
    w.arc_best_lower[i] = -1;
    w.arc_best_upper[i] = -1;
  }
  w.arcs_priced = true;
}

double arc_priced_bound(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  double bound = w.arc_constant;
  for (int i = 1; i < p.end_activity; ++i) {
    const int lo = w.lower[i];
    const int hi = w.upper[i];
    if (lo < w.arc_lower[i] || hi > w.arc_upper[i])
      return std::numeric_limits<double>::infinity();  // outside the priced windows
    if (lo != w.arc_best_lower[i] || hi != w.arc_best_upper[i]) {
      w.arc_best[i] = best_in(w, i, lo, hi);
      w.arc_best_lower[i] = lo;
      w.arc_best_upper[i] = hi;
      w.work += hi - lo + 1;
    }
    bound += w.arc_best[i];
  }
  w.work += p.activity_count;
  return bound;
}

void arc_price_literals(LearningSearch& w, double slack, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  for (int i = 1; i < p.end_activity; ++i) {
    int lo = w.lower[i];
    int hi = w.upper[i];
    double best = w.arc_best[i];
    if (lo != w.root_lower[i]) {
      const double relaxed = best_in(w, i, w.root_lower[i], hi);
      if (relaxed - best <= slack) {
        slack -= relaxed - best;
        best = relaxed;
        lo = w.root_lower[i];
      } else {
        out.push_back(lower_lit(i, lo));
      }
    }
    if (hi != w.root_upper[i]) {
      const double relaxed = best_in(w, i, lo, w.root_upper[i]);
      if (relaxed - best <= slack) {
        slack -= relaxed - best;
      } else {
        out.push_back(upper_lit(i, hi));
      }
    }
  }
}

bool narrow_by_arc_prices(LearningSearch& w, double lead, bool& changed) {
  const WindowProblem& p = w.problem;
  // An infinite lead: some window reaches past the priced ones, whose
  // tables (and the bests after it) do not cover it.
  if (!(lead < std::numeric_limits<double>::infinity())) return true;
  std::int32_t stored = -1;
  std::int32_t count = 0;
  for (int i = 1; i < p.end_activity; ++i) {
    const int lo = w.lower[i];
    const int hi = w.upper[i];
    if (lo == hi) continue;
    // arc_priced_bound left each activity's best for its window; the best
    // start itself drops nothing, so both scans stop at it.
    const double* value = w.arc_value.data() + w.arc_first[i] - w.arc_lower[i];
    const double best = w.arc_best[i];
    int new_lo = lo;
    while (best - value[new_lo] >= lead) ++new_lo;
    int new_hi = hi;
    while (best - value[new_hi] >= lead) --new_hi;
    w.work += (new_lo - lo) + (hi - new_hi) + 2;
    if (new_lo == lo && new_hi == hi) continue;
    if (stored < 0) {
      // One explanation for every narrowing of this pass; each leaves out
      // its own activity's bounds, which its drop does not depend on.
      stored = static_cast<std::int32_t>(w.explanations.size());
      arc_price_literals(w, 0.0, w.explanations);
      count = static_cast<std::int32_t>(w.explanations.size()) - stored;
    }
    changed = true;
    const Reason reason{ReasonKind::objective, stored, count};
    if (new_lo != lo && !set_lower(w, i, new_lo, reason)) return false;
    if (new_hi != hi && !set_upper(w, i, new_hi, reason)) return false;
  }
  return true;
}

}  // namespace rcpspdc
