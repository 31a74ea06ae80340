#include "heuristics/neighbourhood_search.hpp"

#include <algorithm>
#include <cmath>
#include <random>

#include "heuristics/initial_schedule.hpp"
#include "model/npv.hpp"

namespace rcpspdc {

namespace {

constexpr int LOOSE_STEP = 5;  // periods added to the deadline per round, cycling 1x..3x

bool share_a_resource(const InstanceData& instance, int i, int j) {
  for (int k = 0; k < instance.resource_count; ++k) {
    const auto r = static_cast<std::size_t>(k);
    if (instance.requirement[static_cast<std::size_t>(i)][r] > 0 &&
        instance.requirement[static_cast<std::size_t>(j)][r] > 0)
      return true;
  }
  return false;
}

// The neighbourhood: the instance with the given deadline and, for every
// pair of activities that are both kept, share a resource and run one after
// the other in `finish`, an arc in that order. Arcs
// follow the start times of a schedule that keeps every original arc, so
// the network stays acyclic; activities without duration are never tied.
void build_neighbourhood(const InstanceData& instance, const std::vector<int>& finish,
                         const std::vector<char>& freed, int deadline, InstanceData& sub) {
  sub.deadline = deadline;
  const int n = instance.activity_count;
  for (int i = 0; i < n; ++i) {
    const auto row = static_cast<std::size_t>(i);
    sub.successors[row] = instance.successors[row];
    if (freed[row] || instance.duration[row] == 0) continue;
    for (int j = 1; j + 1 < n; ++j) {
      const auto col = static_cast<std::size_t>(j);
      if (j == i || freed[col] || instance.duration[col] == 0) continue;
      if (finish[row] > finish[col] - instance.duration[col]) continue;
      if (!share_a_resource(instance, i, j)) continue;
      if (std::find(sub.successors[row].begin(), sub.successors[row].end(), j) ==
          sub.successors[row].end())
        sub.successors[row].push_back(j);
    }
  }
}

// Frees the activities in progress during a random stretch of the schedule,
// `size` in `real` of its makespan long. Shortening a schedule means
// repacking some stretch of it one period tighter; random parts rarely free
// a whole stretch, and the activities kept there pin it. (An activity
// without duration is in progress where it starts.)
void free_a_stretch(const InstanceData& instance, const std::vector<int>& finish, int makespan,
                    int size, int real, std::mt19937& generator, std::vector<char>& freed) {
  const int span = std::max(1, size * makespan / real);
  const int first =
      static_cast<int>(generator() % static_cast<unsigned>(std::max(1, makespan - span + 1)));
  for (int i = 1; i <= real; ++i) {
    const auto row = static_cast<std::size_t>(i);
    const int start = finish[row] - instance.duration[row];
    if (start < first + span && (finish[row] > first || start >= first)) freed[row] = 1;
  }
}

// The starts of a schedule's real activities, each discounted at `rate`
// and summed: larger where they come earlier.
double discounted_starts(const InstanceData& instance, const std::vector<int>& finish,
                         double rate) {
  return sum_over_real_activities(instance.activity_count, [&](int i) {
    const auto row = static_cast<std::size_t>(i);
    return std::exp(-rate * (finish[row] - instance.duration[row]));
  });
}

// The shared loop. Shortening asks each neighbourhood for a schedule ending
// a period before the current one; raising keeps the deadline and offers
// the current schedule as the incumbent, so only better ones are taken.
// A sideways move of the shortening is a raise within the current makespan
// for a cash flow of 1 on every real activity: on the plateaus where no
// neighbourhood is one period shorter, it moves the schedule (and the
// orders the next neighbourhoods keep) without giving up a period.
NeighbourhoodResult run_neighbourhoods(const InstanceData& instance, double interest_rate,
                                       const std::vector<int>& finish, double npv, bool raise,
                                       const NeighbourhoodSettings& settings,
                                       SearchEngine& exact) {
  NeighbourhoodResult result;
  result.finish = finish;
  result.makespan = std::ranges::max(finish);
  result.npv = npv;
  const int n = instance.activity_count;
  const int real = n - 2;
  if (real <= 0) return result;
  // Small enough that a neighbourhood is searched in a few thousand nodes,
  // large enough to hold a better schedule often.
  const int base_size = std::max(1, (settings.free_percent * real + 50) / 100);
  int size = base_size;
  int stalled = 0;
  int failures = 0;  // in a row
  std::mt19937 generator(settings.seed);
  InstanceData sub = instance;
  if (!raise)  // the flows the sideways moves raise; shortening itself runs at rate 0
    for (int i = 1; i + 1 < n; ++i) sub.cash_flow[static_cast<std::size_t>(i)] = 1;
  std::vector<char> freed(static_cast<std::size_t>(n), 0);
  SearchRequest request;
  request.instance = &sub;
  request.limits = {settings.time, settings.node_limit};
  KeptResult searched;
  auto done = [&] {
    return (!raise && result.makespan <= instance.deadline) ||
           result.iterations >= settings.iteration_limit ||
           (settings.patience > 0 && failures >= settings.patience) || settings.time.spent();
  };
  while (!done()) {
    ++result.iterations;
    std::fill(freed.begin(), freed.end(), 0);
    if (!raise && settings.stretch_every > 0 && result.iterations % settings.stretch_every == 0)
      free_a_stretch(instance, result.finish, result.makespan, size, real, generator, freed);
    else
      for (int x = 0; x < size; ++x) freed[1 + generator() % static_cast<unsigned>(real)] = 1;
    const bool sideways = !raise && settings.sideways_every > 0 && failures > 0 &&
                          failures % settings.sideways_every == 0;
    build_neighbourhood(instance, result.finish, freed,
                        raise ? instance.deadline : result.makespan - (sideways ? 0 : 1), sub);
    request.first_schedule = raise || sideways ? &result.finish : nullptr;
    request.interest_rate = raise ? interest_rate : (sideways ? settings.sideways_rate : 0.0);
    exact.solve(request, searched);
    const SearchResult& found = *searched.result;
    if (sideways) {
      // Taken only where the starts come earlier, so a move is never undone.
      if (found.has_incumbent &&
          discounted_starts(instance, found.finish, settings.sideways_rate) >
              discounted_starts(instance, result.finish, settings.sideways_rate) + 1e-9) {
        std::copy(found.finish.begin(), found.finish.end(), result.finish.begin());
        const int reached = std::ranges::max(result.finish);
        if (reached < result.makespan) {  // shorter after all: as a success
          result.makespan = reached;
          stalled = 0;
          failures = 0;
          size = base_size;
          continue;
        }
      }
      ++failures;
      continue;
    }
    const bool better = raise ? found.value > result.npv : found.has_incumbent;
    if (!better) {
      ++failures;
      if (++stalled >= settings.stall_iterations) {
        stalled = 0;
        size = std::min(real, size + 1);
      }
      continue;
    }
    std::copy(found.finish.begin(), found.finish.end(), result.finish.begin());
    result.makespan = std::ranges::max(result.finish);
    result.npv = found.value;
    result.found = true;
    stalled = 0;
    failures = 0;
    size = base_size;
  }
  if (!raise) result.found = result.makespan <= instance.deadline;
  return result;
}

}  // namespace

NeighbourhoodResult tighten_schedule(const InstanceData& instance, const std::vector<int>& finish,
                                     const NeighbourhoodSettings& settings, SearchEngine& exact) {
  return run_neighbourhoods(instance, 0.0, finish, 0.0, false, settings, exact);
}

NeighbourhoodResult raise_schedule_value(const InstanceData& instance, double interest_rate,
                                         const std::vector<int>& finish, double npv,
                                         const NeighbourhoodSettings& settings,
                                         SearchEngine& exact) {
  return run_neighbourhoods(instance, interest_rate, finish, npv, true, settings, exact);
}

NeighbourhoodResult find_tight_schedule(const InstanceData& instance, double interest_rate,
                                        const NeighbourhoodSettings& settings, int rounds,
                                        SearchEngine& exact) {
  NeighbourhoodResult result;  // the shortest schedule of the rounds
  InstanceData loose = instance;
  for (int round = 0; round < rounds && !result.found && !settings.time.spent(); ++round) {
    // A schedule with room to spare, its cash flows pulled to their ends, is
    // a better start than the shortest one sampling found: that one sits in
    // a valley the neighbourhoods rarely leave.
    loose.deadline = instance.deadline + LOOSE_STEP * (1 + round % 3);
    HeuristicSettings heuristic;
    heuristic.seed = settings.seed + static_cast<std::uint32_t>(round);
    heuristic.time = settings.time;
    const InitialSchedule start = initial_schedule(loose, interest_rate, heuristic);
    if (!start.found) continue;
    NeighbourhoodSettings round_settings = settings;
    round_settings.seed = heuristic.seed;
    NeighbourhoodResult reached = tighten_schedule(instance, start.finish, round_settings, exact);
    if (result.finish.empty() || reached.makespan < result.makespan) result = std::move(reached);
  }
  return result;
}

}  // namespace rcpspdc
