// Helpers of the search tests: random tiny instances, reference rows of the
// Patterson set, and an observer that checks the structural invariants of
// the search after every step.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "formats/instance_file.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {

// A random instance of 2 + real activities: 1 or 2 resources of capacity 1..4,
// demands up to the capacity, durations 1..4, random forward arcs, every
// activity on a path from the start to the end; deadline left at 0.
inline InstanceData random_instance(std::mt19937& rng, int real, int cash_scale = 1) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int n = real + 2;
  std::vector<int> capacity(static_cast<std::size_t>(pick(1, 2)));
  for (int& c : capacity) c = pick(1, 4);
  std::vector<Act> acts(static_cast<std::size_t>(n));
  std::vector<bool> has_pred(static_cast<std::size_t>(n), false);
  const int arc_percent = pick(0, 45);
  for (int i = 1; i <= real; ++i) {
    Act& a = acts[static_cast<std::size_t>(i)];
    a.duration = pick(1, 4);
    for (int c : capacity) a.demand.push_back(pick(0, c));
    a.cash_flow = pick(-50, 50) * cash_scale;
    for (int j = i + 1; j <= real; ++j)
      if (pick(1, 100) <= arc_percent) {
        a.successors.push_back(j);
        has_pred[static_cast<std::size_t>(j)] = true;
      }
    if (a.successors.empty()) a.successors.push_back(n - 1);
  }
  for (int i = 1; i <= real; ++i)
    if (!has_pred[static_cast<std::size_t>(i)]) acts[0].successors.push_back(i);
  return make_instance(capacity, acts, 0);
}

// One row of tests/data/pat_reference.csv with its instance read and the
// row's deadline and cash flows set.
struct ReferenceRow {
  int number = 0, offset = 0;
  double rate = 0.0, npv = 0.0;
  bool optimal = false, readable = false;
  InstanceData instance;
};

inline std::vector<ReferenceRow> reference_rows() {
  std::vector<ReferenceRow> rows;
  std::ifstream in(data_dir() / "pat_reference.csv");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> field;
    std::stringstream fields(line);
    for (std::string f; std::getline(fields, f, ',');) field.push_back(f);
    ReferenceRow row;
    row.number = std::stoi(field.at(0));
    row.offset = std::stoi(field.at(1));
    row.rate = std::stod(field.at(3));
    row.optimal = field.at(6) == "optimal";
    if (row.optimal) row.npv = std::stod(field.at(5));
    const auto path = data_dir() / "pat" / ("pat" + field[0] + ".rcp");
    row.readable = read_instance_file(path.string(), row.instance).ok();
    if (row.readable) {
      row.instance.deadline = std::stoi(field.at(2));
      row.instance.cash_flow.assign(static_cast<std::size_t>(row.instance.activity_count), 0);
      std::stringstream flows(field.at(4));
      std::size_t i = 1;
      for (std::string f; std::getline(flows, f, ';');)
        row.instance.cash_flow.at(i++) = std::stoi(f);
      EXPECT_EQ(i, row.instance.cash_flow.size() - 1) << "row of pat" << row.number;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

inline const ReferenceRow& find_row(const std::vector<ReferenceRow>& rows, int number,
                                    int offset) {
  return *std::find_if(rows.begin(), rows.end(), [&](const ReferenceRow& r) {
    return r.number == number && r.offset == offset;
  });
}

// Precedence counts and sets of every activity.
struct Network {
  std::vector<int> counts;
  std::vector<ActivitySet> sets;
  bool operator==(const Network& o) const {
    if (counts != o.counts || sets.size() != o.sets.size()) return false;
    for (std::size_t i = 0; i < sets.size(); ++i)
      if (!set_equal(sets[i], o.sets[i])) return false;
    return true;
  }
};

inline Network capture(const ProjectModel& m) {
  Network net;
  for (int i = 0; i < m.activity_count; ++i) {
    net.counts.insert(net.counts.end(), {m.succ_count[i], m.pred_count[i]});
    net.sets.insert(net.sets.end(), {m.succ_set[i], m.pred_set[i]});
  }
  return net;
}

struct SearchTrace {
  std::int64_t created = 0, branched = 0;
  bool has_incumbent = false;
  double best = 0.0;
  int max_nodes = 0, max_level = 0, max_cuts = 0;  // high-water marks
};

// Checks the invariants of the search as the driver runs it: after every
// branching that the network is unchanged, and after every backtrack that
// the left levels gave back their pool block, their cutset entries and their
// path records, and that the network is the one the current list was filled
// in. Records the high-water marks of the tables.
class InvariantObserver : public SearchObserver {
 public:
  explicit InvariantObserver(SearchTrace& trace) : trace_(trace) {}

  void before_branching(const Solver& solver) override {
    // Row L: the network when list L was filled; row 0 the one read.
    const auto L = static_cast<std::size_t>(solver.search.level);
    if (filled_in_.empty()) filled_in_.push_back(capture(solver.model));
    filled_in_.resize(L + 1);
    filled_in_[L] = capture(solver.model);
  }

  void after_branching(const Solver& solver) override {
    const SearchState& s = solver.search;
    EXPECT_TRUE(capture(solver.model) == filled_in_[static_cast<std::size_t>(s.level)])
        << "branching changed the network";
    trace_.max_nodes = std::max(trace_.max_nodes, s.node_count);
    trace_.max_level = std::max(trace_.max_level, s.level);
    trace_.max_cuts = std::max(trace_.max_cuts, s.cut_count);
  }

  void after_backtrack(const Solver& solver, int from) override {
    const SearchState& s = solver.search;
    const int to = s.level;
    if (to < from) {
      const int L = to + 1;  // the last level left
      EXPECT_EQ(s.node_count, s.level_base[static_cast<std::size_t>(L)]);
      for (int l = L; l <= from; ++l)
        EXPECT_TRUE(set_is_empty(s.path_delayed[static_cast<std::size_t>(l)]));
      if (to >= 1) {
        EXPECT_EQ(s.cut_count, s.level_cut_base[static_cast<std::size_t>(L)] + 1);
        const auto e = static_cast<std::size_t>(s.cut_count - 1);
        const auto x = static_cast<std::size_t>(s.level_node[static_cast<std::size_t>(to)]);
        EXPECT_TRUE(set_equal(s.cut_union[e], s.path_delayed[static_cast<std::size_t>(to)]));
        EXPECT_TRUE(set_equal(s.cut_delay[e], s.node_delay[x]));
        EXPECT_EQ(s.cut_activity[e], s.node_activity[x]);
        EXPECT_EQ(s.cut_level[e], to);
      }
    }
    if (filled_in_.empty()) return;  // the root was never branched
    EXPECT_TRUE(capture(solver.model) == filled_in_[static_cast<std::size_t>(to)])
        << "restore at level " << to;
  }

 private:
  SearchTrace& trace_;
  std::vector<Network> filled_in_;
};

// The search as solve() runs it, with the invariants checked throughout;
// stopped by a node limit when `node_limit` is above 0.
inline void checked_search(LoadedSolver& loaded, SearchTrace& trace, std::int64_t node_limit = 0) {
  InvariantObserver observer(trace);
  SearchState& s = loaded.solver->search;
  s.observer = &observer;
  loaded.limits.node_limit = node_limit;
  const SearchResult& result = solve(loaded);
  s.observer = nullptr;
  trace.created = result.created_nodes;
  trace.branched = result.branched_nodes;
  trace.has_incumbent = result.has_incumbent;
  trace.best = result.value;
}

}  // namespace rcpspdc::test
