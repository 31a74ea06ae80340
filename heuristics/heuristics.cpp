#include "heuristics/heuristics.hpp"

#include "heuristics/initial_schedule.hpp"
#include "heuristics/neighbourhood_search.hpp"

namespace rcpspdc {

namespace {

// The search for a first schedule at a tight deadline, relative to the
// budget for the value (1000 by default: 50000 generations of sampling, then
// 20 rounds of neighbourhood search).
constexpr int SEARCH_BUDGET_FACTOR = 50;
constexpr int GENERATIONS_PER_ROUND = 50;
// Raising a value: the share of the activities each neighbourhood frees, and
// the neighbourhoods in a row without a better schedule that end the run.
constexpr int RAISE_FREE_PERCENT = 30;
constexpr int RAISE_PATIENCE = 100;

}  // namespace

std::optional<std::vector<int>> first_schedule(const InstanceData& instance, double interest_rate,
                                               int budget, const TimeBudget& time,
                                               SearchEngine& exact, std::vector<int>* nearest) {
  HeuristicSettings heuristic;
  heuristic.schedule_budget = budget;
  heuristic.search_budget = SEARCH_BUDGET_FACTOR * budget;
  heuristic.time = time;
  InitialSchedule first = initial_schedule(instance, interest_rate, heuristic);
  if (first.found) return std::move(first.finish);
  const int rounds = budget / GENERATIONS_PER_ROUND;
  if (rounds == 0) return std::nullopt;
  NeighbourhoodSettings tighten;
  tighten.time = time;
  NeighbourhoodResult shorter =
      find_tight_schedule(instance, interest_rate, tighten, rounds, exact);
  if (!shorter.found) {
    if (nearest != nullptr) *nearest = std::move(shorter.finish);
    return std::nullopt;
  }
  return std::move(shorter.finish);
}

std::optional<std::vector<int>> better_schedule(const InstanceData& instance, double interest_rate,
                                                const std::vector<int>& incumbent, double value,
                                                const TimeBudget& time, SearchEngine& exact) {
  NeighbourhoodSettings raise;
  raise.free_percent = RAISE_FREE_PERCENT;
  raise.patience = RAISE_PATIENCE;
  raise.time = time;
  NeighbourhoodResult better =
      raise_schedule_value(instance, interest_rate, incumbent, value, raise, exact);
  if (!better.found) return std::nullopt;
  return std::move(better.finish);
}

std::optional<std::vector<int>> raised_incumbent(const InstanceData& instance,
                                                 double interest_rate, const int* finish,
                                                 double value, const TimeBudget& limit,
                                                 SearchEngine& exact) {
  const TimeBudget raise_time = limit.share(RAISE_SHARE);
  if (finish == nullptr || raise_time.spent()) return std::nullopt;
  const std::vector<int> incumbent(finish, finish + instance.activity_count);
  return better_schedule(instance, interest_rate, incumbent, value, raise_time, exact);
}

}  // namespace rcpspdc
