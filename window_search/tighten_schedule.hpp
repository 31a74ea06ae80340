// Shortening a schedule that ends past the deadline, by large neighbourhood
// search: free a random part of the activities, keep the order of every
// other pair that shares a resource as a precedence arc, and let the
// start-time search, under a node limit, look for a schedule one period
// shorter. Each success becomes the next starting point. On the hardest
// tight instances this reaches the deadline where neither sampling nor the
// search alone finds any schedule within seconds.
#pragma once

#include <cstdint>
#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

struct WindowSearch;

struct TightenSettings {
  std::int64_t node_limit = 2000;  // nodes per neighbourhood
  int iteration_limit = 300;       // neighbourhoods in all
  int stall_iterations = 64;       // failures in a row before one more activity is freed
  std::uint32_t seed = 1;          // for the choice of the freed activities
  double time_limit = 0.0;         // seconds after start_clock; 0 = none
  std::int64_t start_clock = 0;
  std::int64_t (*clock_ms)() = nullptr;
};

struct TightenResult {
  bool found = false;       // a schedule within the instance's deadline
  std::vector<int> finish;  // the shortest schedule reached, per activity
  int makespan = 0;         // its makespan
  int iterations = 0;       // neighbourhoods searched
};

// Starts from `finish`, a schedule that keeps every arc and every capacity
// but may end after instance.deadline, and shortens it until it meets the
// deadline or a limit ends the run. `scratch` is the search used for the
// neighbourhoods; its problem and state are overwritten.
TightenResult tighten_schedule(const InstanceData& instance, const std::vector<int>& finish,
                               const TightenSettings& settings, WindowSearch& scratch);

// Up to `rounds` rounds of: a first schedule for a deadline a few periods
// later (the heuristic, seeded anew each round), then tighten_schedule from
// it with `settings`; ends at the first schedule within the deadline or when
// the time limit passes.
TightenResult find_tight_schedule(const InstanceData& instance, double interest_rate,
                                  const TightenSettings& settings, int rounds,
                                  WindowSearch& scratch);

}  // namespace rcpspdc
