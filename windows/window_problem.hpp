// The instance as the two searches over start-time windows read it, in
// fixed rows (the start-time search in window_search/ and the learning search
// in learning_search/), and the bounds both take over a node's windows.
//
// Times are start times: activity i starting at s occupies periods s + 1 ..
// s + duration (the time slots s .. s + duration - 1 of a profile) and
// finishes at s + duration. A node's windows are given as two rows, the
// earliest and the latest start of every activity.
#pragma once

#include <cstdint>
#include <vector>

#include "model/activity_set.hpp"
#include "model/instance_data.hpp"
#include "model/packed_resources.hpp"

namespace rcpspdc {

// Two activities that run in order: `second` after `first`, or, when
// `either_order`, one after the other in either order.
struct ActivityPair {
  int first = 0;
  int second = 0;
  bool either_order = false;
};

// A pair whose best starts clash, and the value it loses against them.
struct PairLoss {
  double loss = 0.0;
  int first = 0;
  int second = 0;
  bool either_order = false;
};

struct WindowProblem {
  int activity_count = 0;  // including both dummies
  int end_activity = 0;    // activity_count - 1
  int resource_count = 0;  // renewable resource types
  int deadline = 0;        // latest finish of every activity
  int capacity[MAX_RESOURCES] = {};
  int duration[ACTIVITY_ROWS] = {};
  int demand[ACTIVITY_ROWS][MAX_RESOURCES] = {};
  int cash_flow[ACTIVITY_ROWS] = {};
  int order[ACTIVITY_ROWS] = {};                 // a topological order, breadth first
  int succ_count[ACTIVITY_ROWS] = {};            // direct successors from the file
  int succ[ACTIVITY_ROWS][MAX_ACTIVITIES] = {};  // their indices
  int pred_count[ACTIVITY_ROWS] = {};            // direct predecessors
  int pred[ACTIVITY_ROWS][MAX_ACTIVITIES] = {};  // their indices, ascending
  ActivitySet incompatible[ACTIVITY_ROWS] = {};  // activities that can never overlap with i
  bool uses_resources[ACTIVITY_ROWS] = {};       // some demand above 0 and duration above 0
  int user_count[MAX_RESOURCES] = {};            // real activities with a demand for k
  int users[MAX_RESOURCES][ACTIVITY_ROWS] = {};  // their indices, ascending
  Packed packed_capacity = 0;                    // capacities, one lane per resource type
  Packed overflow_mask = 0;                      // top bit of every used lane
  Packed packed_demand[ACTIVITY_ROWS] = {};      // demands, packed the same way
  std::vector<ActivityPair> pairs;               // precedences and incompatible pairs with cash
  std::vector<double> discount;                  // discount[t] = e^(-rate * t), t = 0..deadline
};

// Fills the rows from a validated instance with its cash flows.
void load_window_rows(WindowProblem& p, const InstanceData& instance, double interest_rate);

// i's cash flow discounted from its finish when it starts at `start`.
inline double window_term(const WindowProblem& p, int i, int start) {
  return p.cash_flow[i] * p.discount[static_cast<std::size_t>(start + p.duration[i])];
}

// For a value of coefficient * discount[start] over the window [lo, hi]:
// the far end of the starts whose drop from the window's best stays below
// `lead` (the latest for a positive coefficient, the earliest for a
// negative one), by bisection (windows may be thousands of periods wide).
inline int kept_end(double coefficient, const double* discount, int lo, int hi, double lead) {
  if (coefficient > 0) {
    const double best = coefficient * discount[lo];
    if (best - coefficient * discount[hi] < lead) return hi;
    while (lo < hi) {
      const int mid = lo + (hi - lo + 1) / 2;
      if (best - coefficient * discount[mid] >= lead)
        hi = mid - 1;
      else
        lo = mid;
    }
    return lo;
  }
  const double best = coefficient * discount[hi];
  if (best - coefficient * discount[lo] < lead) return lo;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (best - coefficient * discount[mid] >= lead)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// An upper bound on the value of every schedule inside the windows: each
// cash flow at the best finish its window allows.
double window_bound(const WindowProblem& p, const int* early, const int* late);

// The value of the schedule that starts every activity at `start`.
double window_schedule_value(const WindowProblem& p, const int* start);

// The largest value of the terms of a and b together inside the windows, b
// after a (or, with `either_order`, in either order); minus infinity when no
// order fits.
double pair_value(const WindowProblem& p, const int* early, const int* late, int a, int b,
                  bool either_order);

// The window bound less the losses of a greedy matching of the pairs whose
// best starts clash (largest loss first). `losses` has a row per pair;
// credit[i] gets the loss of i's matched pair (0 when unmatched) and, when
// not null, partner[i] its partner (0 when unmatched) and either_order[i]
// whether that pair may run in either order.
double pair_bound(const WindowProblem& p, const int* early, const int* late, PairLoss* losses,
                  double* credit, int* partner = nullptr, bool* either_order = nullptr);

}  // namespace rcpspdc
