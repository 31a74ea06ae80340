// The pair bound: the window bound takes every cash flow at the best end of
// its window on its own, but two activities that must run in order (a
// precedence, or a pair that can never overlap, in one order or the other)
// often cannot both sit at their best ends. For such a pair the largest value
// of its two terms together, under the order, is exact and cheap: with the
// first activity's start fixed the second's best start is known, and the sum
// is monotone between the points where the two start to push each other.
// Over pairs that share no activity the losses against the separate terms
// add up, so the window bound minus the losses of a matching of pairs still
// bounds every schedule of the windows.
#include <algorithm>
#include <limits>

#include "window_search/window_state.hpp"

namespace rcpspdc {

namespace {

constexpr double NO_VALUE = -std::numeric_limits<double>::infinity();

double term(const WindowProblem& p, int i, int start) {
  return p.cash_flow[i] * p.discount[static_cast<std::size_t>(start + p.duration[i])];
}

// The largest value of the terms of a and b with b starting no earlier than
// a finishes, inside their windows; NO_VALUE when the order fits no starts.
double ordered_pair(const WindowProblem& p, const Windows& win, int a, int b) {
  const int ea = win.early[a];
  const int la = std::min(win.late[a], win.late[b] - p.duration[a]);
  if (ea > la) return NO_VALUE;
  const int eb = win.early[b];
  const int lb = win.late[b];
  const int push = std::clamp(eb - p.duration[a], ea, la);  // later starts of a push b
  const int candidates[3] = {ea, la, push};
  double best = NO_VALUE;
  for (const int sa : candidates) {
    const int sb = p.cash_flow[b] >= 0 ? std::max(eb, sa + p.duration[a]) : lb;
    const double value = term(p, a, sa) + term(p, b, sb);
    if (value > best) best = value;
  }
  return best;
}

}  // namespace

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

double pair_bound(WindowSearch& w, const Windows& win, double* credit) {
  const WindowProblem& p = w.problem;
  int best_start[ACTIVITY_ROWS];
  double separate[ACTIVITY_ROWS];
  double bound = 0.0;
  for (int i = 0; i < p.activity_count; ++i) {
    best_start[i] = p.cash_flow[i] >= 0 ? win.early[i] : win.late[i];
    separate[i] = (i == 0 || i == p.end_activity) ? 0.0 : term(p, i, best_start[i]);
    bound += separate[i];
    credit[i] = 0.0;
  }
  // Losses of the pairs whose best starts clash.
  std::size_t count = 0;
  for (const ActivityPair& pair : p.pairs) {
    const int a = pair.first;
    const int b = pair.second;
    const bool b_after = best_start[a] + p.duration[a] <= best_start[b];
    const bool a_after = best_start[b] + p.duration[b] <= best_start[a];
    if (b_after || (pair.either_order && a_after)) continue;
    double value = ordered_pair(p, win, a, b);
    if (pair.either_order) value = std::max(value, ordered_pair(p, win, b, a));
    const double loss = separate[a] + separate[b] - value;  // infinite when no order fits
    if (loss > 0.0) w.pair_losses[count++] = {loss, a, b};
  }
  std::sort(w.pair_losses.begin(), w.pair_losses.begin() + static_cast<std::ptrdiff_t>(count),
            [](const PairLoss& x, const PairLoss& y) { return x.loss > y.loss; });
  bool matched[ACTIVITY_ROWS] = {};
  for (std::size_t x = 0; x < count; ++x) {
    const PairLoss& l = w.pair_losses[x];
    if (matched[l.first] || matched[l.second]) continue;
    matched[l.first] = matched[l.second] = true;
    bound -= l.loss;
    credit[l.first] = credit[l.second] = l.loss;
  }
  return bound;
}

}  // namespace rcpspdc
