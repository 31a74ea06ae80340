// The first schedule of the window search: every schedule it returns passes
// the independent checker with the same value bit for bit; on tiny random
// instances it finds a schedule whenever the deadline leaves room for every
// activity in a row, never claims more than the enumerated optimum, and
// never claims a schedule where enumeration finds none.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "check/schedule_check.hpp"
#include "formats/instance_file.hpp"
#include "heuristics/initial_schedule.hpp"
#include "model/cash_flows.hpp"
#include "tests/brute_force.hpp"
#include "tests/fake_platform.hpp"
#include "tests/search_checks.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

// Checks a returned schedule against the instance; true when it passed.
bool passes_checker(const InstanceData& d, const InitialSchedule& s, double rate) {
  const ScheduleCheck check = check_schedule(d, s.finish, rate);
  EXPECT_TRUE(check.feasible()) << check.violations.front();
  EXPECT_EQ(check.npv, s.npv) << "value differs from the checker's";
  return check.feasible() && check.npv == s.npv;
}

int summed_durations(const InstanceData& d) {
  return std::accumulate(d.duration.begin(), d.duration.end(), 0);
}

TEST(InitialSchedule, PattersonSchedulesPassTheCheckerAndStayBelowTheOptimum) {
  int rows = 0, found_tight = 0, found_loose = 0;
  for (const ReferenceRow& row : reference_rows()) {
    if (!row.readable) continue;
    SCOPED_TRACE("pat" + std::to_string(row.number) + " offset " + std::to_string(row.offset));
    ++rows;
    HeuristicSettings settings;
    settings.schedule_budget = 300;
    settings.search_budget = 300;  // no longer search when nothing meets the deadline
    const InitialSchedule s = initial_schedule(row.instance, row.rate, settings);
    EXPECT_LE(s.generations, settings.schedule_budget);
    if (!s.found) continue;
    (row.offset == 0 ? found_tight : found_loose) += 1;
    passes_checker(row.instance, s, row.rate);
    if (row.optimal) {
      EXPECT_LE(s.npv, row.npv + 1e-6);
    }
  }
  EXPECT_EQ(rows, 216);  // pat3 included: its dangling activity is joined to the end
  // With five periods to spare every instance is within reach; at the
  // minimum makespan nearly all are.
  EXPECT_EQ(found_loose, 108);
  EXPECT_GE(found_tight, 95);
}

TEST(InitialSchedule, TinyInstancesAgainstEnumeration) {
  std::mt19937 rng(7031);
  int feasible = 0, found = 0, optimal = 0, loose = 0;
  for (int round = 0; round < 300; ++round) {
    InstanceData d = random_instance(rng, 2 + round % 5);
    const int shortest = feasible_makespan(d);
    // Every fourth round the deadline fits all activities one after another.
    d.deadline = round % 4 == 0
                     ? summed_durations(d)
                     : std::max(1, shortest + std::uniform_int_distribution<int>(-2, 3)(rng));
    const double rate = round % 2 == 0 ? 0.01 : 0.1;
    SCOPED_TRACE("round " + std::to_string(round) + ", deadline " + std::to_string(d.deadline));
    const double best = Enumerator(d, rate).best();
    HeuristicSettings settings;
    settings.schedule_budget = 200;
    const InitialSchedule s = initial_schedule(d, rate, settings);
    if (std::isinf(best)) {
      EXPECT_FALSE(s.found);
      continue;
    }
    ++feasible;
    if (round % 4 == 0) {
      ++loose;
      EXPECT_TRUE(s.found);
    }
    if (!s.found) continue;
    ++found;
    if (!passes_checker(d, s, rate)) continue;
    EXPECT_LE(s.npv, best + 1e-9);
    optimal += s.npv >= best - 1e-9;
  }
  EXPECT_GT(loose, 60);
  EXPECT_GT(feasible, 200);
  // Tiny instances are easy: nearly every feasible one gets a schedule, and
  // most get an optimal one.
  EXPECT_GE(found, feasible - feasible / 20);
  EXPECT_GE(optimal, found * 3 / 4);
}

TEST(InitialSchedule, LargerRandomInstancesPassTheChecker) {
  std::mt19937 rng(4409);
  for (int round = 0; round < 40; ++round) {
    InstanceData d = random_instance(rng, 10 + round % 20, round % 3 == 0 ? 100 : 1);
    const int loose = summed_durations(d);
    d.deadline = round % 2 == 0 ? loose : loose / 2;
    SCOPED_TRACE("round " + std::to_string(round) + ", deadline " + std::to_string(d.deadline));
    HeuristicSettings settings;
    settings.schedule_budget = 50 + round;
    settings.search_budget = 0;
    settings.seed = static_cast<std::uint32_t>(round);
    const InitialSchedule s = initial_schedule(d, 0.05, settings);
    EXPECT_LE(s.generations, settings.schedule_budget);
    if (round % 2 == 0) {
      EXPECT_TRUE(s.found);
    }
    if (s.found) passes_checker(d, s, 0.05);
  }
}

