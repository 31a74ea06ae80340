// The bound on hand-made networks: the early schedule and its tree, the
// relinking of negative activities, the tie-breaks, the subtree search and
// the fathoming outcomes of compute_bound.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/bound_checks.hpp"

namespace rcpspdc {
namespace {

using test::Act;
using test::Net;
using test::NO_INCUMBENT;
using test::Rows;
using Times = std::vector<int>;

// Chain 0 -> 1 -> 2 -> 3 with the given durations and cash flows of 1 and 2.
InstanceData chain(int d1, int d2, int c1, int c2, int deadline) {
  return test::make_instance(
      {}, {{0, {}, {1}, 0}, {d1, {}, {2}, c1}, {d2, {}, {3}, c2}, {0, {}, {}, 0}}, deadline);
}

// One valuation of the tree from activity 0, as the subtree search starts it.
void valuate(Net& n) {
  set_clear(n.b.visited_set);
  set_clear(n.b.pending_set);
  n.b.detached_count = 0;
  n.b.subtree_depth = 0;
  subtree_value(n.m, n.b, 0);
}

TEST(BoundPasses, ChainDeadlinesAndRelinking) {
  struct Case {
    int deadline, c1, c2;
    Times finish;  // after both passes
    Rows tree;
  };
  const Rows forward_tree = {{1}, {2}, {}, {0}};
  const Case cases[] = {
      {5, 0, 0, {0, 2, 5, 5}, forward_tree},
      {10, 5, 5, {0, 2, 5, 10}, forward_tree},
      {10, 5, -5, {0, 2, 10, 10}, {{1}, {}, {3}, {0}}},
      {10, -5, -5, {0, 7, 10, 10}, {{}, {2}, {3}, {0}}},
      {10, -5, 5, {0, 2, 5, 10}, forward_tree},       // 1 keeps its tree successor 2
      {5, 0, -5, {0, 2, 5, 5}, {{1}, {}, {3}, {0}}},  // relinked at the same time
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "deadline " << c.deadline << " cash " << c.c1 << " " << c.c2);
    Net n(chain(2, 3, c.c1, c.c2, c.deadline), 0.01);
    ASSERT_EQ(forward_pass(n.m, n.b), 1);
    EXPECT_EQ(n.finish(), (Times{0, 2, 5, c.deadline}));
    EXPECT_EQ(n.tree(), forward_tree);
    EXPECT_EQ(n.b.tree_parent[3], 2);
    backward_pass(n.m, n.b);
    EXPECT_EQ(n.finish(), c.finish);
    EXPECT_EQ(n.tree(), c.tree);
  }
  Net late(chain(2, 3, 0, 0, 4), 0.01);
  EXPECT_EQ(forward_pass(late.m, late.b), 0);
}

TEST(BoundPasses, TiesFollowListOrder) {
  // Forward: 2 and 3 both finish at 4 and precede 5; the one last in
  // pred_list[5] binds, whichever its number.
  for (const bool reversed : {false, true}) {
    Net n(test::make_instance({},
                              {{0, {}, {1, 2, 3, 4}, 0},
                               {1, {}, {6}, 0},
                               {4, {}, {5}, 0},
                               {4, {}, {5}, 0},
                               {1, {}, {6}, 0},
                               {1, {}, {6}, 0},
                               {0, {}, {}, 0}},
                              9),
          0.01);
    ASSERT_EQ(n.m.pred_count[5], 2);
    if (reversed) std::swap(n.m.pred_list[5][0], n.m.pred_list[5][1]);
    ASSERT_EQ(forward_pass(n.m, n.b), 1);
    EXPECT_EQ(n.m.finish_time[5], 5);
    EXPECT_EQ(n.b.tree_parent[5], reversed ? 2 : 3);
    EXPECT_EQ(n.tree()[2], reversed ? Times{5} : Times{});
    EXPECT_EQ(n.tree()[3], reversed ? Times{} : Times{5});
  }
  // Backward: the negative activities 4 and 7 move to start at 9; then 1
  // relinks and hangs from whichever stands first in its successor list.
  for (const Times& order : {Times{7, 4}, Times{4, 7}}) {
    std::vector<Act> acts = {{0, {}, {1, 2, 3, 5, 6}, 0}, {1, {}, order, -10}};
    for (int i = 2; i <= 7; ++i) acts.push_back({1, {}, {8}, (i == 4 || i == 7) ? -10 : 0});
    acts.push_back({0, {}, {}, 0});
    Net n(test::make_instance({}, acts, 10), 0.01);
    ASSERT_EQ(forward_pass(n.m, n.b), 1);
    backward_pass(n.m, n.b);
    EXPECT_EQ(n.finish(), (Times{0, 9, 1, 1, 10, 1, 1, 10, 10}));
    EXPECT_EQ(n.tree()[1], Times{order[0]});
  }
}

TEST(BoundSubtree, DetachShiftAndRehang) {
  const double r = 0.05;
  for (const int deadline : {10, 2}) {
    SCOPED_TRACE(deadline);
    Net n(chain(1, 1, -300, 100, deadline), r);
    ASSERT_EQ(forward_pass(n.m, n.b), 1);
    backward_pass(n.m, n.b);
    EXPECT_EQ(n.finish(), (Times{0, 1, 2, deadline}));
    valuate(n);
    ASSERT_EQ(n.b.detached_count, 1);
    EXPECT_EQ(set_size(n.b.detached_set[0]), 2);
    EXPECT_TRUE(set_contains(n.b.detached_set[0], 1) && set_contains(n.b.detached_set[0], 2));
    EXPECT_EQ(n.tree(), (Rows{{}, {2}, {}, {0}}));
    shift_detached_sets(n.m, n.b);
    const int shift = deadline - 2;  // 8, or 0 when the end blocks at once
    EXPECT_EQ(n.finish(), (Times{0, 1 + shift, 2 + shift, deadline}));
    EXPECT_EQ(n.tree(), (Rows{{}, {2}, {3}, {0}}));
    valuate(n);
    EXPECT_EQ(n.b.detached_count, 0);
    EXPECT_EQ(n.finish(), (Times{0, 1 + shift, 2 + shift, deadline}));
  }
  // The whole evaluation ends at the same schedule.
  Net n(chain(1, 1, -300, 100, 10), r);
  std::int64_t created = 0;
  ASSERT_EQ(n.bound(NO_INCUMBENT, created), BoundOutcome::open);
  EXPECT_EQ(n.finish(), (Times{0, 9, 10, 10}));
  EXPECT_NEAR(n.b.node_npv, -300 * std::exp(-9 * r) + 100 * std::exp(-10 * r), 1e-12);
}

TEST(BoundSubtree, ShiftTiesGoToHighestActivityThenLastListEntry) {
  // {1, 2} (worth < 0) is detached from 0 and has two leaving arcs of slack 2
  // (first network: 2 -> 5 and 1 -> 4) or of slack 1 (second: 2 -> 4 and
  // 2 -> 5). The first shift hangs it at 2 -> 5 in both.
  struct Case {
    std::vector<Act> acts;
    int deadline;
    Times finish;
    Rows tree;
  };
  const Case cases[] = {
      {{{0, {}, {1, 3}, 0},
        {1, {}, {2, 4}, -300},
        {1, {}, {5}, 100},
        {3, {}, {4}, 0},
        {1, {}, {5}, 0},
        {0, {}, {}, 0}},
       4,
       {0, 3, 4, 3, 4, 4},
       {{3}, {2}, {5}, {4}, {}, {0}}},
      {{{0, {}, {1, 3}, 0},
        {1, {}, {2}, -300},
        {1, {}, {4, 5}, 100},
        {3, {}, {4, 5}, 0},
        {1, {}, {6}, 0},
        {1, {}, {6}, 0},
        {0, {}, {}, 0}},
       10,
       {0, 2, 3, 3, 4, 4, 10},
       {{3}, {2}, {5}, {4, 5}, {}, {}, {0}}},
  };
  for (const Case& c : cases) {
    Net n(test::make_instance({}, c.acts, c.deadline), 0.05);
    ASSERT_EQ(forward_pass(n.m, n.b), 1);
    backward_pass(n.m, n.b);
    valuate(n);
    ASSERT_EQ(n.b.detached_count, 1);
    shift_detached_sets(n.m, n.b);
    EXPECT_EQ(n.finish(), c.finish);
    EXPECT_EQ(n.tree(), c.tree);
  }
}

TEST(BoundSubtree, DetachThreshold) {
  // The subtree {1, 2} is worth cash_flow[1] * e^(-rate) at its early time:
  // rate 11.6 gives about -9.2e-6 (kept), rate 11.4 about -1.1e-5 (detached
  // and moved late). A rate that makes the value exactly -0.00001 keeps it.
  struct Case {
    double rate;
    int c1;
    Times finish;
  };
  std::vector<Case> cases = {
      {11.6, -1, {0, 1, 2, 5}}, {11.4, -1, {0, 4, 5, 5}}, {0.1, 0, {0, 1, 2, 5}}};
  for (int c = 1; c <= 200 && cases.size() == 3; ++c) {
    double r = std::log(c / 0.00001);
    for (int k = 0; k < 20; ++k) r = std::nextafter(r, 0.0);
    for (int k = 0; k < 40 && cases.size() == 3; ++k, r = std::nextafter(r, 100.0))
      if (-c * std::exp(-r) == -0.00001) cases.push_back({r, -c, {0, 1, 2, 5}});
  }
  ASSERT_EQ(cases.size(), 4u) << "no rate gives exactly -0.00001";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    Net n(chain(1, 1, c.c1, 0, 5), c.rate);
    std::int64_t created = 0;
    ASSERT_EQ(n.bound(NO_INCUMBENT, created), BoundOutcome::open);
    EXPECT_EQ(n.finish(), c.finish);
  }
}

