// The incumbent as a constraint: every schedule still to be found must be
// worth more. The window bound puts each cash flow at the end of its window
// it prefers (positive flows early, negative ones late); it depends on one
// bound per activity, and those bounds explain a failure. A start whose
// own term's drop alone uses up the bound's lead over the incumbent is
// removed, explained by the other activities' bounds. Once the root's
// network is priced, the arc prices bound each node too and remove the
// starts they rule out (arc_prices.cpp); so do the prices where the ascent
// over a node's own network stopped (network_ascent.cpp).
#include <algorithm>
#include <cmath>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

// The bound of activity i that its term depends on: [s >= lower] for a
// positive flow, [s <= upper] for a negative one.
Lit term_literal(const LearningSearch& w, int i) {
  return w.problem.cash_flow[i] >= 0 ? lower_lit(i, w.lower[i]) : upper_lit(i, w.upper[i]);
}

// Appends the literals of every term off its root best: the rest hold anyway.
void term_literals(const LearningSearch& w, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  for (int i = 1; i < p.end_activity; ++i) {
    const int c = p.cash_flow[i];
    if (c == 0) continue;
    if (c > 0 ? w.lower[i] == w.root_lower[i] : w.upper[i] == w.root_upper[i]) continue;
    out.push_back(term_literal(w, i));
  }
}

// The same for the pair bound: a matched activity's loss depends on both
// ends of its window (and its partner's). With `slack` (how far the bound
// is below the incumbent, less the margin), bounds are given back to their
// root values, one at a time, as long as the bound stays below: a weaker
// nogood prunes more of the search. The matching stays as it is; the pairs
// it holds are disjoint whatever the windows, so the bound stays valid.
void pair_bound_literals(LearningSearch& w, double slack, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  int* lo = w.relaxed_lower;
  int* hi = w.relaxed_upper;
  for (int i = 0; i < p.activity_count; ++i) {
    lo[i] = w.lower[i];
    hi[i] = w.upper[i];
  }
  for (int i = 1; i < p.end_activity; ++i) {
    const int j = w.partner[i];
    const int c = p.cash_flow[i];
    if (j == 0) {
      if (c == 0) continue;
      const bool early = c > 0;
      if (early ? lo[i] == w.root_lower[i] : hi[i] == w.root_upper[i]) continue;
      const int root = early ? w.root_lower[i] : w.root_upper[i];
      const double gain = window_term(p, i, root) - window_term(p, i, early ? lo[i] : hi[i]);
      if (gain <= slack) {
        slack -= gain;
        continue;
      }
      out.push_back(early ? lower_lit(i, lo[i]) : upper_lit(i, hi[i]));
      continue;
    }
    if (j < i) continue;  // the pair was taken with its first activity
    double value = pair_value(p, lo, hi, i, j, w.either_order[i]);
    const int members[2] = {i, j};
    for (const int a : members)
      for (int side = 0; side < 2; ++side) {
        int* bound = side == 0 ? &lo[a] : &hi[a];
        const int root = side == 0 ? w.root_lower[a] : w.root_upper[a];
        const int kept = *bound;
        if (kept == root) continue;
        *bound = root;
        const double relaxed = pair_value(p, lo, hi, i, j, w.either_order[i]);
        if (relaxed - value <= slack) {
          slack -= relaxed - value;
          value = relaxed;
          continue;
        }
        *bound = kept;
        out.push_back(side == 0 ? lower_lit(a, kept) : upper_lit(a, kept));
      }
  }
}

// Every bound off its root value: what any bound of the node depends on at most.
void window_literals(const LearningSearch& w, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  for (int i = 1; i < p.end_activity; ++i) {
    if (w.lower[i] != w.root_lower[i]) out.push_back(lower_lit(i, w.lower[i]));
    if (w.upper[i] != w.root_upper[i]) out.push_back(upper_lit(i, w.upper[i]));
  }
}

// The network bound of a node: by steepest ascent where no resource prices
// enter and it is asked for, else by the flow.
double node_network_bound(LearningSearch& w, const int* lower, const int* upper,
                          const double* prices, int slot = 0) {
  if (prices == nullptr && w.settings.use_network_ascent)
    return ascent_network_bound(w, lower, upper, slot);
  return network_bound(w, lower, upper, prices);
}