TEST(InitialSchedule, SameSeedSameResultAndTheBudgetHolds) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20; ++round) {
    InstanceData d = random_instance(rng, 8 + round);
    d.deadline = summed_durations(d) * 2 / 3;
    HeuristicSettings settings;
    settings.seed = 5 + static_cast<std::uint32_t>(round);
    settings.schedule_budget = 1 + 13 * round;
    settings.search_budget = 3 * settings.schedule_budget;
    settings.restart_after = 5;
    const InitialSchedule a = initial_schedule(d, 0.01, settings);
    const InitialSchedule b = initial_schedule(d, 0.01, settings);
    EXPECT_EQ(a.found, b.found);
    EXPECT_EQ(a.finish, b.finish);
    EXPECT_EQ(a.npv, b.npv);
    EXPECT_EQ(a.generations, b.generations);
    // The search budget while nothing meets the deadline, then at most the
    // value's budget from there.
    EXPECT_LE(a.generations, settings.search_budget + settings.schedule_budget);
    if (!a.found) {
      EXPECT_LE(a.generations, settings.search_budget);
    }
    if (a.found) passes_checker(d, a, 0.01);
  }
}

TEST(InitialSchedule, NoScheduleWhereNoneCanExist) {
  // Activity 1 needs more than the capacity; activities 1 and 2 form a cycle;
  // the chain 1 -> 2 is longer than the deadline.
  const InstanceData too_big =
      make_instance({2}, {{0, {}, {1}}, {2, {3}, {2}, 5}, {0, {}, {}}}, 10);
  const InstanceData cycle =
      make_instance({2}, {{0, {}, {1}}, {2, {1}, {2}, 5}, {1, {1}, {1, 3}, -5}, {0, {}, {}}}, 10);
  const InstanceData too_long =
      make_instance({2}, {{0, {}, {1}}, {2, {1}, {2}, 5}, {3, {1}, {3}, -5}, {0, {}, {}}}, 4);
  for (const InstanceData* d : {&too_big, &cycle, &too_long}) {
    const InitialSchedule s = initial_schedule(*d, 0.01, HeuristicSettings{});
    EXPECT_FALSE(s.found);
    EXPECT_EQ(s.generations, 0);
  }
}

TEST(InitialSchedule, CashFlowsPullTowardsTheirEnds) {
  // Two independent activities and a loose deadline: the positive one
  // finishes as early as it can, the negative one at the deadline, the value
  // is the optimum the enumeration gives.
  const InstanceData d = make_instance(
      {1}, {{0, {}, {1, 2}}, {3, {1}, {3}, 100}, {2, {1}, {3}, -100}, {0, {}, {}}}, 12);
  const InitialSchedule s = initial_schedule(d, 0.05, HeuristicSettings{});
  ASSERT_TRUE(s.found);
  EXPECT_EQ(s.finish[1], 3);
  EXPECT_EQ(s.finish[2], 12);
  EXPECT_EQ(s.finish[3], 12);
  EXPECT_DOUBLE_EQ(s.npv, Enumerator(d, 0.05).best());
}

}  // namespace
}  // namespace rcpspdc::test

namespace rcpspdc::test {
namespace {

// A network without resource types: the passes keep no load rows at all.
TEST(InitialSchedule, NetworkWithoutResourcesIsScheduledByPrecedenceAlone) {
  const InstanceData d = make_instance(
      {}, {Act{0, {}, {1}, 0}, Act{1, {}, {2}, 50}, Act{1, {}, {3}, -80}, Act{0, {}, {}, 0}}, 5);
  const InitialSchedule s = initial_schedule(d, 0.01, HeuristicSettings{});
  ASSERT_TRUE(s.found);
  EXPECT_EQ(s.finish[1], 1);  // the positive flow as early as it can
  EXPECT_EQ(s.finish[2], 5);  // the negative one at the deadline
  EXPECT_TRUE(check_schedule(d, s.finish, 0.01).feasible());
}

}  // namespace
}  // namespace rcpspdc::test

namespace rcpspdc::test {
namespace {

InstanceData j30_instance(int number) {
  InstanceData d;
  EXPECT_TRUE(read_instance_files("j30_", number, 0, d, (data_dir() / "j30").string()).ok());
  std::mt19937 generator(1);
  draw_cash_flows(d, generator, 60);
  return d;
}

// j30 instances at their minimum makespan where a population bred on without
// being drawn anew finds no schedule at all within the same budget.
TEST(InitialSchedule, FreshPopulationsReachTheMinimumMakespan) {
  for (const int number : {141, 205, 225}) {
    SCOPED_TRACE("j30 instance " + std::to_string(number));
    const InstanceData d = j30_instance(number);
    HeuristicSettings settings;
    const InitialSchedule s = initial_schedule(d, 0.01, settings);
    ASSERT_TRUE(s.found);
    passes_checker(d, s, 0.01);
    settings.restart_after = settings.search_budget;
    EXPECT_FALSE(initial_schedule(d, 0.01, settings).found);
  }
}

// With a clock that runs a second per reading the heuristic stops at its
// first look at the clock, after about a millisecond of work, well inside
// its budget.
TEST(InitialSchedule, TimeLimitEndsTheSearchForATightSchedule) {
  const InstanceData d = j30_instance(62);
  HeuristicSettings settings;
  settings.time = TimeBudget::starting_now(0.5);
  fake_clock_step = 1000;
  const InitialSchedule s = initial_schedule(d, 0.01, settings);
  fake_clock_step = 0;
  EXPECT_FALSE(s.found);
  EXPECT_GT(s.generations, 0);
  EXPECT_LT(s.generations, settings.search_budget / 10);
}

}  // namespace
}  // namespace rcpspdc::test
