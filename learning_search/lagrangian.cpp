// Prices for the resources: the network bound with every activity paying
// for the capacity it occupies is an upper bound for any prices of at least
// zero (a resource-feasible schedule never uses more than the capacities it
// is credited for), and the best prices bring it close to the linear
// program of the time-indexed formulation. Subgradient steps find them at
// the root: raise the price of a slot and resource the relaxed schedule
// overloads, lower it where capacity is left, by Polyak's step towards the
// incumbent's value.
#include <algorithm>
#include <cmath>
#include <limits>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

constexpr int STALL_ITERATIONS = 8;  // steps without a better bound before the step halves
constexpr double FIRST_STEP_FACTOR = 1.0;
constexpr double SMALLEST_STEP_FACTOR = 1e-3;
constexpr std::int64_t MAX_PRICED_NODES = 200000;  // starts in the flow graph

}  // namespace

void price_resources(LearningSearch& w, int iterations) {
  const WindowProblem& p = w.problem;
  const auto slots = static_cast<std::size_t>(p.deadline);
  const std::size_t rows = slots * MAX_RESOURCES;
  std::vector<double>& price = w.price_step;  // the prices being stepped
  price.assign(rows, 0.0);
  w.prices.assign(rows, 0.0);
  double best = std::numeric_limits<double>::infinity();
  double factor = FIRST_STEP_FACTOR;
  int stall = 0;
  std::vector<double>& usage = w.price_usage;
  usage.assign(rows, 0.0);
  // The flow graph has a node per start past the earliest; wide windows
  // over a long horizon make it too large to be worth pricing.
  std::int64_t nodes = 0;
  for (int i = 1; i < p.end_activity; ++i) nodes += w.upper[i] - w.lower[i];
  if (nodes > MAX_PRICED_NODES) return;
  for (int round = 0; round < iterations && factor > SMALLEST_STEP_FACTOR; ++round) {
    // A flow costs far more than the edges its work counts: reading the
    // clock by that work let a stopped run's prices pass its limit by tens
    // of milliseconds. A reading per flow costs nothing beside one.
    if (w.clock.budget().spent()) break;
    const double bound = network_bound(w, w.lower, w.upper, price.data());
    w.work = 0;
    if (bound < best) {
      best = bound;
      w.prices = price;
      stall = 0;
    } else if (++stall >= STALL_ITERATIONS) {
      factor /= 2;
      stall = 0;
    }
    std::fill(usage.begin(), usage.end(), 0.0);
    for (int i = 1; i < p.end_activity; ++i) {
      const int s = w.network_start[i];
      for (int t = s; t < s + p.duration[i]; ++t)
        for (int k = 0; k < p.resource_count; ++k)
          usage[static_cast<std::size_t>(t) * MAX_RESOURCES + static_cast<std::size_t>(k)] +=
              p.demand[i][k];
    }
    // Directions that a price at zero cannot follow down are left out.
    double norm = 0.0;
    for (std::size_t x = 0; x < rows; ++x) {
      const int k = static_cast<int>(x % MAX_RESOURCES);
      if (k >= p.resource_count) continue;
      const double slack = p.capacity[k] - usage[x];
      if (price[x] > 0.0 || slack < 0.0) norm += slack * slack;
    }
    if (norm == 0.0) break;  // the relaxed schedule fits the capacities
    const double target = w.has_incumbent ? w.best_npv : bound - 0.05 * (1.0 + std::fabs(bound));
    const double step = factor * (bound - target) / norm;
    if (!(step > 0.0)) break;
    for (std::size_t x = 0; x < rows; ++x) {
      const int k = static_cast<int>(x % MAX_RESOURCES);
      if (k >= p.resource_count) continue;
      price[x] = std::max(0.0, price[x] - step * (p.capacity[k] - usage[x]));
    }
  }
  w.root_lagrangian = best;
}

}  // namespace rcpspdc
