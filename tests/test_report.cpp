// The result line and the solution listing, byte for byte, on the console
// and in the results file. The search's outcome is set by hand; with an
// interest rate of 0 a schedule is worth the plain sum of its cash flows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "tests/console_harness.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

struct Reported {
  std::string console, file;
};

// Activities: the dummies and real activities of duration 2 and 3 in parallel.
struct Reporter {
  SolverContext context;
  SearchResult outcome;

  Reporter(int activity_count, std::vector<int> cash_flow) {
    std::vector<Act> acts{{0, {0}, {}, 0}};
    for (int i = 1; i < activity_count - 1; ++i)
      acts.push_back(
          {1 + i, {1}, {activity_count - 1}, cash_flow.at(static_cast<std::size_t>(i - 1))});
    acts.push_back({0, {0}, {}, 0});
    for (int i = 1; i < activity_count - 1; ++i) acts[0].successors.push_back(i);
    if (activity_count == 2) acts[0].successors.push_back(1);
    context.instance = make_instance({5}, acts, 20);
    context.run.problem_number = 7;
  }

  // Sets an incumbent whose finish times are `finish` and whose value the
  // checker confirms (or `npv` when given).
  void incumbent(const std::vector<int>& finish, double npv) {
    outcome.has_incumbent = true;
    outcome.value = npv;
    outcome.finish = finish;
  }

  // The console's search counts its seconds in single precision.
  void counters(std::int64_t created, std::int64_t branched, float seconds) {
    outcome.created_nodes = created;
    outcome.branched_nodes = branched;
    outcome.seconds = static_cast<double>(seconds);
  }

  template <typename Call>
  Reported capture(Call call) {
    context.run.console_out = std::tmpfile();
    context.run.output_file = std::tmpfile();
    call(context);
    Reported r{read_all(context.run.console_out), read_all(context.run.output_file)};
    std::fclose(context.run.console_out);
    std::fclose(context.run.output_file);
    return r;
  }
  Reported result(SearchEnd end) {
    outcome.end = end;
    return capture([this](SolverContext& c) { report_result(c, outcome); });
  }
  Reported solution() {
    outcome.end = SearchEnd::complete;
    return capture([this](SolverContext& c) { report_solution(c, outcome); });
  }
};

TEST(ReportResult, LinesByteForByte) {
  Reporter r(4, {100, -50});
  r.incumbent({0, 2, 3, 3}, 50.0);
  r.counters(45, 10, 1.5f);
  Reported optimal = r.result(SearchEnd::complete);
  EXPECT_EQ(optimal.console, "        45           10     50.00      1.50   optimal");
  EXPECT_EQ(optimal.file, "\n         7           45           10     50.00      1.50   optimal");
  Reported heuristic = r.result(SearchEnd::time_limit);
  EXPECT_EQ(heuristic.console,
            "        45           10     50.00      1.50   heuristic  (time limit!)");
  EXPECT_EQ(
      heuristic.file,
      "\n         7           45           10     50.00      1.50   heuristic  (time limit!) ");

  // Overlong values widen their columns; the counters go beyond 32 bits.
  Reporter wide(4, {-100000, -23456});
  wide.incumbent({0, 2, 3, 3}, -123456.0);
  wide.counters(12345678901, 9876543210, 123456.5f);
  wide.context.run.problem_number = -12345678;
  EXPECT_EQ(wide.result(SearchEnd::complete).file,
            "\n -12345678   12345678901   9876543210   -123456.00   123456.50   optimal");
  EXPECT_EQ(wide.result(SearchEnd::time_limit).console,
            "12345678901   9876543210   -123456.00   123456.50   heuristic  (time limit!)");

  // No incumbent: the value shows as -9999.00.
  Reporter empty(4, {100, -50});
  empty.counters(3, 1, 0.25f);
  EXPECT_EQ(
      empty.result(SearchEnd::time_limit).file,
      "\n         7            3            1   -9999.00      0.25   heuristic  (time limit!) ");
  EXPECT_EQ(empty.result(SearchEnd::complete).console,
            "         3            1   -9999.00      0.25   optimal");
}

TEST(ReportSolution, ListingsByteForByte) {
  struct Row {
    int activity_count;
    std::vector<int> cash_flow, finish;
    double npv;
    bool has_incumbent;
    const char* text;  // on the console and in the file alike
  };
  const Row rows[] = {
      {2, {}, {0, 0}, 0.0, true, "\nSolution:    0.00, Computation time: 0.50"},
      {3,
       {-7},
       {0, 5, 5},
       -7.0,
       true,
       "Act. 2: einde 5\n\nSolution:   -7.00, Computation time: 0.50"},
      {4,
       {100, -50},
       {0, 2, 4, 4},
       50.0,
       true,
       "Act. 2: einde 2\nAct. 3: einde 4\n\nSolution:   50.00, Computation time: 0.50"},
      {4,
       {40000, 1},
       {0, 2, 3, 3},
       40001.0,
       true,
       "Act. 2: einde 2\nAct. 3: einde 3\n\nSolution: 40001.00, Computation time: 0.50"},
      {4, {100, -50}, {}, 0.0, false, "\nSolution: -9999.00, Computation time: 0.50"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Reporter r(row.activity_count, row.cash_flow);
    if (row.has_incumbent) r.incumbent(row.finish, row.npv);
    r.counters(9, 9, 0.5f);
    const Reported listing = r.solution();
    EXPECT_EQ(listing.console, row.text);
    EXPECT_EQ(listing.file, row.text);
  }
}

// A schedule the checker cannot vouch for is reported as a failed check,
// never as a result or a listing.
TEST(ReportCheck, FailedCheckReplacesResultAndListing) {
  struct Row {
    std::vector<int> finish;
    double npv;
    const char* reason;
  };
  const Row rows[] = {
      {{0, 2, 1, 3}, 50.0, "activity 3 starts at -2, before time 0"},
      {{0, 2, 3, 21}, 50.0, "activity 4 finishes at 21, after the deadline 20"},
      {{0, 2, 3, 2},
       50.0,
       "activity 4 starts at 2, before its predecessor activity 3 finishes at 3"},
      {{0, 2, 3, 3}, 49.0, "the schedule is worth 50, not 49"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    Reporter r(4, {100, -50});
    r.incumbent(row.finish, row.npv);
    r.counters(45, 10, 1.5f);
    for (int call = 0; call < 3; ++call) {
      const Reported out = call == 2   ? r.solution()
                           : call == 1 ? r.result(SearchEnd::complete)
                                       : r.result(SearchEnd::time_limit);
      EXPECT_EQ(out.console, TABS + "schedule check failed");
      EXPECT_EQ(out.file, std::string("\n    7  schedule check failed: ") + row.reason);
    }
  }
  // Both activities need 3 of 5 units at once: an overload.
  Reporter r(4, {100, -50});
  r.context.instance.requirement[1][0] = 3;
  r.context.instance.requirement[2][0] = 3;
  r.incumbent({0, 2, 3, 3}, 50.0);
  EXPECT_EQ(
      r.solution().file,
      "\n    7  schedule check failed: resource 1 is loaded 6 in period 1, above its capacity 5");
}

}  // namespace
}  // namespace rcpspdc::test
