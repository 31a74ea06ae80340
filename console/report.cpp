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
bool incumbent_checks_out(SolverContext& context, const SearchResult& result) {
  if (!result.has_incumbent) return true;
  const std::string problem = check_reported_schedule(
      context.instance, result.finish, result.value, context.run.params.interest_rate);
  if (problem.empty()) return true;
  RunState& run = context.run;
  std::fputs(CHECK_FAILED_CONSOLE, run.console_out);
  std::fflush(run.console_out);
  std::fprintf(run.output_file, "\n%5d  schedule check failed: %s", run.problem_number,
               problem.c_str());
  return false;
}

double reported_value(const SearchResult& result) {
  return result.has_incumbent ? result.value : NO_SCHEDULE_VALUE;
}

}  // namespace

void report_result(SolverContext& context, const SearchResult& result) {
  if (!incumbent_checks_out(context, result)) return;
  RunState& run = context.run;
  const double value = reported_value(result);
  const double seconds = result.seconds;
  const std::int64_t created = result.created_nodes;
  const std::int64_t branched = result.branched_nodes;
  if (result.end == SearchEnd::complete) {
    std::fprintf(run.console_out, "%10" PRId64 "   %10" PRId64 "   %7.2lf   %7.2lf   optimal",
                 created, branched, value, seconds);
    std::fprintf(run.output_file,
                 "\n%10d   %10" PRId64 "   %10" PRId64 "   %7.2lf   %7.2lf   optimal",
                 run.problem_number, created, branched, value, seconds);
  } else {
    std::fprintf(run.console_out,
                 "%10" PRId64 "   %10" PRId64 "   %7.2lf   %7.2lf   heuristic  (time limit!)",
                 created, branched, value, seconds);
    std::fprintf(run.output_file,
                 "\n%10d   %10" PRId64 "   %10" PRId64
                 "   %7.2lf   %7.2lf   heuristic  (time limit!) ",
                 run.problem_number, created, branched, value, seconds);
  }
  std::fflush(run.console_out);
}

void report_solution(SolverContext& context, const SearchResult& result) {
  if (!incumbent_checks_out(context, result)) return;
  RunState& run = context.run;
  // Without a feasible schedule there are no finish times to list.
  if (result.has_incumbent)
    for (int i = 1; i <= context.instance.activity_count - 2; ++i) {
      const int finish = result.finish[static_cast<std::size_t>(i)];
      std::fprintf(run.console_out, "Act. %d: einde %d\n", i + 1, finish);
      std::fprintf(run.output_file, "Act. %d: einde %d\n", i + 1, finish);
    }
  const double value = reported_value(result);
  const double seconds = result.seconds;
  std::fprintf(run.console_out, "\nSolution: %7.2lf, Computation time: %.2f", value, seconds);
  std::fprintf(run.output_file, "\nSolution: %7.2lf, Computation time: %.2f", value, seconds);
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
