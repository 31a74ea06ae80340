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

#include "windows/window_problem.hpp"

namespace rcpspdc {

namespace {

constexpr double NO_VALUE = -std::numeric_limits<double>::infinity();

// The largest value of the terms of a and b with b starting no earlier than
// a finishes, inside their windows; NO_VALUE when the order fits no starts.
double ordered_pair(const WindowProblem& p, const int* early, const int* late, int a, int b) {
  const int ea = early[a];
  const int la = std::min(late[a], late[b] - p.duration[a]);
  if (ea > la) return NO_VALUE;
  const int eb = early[b];
  const int lb = late[b];
  const int push = std::clamp(eb - p.duration[a], ea, la);  // later starts of a push b
  const int candidates[3] = {ea, la, push};
  double best = NO_VALUE;
  for (const int sa : candidates) {
    const int sb = p.cash_flow[b] >= 0 ? std::max(eb, sa + p.duration[a]) : lb;
    const double value = window_term(p, a, sa) + window_term(p, b, sb);
    if (value > best) best = value;
  }
  return best;
}

}  // namespace

double pair_value(const WindowProblem& p, const int* early, const int* late, int a, int b,
                  bool either_order) {
  const double value = ordered_pair(p, early, late, a, b);
  return either_order ? std::max(value, ordered_pair(p, early, late, b, a)) : value;
}

double pair_bound(const WindowProblem& p, const int* early, const int* late, PairLoss* losses,
                  double* credit, int* partner, bool* either_order) {
  int best_start[ACTIVITY_ROWS];
  double separate[ACTIVITY_ROWS];
  double bound = 0.0;
  for (int i = 0; i < p.activity_count; ++i) {
    best_start[i] = p.cash_flow[i] >= 0 ? early[i] : late[i];
    separate[i] = (i == 0 || i == p.end_activity) ? 0.0 : window_term(p, i, best_start[i]);
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
    const double value = pair_value(p, early, late, a, b, pair.either_order);
    const double loss = separate[a] + separate[b] - value;  // infinite when no order fits
    if (loss > 0.0) losses[count++] = {loss, a, b, pair.either_order};
  }
  std::sort(losses, losses + count,
            [](const PairLoss& x, const PairLoss& y) { return x.loss > y.loss; });
  bool matched[ACTIVITY_ROWS] = {};
  for (int i = 0; i < p.activity_count && partner != nullptr; ++i) partner[i] = 0;
  for (std::size_t x = 0; x < count; ++x) {
    const PairLoss& l = losses[x];
    if (matched[l.first] || matched[l.second]) continue;
    matched[l.first] = matched[l.second] = true;
    bound -= l.loss;
    credit[l.first] = credit[l.second] = l.loss;
    if (partner != nullptr) {
      partner[l.first] = l.second;
      partner[l.second] = l.first;
    }
    if (either_order != nullptr) either_order[l.first] = either_order[l.second] = l.either_order;
  }
  return bound;
}

}  // namespace rcpspdc
