// Branching. While no schedule is known the search is after feasibility:
// the activity most involved in recent conflicts (its activity, bumped by
// every conflict analysis and decaying) starts where the deepest descent so
// far had it (phase saving: restarts then return to the largest partial
// schedule found, repaired where the nogoods learnt since forbid it), else as
// early as its window allows.
// Once a schedule is known it is mostly a proof: the window across which the
// cash flow's worth and the node network's bound can move most (the
// activity's price where the last ascent stopped, times the fall of the
// discount across the window), weighted by its conflict activity, is split
// first, so the bound falls fastest (on j90 the bound's part cuts the
// nodes of the proofs by two fifths); the quarter of the window at the end
// its cash flow prefers goes first. Fixing the activity at that end instead
// moves it one period per conflict; a split lets the bound and the nogoods
// rule out the far part of the window at once, and proves the instances of
// j30 to j90 at tight deadlines in fewer nodes.
#include <cmath>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

constexpr double MIN_IMPACT = 1e-9;  // keeps activities whose flow cannot move in the order
// A split takes this share of the window first (on j90 instances left open
// at 10 s, halves need more nodes and eighths prove fewer).
constexpr int WINDOW_SPLIT = 4;

// The worth of i's cash flow at its earliest finish less at its latest; with
// the node network's prices, plus the most i's term in the priced bound can
// move across its window (the prices may be a few nodes old: they only
// order). The prices alone leave the activities the ascent gives no price
// unordered, and the search then finds worse schedules on some rows.
double value_impact(const LearningSearch& w, int i) {
  const WindowProblem& p = w.problem;
  const double magnitude = std::abs(static_cast<double>(p.cash_flow[i]));
  double impact = magnitude * (p.discount[static_cast<std::size_t>(w.lower[i] + p.duration[i])] -
                               p.discount[static_cast<std::size_t>(w.upper[i] + p.duration[i])]);
  const LearningSearch::AscentTables& a = w.ascent[0];
  if (w.settings.use_bound_impact && a.priced)
    impact += std::abs(a.price[i]) * (p.discount[static_cast<std::size_t>(w.lower[i])] -
                                      p.discount[static_cast<std::size_t>(w.upper[i])]);
  return impact;
}

}  // namespace

bool choose_decision(const LearningSearch& w, Lit& decision) {
  const WindowProblem& p = w.problem;
  const bool by_value = w.has_incumbent && w.settings.use_value_impact;
  int best = -1;
  double best_key = 0.0;
  int best_width = 0;
  for (int i = 1; i < p.end_activity; ++i) {
    const int width = w.upper[i] - w.lower[i];
    if (width == 0) continue;
    // Activities count relative to the current increment, so old conflicts
    // weigh less.
    double key = w.activity[i] / w.activity_increment;
    if (by_value) key = (1.0 + key) * (value_impact(w, i) + MIN_IMPACT) / (width + 1);
    // Ties (all activities are 0 before the first conflict): the smaller window.
    if (best < 0 || key > best_key || (key == best_key && width < best_width)) {
      best = i;
      best_key = key;
      best_width = width;
    }
  }
  if (best < 0) return false;
  if (!w.has_incumbent && w.settings.use_phase_saving) {
    const int saved = w.saved_start[best];
    if (saved > w.lower[best] && saved <= w.upper[best]) {
      decision = lower_lit(best, saved);
      return true;
    }
  }
  const bool late = w.has_incumbent && p.cash_flow[best] < 0;
  // The share of the window the first branch keeps; none: the activity is
  // fixed at its end (so are windows narrower than WINDOW_SPLIT periods).
  const int part = w.has_incumbent && w.settings.use_window_split
                       ? (w.upper[best] - w.lower[best]) / WINDOW_SPLIT
                       : 0;
  decision = late ? lower_lit(best, w.upper[best] - part) : upper_lit(best, w.lower[best] + part);
  return true;
}

std::int64_t luby(std::int64_t x) {
  // 1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8, ...
  std::int64_t size = 1;
  int power = 0;
  while (size < x + 1) {
    ++power;
    size = 2 * size + 1;
  }
  while (size - 1 != x) {
    size = (size - 1) >> 1;
    --power;
    x = x % size;
  }
  return std::int64_t{1} << power;
}

}  // namespace rcpspdc
