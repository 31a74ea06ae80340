// Large neighbourhood search over schedules: free a random part of the
// activities (or, shortening, those in progress during a stretch of the
// schedule), keep the order of every other pair that shares a resource as
// a precedence arc, and let an exact search, under a node limit, look for
// something better inside. The exact search is any SearchEngine the caller
// hands in (the start-time engine hands in its plain window search), so this
// folder knows no engine. Two uses:
// - shortening a schedule that ends past the deadline, one period at a time,
//   which reaches the deadline on the hardest tight instances where neither
//   sampling nor the search alone finds any schedule within seconds;
// - raising the value of a schedule within the deadline, which hands the
//   exact search a strong incumbent early.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/search_engine.hpp"
#include "model/instance_data.hpp"
#include "platform/time_budget.hpp"

namespace rcpspdc {

struct NeighbourhoodSettings {
  std::int64_t node_limit = 2000;  // nodes the exact search may create per neighbourhood
  int iteration_limit = 300;       // neighbourhoods in all
  int free_percent = 40;           // share of the activities freed at first
  int stall_iterations = 64;       // failures in a row before one more activity is freed
  int patience = 0;                // failures in a row that end the run; 0 = none
  // Shortening: every this many neighbourhoods, the activities in progress
  // during a stretch of the schedule are freed instead of a random part (a
  // stretch as long as that share of the makespan); 0: never.
  int stretch_every = 2;
  // Shortening, once this many neighbourhoods in a row found no shorter
  // schedule, and at every multiple of it: the next keeps the makespan and
  // takes a schedule whose starts come earlier (their sum discounted at
  // `sideways_rate` a period is larger), so the neighbourhoods after it
  // start from another schedule of the same length; 0: never.
  int sideways_every = 4;
  double sideways_rate = 0.01;
  std::uint32_t seed = 1;  // for the choice of the freed activities
  TimeBudget time;         // for the whole run, its exact searches included
};

struct NeighbourhoodResult {
  bool found = false;       // shortening: a schedule within the deadline; raising: a better one
  std::vector<int> finish;  // the schedule reached, per activity
  int makespan = 0;         // its makespan
  double npv = 0.0;         // its value (raising only)
  int iterations = 0;       // neighbourhoods searched
};

// Starts from `finish`, a schedule that keeps every arc and every capacity
// but may end after instance.deadline, and shortens it until it meets the
// deadline or a limit ends the run. `exact` searches the neighbourhoods.
NeighbourhoodResult tighten_schedule(const InstanceData& instance, const std::vector<int>& finish,
                                     const NeighbourhoodSettings& settings, SearchEngine& exact);

// Up to `rounds` rounds of: a first schedule for a deadline a few periods
// later (the heuristic, seeded anew each round), then tighten_schedule from
// it with `settings`; ends at the first schedule within the deadline or when
// the time limit passes. Without one, the shortest schedule reached.
NeighbourhoodResult find_tight_schedule(const InstanceData& instance, double interest_rate,
                                        const NeighbourhoodSettings& settings, int rounds,
                                        SearchEngine& exact);

// Starts from `finish`, a feasible schedule within the deadline worth `npv`
// (as the search values it), and raises its value until a limit ends the
// run; `found` when it ends above `npv`.
NeighbourhoodResult raise_schedule_value(const InstanceData& instance, double interest_rate,
                                         const std::vector<int>& finish, double npv,
                                         const NeighbourhoodSettings& settings,
                                         SearchEngine& exact);

}  // namespace rcpspdc
