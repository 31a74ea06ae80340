// Exactness of the search on random tiny instances: the optimum of every
// instance is found by enumerating all precedence-, resource- and
// deadline-feasible schedules, and the search must reach the same value.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "check/schedule_check.hpp"
#include "tests/fake_platform.hpp"
#include "tests/search_checks.hpp"

namespace rcpspdc::test {
namespace {

// Depth-first enumeration of finish times in index order (arcs go from lower
// to higher indices), with the load profile kept per resource and period.
class Enumerator {
 public:
  Enumerator(const InstanceData& d, double rate) : d_(d), rate_(rate) {
    const auto periods = static_cast<std::size_t>(std::max(d.deadline, 0) + 1);
    load_.assign(d.capacity.size(), std::vector<int>(periods, 0));
    finish_.assign(static_cast<std::size_t>(d.activity_count), 0);
  }
  // Best value over all feasible schedules (minus infinity when none); with
  // stop_at_first, just whether one exists.
  double best(bool stop_at_first = false) {
    stop_at_first_ = stop_at_first;
    found_ = false;
    best_ = -std::numeric_limits<double>::infinity();
    place(1);
    return best_;
  }
  bool feasible() { return best(true), found_; }

 private:
  void place(int i) {
    if (found_ && stop_at_first_) return;
    const int n = d_.activity_count;
    if (i == n - 1) {
      double npv = 0.0;
      for (int a = n - 2; a >= 1; --a) npv += d_.cash_flow[a] * std::exp(-rate_ * finish_[a]);
      best_ = std::max(best_, npv);
      found_ = true;
      return;
    }
    const int dur = d_.duration[i];
    int earliest = dur;
    for (int p = 0; p < i; ++p)
      for (int s : d_.successors[p])
        if (s == i) earliest = std::max(earliest, finish_[p] + dur);
    for (int f = earliest; f <= d_.deadline; ++f) {
      if (!fits(i, f)) continue;
      add(i, f, +1);
      finish_[i] = f;
      place(i + 1);
      add(i, f, -1);
    }
  }
  bool fits(int i, int f) const {
    for (std::size_t k = 0; k < load_.size(); ++k)
      for (int t = f - d_.duration[i] + 1; t <= f; ++t)
        if (load_[k][t] + d_.requirement[i][k] > d_.capacity[k]) return false;
    return true;
  }
  void add(int i, int f, int sign) {
    for (std::size_t k = 0; k < load_.size(); ++k)
      for (int t = f - d_.duration[i] + 1; t <= f; ++t) load_[k][t] += sign * d_.requirement[i][k];
  }

  const InstanceData& d_;
  double rate_;
  std::vector<std::vector<int>> load_;
  std::vector<int> finish_;
  double best_ = 0.0;
  bool found_ = false, stop_at_first_ = false;
};

// The shortest deadline that admits a resource-feasible schedule.
int feasible_makespan(InstanceData d) {
  for (d.deadline = 1;; ++d.deadline)
    if (Enumerator(d, 0.0).feasible()) return d.deadline;
}

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
    solve_instance(solver);
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

    // The same search driven step by step, with the invariants checked.
    auto again = load_solver(d, rate);
    SearchTrace trace;
    checked_search(*again->solver, trace);
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
