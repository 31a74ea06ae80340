#include "check/schedule_check.hpp"

#include <cmath>
#include <cstdio>
#include <string>

namespace rcpspdc {

namespace {

std::string act(int i) { return "activity " + std::to_string(i + 1); }

// 17 significant digits: two values that print alike are the same double.
std::string full(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

}  // namespace

ScheduleCheck check_schedule(const InstanceData& instance, const std::vector<int>& finish,
                             double interest_rate) {
  ScheduleCheck check;
  auto& out = check.violations;
  const int n = instance.activity_count;
  const auto& duration = instance.duration;
  if (static_cast<int>(finish.size()) != n) {
    out.push_back("the schedule has " + std::to_string(finish.size()) + " finish times for " +
                  std::to_string(n) + " activities");
    return check;
  }
  if (n > 0 && finish[0] != 0)
    out.push_back("the first activity finishes at " + std::to_string(finish[0]) + ", not at 0");
  int horizon = 0;
  for (int i = 0; i < n; ++i) {
    const int start = finish[i] - duration[i];
    if (start < 0)
      out.push_back(act(i) + " starts at " + std::to_string(start) + ", before time 0");
    if (finish[i] > instance.deadline)
      out.push_back(act(i) + " finishes at " + std::to_string(finish[i]) +
                    ", after the deadline " + std::to_string(instance.deadline));
    if (finish[i] > horizon) horizon = finish[i];
  }
  for (int p = 0; p < n; ++p)
    for (int s : instance.successors[p])
      if (finish[s] - duration[s] < finish[p])
        out.push_back(act(s) + " starts at " + std::to_string(finish[s] - duration[s]) +
                      ", before its predecessor " + act(p) + " finishes at " +
                      std::to_string(finish[p]));
  // Period t runs from time t - 1 to t; an activity finishing at f with
  // duration d is in progress in periods f - d + 1 .. f.
  for (int k = 0; k < instance.resource_count; ++k)
    for (int t = 1; t <= horizon; ++t) {
      long long load = 0;
      for (int i = 0; i < n; ++i)
        if (finish[i] - duration[i] < t && t <= finish[i]) load += instance.requirement[i][k];
      if (load > instance.capacity[k])
        out.push_back("resource " + std::to_string(k + 1) + " is loaded " + std::to_string(load) +
                      " in period " + std::to_string(t) + ", above its capacity " +
                      std::to_string(instance.capacity[k]));
    }
  double npv = 0.0;
  for (int i = n - 2; i >= 1; --i)
    npv += instance.cash_flow[i] * std::exp(-interest_rate * finish[i]);
  check.npv = npv;
  return check;
}

std::string check_reported_schedule(const InstanceData& instance,
                                    const std::vector<int>& finish_time, double claimed_npv,
                                    double interest_rate) {
  const ScheduleCheck check = check_schedule(instance, finish_time, interest_rate);
  if (!check.feasible()) return check.violations.front();
  if (check.npv != claimed_npv)
    return "the schedule is worth " + full(check.npv) + ", not " + full(claimed_npv);
  return {};
}

}  // namespace rcpspdc
