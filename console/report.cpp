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
bool incumbent_checks_out(SolverContext& context) {
  const SearchState& s = context.solver->search;
  if (!s.has_incumbent) return true;
  const std::vector<int> finish(s.best_finish, s.best_finish + context.instance.activity_count);
  const std::string problem = check_reported_schedule(context.instance, finish, s.best_npv,
                                                      context.run.params.interest_rate);
  if (problem.empty()) return true;
  RunState& run = context.run;
  std::fputs(CHECK_FAILED_CONSOLE, run.console_out);
  std::fflush(run.console_out);
  std::fputs(error_line(run.problem_number, "schedule check failed: " + problem).c_str(),
             run.output_file);
  return false;
}

double reported_value(const SearchState& s) {
  return s.has_incumbent ? s.best_npv : NO_SCHEDULE_VALUE;
}

}  // namespace

void report_result(SolverContext& context, SearchEnd end) {
  if (!incumbent_checks_out(context)) return;
  const SearchState& s = context.solver->search;
  RunState& run = context.run;
  const ResultFigures figures{s.created_nodes, s.branched_nodes, reported_value(s),
                              static_cast<double>(s.elapsed_seconds), end == SearchEnd::complete};
  std::fputs(result_figures(figures).c_str(), run.console_out);
  std::fputs(result_line(run.problem_number, figures).c_str(), run.output_file);
  std::fflush(run.console_out);
}

void report_solution(SolverContext& context) {
  if (!incumbent_checks_out(context)) return;
  const SearchState& s = context.solver->search;
  RunState& run = context.run;
  // Without a feasible schedule there are no finish times to list.
  if (s.has_incumbent)
    for (int i = 1; i <= context.instance.activity_count - 2; ++i) {
      const std::string line = listing_line(i + 1, s.best_finish[i]);
      std::fputs(line.c_str(), run.console_out);
      std::fputs(line.c_str(), run.output_file);
    }
  const std::string line =
      solution_line(reported_value(s), static_cast<double>(s.elapsed_seconds));
  std::fputs(line.c_str(), run.console_out);
  std::fputs(line.c_str(), run.output_file);
  std::fflush(run.console_out);
}

void SolverContext::report_result(SearchEnd end) { rcpspdc::report_result(*this, end); }
void SolverContext::report_solution() { rcpspdc::report_solution(*this); }

}  // namespace rcpspdc
