// The project model's building blocks: activity sets and their scan order,
// the bit tables, packed resource vectors at the 16-bit lane limits, the
// precedence lists and sets after a read, and the cash-flow draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <vector>

#include "formats/instance_file.hpp"
#include "model/cash_flows.hpp"
#include "model/project_model.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

std::vector<int> scan(const ActivitySet& s) {
  std::vector<int> seen;
  for_each_member(s, [&](int i) { seen.push_back(i); });
  return seen;
}

TEST(ActivitySet, ScanVisitsMembersFromTheHighestDown) {
  ActivitySet s{};
  for (int i : {3, 40, 7}) set_add(s, i);
  EXPECT_EQ(scan(s), (std::vector<int>{40, 7, 3}));
  EXPECT_EQ(set_highest(s), 40);

  // Random sets over 128 activities against std::set.
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    ActivitySet a{}, b{};
    std::set<int> ma, mb;
    for (int draw = 0; draw < 2 + round % 30; ++draw) {
      const int i = static_cast<int>(random() % 128), j = static_cast<int>(random() % 128);
      set_add(a, i), ma.insert(i), set_add(b, j), mb.insert(j);
    }
    if (ma.size() > 1) set_toggle(a, *ma.begin()), ma.erase(ma.begin());
    EXPECT_EQ(scan(a), std::vector<int>(ma.rbegin(), ma.rend()));
    EXPECT_EQ(set_size(a), static_cast<int>(ma.size()));
    EXPECT_EQ(set_highest(a), *ma.rbegin());
    EXPECT_EQ(set_is_subset(b, a), std::includes(ma.begin(), ma.end(), mb.begin(), mb.end()));
    EXPECT_EQ(set_is_subset(a, b), std::includes(mb.begin(), mb.end(), ma.begin(), ma.end()));
    ActivitySet u = a;
    set_union(u, b);
    ma.insert(mb.begin(), mb.end());
    EXPECT_EQ(scan(u), std::vector<int>(ma.rbegin(), ma.rend()));
    EXPECT_TRUE(set_is_subset(a, u) && set_is_subset(b, u));
  }
  EXPECT_EQ(set_highest(ActivitySet{}), -1);
  EXPECT_TRUE(scan(ActivitySet{}).empty());
}

// A model with the given capacities; the load packs `load` with its weights.
bool overloaded_load(const std::vector<int>& capacity, const std::vector<int>& load) {
  static ProjectModel m;
  begin_model(m, 2, static_cast<int>(capacity.size()), capacity.data());
  Packed packed = 0;
  for (std::size_t k = 0; k < load.size(); ++k)
    packed += static_cast<Packed>(load[k]) * lane_weight(static_cast<int>(k));
  return overloaded(m.packed_capacity - packed, m.overflow_mask);
}

TEST(PackedResources, OverloadTestAtTheLaneLimits) {
  struct Row {
    std::vector<int> capacity, load;
    bool overloaded;
  };
  const Row rows[] = {
      {{10, 5}, {10, 5}, false},
      {{10, 5}, {10, 6}, true},
      {{10, 5}, {11, 0}, true},
      {{32767}, {32767}, false},
      {{32767}, {32768}, true},
      {{0}, {32767}, true},
      {{32767, 32767, 32767, 32767}, {32767, 32767, 32767, 32767}, false},
      {{32767, 32767, 32767, 32767}, {0, 0, 0, 32768}, true},
      // A negative lower lane borrows from the lanes above it.
      {{5, 10, 3}, {6, 4, 3}, true},
      {{5, 4, 0}, {6, 4, 0}, true},
      {{0, 32767, 32767, 0}, {32767, 0, 0, 0}, true},
      {{5, 0, 0, 7}, {5, 0, 0, 8}, true},
      {{4, 10, 3}, {4, 10, 3}, false},
  };
  for (const Row& row : rows) EXPECT_EQ(overloaded_load(row.capacity, row.load), row.overloaded);

  // Any capacities and loads within the lane limit: the packed test agrees
  // with a lane-by-lane comparison.
  std::mt19937 random(11);
  for (int round = 0; round < 20000; ++round) {
    const auto types = static_cast<std::size_t>(1 + random() % 4);
    std::vector<int> capacity(types), load(types);
    bool expected = false;
    for (std::size_t k = 0; k < types; ++k) {
      const bool edge = random() % 4 == 0;
      capacity[k] = static_cast<int>(edge ? 32767 - random() % 2 : random() % 32768);
      load[k] =
          static_cast<int>(random() % 2 == 0 ? capacity[k] + static_cast<int>(random() % 3) - 1
                                             : static_cast<int>(random() % 32768));
      load[k] = std::clamp(load[k], 0, 32767);
      expected = expected || load[k] > capacity[k];
    }
    ASSERT_EQ(overloaded_load(capacity, load), expected) << round;
  }
}

TEST(PackedResources, WeightsAndMaskUseSixteenBitLanes) {
  static ProjectModel m;
  const int capacity[] = {1, 2, 3, 32767};
  begin_model(m, 4, 4, capacity);
  EXPECT_EQ(m.packed_capacity, 0x7FFF000300020001ull);
  EXPECT_EQ(m.overflow_mask, 0x8000800080008000ull);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(lane_weight(k), Packed{1} << (16 * k));
  const int demand[] = {5, 0, 7, 9};
  set_activity(m, 2, 3, demand);
  EXPECT_EQ(m.packed_demand[2], 0x0009000700000005ull);
  begin_model(m, 4, 2, capacity);
  EXPECT_EQ(m.overflow_mask, 0x80008000ull);
}