// Why the network bound failed: the schedule it found is optimal for the
// linear program of the network in continuous time (the same maximum), and
// a bound that schedule does not meet can go without changing the maximum;
// so the bounds it meets explain the failure. Rounding aside: the relaxed
// windows are bounded again, and all bounds explain it where that fails.
void network_literals(LearningSearch& w, double margin, const double* prices,
                      std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  int* lo = w.relaxed_lower;
  int* hi = w.relaxed_upper;
  for (int i = 0; i < p.activity_count; ++i) {
    const int s = w.network_start[i];
    const bool real = i > 0 && i < p.end_activity;
    lo[i] = real && s == w.lower[i] ? w.lower[i] : w.root_lower[i];
    hi[i] = real && s == w.upper[i] ? w.upper[i] : w.root_upper[i];
  }
  // The arcs as propagation would narrow the relaxed windows.
  for (int x = 0; x < p.activity_count; ++x) {
    const int i = p.order[x];
    for (int e = 0; e < p.succ_count[i]; ++e)
      lo[p.succ[i][e]] = std::max(lo[p.succ[i][e]], lo[i] + p.duration[i]);
  }
  for (int x = p.activity_count - 1; x >= 0; --x) {
    const int i = p.order[x];
    for (int e = 0; e < p.succ_count[i]; ++e)
      hi[i] = std::min(hi[i], hi[p.succ[i][e]] - p.duration[i]);
  }
  const std::size_t before = out.size();
  if (node_network_bound(w, lo, hi, prices, 1) - w.best_npv + margin <= 0.0) {
    for (int i = 1; i < p.end_activity; ++i) {
      if (lo[i] == w.lower[i] && w.lower[i] != w.root_lower[i])
        out.push_back(lower_lit(i, w.lower[i]));
      if (hi[i] == w.upper[i] && w.upper[i] != w.root_upper[i])
        out.push_back(upper_lit(i, w.upper[i]));
    }
    return;
  }
  out.resize(before);
  window_literals(w, out);
}

// The same for the bound by the ascent's prices: each activity's bound at
// the end its coefficient prefers, given back to its root value while the
// bound stays `slack` short at most.
void network_price_literals(LearningSearch& w, const double* price, double slack,
                            std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  for (int i = 1; i < p.end_activity; ++i) {
    const double v = price[i];
    if (v == 0.0) continue;
    const bool early = v > 0.0;
    const int kept = early ? w.lower[i] : w.upper[i];
    const int root = early ? w.root_lower[i] : w.root_upper[i];
    if (kept == root) continue;
    const double gain = v * (p.discount[static_cast<std::size_t>(root)] -
                             p.discount[static_cast<std::size_t>(kept)]);
    if (gain <= slack) {
      slack -= gain;
      continue;
    }
    out.push_back(early ? lower_lit(i, kept) : upper_lit(i, kept));
  }
}

// The prices for the node whose network bound is `network`: those of the
// last node whose network bound failed where the prices it kept did not
// (or of the first node). Prices bound any windows, and a flow for fresh
// ones in every node costs more than it narrows: on j90 at 10 s, fresh
// prices wherever the kept ones bound more than the node's lead above its
// ascent proved one row fewer in the same time, and fresh ones in every
// node were slower still. Returns their lead over the incumbent; where they
// fail, false with the conflict set.
bool network_prices_hold(LearningSearch& w, double network, double margin, double& lead) {
  const LearningSearch::AscentTables& a = w.ascent[0];
  if (!a.priced) ascent_prices(w, 0);
  lead = priced_window_bound(w, a.price, a.price_rounding, w.lower, w.upper) - w.best_npv + margin;
  if (lead > 0.0 && network - w.best_npv + margin <= 0.0 && !a.priced_current) {
    ascent_prices(w, 0);
    lead =
        priced_window_bound(w, a.price, a.price_rounding, w.lower, w.upper) - w.best_npv + margin;
  }
  if (lead <= 0.0) {
    w.conflict.clear();
    network_price_literals(w, a.price, w.settings.use_lifting ? -lead : 0.0, w.conflict);
    return false;
  }
  return true;
}

// After the network bound passed: the starts whose drop alone uses up the
// prices' lead go (`narrowed`); false on a conflict.
bool narrow_by_network_prices(LearningSearch& w, double network, double margin, bool& narrowed) {
  const WindowProblem& p = w.problem;
  double lead = 0.0;
  if (!network_prices_hold(w, network, margin, lead)) return false;
  const double* price = w.ascent[0].price;
  std::int32_t stored = -1;
  std::int32_t count = 0;
  for (int i = 1; i < p.end_activity; ++i) {
    const double v = price[i];
    if (v == 0.0 || w.lower[i] == w.upper[i]) continue;
    const int kept = kept_end(v, p.discount.data(), w.lower[i], w.upper[i], lead);
    if (kept == (v > 0.0 ? w.upper[i] : w.lower[i])) continue;
    if (stored < 0) {
      stored = static_cast<std::int32_t>(w.explanations.size());
      network_price_literals(w, price, 0.0, w.explanations);
      count = static_cast<std::int32_t>(w.explanations.size()) - stored;
    }
    narrowed = true;
    const Reason reason{ReasonKind::objective, stored, count};
    if (v > 0.0 ? !set_upper(w, i, kept, reason) : !set_lower(w, i, kept, reason)) return false;
  }
  w.work += p.activity_count;
  return true;
}

}  // namespace

