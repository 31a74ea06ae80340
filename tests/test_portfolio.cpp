// Several searches on one instance: whatever the number of threads, the
// same status and the proven optimum; a portfolio stopped everywhere keeps
// the best checked schedule and a bound above the optimum.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "check/schedule_check.hpp"
#include "learning_search/solve_learning.hpp"
#include "portfolio/portfolio_engine.hpp"
#include "tests/brute_force.hpp"
#include "tests/search_checks.hpp"
#include "window_search/window_state.hpp"

namespace rcpspdc::test {
namespace {

SearchResult solve_with(SearchEngine& engine, const ReferenceRow& row, std::int64_t node_limit) {
  SearchRequest request;
  request.instance = &row.instance;
  request.interest_rate = row.rate;
  request.limits.node_limit = node_limit;
  KeptResult kept;
  engine.solve(request, kept);
  return *kept.result;
}

void expect_checked(const ReferenceRow& row, const SearchResult& r) {
  if (!r.has_incumbent) return;
  const ScheduleCheck check = check_schedule(row.instance, r.finish, row.rate);
  ASSERT_TRUE(check.feasible()) << check.violations.front();
  EXPECT_EQ(check.npv, r.value);
}

TEST(Portfolio, ThreadsChangeNeitherStatusNorValue) {
  const std::vector<ReferenceRow> rows = reference_rows();
  for (const char* first : {"learning", "start-times"}) {
    std::unique_ptr<PortfolioEngine> engines[3] = {
        make_portfolio(first, 1), make_portfolio(first, 2), make_portfolio(first, 3)};
    int compared = 0;
    for (const ReferenceRow& row : rows) {
      if (!row.readable || !row.optimal || row.number % 9 != 1) continue;
      SCOPED_TRACE(std::string(first) + ", pat" + std::to_string(row.number) + " offset " +
                   std::to_string(row.offset));
      for (int t = 0; t < 3; ++t) {
        const SearchResult r = solve_with(*engines[t], row, 0);
        ASSERT_EQ(r.end, SearchEnd::complete) << t + 1 << " threads";
        ASSERT_TRUE(r.has_incumbent);
        EXPECT_NEAR(r.value, row.npv, 1e-9 * std::max(1.0, std::abs(row.npv)));
        expect_checked(row, r);
      }
      ++compared;
    }
    EXPECT_GE(compared, 20);
  }
}

TEST(Portfolio, StoppedEverywhereKeepsTheBestScheduleAndABound) {
  std::unique_ptr<PortfolioEngine> engine = make_portfolio("learning", 3);
  int stopped = 0;
  for (const ReferenceRow& row : reference_rows()) {
    if (!row.readable || !row.optimal || row.number < 100) continue;
    const SearchResult r = solve_with(*engine, row, 50);
    SCOPED_TRACE("pat" + std::to_string(row.number));
    expect_checked(row, r);
    EXPECT_GE(r.bound, row.npv - 1e-6);
    if (r.end == SearchEnd::complete) continue;
    ++stopped;
    if (r.has_incumbent) {
      EXPECT_LE(r.value, row.npv + 1e-6);
      EXPECT_GE(r.bound, r.value);
    }
  }
  EXPECT_GT(stopped, 3);
}

// A schedule another thread posts while a search is under way, here the
// worst feasible one: both engines take it at their next node, deep in the
// tree as at the root, still reach the enumerated optimum, and leave that on
// the board for the others.
TEST(Portfolio, SchedulesPostedMidSearchAreTakenAndTheSearchesStayExact) {
  std::mt19937 rng(20261209);
  auto learning = std::make_unique<LearningSearch>();
  auto windows = std::make_unique<WindowSearch>();
  const double rate = 0.01;
  int taken = 0;
  for (int round = 0; round < 80; ++round) {
    InstanceData d = random_instance(rng, 3 + round % 4, 1);
    d.deadline = feasible_makespan(d) + round % 3;
    std::vector<int> worst;
    double worst_value = std::numeric_limits<double>::infinity();
    double best = -worst_value;
    Enumerator(d, rate).each([&](const std::vector<int>& finish, double value) {
      best = std::max(best, value);
      if (value < worst_value) {
        worst_value = value;
        worst = finish;
      }
    });
    // The end finishes with the last real activity.
    worst.back() = *std::max_element(worst.begin(), worst.end() - 1);
    const std::int64_t midway = 1 + round % 5;
    for (const bool by_windows : {false, true}) {
      SCOPED_TRACE("round " + std::to_string(round) +
                   (by_windows ? ", start times" : ", learning"));
      SharedIncumbent board;
      bool complete = false, has_incumbent = false;
      double value = 0.0;
      // Runs the engine up to `nodes` created nodes (0: to the end).
      const auto run = [&](std::int64_t nodes) {
        if (by_windows) {
          complete = continue_search(*windows, {{}, nodes}) == SearchEnd::complete;
          has_incumbent = windows->has_incumbent;
          value = windows->best_npv;
        } else {
          complete = continue_learning(*learning, {{}, nodes}) == SearchEnd::complete;
          has_incumbent = learning->has_incumbent;
          value = learning->best_npv;
        }
      };
      if (by_windows) {
        load_window_problem(*windows, d, rate);
        windows->shared = &board;
        begin_search(*windows, {}, nullptr);
      } else {
        learning->settings = {};
        learning->shared = &board;
        begin_learning(*learning, d, rate, {}, nullptr);
      }
      run(midway);
      const bool open = !complete;
      board.post(worst_value, worst.data(), d.activity_count);
      if (open) {
        run(midway + 1);
        ASSERT_TRUE(has_incumbent);
        EXPECT_GE(value, worst_value - 1e-9 * std::max(1.0, std::abs(worst_value)));
        ++taken;
      }
      run(0);
      ASSERT_TRUE(complete && has_incumbent);
      EXPECT_NEAR(value, best, 1e-9 * std::max(1.0, std::abs(best)));
      std::vector<int> held;
      board.take(held);
      const ScheduleCheck check = check_schedule(d, held, rate);
      ASSERT_TRUE(check.feasible()) << check.violations.front();
      EXPECT_EQ(check.npv, value);
    }
  }
  EXPECT_GT(taken, 60);
}

// Nogoods one search learnt, taken by another that has no schedule of its
// own yet (and no board to take the first one's from): only those learnt
// against an incumbent no better than its own may prune it, or it would
// miss the optimum. Restarting at every conflict, it takes them as soon as
// its own incumbent allows.
TEST(Portfolio, NogoodsPostedAgainstABetterIncumbentWaitForOne) {
  std::mt19937 rng(9122026);
  auto first = std::make_unique<LearningSearch>();
  auto second = std::make_unique<LearningSearch>();
  const double rate = 0.01;
  std::size_t held_back = 0;
  for (int round = 0; round < 80; ++round) {
    InstanceData d = random_instance(rng, 4 + round % 3, 1);
    d.deadline = feasible_makespan(d) + round % 3;
    const double best = Enumerator(d, rate).best();
    SCOPED_TRACE("round " + std::to_string(round));
    SharedNogoods nogoods;
    for (LearningSearch* w : {first.get(), second.get()}) {
      w->settings = {};
      w->settings.restart_unit = w->settings.first_restart_unit = 1;
      w->shared_nogoods = &nogoods;
      w->shared_origin = w == first.get() ? 0 : 1;
      begin_learning(*w, d, rate, {}, nullptr);
      continue_learning(*w, {});
      ASSERT_TRUE(w->complete && w->has_incumbent);
      EXPECT_NEAR(w->best_npv, best, 1e-9 * std::max(1.0, std::abs(best)));
    }
    // The first search's nogoods learnt against an incumbent.
    std::vector<std::uint64_t> words;
    std::vector<int> sizes;
    nogoods.take(1, -std::numeric_limits<double>::infinity(), 0, words, sizes);
    const std::size_t unconditional = sizes.size();
    sizes.clear();
    nogoods.take(1, std::numeric_limits<double>::infinity(), 0, words, sizes);
    held_back += sizes.size() - unconditional;
  }
  EXPECT_GT(held_back, 50u);
}

}  // namespace
}  // namespace rcpspdc::test
