// Neighbourhood search over schedules. Shortening: every schedule it returns
// keeps every arc and capacity (the independent checker at the returned
// makespan), never ends later than where it started, reaches the shortest
// makespan the enumeration finds on tiny instances, and never claims a
// deadline no schedule meets. Raising: see below.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>

#include "check/schedule_check.hpp"
#include "formats/instance_file.hpp"
#include "heuristics/neighbourhood_search.hpp"
#include "model/cash_flows.hpp"
#include "tests/brute_force.hpp"
#include "tests/search_checks.hpp"
#include "tests/test_support.hpp"
#include "window_search/start_time_engine.hpp"

namespace rcpspdc::test {
namespace {

// Every real activity after the one before it: feasible whenever each demand
// fits its capacity, and random_instance's arcs all point forward.
std::vector<int> one_after_another(const InstanceData& d) {
  std::vector<int> finish(static_cast<std::size_t>(d.activity_count), 0);
  int t = 0;
  for (int i = 1; i < d.activity_count; ++i) {
    t += d.duration[static_cast<std::size_t>(i)];
    finish[static_cast<std::size_t>(i)] = t;
  }
  return finish;
}

void expect_schedule_within(InstanceData d, const std::vector<int>& finish, int makespan) {
  d.deadline = makespan;
  const ScheduleCheck check = check_schedule(d, finish, 0.0);
  EXPECT_TRUE(check.feasible()) << check.violations.front();
}

// Each kind of neighbourhood alone (random parts; stretches of the
// schedule) and the two alternating; sideways moves as set, never, and
// after every failure.
TEST(NeighbourhoodSearch, TinyInstancesReachTheShortestMakespan) {
  static WindowSearchEngine scratch;
  const int kept = NeighbourhoodSettings{}.sideways_every;
  for (const auto& [stretch_every, sideways_every] :
       {std::pair{0, kept}, std::pair{1, kept}, std::pair{2, kept}, std::pair{2, 0},
        std::pair{2, 1}}) {
    SCOPED_TRACE("a stretch every " + std::to_string(stretch_every) + ", sideways every " +
                 std::to_string(sideways_every));
    std::mt19937 rng(5501);
    int reached = 0;
    const int rounds = 200;
    for (int round = 0; round < rounds; ++round) {
      InstanceData d = random_instance(rng, 3 + round % 6);
      const int shortest = feasible_makespan(d);
      const std::vector<int> start = one_after_another(d);
      const int start_makespan = std::ranges::max(start);
      SCOPED_TRACE("round " + std::to_string(round) + ", shortest " + std::to_string(shortest));
      NeighbourhoodSettings settings;
      settings.seed = static_cast<std::uint32_t>(round);
      settings.stretch_every = stretch_every;
      settings.sideways_every = sideways_every;
      // Below the shortest makespan nothing can be found; at it, nearly always.
      for (const int deadline : {shortest - 1, shortest}) {
        d.deadline = deadline;
        const NeighbourhoodResult r = tighten_schedule(d, start, settings, scratch);
        EXPECT_LE(r.makespan, start_makespan);
        EXPECT_GE(r.makespan, shortest);
        EXPECT_EQ(r.makespan, std::ranges::max(r.finish));
        expect_schedule_within(d, r.finish, r.makespan);
        EXPECT_EQ(r.found, r.makespan <= deadline);
        if (deadline == shortest) reached += r.found;
      }
    }
    EXPECT_GE(reached, rounds * 9 / 10);
  }
}

// Raising the value on tiny instances with a deadline a little above the
// shortest makespan: every result is feasible, never worth less than its
// start nor more than the enumerated optimum, and usually the optimum.
TEST(NeighbourhoodSearch, RaisedValuesStayFeasibleAndBelowTheOptimum) {
  static WindowSearchEngine scratch;
  std::mt19937 rng(7717);
  int optimal = 0, raised = 0, started = 0;
  const int rounds = 150;
  for (int round = 0; round < rounds; ++round) {
    InstanceData d = random_instance(rng, 3 + round % 6);
    d.deadline = feasible_makespan(d) + 2;
    NeighbourhoodSettings settings;
    settings.iteration_limit = 60;
    settings.seed = static_cast<std::uint32_t>(round);
    // The start: the schedule of one activity after another, shortened.
    const NeighbourhoodResult shortened =
        tighten_schedule(d, one_after_another(d), settings, scratch);
    if (!shortened.found) continue;
    const std::vector<int> start = shortened.finish;
    const double rate = 0.05;
    SCOPED_TRACE("round " + std::to_string(round));
    const double start_value = check_schedule(d, start, rate).npv;
    const NeighbourhoodResult r =
        raise_schedule_value(d, rate, start, start_value, settings, scratch);
    const ScheduleCheck check = check_schedule(d, r.finish, rate);
    ASSERT_TRUE(check.feasible()) << check.violations.front();
    EXPECT_EQ(check.npv, r.npv);
    EXPECT_EQ(r.found, r.npv > start_value);
    EXPECT_GE(r.npv, start_value);
    const double best = Enumerator(d, rate).best();
    EXPECT_LE(r.npv, best + 1e-9);
    optimal += r.npv >= best - 1e-9;
    raised += r.found;
    ++started;
  }
  EXPECT_GE(started, rounds * 9 / 10);
  EXPECT_GE(raised, started / 3);
  EXPECT_GE(optimal, started * 3 / 4);
}

// j30 instances at their minimum makespan where sampling alone finds no
// schedule within a second: the rounds from loose schedules reach it.
TEST(NeighbourhoodSearch, HardJ30InstancesReachTheirMinimumMakespan) {
  static WindowSearchEngine scratch;
  for (const int number : {61, 144}) {
    SCOPED_TRACE("j30 instance " + std::to_string(number));
    InstanceData d;
    ASSERT_TRUE(read_instance_files("j30_", number, 0, d, (data_dir() / "j30").string()).ok());
    std::mt19937 generator(1);
    draw_cash_flows(d, generator, 60);
    const NeighbourhoodResult r =
        find_tight_schedule(d, 0.01, NeighbourhoodSettings{}, 20, scratch);
    ASSERT_TRUE(r.found);
    EXPECT_LE(r.makespan, d.deadline);
    expect_schedule_within(d, r.finish, d.deadline);
  }
}

}  // namespace
}  // namespace rcpspdc::test
