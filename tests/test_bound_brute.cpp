// Independent checks of the bound: on random small networks its schedule must
// reach the best net present value that plain enumeration of every
// precedence-feasible schedule finds; on the Patterson instances its root
// schedule must respect the file's arcs and the deadline and must value at
// least the known resource-feasible optimum.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <sstream>

#include "formats/instance_file.hpp"
#include "model/cash_flows.hpp"
#include "tests/bound_checks.hpp"

namespace rcpspdc {
namespace {

using test::Net;
using test::NO_INCUMBENT;

// Summed from the last real activity down, so the bound's value must match
// it bit for bit.
double npv_of(const InstanceData& d, const std::vector<int>& finish, double rate) {
  double sum = 0.0;
  for (int i = d.activity_count - 2; i >= 1; --i)
    sum += d.cash_flow[i] * std::exp(-rate * finish[i]);
  return sum;
}

// The first way the schedule breaks an arc of the instance, the deadline or
// the fixed ends; "" when it keeps them all.
std::string precedence_fault(const InstanceData& d, const std::vector<int>& finish) {
  const int n = d.activity_count;
  if (finish[0] != 0) return "start dummy not at 0";
  if (finish[n - 1] != d.deadline) return "end dummy not at the deadline";
  for (int i = 0; i < n; ++i) {
    const int f = finish[i];
    if (f - d.duration[i] < 0 || f > d.deadline)
      return "activity " + std::to_string(i) + " out of range";
    for (int s : d.successors[i])
      if (finish[s] - d.duration[s] < f)
        return "arc " + std::to_string(i) + " -> " + std::to_string(s) + " broken";
  }
  return "";
}

// The final bound tree spans all activities with n - 1 arcs: the deadline arc
// end -> 0 and otherwise arcs of the network that hold with zero slack.
std::string tree_fault(const Net& net) {
  const ProjectModel& m = net.m;
  const int n = m.activity_count;
  std::vector<int> root(n);
  std::iota(root.begin(), root.end(), 0);
  auto find = [&](int x) {
    while (root[x] != x) x = root[x];
    return x;
  };
  int arcs = 0;
  const test::Rows tree = net.tree();
  for (int p = 0; p < n; ++p)
    for (int s : tree[p]) {
      const std::string arc = std::to_string(p) + " -> " + std::to_string(s);
      if (s >= n) return "tree arc " + arc + " leaves the instance";
      if (p == m.end_activity ? s != 0
                              : (!set_contains(m.succ_set[p], s) ||
                                 m.finish_time[s] - m.duration[s] != m.finish_time[p]))
        return "tree arc " + arc + " is no tight arc";
      if (find(p) == find(s)) return "tree arc " + arc + " closes a cycle";
      root[find(p)] = find(s);
      ++arcs;
    }
  return arcs == n - 1 ? "" : "tree has " + std::to_string(arcs) + " arcs";
}

// A random network of k real activities. Arcs run forward in a hidden order
// of positions, the numbering is shuffled, and successor lists are in random
// order; redundant arcs from the start and to the end appear now and then.
struct Network {
  InstanceData data;
  std::vector<int> act;                 // activity at each position
  std::vector<std::vector<int>> preds;  // per position, earlier positions it follows
  std::vector<int> tail;                // per position, longest path after it
  int critical = 0;                     // earliest completion
};

Network random_network(std::mt19937& g, int k) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); };
  Network net;
  InstanceData& d = net.data;
  d.activity_count = k + 2;
  d.duration.assign(k + 2, 0);
  d.cash_flow.assign(k + 2, 0);
  d.successors.assign(k + 2, {});
  d.requirement.assign(k + 2, {});
  net.act.resize(k);
  std::iota(net.act.begin(), net.act.end(), 1);
  std::shuffle(net.act.begin(), net.act.end(), g);
  net.preds.assign(k, {});
  net.tail.assign(k, 0);
  std::vector<int> head(k, 0);
  for (int b = 0; b < k; ++b) {
    const int i = net.act[b];
    d.duration[i] = pick(1, 4);
    d.cash_flow[i] = pick(-500, 500);
    for (int a = 0; a < b; ++a)
      if (pick(0, 99) < 35) {
        net.preds[b].push_back(a);
        d.successors[net.act[a]].push_back(i);
        head[b] = std::max(head[b], head[a]);
      }
    if (net.preds[b].empty() || pick(0, 9) == 0) d.successors[0].push_back(i);
    head[b] += d.duration[i];
    net.critical = std::max(net.critical, head[b]);
  }
  for (int b = k - 1; b >= 0; --b) {
    for (int a : net.preds[b])
      net.tail[a] = std::max(net.tail[a], net.tail[b] + d.duration[net.act[b]]);
    auto& list = d.successors[net.act[b]];
    if (list.empty() || pick(0, 9) == 0) list.push_back(k + 1);
  }
  for (auto& list : d.successors) std::shuffle(list.begin(), list.end(), g);
  return net;
}