// Lists and sets of a model loaded from a file agree with the file: successor
// lists in file order, predecessor lists ascending, both sets in step with
// the lists, and the end entry of pred_list[0] outside every set. All the
// Patterson instances go through one model, so stale rows would show.
void expect_model_matches(const InstanceData& d, const ProjectModel& m) {
  const int n = d.activity_count;
  ASSERT_EQ(m.activity_count, n);
  EXPECT_EQ(m.end_activity, n - 1);
  for (int i = 0; i < n; ++i) {
    const auto& succ = d.successors[static_cast<std::size_t>(i)];
    EXPECT_EQ(std::vector<int>(m.succ_list[i], m.succ_list[i] + m.succ_count[i]), succ) << i;
    std::vector<int> preds;
    for (int p = 0; p < n; ++p)
      for (int s : d.successors[static_cast<std::size_t>(p)])
        if (s == i) preds.push_back(p);
    if (i == 0) preds.push_back(n - 1);
    EXPECT_EQ(std::vector<int>(m.pred_list[i], m.pred_list[i] + m.pred_count[i]), preds) << i;
    if (i == 0) preds.pop_back();
    const std::set<int> succ_members(succ.begin(), succ.end());
    EXPECT_EQ(scan(m.succ_set[i]), std::vector<int>(succ_members.rbegin(), succ_members.rend()))
        << i;
    EXPECT_EQ(scan(m.pred_set[i]), std::vector<int>(preds.rbegin(), preds.rend())) << i;
    EXPECT_EQ(m.duration[i], d.duration[static_cast<std::size_t>(i)]);
    Packed demand = 0;
    for (int k = 0; k < d.resource_count; ++k)
      demand += static_cast<Packed>(
                    d.requirement[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)])
                << (16 * k);
    EXPECT_EQ(m.packed_demand[i], demand);
  }
  EXPECT_EQ(m.succ_count[n - 1], 0);
}

TEST(ProjectModelRead, ListsAndSetsAfterARead) {
  // Activity 1 lists its successors out of order; activity 5 has three predecessors.
  InstanceData d;
  ASSERT_TRUE(
      parse_instance_text("5 1\n4\n0 0 3 4 2 3\n1 1 1 5\n2 2 1 5\n3 1 1 5\n0 0 0\n", d).ok());
  d.deadline = 9;
  static ProjectModel m;
  load_model(d, m);
  EXPECT_EQ(std::vector<int>(m.succ_list[0], m.succ_list[0] + 3), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(std::vector<int>(m.pred_list[4], m.pred_list[4] + m.pred_count[4]),
            (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(m.pred_count[0], 1);
  EXPECT_EQ(m.pred_list[0][0], 4);
  EXPECT_TRUE(set_is_empty(m.pred_set[0]));
  EXPECT_EQ(m.deadline, 9);
  expect_model_matches(d, m);

  int loaded = 0;
  for (int number = 110; number >= 1; --number) {
    InstanceData p;
    if (!read_instance_file(
             (data_dir() / "pat" / ("pat" + std::to_string(number) + ".rcp")).string(), p)
             .ok())
      continue;
    SCOPED_TRACE(number);
    load_model(p, m);
    expect_model_matches(p, m);
    ++loaded;
  }
  EXPECT_GE(loaded, 100);
}

TEST(CashFlows, DistributionAndTwoDrawsPerRealActivity) {
  InstanceData d;
  d.activity_count = MAX_ACTIVITIES;
  for (int percent : {0, 100, 150, -5, 60}) {
    std::vector<int> all;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
      std::mt19937 generator(seed);
      draw_cash_flows(d, generator, percent);
      ASSERT_EQ(d.cash_flow.size(), std::size_t{MAX_ACTIVITIES});
      EXPECT_EQ(d.cash_flow.front(), 0);
      EXPECT_EQ(d.cash_flow.back(), 0);
      std::mt19937 check(seed);
      for (int i = 1; i < MAX_ACTIVITIES - 1; ++i) {
        const int flow = d.cash_flow[static_cast<std::size_t>(i)];
        const int magnitude = static_cast<int>(check() % 500) + 1;
        const bool negative = static_cast<int>(check() % 100) < percent;
        ASSERT_EQ(flow, negative ? -magnitude : magnitude) << "seed " << seed << " activity " << i;
        all.push_back(flow);
      }
    }
    const auto negatives = std::count_if(all.begin(), all.end(), [](int f) { return f < 0; });
    const double share = static_cast<double>(negatives) / static_cast<double>(all.size());
    EXPECT_NEAR(share, std::clamp(percent, 0, 100) / 100.0, 0.03) << percent;
    EXPECT_EQ(negatives == 0 || negatives == static_cast<long>(all.size()),
              percent <= 0 || percent >= 100);
    for (int& f : all) f = std::abs(f);
    EXPECT_EQ(*std::min_element(all.begin(), all.end()), 1);
    EXPECT_EQ(*std::max_element(all.begin(), all.end()), 500);
  }
  // Two activities: nothing is drawn.
  d.activity_count = 2;
  std::mt19937 untouched(9), fresh(9);
  draw_cash_flows(d, untouched, 50);
  EXPECT_EQ(d.cash_flow, (std::vector<int>{0, 0}));
  EXPECT_EQ(untouched(), fresh());
}

}  // namespace
}  // namespace rcpspdc::test
