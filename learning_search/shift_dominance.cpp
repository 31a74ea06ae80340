// Shifts that pay: an activity with a positive cash flow that could start a
// period earlier, its predecessors done by then and the period before its
// start short of no resource whatever the others do, is worth strictly more
// there, and so is the whole schedule (the same for a negative flow and a
// period later). No optimal schedule has it where it is, so a node that
// fixes it there fails. The shifted schedule itself may be one the nogoods
// or the incumbent rule out: then it is no better than the incumbent, or
// shifts again to a better one; the optimum, worth more than every schedule
// it dominates, is never removed.
//
// Only fixed activities are looked at: moving the end of a window that a
// shift would leave costs a scan of the resources at every node, and on
// j90 it proved the rows in more time than the search without it.
//
// The explanation: the start, the predecessors' latest starts (successors'
// earliest), and, per resource, the bounds that keep others off the period,
// only as many as the room needs.
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

// Whether the others leave room for i in `slot` whatever they start at,
// appending the bounds that keep activities off it to `out` (no more than
// the room needs).
bool room_in_slot(const LearningSearch& w, int i, int slot, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  for (int k = 0; k < p.resource_count; ++k) {
    const int need = p.demand[i][k];
    if (need == 0) continue;
    const int* users = p.users[k];
    // The load of every activity that may cover the slot.
    int load = need;
    for (int x = 0; x < p.user_count[k]; ++x) {
      const int j = users[x];
      if (j != i && w.lower[j] <= slot && w.upper[j] + p.duration[j] > slot)
        load += p.demand[j][k];
    }
    if (load > p.capacity[k]) return false;
    // Those kept off it count only where giving their bounds back would
    // overload the slot.
    for (int x = 0; x < p.user_count[k]; ++x) {
      const int j = users[x];
      if (j == i || (w.lower[j] <= slot && w.upper[j] + p.duration[j] > slot)) continue;
      if (load + p.demand[j][k] <= p.capacity[k]) {
        load += p.demand[j][k];
        continue;
      }
      out.push_back(w.lower[j] > slot ? lower_lit(j, slot + 1)
                                      : upper_lit(j, slot - p.duration[j]));
    }
  }
  return true;
}

// A positive flow starting at `t`: would t - 1 be better and free?
bool earlier_pays(const LearningSearch& w, int i, int t, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  if (t <= 0 || window_term(p, i, t - 1) <= window_term(p, i, t)) return false;
  for (int x = 0; x < p.pred_count[i]; ++x) {
    const int h = p.pred[i][x];
    if (h == 0) continue;
    if (w.upper[h] + p.duration[h] > t - 1) return false;
    out.push_back(upper_lit(h, t - 1 - p.duration[h]));
  }
  return p.duration[i] == 0 || room_in_slot(w, i, t - 1, out);
}

// A negative flow starting at `t`: would t + 1 be better and free?
bool later_pays(const LearningSearch& w, int i, int t, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  const int finish = t + p.duration[i];
  if (finish + 1 > p.deadline || window_term(p, i, t + 1) <= window_term(p, i, t)) return false;
  for (int x = 0; x < p.succ_count[i]; ++x) {
    const int q = p.succ[i][x];
    if (q == p.end_activity) continue;
    if (w.lower[q] < finish + 1) return false;
    out.push_back(lower_lit(q, finish + 1));
  }
  return p.duration[i] == 0 || room_in_slot(w, i, finish, out);
}

}  // namespace

bool check_shift_dominance(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  for (int i = 1; i < p.end_activity; ++i) {
    const int c = p.cash_flow[i];
    const int t = w.lower[i];
    if (c == 0 || t != w.upper[i]) continue;
    w.conflict.clear();
    w.conflict.push_back(lower_lit(i, t));
    w.conflict.push_back(upper_lit(i, t));
    w.work += p.activity_count;
    if (c > 0 ? earlier_pays(w, i, t, w.conflict) : later_pays(w, i, t, w.conflict)) return false;
  }
  return true;
}

}  // namespace rcpspdc
