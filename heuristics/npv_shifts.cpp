#include "heuristics/npv_shifts.hpp"

#include <algorithm>
#include <cmath>

namespace rcpspdc {

void init_shift_scratch(const InstanceData& instance, ShiftScratch& scratch) {
  const auto n = static_cast<std::size_t>(instance.activity_count);
  scratch.cash_flow.assign(n, 0.0);
  for (std::size_t i = 0; i < n && i < instance.cash_flow.size(); ++i)
    scratch.cash_flow[i] = instance.cash_flow[i];
  scratch.chain.clear();
  scratch.chain.reserve(n);
  scratch.in_chain.assign(n, 0);
}

namespace {

// Gains below this are rounding noise; taking them could undo one another.
constexpr double MIN_GAIN = 1e-9;

// Collects the chain of `root` moving by +1 (later) or -1 (earlier): the
// activities that must move with it because a successor starts exactly where
// a member finishes (or a predecessor finishes where a member starts).
// False when the chain reaches activity 0, which never moves.
bool collect_chain(const ScheduleNetwork& net, ShiftScratch& s, const std::vector<int>& finish,
                   int root, int direction) {
  s.chain.clear();
  s.chain.push_back(root);
  s.in_chain[root] = 1;
  for (std::size_t at = 0; at < s.chain.size(); ++at) {
    const int m = s.chain[at];
    if (direction > 0) {
      for (int e = net.succ_begin[m]; e < net.succ_begin[m + 1]; ++e) {
        const int x = net.succ[e];
        if (!s.in_chain[x] && finish[x] - net.duration[x] == finish[m]) {
          s.in_chain[x] = 1;
          s.chain.push_back(x);
        }
      }
    } else {
      for (int e = net.pred_begin[m]; e < net.pred_begin[m + 1]; ++e) {
        const int x = net.pred[e];
        if (!s.in_chain[x] && finish[x] == finish[m] - net.duration[m]) {
          s.in_chain[x] = 1;
          s.chain.push_back(x);
        }
      }
    }
  }
  return !s.in_chain[0];
}

void clear_chain(ShiftScratch& s) {
  for (int m : s.chain) s.in_chain[m] = 0;
}

// The farthest move of the chain in `direction` that precedence, time 0 and
// the deadline allow.
int chain_room(const ScheduleNetwork& net, const ShiftScratch& s, const std::vector<int>& finish,
               int direction) {
  int room = net.deadline + 1;
  for (int m : s.chain) {
    if (direction > 0) {
      room = std::min(room, net.deadline - finish[m]);
      for (int e = net.succ_begin[m]; e < net.succ_begin[m + 1]; ++e) {
        const int x = net.succ[e];
        if (!s.in_chain[x]) room = std::min(room, finish[x] - net.duration[x] - finish[m]);
      }
    } else {
      const int start = finish[m] - net.duration[m];
      room = std::min(room, start);
      for (int e = net.pred_begin[m]; e < net.pred_begin[m + 1]; ++e) {
        const int x = net.pred[e];
        if (!s.in_chain[x]) room = std::min(room, start - finish[x]);
      }
    }
  }
  return room;
}

// Places the chain (already taken out of the profile) moved by `shift`; on
// failure the profile is as before the call.
bool place_chain(const ScheduleNetwork& net, LoadProfile& profile, const ShiftScratch& s,
                 const std::vector<int>& finish, int shift) {
  for (std::size_t j = 0; j < s.chain.size(); ++j) {
    const int m = s.chain[j];
    if (first_blocked(net, profile, m, finish[m] + shift) != 0) {
      for (std::size_t back = 0; back < j; ++back)
        occupy(net, profile, s.chain[back], finish[s.chain[back]] + shift, -1);
      return false;
    }
    occupy(net, profile, m, finish[m] + shift, +1);
  }
  return true;
}

// Tries to move root's chain in `direction` as far as it goes. The chain's
// value is A e^(-rate * shift) for its present value A, monotone in the shift,
// so the farthest feasible shift is the best one for this chain.
bool shift_chain(const ScheduleNetwork& net, LoadProfile& profile, ShiftScratch& s,
                 double interest_rate, int root, int direction, std::vector<int>& finish) {
  if (!collect_chain(net, s, finish, root, direction)) {
    clear_chain(s);
    return false;
  }
  double present = 0.0;
  for (int m : s.chain) present += s.cash_flow[m] * std::exp(-interest_rate * finish[m]);
  const double step_gain = present * (std::exp(-interest_rate * direction) - 1.0);
  const int room = step_gain > MIN_GAIN ? chain_room(net, s, finish, direction) : 0;
  bool moved = false;
  if (room > 0) {
    for (int m : s.chain) occupy(net, profile, m, finish[m], -1);
    int step = room;
    while (step > 0) {
      // A member blocked on its own by the rest of the schedule stays
      // blocked for every shift that keeps the blocking period in its window.
      int next = step - 1;
      bool alone = true;
      for (int m : s.chain) {
        const int p = first_blocked(net, profile, m, finish[m] + direction * step);
        if (p == 0) continue;
        alone = false;
        // Later: the window must end before p. Earlier: it must start after p.
        if (direction > 0)
          next = std::min(next, p - finish[m] - 1);
        else
          next = std::min(next, finish[m] - net.duration[m] - p);
        break;
      }
      if (alone && place_chain(net, profile, s, finish, direction * step)) break;
      step = next;
    }
    if (step > 0) {
      for (int m : s.chain) finish[m] += direction * step;
      moved = true;
    } else {
      for (int m : s.chain) occupy(net, profile, m, finish[m], +1);
    }
  }
  clear_chain(s);
  return moved;
}

}  // namespace

int improve_by_shifts(const ScheduleNetwork& net, LoadProfile& profile, ShiftScratch& scratch,
                      double interest_rate, const ShiftLimits& limits, std::vector<int>& finish) {
  const int n = net.activity_count;
  for (int i = 0; i < n; ++i) occupy(net, profile, i, finish[i], +1);
  int sweeps = 0;
  bool changed = true;
  while (changed && sweeps < limits.sweeps &&
         (limits.clock == nullptr || !limits.clock->spent_after(limits.sweep_work))) {
    changed = false;
    ++sweeps;
    for (int i = 1; i < n - 1; ++i) {
      changed = shift_chain(net, profile, scratch, interest_rate, i, +1, finish) || changed;
      changed = shift_chain(net, profile, scratch, interest_rate, i, -1, finish) || changed;
    }
  }
  for (int i = 0; i < n; ++i) occupy(net, profile, i, finish[i], -1);
  return sweeps;
}

}  // namespace rcpspdc