TEST(BoundCompute, FathomingOutcomes) {
  std::int64_t created = 7;
  // Deadline one period short: fathomed, counted, cleared, node_npv kept.
  Net late(chain(2, 3, 50, -70, 4), 0.01);
  late.b.node_npv = 42.5;
  EXPECT_EQ(late.bound(NO_INCUMBENT, created), BoundOutcome::fathomed);
  EXPECT_EQ(created, 8);
  EXPECT_EQ(late.b.node_npv, 42.5);
  EXPECT_TRUE(late.cleared());

  // A bound equal to the incumbent fathoms; one just above it survives.
  Net n(chain(2, 3, -300, 100, 12), 0.1);
  ASSERT_EQ(n.bound(NO_INCUMBENT, created), BoundOutcome::open);
  const double value = n.b.node_npv;
  const Times schedule = n.finish();
  clear_schedule(n.m, n.b);
  n.b.node_npv = 0.0;
  EXPECT_EQ(n.bound(value, created), BoundOutcome::fathomed);
  EXPECT_EQ(n.b.node_npv, value);  // written even when fathomed by the bound
  EXPECT_TRUE(n.cleared());
  EXPECT_EQ(n.bound(std::nextafter(value, NO_INCUMBENT), created), BoundOutcome::open);
  EXPECT_EQ(n.finish(), schedule);
  EXPECT_EQ(created, 11);

  // All cash flows zero: the bound is 0.0, above no incumbent or -9999 but not above 0.0.
  Net zero(chain(2, 3, 0, 0, 10), 0.01);
  for (const double best : {NO_INCUMBENT, -9999.0}) {
    ASSERT_EQ(zero.bound(best, created), BoundOutcome::open);
    EXPECT_EQ(zero.b.node_npv, 0.0);
    EXPECT_EQ(zero.finish(), (Times{0, 2, 5, 10}));
    clear_schedule(zero.m, zero.b);
  }
  EXPECT_EQ(zero.bound(0.0, created), BoundOutcome::fathomed);
  EXPECT_TRUE(zero.cleared());
}

}  // namespace
}  // namespace rcpspdc
