// Result lines and the solution listing. Before a schedule is reported the
// independent checker re-verifies it against the instance as read; a schedule
// it cannot vouch for is reported as a failed check, never as a result.
#include <string>
#include <vector>

#include "check/schedule_check.hpp"
#include "console/console.hpp"
#include "formats/results_file.hpp"

namespace rcpspdc {

namespace {

constexpr const char* CHECK_FAILED_CONSOLE = "\t\t\t\t\t\t\t\t\t    schedule check failed";

// Checks the incumbent; on a failure writes the error line and returns false.
bool incumbent_checks_out(SolverContext& context, const SearchResult& result) {
  if (!result.has_incumbent) return true;
  const std::string problem = check_reported_schedule(
      context.instance, result.finish, result.value, context.run.params.interest_rate);
  if (problem.empty()) return true;
  RunState& run = context.run;
  std::fputs(CHECK_FAILED_CONSOLE, run.console_out);
  std::fflush(run.console_out);
  std::fputs(error_line(run.problem_number, "schedule check failed: " + problem).c_str(),
             run.output_file);
  return false;
}

double reported_value(const SearchResult& result) {
  return result.has_incumbent ? result.value : NO_SCHEDULE_VALUE;
}

}  // namespace

void report_result(SolverContext& context, const SearchResult& result) {
  if (!incumbent_checks_out(context, result)) return;
  RunState& run = context.run;
  const ResultFigures figures{result.created_nodes, result.branched_nodes, reported_value(result),
                              result.seconds, result.end == SearchEnd::complete};
  std::fputs(result_figures(figures).c_str(), run.console_out);
  std::fputs(result_line(run.problem_number, figures).c_str(), run.output_file);
  std::fflush(run.console_out);
}

void report_solution(SolverContext& context, const SearchResult& result) {
  if (!incumbent_checks_out(context, result)) return;
  RunState& run = context.run;
  // Without a feasible schedule there are no finish times to list.
  if (result.has_incumbent)
    for (int i = 1; i <= context.instance.activity_count - 2; ++i) {
      const std::string line = listing_line(i + 1, result.finish[static_cast<std::size_t>(i)]);
      std::fputs(line.c_str(), run.console_out);
      std::fputs(line.c_str(), run.output_file);
    }
  const std::string line = solution_line(reported_value(result), result.seconds);
  std::fputs(line.c_str(), run.console_out);
  std::fputs(line.c_str(), run.output_file);
  std::fflush(run.console_out);
}

void SolverContext::report(const SearchResult& result) {
  const bool single = run.params.first_problem == run.params.last_problem;
  if (single && result.end == SearchEnd::complete)
    report_solution(*this, result);
  else
    report_result(*this, result);
}

}  // namespace rcpspdc
