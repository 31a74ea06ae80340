// Deadlines of thousands of periods, up to the limit of 100000: the bound and
// the search against enumeration on small networks whose long activities
// leave almost no choice, so that the one short activity may float over the
// whole horizon while the enumeration stays cheap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "tests/bound_checks.hpp"
#include "tests/search_checks.hpp"

namespace rcpspdc::test {
namespace {

// All real activities but one form a chain whose durations fill the horizon
// up to a margin of 0..2 periods; the short one (1..3 periods, anywhere in
// the index order) follows chain members before it and precedes chain members
// after it at random, or hangs between the dummies. Arcs go from lower to
// higher indices. One resource of capacity 1: the short activity and, at
// random, chain members demand it.
InstanceData long_horizon_instance(std::mt19937& g, int real, int horizon) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); };
  const int n = real + 2;
  const int free_at = pick(1, real);
  std::vector<int> chain;
  for (int i = 1; i <= real; ++i)
    if (i != free_at) chain.push_back(i);
  std::vector<Act> acts(static_cast<std::size_t>(n));
  int left = horizon - pick(0, 2);
  for (std::size_t c = 0; c < chain.size(); ++c) {
    Act& a = acts[static_cast<std::size_t>(chain[c])];
    const int rest = static_cast<int>(chain.size() - c - 1);
    a.duration = c + 1 == chain.size() ? left : pick(1, left - rest);
    left -= a.duration;
    a.demand = {pick(0, 1)};
    a.successors = {c + 1 == chain.size() ? n - 1 : chain[c + 1]};
  }
  acts[0].successors = {chain.front()};
  Act& f = acts[static_cast<std::size_t>(free_at)];
  f.duration = pick(1, 3);
  f.demand = {1};
  for (int c : chain)
    if (c > free_at && pick(0, 1) == 1) f.successors.push_back(c);
  if (f.successors.empty()) f.successors.push_back(n - 1);
  bool follows = false;
  for (int c : chain)
    if (c < free_at && pick(0, 1) == 1) {
      acts[static_cast<std::size_t>(c)].successors.push_back(free_at);
      follows = true;
    }
  if (!follows) acts[0].successors.push_back(free_at);
  for (int i = 1; i <= real; ++i) acts[static_cast<std::size_t>(i)].cash_flow = pick(-500, 500);
  for (Act& a : acts) std::shuffle(a.successors.begin(), a.successors.end(), g);
  return make_instance({1}, acts, horizon);
}

// Best value over every schedule in index order, finish times from the
// earliest after the predecessors to the latest that leaves room for the
// longest path behind; with `resources`, only schedules within the capacity.
// Minus infinity when there is none.
double enumerated_best(const InstanceData& d, double rate, bool resources) {
  const int n = d.activity_count;
  std::vector<int> tail(static_cast<std::size_t>(n),
                        0);  // longest path from the finish to the end
  for (int i = n - 2; i >= 0; --i)
    for (int s : d.successors[static_cast<std::size_t>(i)])
      tail[static_cast<std::size_t>(i)] =
          std::max(tail[static_cast<std::size_t>(i)],
                   tail[static_cast<std::size_t>(s)] + d.duration[static_cast<std::size_t>(s)]);
  std::vector<int> finish(static_cast<std::size_t>(n), 0);
  double best = -std::numeric_limits<double>::infinity();
  const auto within_capacity = [&]() {
    // Load is highest at some activity's first period.
    for (int i = 1; i < n - 1; ++i) {
      const int t =
          finish[static_cast<std::size_t>(i)] - d.duration[static_cast<std::size_t>(i)] + 1;
      int load = 0;
      for (int j = 1; j < n - 1; ++j)
        if (finish[static_cast<std::size_t>(j)] - d.duration[static_cast<std::size_t>(j)] < t &&
            t <= finish[static_cast<std::size_t>(j)])
          load += d.requirement[static_cast<std::size_t>(j)][0];
      if (load > d.capacity[0]) return false;
    }
    return true;
  };
  const auto place = [&](auto&& self, int i) -> void {
    if (i == n - 1) {
      if (resources && !within_capacity()) return;
      double npv = 0.0;
      for (int a = n - 2; a >= 1; --a)
        npv += d.cash_flow[static_cast<std::size_t>(a)] *
               std::exp(-rate * finish[static_cast<std::size_t>(a)]);
      best = std::max(best, npv);
      return;
    }
    const int dur = d.duration[static_cast<std::size_t>(i)];
    int earliest = dur;
    for (int p = 0; p < i; ++p)
      for (int s : d.successors[static_cast<std::size_t>(p)])
        if (s == i) earliest = std::max(earliest, finish[static_cast<std::size_t>(p)] + dur);
    for (int t = earliest; t <= d.deadline - tail[static_cast<std::size_t>(i)]; ++t) {
      finish[static_cast<std::size_t>(i)] = t;
      self(self, i + 1);
    }
  };
  place(place, 1);
  return best;
}