// Best value over every schedule: positions in order, each finish from its
// earliest after the predecessors to the latest that leaves room for the rest.
double brute_force_best(const Network& net, double rate) {
  const InstanceData& d = net.data;
  const int k = static_cast<int>(net.act.size());
  std::vector<int> finish(k, 0);
  double best = NO_INCUMBENT;
  auto visit = [&](auto&& self, int b, double value) -> void {
    if (b == k) {
      best = std::max(best, value);
      return;
    }
    const int act = net.act[b];
    int lo = d.duration[act];
    for (int a : net.preds[b]) lo = std::max(lo, finish[a] + d.duration[act]);
    for (int f = lo; f <= d.deadline - net.tail[b]; ++f) {
      finish[b] = f;
      self(self, b + 1, value + d.cash_flow[act] * std::exp(-rate * f));
    }
  };
  visit(visit, 0, 0.0);
  return best;
}

TEST(BoundBrute, MatchesEnumeratedOptimum) {
  std::mt19937 g(20240611u);
  for (int trial = 0; trial < 300; ++trial) {
    Network net = random_network(g, 2 + trial % 6);
    for (const double rate : {0.01, 0.1}) {
      net.data.deadline = net.critical + std::uniform_int_distribution<int>(0, 3)(g);
      SCOPED_TRACE("trial " + std::to_string(trial) + " rate " + std::to_string(rate) +
                   " deadline " + std::to_string(net.data.deadline));
      Net n(net.data, rate);
      std::int64_t created = 0;
      ASSERT_EQ(n.bound(NO_INCUMBENT, created), BoundOutcome::open);
      const std::vector<int> schedule = n.finish();
      ASSERT_EQ(precedence_fault(net.data, schedule), "");
      ASSERT_EQ(tree_fault(n), "");
      const double value = n.b.node_npv;
      EXPECT_EQ(value, npv_of(net.data, schedule, rate));
      EXPECT_NEAR(value, brute_force_best(net, rate), 1e-9);

      // Fathomed by the bound (equal to the incumbent): all cleared.
      clear_schedule(n.m, n.b);
      EXPECT_EQ(n.bound(value, created), BoundOutcome::fathomed);
      ASSERT_TRUE(n.cleared());
      // The same evaluation again gives the same bits and the same schedule.
      ASSERT_EQ(n.bound(NO_INCUMBENT, created), BoundOutcome::open);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(n.b.node_npv), std::bit_cast<std::uint64_t>(value));
      EXPECT_EQ(n.finish(), schedule);
      // Fathomed by the deadline: all cleared, node_npv kept.
      clear_schedule(n.m, n.b);
      n.m.deadline = net.critical - 1;
      EXPECT_EQ(n.bound(NO_INCUMBENT, created), BoundOutcome::fathomed);
      ASSERT_TRUE(n.cleared());
      EXPECT_EQ(std::bit_cast<std::uint64_t>(n.b.node_npv), std::bit_cast<std::uint64_t>(value));
      EXPECT_EQ(created, 4);
    }
  }
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, sep);) parts.push_back(part);
  return parts;
}

TEST(BoundPatterson, RootScheduleKeepsArcsAndDeadline) {
  // Rows: number, offset, deadline, rate, cash flows, optimum (may be empty), ...
  std::vector<std::vector<std::string>> rows;
  std::stringstream csv(test::slurp(test::data_dir() / "pat_reference.csv"));
  std::string line;
  std::getline(csv, line);
  while (std::getline(csv, line)) rows.push_back(split(line, ','));
  // Instances the reference does not cover get fixed-seed cash flows.
  for (int number = 1; number <= 110; ++number)
    if (std::none_of(rows.begin(), rows.end(),
                     [&](const auto& r) { return std::stoi(r[0]) == number; }))
      rows.push_back({std::to_string(number), "0", "", "0.01", "", ""});
  ASSERT_GE(rows.size(), 216u);

  int evaluated = 0;
  for (const auto& row : rows) {
    const int number = std::stoi(row[0]);
    const double rate = std::stod(row[3]);
    SCOPED_TRACE("pat" + row[0] + " offset " + row[1]);
    InstanceData d;
    const std::string dir = (test::data_dir() / "pat").string();
    if (!read_instance_file(dir + "/pat" + row[0] + ".rcp", d).ok()) continue;
    ASSERT_TRUE(
        read_deadline_file(dir + "/deadline.pat", number, std::stoi(row[1]), d.deadline).ok());
    if (row[4].empty()) {
      std::mt19937 g(static_cast<std::uint32_t>(number));
      draw_cash_flows(d, g, 50);
    } else {
      ASSERT_EQ(d.deadline, std::stoi(row[2]));
      const auto flows = split(row[4], ';');
      ASSERT_EQ(static_cast<int>(flows.size()), d.activity_count - 2);
      d.cash_flow.assign(d.activity_count, 0);
      for (std::size_t i = 0; i < flows.size(); ++i) d.cash_flow[i + 1] = std::stoi(flows[i]);
    }
    Net n(d, rate);
    std::int64_t created = 0;
    ASSERT_EQ(n.bound(NO_INCUMBENT, created), BoundOutcome::open);
    EXPECT_EQ(precedence_fault(d, n.finish()), "");
    EXPECT_EQ(tree_fault(n), "");
    EXPECT_EQ(n.b.node_npv, npv_of(d, n.finish(), rate));
    // Dropping the resources can only raise the optimum.
    const double reference = row[5].empty() ? NO_INCUMBENT : std::stod(row[5]);
    EXPECT_GE(n.b.node_npv, reference - 1e-6);
    ++evaluated;
  }
  // The reader refuses pat9 and pat13 (real activities of duration 0) and
  // pat3 (an activity without a path to the end).
  EXPECT_GE(evaluated, 214);
}

}  // namespace
}  // namespace rcpspdc