bool propagate_objective(LearningSearch& w, bool& changed) {
  if (!w.has_incumbent) return true;
  const WindowProblem& p = w.problem;
  const double bound = learning_window_bound(w);
  w.work += p.activity_count;
  if (bound <= w.best_npv) {
    w.conflict.clear();
    term_literals(w, w.conflict);
    return false;
  }
  // The pair bound is summed in another order than the checker's, so it
  // prunes only with a margin far above the rounding of the sums, and so do
  // the narrowings below: no schedule worth more is ever removed.
  const double margin = 1e-9 * (1.0 + std::fabs(w.best_npv));
  const bool pairs = w.settings.use_pair_bound;
  double lead = bound - w.best_npv + margin;
  // The arc prices first: they cost a scan of the windows that moved, and
  // where they prune the pair bound need not be summed.
  if (w.arcs_priced && w.settings.use_arc_prices) {
    const double arc_lead = arc_priced_bound(w) - w.best_npv + margin;
    if (arc_lead <= 0.0) {
      w.conflict.clear();
      arc_price_literals(w, w.settings.use_lifting ? -arc_lead : 0.0, w.conflict);
      return false;
    }
    // Starts the prices rule out go first; the pair bound is summed once
    // the queue they wake is quiet again.
    if (w.settings.use_arc_narrowing) {
      bool narrowed = false;
      if (!narrow_by_arc_prices(w, arc_lead, narrowed)) return false;
      if (narrowed) {
        changed = true;
        return true;
      }
    }
  }
  if (pairs) {
    lead = learning_pair_bound(w) - w.best_npv + margin;
    if (lead <= 0.0) {
      w.conflict.clear();
      pair_bound_literals(w, w.settings.use_lifting ? -lead : 0.0, w.conflict);
      return false;
    }
  }
  if (w.settings.use_network_bound || w.priced_nodes) {
    // With resource prices from the root, the network bound sees resources too.
    const double* prices = w.priced_nodes ? w.prices.data() : nullptr;
    ++w.network_calls;
    const bool node_prices =
        prices == nullptr && w.settings.use_network_ascent && w.settings.use_network_narrowing;
    const double network = node_network_bound(w, w.lower, w.upper, prices);
    if (network - w.best_npv + margin <= 0.0) {
      ++w.network_prunes;
      double unused = 0.0;
      if (node_prices && !network_prices_hold(w, network, margin, unused)) return false;
      w.conflict.clear();
      network_literals(w, margin, prices, w.conflict);
      return false;
    }
    if (node_prices) {
      bool narrowed = false;
      if (!narrow_by_network_prices(w, network, margin, narrowed)) return false;
      if (narrowed) {
        changed = true;
        return true;
      }
    }
  }
  if (!w.settings.use_objective_narrowing) return true;
  std::int32_t stored = -1;
  std::int32_t count = 0;
  for (int i = 1; i < p.end_activity; ++i) {
    const int c = p.cash_flow[i];
    if (c == 0 || w.lower[i] == w.upper[i]) continue;
    const double* discount = p.discount.data() + p.duration[i];
    // Dropping i's pair gives its loss back to the lead.
    const double lead_i = lead + (pairs ? w.credit[i] : 0.0);
    const int kept = kept_end(c, discount, w.lower[i], w.upper[i], lead_i);
    if (kept == (c > 0 ? w.upper[i] : w.lower[i])) continue;
    if (stored < 0) {
      // One explanation serves every narrowing of this pass: each leaves out
      // its own activity's literal.
      stored = static_cast<std::int32_t>(w.explanations.size());
      if (pairs)
        pair_bound_literals(w, 0.0, w.explanations);
      else
        term_literals(w, w.explanations);
      count = static_cast<std::int32_t>(w.explanations.size()) - stored;
    }
    changed = true;
    const Reason reason{ReasonKind::objective, stored, count};
    if (c > 0 ? !set_upper(w, i, kept, reason) : !set_lower(w, i, kept, reason)) return false;
  }
  return true;
}

}  // namespace rcpspdc