// Horizons around the old "no value" 9999, the 16-bit limit and the deadline limit.
constexpr int HORIZONS[] = {9997,  9998,  9999,  10000, 10002, 12000,
                            65534, 65535, 65536, 70000, 99999, 100000};

TEST(LongHorizon, BoundMatchesEnumeration) {
  std::mt19937 g(7301u);
  int negative_floaters = 0, feasible = 0;
  for (int trial = 0; trial < 72; ++trial) {
    const int horizon = HORIZONS[trial % std::size(HORIZONS)];
    const InstanceData d = long_horizon_instance(g, 2 + trial % 3, horizon);
    SCOPED_TRACE("trial " + std::to_string(trial) + " horizon " + std::to_string(horizon));
    Net net(d, 0.0001);
    std::int64_t created = 0;
    const double expected = enumerated_best(d, 0.0001, false);
    // The short activity may lengthen the chain beyond the deadline.
    ASSERT_EQ(net.bound(NO_INCUMBENT, created),
              expected == -std::numeric_limits<double>::infinity() ? BoundOutcome::fathomed
                                                                   : BoundOutcome::open);
    if (expected == -std::numeric_limits<double>::infinity()) continue;
    ++feasible;
    EXPECT_NEAR(net.b.node_npv, expected, 1e-9);
    for (int i = 1; i < d.activity_count - 1; ++i)
      negative_floaters += d.duration[static_cast<std::size_t>(i)] <= 3 &&
                           d.cash_flow[static_cast<std::size_t>(i)] < 0;
  }
  EXPECT_GT(negative_floaters, 20);
  EXPECT_GT(feasible, 36);
}

// Chains whose negative activities belong at the deadline, 9999 periods or
// more after the early schedule puts them: a negative activity alone is moved
// by the backward pass; a negative one followed by a small positive one is
// moved, with its follower, only by the subtree search.
TEST(LongHorizon, NegativeActivityIsShiftedAcrossTheHorizon) {
  for (const int deadline : {10001, 10002, 65535, 65536, 100000}) {
    SCOPED_TRACE(deadline);
    const InstanceData pair =
        make_instance({}, {{0, {}, {1}, 0}, {1, {}, {2}, -100}, {1, {}, {3}, 1}, {}}, deadline);
    Net shifted(pair, 0.01);
    std::int64_t evaluations = 0;
    ASSERT_EQ(shifted.bound(NO_INCUMBENT, evaluations), BoundOutcome::open);
    EXPECT_EQ(shifted.finish(), (std::vector<int>{0, deadline - 1, deadline, deadline}));
    const InstanceData d =
        make_instance({}, {{0, {}, {1}, 0}, {1, {}, {2}, 100}, {1, {}, {3}, -100}, {}}, deadline);
    Net net(d, 0.01);
    std::int64_t created = 0;
    ASSERT_EQ(net.bound(NO_INCUMBENT, created), BoundOutcome::open);
    EXPECT_EQ(net.finish(), (std::vector<int>{0, 1, deadline, deadline}));
    // A three-activity chain with one negative activity.
    const InstanceData three =
        make_instance({}, {{0, {}, {1}, 0}, {1, {}, {2}, -100}, {}}, deadline);
    Net alone(three, 0.01);
    ASSERT_EQ(alone.bound(NO_INCUMBENT, created), BoundOutcome::open);
    EXPECT_EQ(alone.finish(), (std::vector<int>{0, deadline, deadline}));
  }
}

TEST(LongHorizon, SearchMatchesEnumeration) {
  std::mt19937 g(1717u);
  int feasible = 0;
  for (int trial = 0; trial < 48; ++trial) {
    const int horizon = HORIZONS[trial % std::size(HORIZONS)];
    const InstanceData d = long_horizon_instance(g, 2 + trial % 3, horizon);
    SCOPED_TRACE("trial " + std::to_string(trial) + " horizon " + std::to_string(horizon));
    const double expected = enumerated_best(d, 0.0001, true);
    auto loaded = load_solver(d, 0.0001);
    SearchTrace trace;
    checked_search(*loaded, trace);
    ASSERT_EQ(trace.has_incumbent, expected > -std::numeric_limits<double>::infinity());
    if (!trace.has_incumbent) continue;
    ++feasible;
    EXPECT_NEAR(trace.best, expected, 1e-9);
  }
  EXPECT_GT(feasible, 24);
}

}  // namespace
}  // namespace rcpspdc::test
