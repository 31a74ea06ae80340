// Brute force over tiny instances: every precedence-, resource- and
// deadline-feasible schedule enumerated, for the best value or for whether
// one exists at all.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc::test {

// Depth-first enumeration of finish times in index order (arcs go from lower
// to higher indices), with the load profile kept per resource and period.
class Enumerator {
 public:
  Enumerator(const InstanceData& d, double rate) : d_(d), rate_(rate) {
    const auto periods = static_cast<std::size_t>(std::max(d.deadline, 0) + 1);
    load_.assign(d.capacity.size(), std::vector<int>(periods, 0));
    finish_.assign(static_cast<std::size_t>(d.activity_count), 0);
  }
  // Best value over all feasible schedules (minus infinity when none); with
  // stop_at_first, just whether one exists.
  double best(bool stop_at_first = false) {
    stop_at_first_ = stop_at_first;
    found_ = false;
    best_ = -std::numeric_limits<double>::infinity();
    place(1);
    return best_;
  }
  bool feasible() { return best(true), found_; }
  // Calls visit(finish, value) for every feasible schedule.
  void each(std::function<void(const std::vector<int>&, double)> visit) {
    visit_ = std::move(visit);
    best();
    visit_ = nullptr;
  }

 private:
  void place(int i) {
    if (found_ && stop_at_first_) return;
    const int n = d_.activity_count;
    if (i == n - 1) {
      double npv = 0.0;
      for (int a = n - 2; a >= 1; --a) npv += d_.cash_flow[a] * std::exp(-rate_ * finish_[a]);
      best_ = std::max(best_, npv);
      found_ = true;
      if (visit_) visit_(finish_, npv);
      return;
    }
    const int dur = d_.duration[i];
    int earliest = dur;
    for (int p = 0; p < i; ++p)
      for (int s : d_.successors[p])
        if (s == i) earliest = std::max(earliest, finish_[p] + dur);
    for (int f = earliest; f <= d_.deadline; ++f) {
      if (!fits(i, f)) continue;
      add(i, f, +1);
      finish_[i] = f;
      place(i + 1);
      add(i, f, -1);
    }
  }
  bool fits(int i, int f) const {
    for (std::size_t k = 0; k < load_.size(); ++k)
      for (int t = f - d_.duration[i] + 1; t <= f; ++t)
        if (load_[k][t] + d_.requirement[i][k] > d_.capacity[k]) return false;
    return true;
  }
  void add(int i, int f, int sign) {
    for (std::size_t k = 0; k < load_.size(); ++k)
      for (int t = f - d_.duration[i] + 1; t <= f; ++t) load_[k][t] += sign * d_.requirement[i][k];
  }

  const InstanceData& d_;
  double rate_;
  std::vector<std::vector<int>> load_;
  std::vector<int> finish_;
  double best_ = 0.0;
  bool found_ = false, stop_at_first_ = false;
  std::function<void(const std::vector<int>&, double)> visit_;
};

// The shortest deadline that admits a resource-feasible schedule.
inline int feasible_makespan(InstanceData d) {
  for (d.deadline = 1;; ++d.deadline)
    if (Enumerator(d, 0.0).feasible()) return d.deadline;
}

}  // namespace rcpspdc::test
