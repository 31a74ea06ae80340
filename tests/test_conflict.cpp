// Conflict detection: the first overloaded period of a schedule, the
// activities in progress in it, its packed residual capacity, and the reset
// of the schedule and tree that ends an evaluation on a conflict.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "tests/bound_checks.hpp"

namespace rcpspdc {
namespace {

using test::Act;
using test::Net;
using Members = std::vector<int>;

// Activities 1..k in parallel between the dummies, each with duration 1, the
// given demands and cash flow 10: the bound puts all of them in period 1.
InstanceData parallel(const std::vector<int>& capacity,
                      const std::vector<std::vector<int>>& demands) {
  const int k = static_cast<int>(demands.size());
  std::vector<Act> acts = {{0, {}, {}, 0}};
  for (int i = 1; i <= k; ++i) {
    acts[0].successors.push_back(i);
    acts.push_back({1, demands[static_cast<std::size_t>(i - 1)], {k + 1}, 10});
  }
  acts.push_back({0, {}, {}, 0});
  return test::make_instance(capacity, acts, 4);
}

Members members(const ActivitySet& s) {
  Members out;
  for (int i = 0; i < MAX_ACTIVITIES; ++i)
    if (set_contains(s, i)) out.push_back(i);
  return out;
}

int detect(Net& n) { return detect_conflict(n.m, n.b, n.solver.search.conflict); }
std::int64_t excess(const Net& n) {
  return static_cast<std::int64_t>(n.solver.search.conflict.found_excess);
}

TEST(Conflict, ThreeDemandsOfTwoOnCapacityFour) {
  // The bound keeps the node; detection then ends the evaluation.
  Net n(parallel({4}, {{2}, {2}, {2}}), 0.01);
  std::int64_t created = 0;
  ASSERT_EQ(n.bound(test::NO_INCUMBENT, created), BoundOutcome::open);
  ASSERT_EQ(n.finish(), (std::vector<int>{0, 1, 1, 1, 4}));
  ASSERT_FALSE(n.cleared());
  EXPECT_EQ(detect(n), 1);
  EXPECT_EQ(members(n.solver.search.conflict.found_conflict), (Members{1, 2, 3}));
  EXPECT_EQ(excess(n), -2);
  EXPECT_TRUE(n.cleared());
}

TEST(Conflict, FirstOverloadedPeriodOnly) {
  // Capacity 2. Activity 1 is in period 3 with demand 2; 2 in 2..3 with 1;
  // 3 in 1..3 with 0; 4 in 4..5 with 2; 5 in 7 with 3; 6 in 1..2 with 1.
  // Periods 3 and 7 both carry 3: the conflict is period 3.
  const std::vector<Act> acts = {{0, {}, {1, 2, 3, 4, 5, 6}, 0},
                                 {1, {2}, {7}, 0},
                                 {2, {1}, {7}, 0},
                                 {3, {0}, {7}, 0},
                                 {2, {2}, {7}, 0},
                                 {1, {3}, {7}, 0},
                                 {2, {1}, {7}, 0},
                                 {0, {}, {}, 0}};
  Net n(test::make_instance({2}, acts, 10), 0.01);
  const int schedule[] = {0, 3, 3, 3, 5, 7, 2, 8};
  std::copy(schedule, schedule + 8, n.m.finish_time);
  set_add(n.b.tree_set[0], 1);
  set_add(n.b.tree_set[7], 0);
  EXPECT_EQ(detect(n), 1);
  EXPECT_EQ(members(n.solver.search.conflict.found_conflict), (Members{1, 2, 3}));
  EXPECT_EQ(excess(n), -1);
  EXPECT_TRUE(n.cleared());

  // With activity 1 moved to period 1 at no demand, period 3 carries 1 and
  // periods 4 and 5 carry 2: period 7 is found, with activity 5 alone.
  std::copy(schedule, schedule + 8, n.m.finish_time);
  n.m.finish_time[1] = 1;
  n.m.packed_demand[1] = 0;
  EXPECT_EQ(detect(n), 1);
  EXPECT_EQ(members(n.solver.search.conflict.found_conflict), (Members{5}));
  EXPECT_EQ(excess(n), -1);
}

TEST(Conflict, TwoResourcesPackedInOneWord) {
  // Capacities 10 and 5; every activity in period 1.
  struct Case {
    std::vector<std::vector<int>> demands;
    int result;
    std::int64_t excess;  // capacity minus load as one 64-bit word
  };
  const Case cases[] = {
      {{{10, 5}, {0, 1}}, 1, -65536},             // lane 1 at -1
      {{{10, 5}, {0, 0}}, 0, 0},                  // exactly full
      {{{11, 0}}, 1, 5 * 65536 - 1},              // lane 0 at -1 borrows from lane 1
      {{{6, 2}, {3, 3}, {0, 0}}, 0, 0},           // 9 and 5
      {{{6, 2}, {3, 4}, {0, 0}}, 1, -65536 + 1},  // 9 and 6, a zero-demand member
  };
  for (const Case& c : cases) {
    Net n(parallel({10, 5}, c.demands), 0.01);
    ConflictState& found = n.solver.search.conflict;
    ASSERT_EQ(n.m.packed_capacity, 10u + 5u * 65536u);
    std::int64_t created = 0;
    ASSERT_EQ(n.bound(test::NO_INCUMBENT, created), BoundOutcome::open);
    const std::vector<int> schedule = n.finish();
    const test::Rows tree = n.tree();
    found.found_excess = 12345;
    set_add(found.found_conflict, 1);
    EXPECT_EQ(detect(n), c.result);
    if (c.result == 1) {
      Members all(c.demands.size());
      std::iota(all.begin(), all.end(), 1);
      EXPECT_EQ(members(found.found_conflict), all);
      EXPECT_EQ(excess(n), c.excess);
      EXPECT_TRUE(n.cleared());
    } else {
      // Feasible: schedule and tree untouched, the set emptied, the excess kept.
      EXPECT_EQ(n.finish(), schedule);
      EXPECT_EQ(n.tree(), tree);
      EXPECT_EQ(members(found.found_conflict), Members{});
      EXPECT_EQ(excess(n), 12345);
    }
  }
}

}  // namespace
}  // namespace rcpspdc
