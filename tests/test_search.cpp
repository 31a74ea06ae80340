// The branch-and-bound procedures on hand-set states: the order of the
// delaying alternatives, the level lists, the snapshots, the dominance rule,
// the counters and the limits; and table growth on real searches.
#include <gtest/gtest.h>

#include <limits>

#include "check/schedule_check.hpp"
#include "platform/platform.hpp"
#include "search/delaying_search.hpp"
#include "tests/bound_checks.hpp"
#include "tests/fake_platform.hpp"
#include "tests/search_checks.hpp"
#include "window_search/start_time_engine.hpp"

namespace rcpspdc::test {
namespace {

ActivitySet set_of(std::initializer_list<int> members) {
  ActivitySet s{};
  for (int i : members) set_add(s, i);
  return s;
}

std::vector<int> members(const ActivitySet& s) {
  std::vector<int> out;
  for_each_member(s, [&](int i) { out.push_back(i); });
  return out;
}

// n real activities of duration 1 side by side, one resource; demand 1 unless given.
InstanceData parallel_instance(int n, int capacity, int deadline, std::vector<int> demand = {}) {
  demand.resize(static_cast<std::size_t>(n), 1);
  std::vector<Act> acts(static_cast<std::size_t>(n) + 2);
  for (int i = 1; i <= n; ++i) {
    acts[0].successors.push_back(i);
    acts[static_cast<std::size_t>(i)] =
        Act{1, {demand[static_cast<std::size_t>(i) - 1]}, {n + 1}, 10 + (i * 37) % 90};
  }
  return make_instance({capacity}, acts, deadline);
}

// Every alternative of a hand-set conflict that is not dominated leaves one
// cutset entry in the order it was tested: fathomed when the incumbent value
// is out of reach, resource-feasible (and maybe the new incumbent) otherwise.
TEST(SearchExamples, DelayingAlternativesComeInEnumerationOrder) {
  struct Case {
    int capacity;
    std::vector<int> demand;                                 // of activities 1, 2, ...
    std::vector<std::pair<std::vector<int>, int>> expected;  // (delaying set, delaying activity)
  };
  const std::vector<Case> cases = {
      {4, {2, 2, 2}, {{{3}, 2}, {{3}, 1}, {{2}, 3}, {{2}, 1}, {{1}, 3}, {{1}, 2}}},
      {5, {2, 4, 1}, {{{2}, 3}, {{2}, 1}, {{1}, 3}, {{1}, 2}}},
      // A member without demand is never delayed and always a delaying activity.
      {4,
       {2, 2, 2, 0},
       {{{3}, 4}, {{3}, 2}, {{3}, 1}, {{2}, 4}, {{2}, 3}, {{2}, 1}, {{1}, 4}, {{1}, 3}, {{1}, 2}}},
  };
  for (const Case& c : cases)
    for (const bool fathom_all : {true, false}) {
      const int n = static_cast<int>(c.demand.size());
      auto loaded = load_solver(parallel_instance(n, c.capacity, 10, c.demand), 0.01);
      Solver& solver = *loaded->solver;
      SearchState& s = solver.search;
      init_search(solver, loaded->interest_rate);
      if (fathom_all) s.best_npv = 1e9;
      s.conflict_set = {};
      s.node_excess = solver.model.packed_capacity;
      for (int i = 1; i <= n; ++i) {
        set_add(s.conflict_set, i);
        s.node_excess -= solver.model.packed_demand[i];
      }
      const Network before = capture(solver.model);
      push_level(solver);
      EXPECT_EQ(branch_node(solver), Branching::no_child);
      EXPECT_TRUE(capture(solver.model) == before);
      EXPECT_EQ(s.has_incumbent, !fathom_all);
      std::vector<std::pair<std::vector<int>, int>> tested;
      for (int e = 0; e < s.cut_count; ++e) {
        const auto entry = static_cast<std::size_t>(e);
        tested.emplace_back(members(s.cut_delay[entry]), s.cut_activity[entry]);
        EXPECT_TRUE(set_equal(s.cut_union[entry], s.cut_delay[entry]));
        EXPECT_EQ(s.cut_level[entry], 1);
      }
      EXPECT_EQ(tested, c.expected)
          << "capacity " << c.capacity << (fathom_all ? ", all fathomed" : "");
      EXPECT_EQ(s.created_nodes, 1 + static_cast<std::int64_t>(c.expected.size()));
    }
}

TEST(SearchExamples, ListInsertionKeepsTheTieOrder) {
  struct Case {
    std::vector<double> list;  // bounds of slots 0, 1, ... in list order
    double bound;              // of the new node, slot list.size()
    std::vector<int> expected;
  };
  const std::vector<Case> cases = {
      {{9, 7, 7}, 7, {0, 3, 1, 2}},
      {{7, 5}, 7, {0, 2, 1}},
      {{7, 5}, 8, {2, 0, 1}},
      {{}, 7, {0}},
      {{9, 7, 7, 5}, 7, {0, 4, 1, 2, 3}},
      {{7, 7, 5}, 7, {0, 3, 1, 2}},
      {{9, 7, 7, 5}, 10, {4, 0, 1, 2, 3}},
      {{9, 7, 7, 5}, 4, {0, 1, 2, 3, 4}},
      {{9, 7, 7, 5}, 5, {0, 1, 2, 4, 3}},
  };
  auto loaded = load_solver(parallel_instance(2, 2, 5), 0.01);
  Solver& solver = *loaded->solver;
  SearchState& s = solver.search;
  init_search(solver, loaded->interest_rate);
  s.level = 1;
  for (const Case& c : cases) {
    const int k = static_cast<int>(c.list.size());
    s.level_head[1] = k == 0 ? LIST_END : 0;
    for (int i = 0; i < k; ++i) {
      s.node_bound[static_cast<std::size_t>(i)] = c.list[static_cast<std::size_t>(i)];
      s.node_next[static_cast<std::size_t>(i)] = i + 1 < k ? i + 1 : LIST_END;
    }
    solver.bound.node_npv = c.bound;
    insert_node(solver, k);
    std::vector<int> order;
    for (int x = s.level_head[1]; x != LIST_END && order.size() < 10;
         x = s.node_next[static_cast<std::size_t>(x)])
      order.push_back(x);
    EXPECT_EQ(order, c.expected) << "new bound " << c.bound << " into a list of " << k;
  }
}

// A list is kept only while its head beats the incumbent strictly.
TEST(SearchExamples, BacktrackKeepsOnlyAHeadAboveTheIncumbent) {
  struct Case {
    bool list;
    double head;
    int result;
  };
  const Case cases[] = {{true, 5.0, 0}, {true, 5.000001, 1}, {true, 4.0, 0}, {false, 0.0, 0}};
  auto loaded = load_solver(parallel_instance(3, 1, 10), 0.01);
  Solver& solver = *loaded->solver;
  SearchState& s = solver.search;
  for (const Case& c : cases) {
    init_search(solver, loaded->interest_rate);
    s.best_npv = 5.0;
    s.conflict_set = set_of({1, 2, 3});
    push_level(solver);
    s.level_base[1] = 0;
    s.level_head[1] = c.list ? 0 : LIST_END;
    s.node_bound[0] = c.head;
    s.node_next[0] = LIST_END;
    s.node_count = 1;
    EXPECT_EQ(backtrack(solver), c.result) << "head " << c.head;
    EXPECT_EQ(s.level, c.result);
    EXPECT_EQ(s.node_count, c.result);
  }
}

TEST(SearchExamples, SnapshotSlotsAndRestore) {
  std::vector<Act> acts(42);
  for (int i = 1; i <= 40; ++i) {
    acts[0].successors.push_back(i);
    acts[static_cast<std::size_t>(i)] = Act{1, {1}, {41}, 1};
  }
  acts[1].successors.push_back(40);
  acts[2].successors.push_back(40);
  acts[7].successors.insert(acts[7].successors.end(), {9, 10});
  auto loaded = load_solver(make_instance({50}, acts, 10), 0.01);
  Solver& solver = *loaded->solver;
  ProjectModel& m = solver.model;
  SearchState& s = solver.search;
  init_search(solver, loaded->interest_rate);
  const Network original = capture(m);

  s.conflict_set = set_of({3, 7, 40});
  push_level(solver);
  ASSERT_EQ(s.level, 1);
  const int base = s.level_slot_base[1];
  EXPECT_EQ(s.level_slot_base[2], base + 3);
  EXPECT_TRUE(set_equal(s.saved_conflict[1], set_of({3, 7, 40})));
  const int order[] = {40, 7, 3};
  for (int k = 0; k < 3; ++k) {
    const auto slot = static_cast<std::size_t>(base + k);
    const int a = order[k];
    EXPECT_TRUE(set_equal(s.saved_succ_set[slot], m.succ_set[a])) << "slot " << k;
    EXPECT_TRUE(set_equal(s.saved_pred_set[slot], m.pred_set[a])) << "slot " << k;
    EXPECT_EQ(s.saved_succ_count[slot], m.succ_count[a]);
    EXPECT_EQ(s.saved_pred_count[slot], m.pred_count[a]);
  }

  // A node at level 1 with delaying activity 3 and delaying set {40, 7}.
  s.node_activity[0] = 3;
  s.node_delay[0] = set_of({7, 40});
  s.node_conflict[0] = set_of({5, 6});
  s.node_excess_of[0] = 0;
  s.node_next[0] = LIST_END;
  s.level_head[1] = 0;
  s.node_count = 1;
  take_next_node(solver);
  EXPECT_EQ(s.branched_nodes, 1);
  EXPECT_EQ(s.level_head[1], LIST_END);
  EXPECT_EQ(s.level_node[1], 0);
  EXPECT_EQ(s.level_activity[1], 3);
  EXPECT_EQ(members(s.level_delay[1]), (std::vector<int>{40, 7}));
  EXPECT_EQ(members(s.path_delayed[1]), (std::vector<int>{40, 7}));
  EXPECT_EQ(members(s.conflict_set), (std::vector<int>{6, 5}));
  EXPECT_EQ(
      std::vector<int>(m.succ_list[3] + m.succ_count[3] - 2, m.succ_list[3] + m.succ_count[3]),
      (std::vector<int>{40, 7}));
  EXPECT_EQ(m.pred_list[40][m.pred_count[40] - 1], 3);
  EXPECT_EQ(m.pred_list[7][m.pred_count[7] - 1], 3);
  EXPECT_TRUE(set_contains(m.pred_set[40], 3) && set_contains(m.pred_set[7], 3));

  // The next level's slots follow on the stack.
  push_level(solver);
  EXPECT_EQ(s.level_slot_base[2], base + 3);
  EXPECT_EQ(s.level_slot_base[3], base + 5);
  EXPECT_EQ(s.saved_succ_count[static_cast<std::size_t>(base + 3)], m.succ_count[6]);
  add_arc(m, 6, 5);
  restore_level(solver);
  s.level = 1;
  restore_level(solver);
  EXPECT_TRUE(capture(m) == original);
  EXPECT_EQ(members(s.conflict_set), (std::vector<int>{40, 7, 3}));
  s.level = 0;
  restore_level(solver);
  EXPECT_TRUE(set_is_empty(s.conflict_set));
  EXPECT_TRUE(capture(m) == original);
}

// An alternative ({5}, 3) fathomed at level 2 leaves the entry ({5}, {5}, 3, 2);
// then a node with delaying set {4} and a given delaying activity is taken at
// level 2, and alternatives with delaying set {5} are tested at level 3.
TEST(SearchExamples, DominanceOverTheLevelsOfThePath) {
  struct Case {
    int node_activity, k;
    bool dominated;
  };
  const Case cases[] = {{3, 3, true}, {3, 2, false}, {7, 3, true}, {7, 2, false}};
  auto loaded = load_solver(parallel_instance(8, 8, 10), 0.01);
  Solver& solver = *loaded->solver;
  SearchState& s = solver.search;
  for (const Case& c : cases) {
    init_search(solver, loaded->interest_rate);
    s.level_activity[1] = 6;
    s.level_delay[1] = set_of({1});
    s.path_delayed[1] = set_of({1});
    s.level = 3;
    s.delay_set = set_of({5});
    EXPECT_EQ(is_dominated(solver, c.k), 0) << "empty store";
    s.level = 2;
    record_discarded_alternative(solver, 3);
    s.level_activity[2] = c.node_activity;
    s.level_delay[2] = set_of({4});
    s.path_delayed[2] = set_of({1, 4});
    s.level = 3;
    EXPECT_EQ(is_dominated(solver, c.k), c.dominated ? 1 : 0)
        << "node activity " << c.node_activity << ", alternative activity " << c.k;
    EXPECT_EQ(s.level_activity[3], c.k);
    EXPECT_EQ(members(s.level_delay[3]), std::vector<int>{5});
  }
}

// Counters and results of searches that end at the root.
TEST(SearchCounters, RootOutcomes) {
  struct Case {
    const char* name;
    InstanceData instance;
    bool has_incumbent;
  };
  const Case cases[] = {
      {"root feasible", parallel_instance(3, 3, 4), true},
      {"root deadline-infeasible", parallel_instance(3, 3, 0), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto loaded = load_solver(c.instance, 0.01, 10);
    const SearchResult& result = solve(*loaded);
    EXPECT_EQ(result.end, SearchEnd::complete);
    EXPECT_EQ(result.created_nodes, 2);
    EXPECT_EQ(result.branched_nodes, 0);
    EXPECT_EQ(result.has_incumbent, c.has_incumbent);
    EXPECT_EQ(result.finish.size(), c.has_incumbent ? 5u : 0u);
    if (!c.has_incumbent) {
      EXPECT_EQ(result.value, -std::numeric_limits<double>::infinity());
    }
    EXPECT_EQ(result.bound, result.value);
  }
}

// The limits. The clock is read by the work done, not by branchings: a
// search stops at the first reading after its time limit, also in the middle
// of a branching, and a clock that stands still stops none. A node limit
// stops the search before the next branching.
TEST(SearchCounters, LimitsStopTheSearchWhereTheyStrike) {
  const std::vector<ReferenceRow> rows = reference_rows();
  const InstanceData long_search = find_row(rows, 17, 0).instance;  // 11813 branchings
  constexpr double LESS_THAN_A_TICK = 0.0005;
  const auto run = [](const InstanceData& d, double limit, std::int64_t step, std::int64_t jump,
                      std::int64_t node_limit, std::int64_t& readings) {
    auto loaded = load_solver(d, 0.01, limit);
    loaded->limits.node_limit = node_limit;
    fake_clock_now += jump;
    const std::int64_t before = fake_clock_now;
    fake_clock_step = step;
    solve(*loaded);
    fake_clock_step = 0;
    readings = step > 0 ? (fake_clock_now - before) / step : -1;
    return loaded;
  };
  std::int64_t readings = 0;
  {
    SCOPED_TRACE("clock still");
    const auto loaded = run(long_search, LESS_THAN_A_TICK, 0, 0, 0, readings);
    EXPECT_EQ(loaded->sink.last.end, SearchEnd::complete);
    EXPECT_EQ(loaded->sink.last.branched_nodes, 11813);
  }
  {
    SCOPED_TRACE("a tick per reading, no limit");
    const auto loaded = run(long_search, 0.0, 1, 0, 0, readings);
    EXPECT_EQ(loaded->sink.last.end, SearchEnd::complete);
    EXPECT_EQ(loaded->sink.last.branched_nodes, 11813);
    EXPECT_EQ(readings, 1);  // only the one that times the search
  }
  {
    SCOPED_TRACE("a tick per reading, limit below a tick");
    const auto loaded = run(long_search, LESS_THAN_A_TICK, 1, 0, 0, readings);
    const SearchResult& r = loaded->sink.last;
    EXPECT_EQ(loaded->sink.results, std::vector<SearchEnd>{SearchEnd::time_limit});
    EXPECT_GT(r.branched_nodes, 0);
    EXPECT_LT(r.branched_nodes, 11813);
    // The first reading after the start shows no tick yet, the next one
    // stops the search, a last one times it.
    EXPECT_EQ(readings, 3);
    EXPECT_GT(r.seconds, 0.0);
    EXPECT_GE(r.bound, r.value);
  }
  {
    // 1000 ticks times the single-precision 0.001 is a little above 1 second.
    SCOPED_TRACE("exactly 1000 ticks, limit 1");
    const auto loaded = run(long_search, 1.0, 0, 1000, 0, readings);
    EXPECT_EQ(loaded->sink.last.end, SearchEnd::time_limit);
    EXPECT_LT(loaded->sink.last.branched_nodes, 11813);
  }
  {
    // Sixteen activities in parallel, eight at a time: the root alone has
    // 12870 delaying sets, each with eight delaying activities.
    SCOPED_TRACE("stopped inside the root's branching");
    const auto loaded = run(parallel_instance(16, 8, 3), LESS_THAN_A_TICK, 1, 0, 0, readings);
    const SearchResult& r = loaded->sink.last;
    EXPECT_EQ(r.end, SearchEnd::time_limit);
    EXPECT_EQ(r.branched_nodes, 0);
    EXPECT_GT(r.created_nodes, 100);
    EXPECT_LT(r.created_nodes, 12870 * 8);
    EXPECT_EQ(readings, 3);
    // The bound left open is the root's.
    Net root(loaded->instance, 0.01);
    std::int64_t evaluations = 0;
    ASSERT_EQ(root.bound(NO_INCUMBENT, evaluations), BoundOutcome::open);
    EXPECT_EQ(r.bound, root.b.node_npv);
  }
  {
    SCOPED_TRACE("node limit");
    const auto loaded = run(long_search, 0.0, 0, 0, 5000, readings);
    const SearchResult& r = loaded->sink.last;
    EXPECT_EQ(r.end, SearchEnd::node_limit);
    EXPECT_GE(r.created_nodes, 5000);
    EXPECT_LT(r.created_nodes, 5100);  // one branching's children at most
    EXPECT_GE(r.bound, r.value);
  }
}

// Searches driven step by step (the invariants checked throughout) with every
// table starting at two entries and with every table large from the start:
// the same nodes, counters, value and schedule.
TEST(SearchGrowth, GrowingTablesChangeNothing) {
  struct Case {
    const char* name;
    InstanceData instance;
    double rate;
    std::int64_t node_limit;  // 0: none
  };
  const std::vector<ReferenceRow> rows = reference_rows();
  const ReferenceRow& row = find_row(rows, 16, 0);
  const std::vector<Case> cases = {
      // deep, many children
      {"60 activities in a row of one", parallel_instance(60, 1, 65), 0.01, 6000},
      // 1260 alternatives
      {"10 activities, 5 at a time", parallel_instance(10, 5, 12), 0.01, 0},
      {"pat16", row.instance, row.rate, 0},
  };
  SearchTrace most;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SearchTrace trace[2];
    std::vector<int> best[2];
    for (int large = 0; large < 2; ++large) {
      auto loaded = load_solver(c.instance, c.rate);
      SearchSettings& settings = loaded->solver->search.settings;
      settings.initial_pool = settings.initial_levels = settings.initial_cuts =
          large ? 1 << 15 : 1;
      checked_search(*loaded, trace[large], c.node_limit);
      ASSERT_FALSE(HasFatalFailure());
      best[large] = best_finish_times(*loaded->solver);
    }
    EXPECT_EQ(trace[0].created, trace[1].created);
    EXPECT_EQ(trace[0].branched, trace[1].branched);
    EXPECT_EQ(trace[0].best, trace[1].best);
    EXPECT_EQ(best[0], best[1]);
    EXPECT_EQ(trace[0].max_nodes, trace[1].max_nodes);
    EXPECT_EQ(trace[0].max_cuts, trace[1].max_cuts);
    EXPECT_TRUE(check_schedule(c.instance, best[0], c.rate).feasible());
    most.max_nodes = std::max(most.max_nodes, trace[0].max_nodes);
    most.max_level = std::max(most.max_level, trace[0].max_level);
    most.max_cuts = std::max(most.max_cuts, trace[0].max_cuts);
  }
  EXPECT_GT(most.max_nodes, 1000);
  EXPECT_GT(most.max_cuts, 1001);
  EXPECT_GT(most.max_level, 50);
}

// Both engines through the interface the programs use: a first schedule in
// the request is the first incumbent, so an optimal one is kept (the same
// value, bit for bit, as each engine values it) and saves nodes.
TEST(SearchEngines, AFirstScheduleIsTheFirstIncumbent) {
  DelayingSearch delaying;
  StartTimeEngine start_times;
  const std::vector<ReferenceRow> rows = reference_rows();
  int saved[2] = {0, 0};  // rows where the first schedule saved nodes, per engine
  for (const int number : {1, 2, 5, 8, 16, 25}) {
    const ReferenceRow& row = find_row(rows, number, 5);
    SCOPED_TRACE("pat" + std::to_string(number));
    for (const int e : {0, 1}) {
      SearchEngine* engine = e == 0 ? static_cast<SearchEngine*>(&delaying) : &start_times;
      SearchRequest request;
      request.instance = &row.instance;
      request.interest_rate = row.rate;
      RecordingSink plain;
      engine->solve(request, plain);
      ASSERT_EQ(plain.last.end, SearchEnd::complete);
      ASSERT_TRUE(plain.last.has_incumbent);
      EXPECT_NEAR(plain.last.value, row.npv, 1e-6);
      const std::vector<int> optimum = plain.last.finish;
      RecordingSink seeded;
      request.first_schedule = &optimum;
      engine->solve(request, seeded);
      EXPECT_EQ(seeded.results, std::vector<SearchEnd>{SearchEnd::complete});
      EXPECT_EQ(seeded.last.value, plain.last.value);
      EXPECT_EQ(seeded.last.bound, seeded.last.value);
      EXPECT_LE(seeded.last.created_nodes, plain.last.created_nodes);
      saved[e] += seeded.last.created_nodes < plain.last.created_nodes;
    }
  }
  EXPECT_GE(saved[0], 2);
  EXPECT_GE(saved[1], 3);
}

}  // namespace
}  // namespace rcpspdc::test
