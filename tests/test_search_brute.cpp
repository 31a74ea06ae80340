// Exactness of the search on random tiny instances: the optimum of every
// instance is found by enumerating all precedence-, resource- and
// deadline-feasible schedules, and the search must reach the same value.
#include <gtest/gtest.h>

#include <cmath>

#include "check/schedule_check.hpp"
#include "tests/brute_force.hpp"
#include "tests/fake_platform.hpp"
#include "tests/search_checks.hpp"

namespace rcpspdc::test {
namespace {

TEST(SearchBruteForce, MatchesEnumerationOnRandomTinyInstances) {
  std::mt19937 rng(20240611);
  int infeasible = 0, optimal = 0, below_9999 = 0, branched = 0;
  for (int round = 0; round < 400; ++round) {
    const int real = 2 + round % 5;
    const int scale = round % 17 == 0 ? 1000 : 1;  // some optima far below -9999
    InstanceData d = random_instance(rng, real, scale);
    const int shortest = feasible_makespan(d);
    d.deadline = std::max(1, shortest + std::uniform_int_distribution<int>(-2, 3)(rng));
    const double rate = round % 2 == 0 ? 0.01 : 0.1;
    const double expected = Enumerator(d, rate).best();
    SCOPED_TRACE("round " + std::to_string(round) + ", deadline " + std::to_string(d.deadline));

    auto loaded = load_solver(d, rate);
    Solver& solver = *loaded->solver;
    solve(*loaded);
    const SearchState& s = solver.search;
    ASSERT_EQ(loaded->sink.results, std::vector<SearchEnd>{SearchEnd::complete});
    if (std::isinf(expected)) {
      ++infeasible;
      EXPECT_FALSE(s.has_incumbent);
    } else {
      ++optimal;
      below_9999 += expected < -9999.0;
      ASSERT_TRUE(s.has_incumbent);
      EXPECT_NEAR(s.best_npv, expected, 1e-9);
      const ScheduleCheck check = check_schedule(d, best_finish_times(solver), rate);
      EXPECT_TRUE(check.feasible()) << check.violations.front();
      EXPECT_EQ(check.npv, s.best_npv);
    }
    branched += s.branched_nodes > 0;

    // The same search watched step by step, with the invariants checked.
    auto again = load_solver(d, rate);
    SearchTrace trace;
    checked_search(*again, trace);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(trace.created, s.created_nodes);
    EXPECT_EQ(trace.branched, s.branched_nodes);
    EXPECT_EQ(trace.has_incumbent, s.has_incumbent);
    EXPECT_EQ(trace.best, s.best_npv);
  }
  // The mix is wide enough to mean something.
  EXPECT_GT(infeasible, 30);
  EXPECT_GT(optimal, 250);
  EXPECT_GT(below_9999, 5);
  EXPECT_GT(branched, 100);
}

}  // namespace
}  // namespace rcpspdc::test
