// Result lines and the solution listing. Before a schedule is reported the
// independent checker re-verifies it against the instance as read; a schedule
// it cannot vouch for is reported as a failed check, never as a result.
#include <cinttypes>
#include <vector>

#include "check/schedule_check.hpp"
#include "console/console.hpp"

namespace rcpspdc {

namespace {

constexpr double NO_SCHEDULE_VALUE = -9999.0;  // shown when no feasible schedule was found
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
  std::fprintf(run.output_file, "\n%5d  schedule check failed: %s", run.problem_number,
               problem.c_str());
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
  const double value = reported_value(s);
  const double seconds = static_cast<double>(s.elapsed_seconds);
  if (end == SearchEnd::complete) {
    std::fprintf(run.console_out, "%10" PRId64 "   %10" PRId64 "   %7.2lf   %7.2lf   optimal",
                 s.created_nodes, s.branched_nodes, value, seconds);
    std::fprintf(run.output_file,
                 "\n%10d   %10" PRId64 "   %10" PRId64 "   %7.2lf   %7.2lf   optimal",
                 run.problem_number, s.created_nodes, s.branched_nodes, value, seconds);
  } else {
    std::fprintf(run.console_out,
                 "%10" PRId64 "   %10" PRId64 "   %7.2lf   %7.2lf   heuristic  (time limit!)",
                 s.created_nodes, s.branched_nodes, value, seconds);
    std::fprintf(run.output_file,
                 "\n%10d   %10" PRId64 "   %10" PRId64
                 "   %7.2lf   %7.2lf   heuristic  (time limit!) ",
                 run.problem_number, s.created_nodes, s.branched_nodes, value, seconds);
  }
  std::fflush(run.console_out);
}

void report_solution(SolverContext& context) {
  if (!incumbent_checks_out(context)) return;
  const SearchState& s = context.solver->search;
  RunState& run = context.run;
  // Without a feasible schedule there are no finish times to list.
  if (s.has_incumbent)
    for (int i = 1; i <= context.instance.activity_count - 2; ++i) {
      std::fprintf(run.console_out, "Act. %d: einde %d\n", i + 1, s.best_finish[i]);
      std::fprintf(run.output_file, "Act. %d: einde %d\n", i + 1, s.best_finish[i]);
    }
  const double value = reported_value(s);
  const double seconds = static_cast<double>(s.elapsed_seconds);
  std::fprintf(run.console_out, "\nSolution: %7.2lf, Computation time: %.2f", value, seconds);
  std::fprintf(run.output_file, "\nSolution: %7.2lf, Computation time: %.2f", value, seconds);
  std::fflush(run.console_out);
}

void SolverContext::report_result(SearchEnd end) { rcpspdc::report_result(*this, end); }
void SolverContext::report_solution() { rcpspdc::report_solution(*this); }

}  // namespace rcpspdc
