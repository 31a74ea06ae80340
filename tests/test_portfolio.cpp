// Several searches on one instance: whatever the number of threads, the
// same status and the proven optimum; a portfolio stopped everywhere keeps
// the best checked schedule and a bound above the optimum.
#include <gtest/gtest.h>

#include "check/schedule_check.hpp"
#include "portfolio/portfolio_engine.hpp"
#include "tests/search_checks.hpp"

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

}  // namespace
}  // namespace rcpspdc::test
