#include "formats/results_file.hpp"

#include <cinttypes>

#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

constexpr const char* TITLE =
    "\n The resource-constrained project scheduling problem with discounted cash flows\n";
constexpr const char* RULE =
    " ==============================================================================\n\n";
constexpr const char* CREDITS =
    "\n\n Quintaard"
    "\n e-mail: quintaard@rcpspdc.org"
    "\n website: https://rcpspdc.org";
constexpr const char* LEGEND =
    "\n\n1st column: number of problem instance"
    "\n2nd column: number of created nodes"
    "\n3rd column: number of branched nodes"
    "\n4th column: solution"
    "\n5th column: total time spend (in seconds)"
    "\n6th column: optimal or heuristic?\n\n";

}  // namespace

std::string results_banner() { return std::string(TITLE) + RULE; }
std::string results_legend() { return LEGEND; }
std::string results_credits() { return CREDITS; }
std::string results_head() { return results_banner() + CREDITS + "\n\n\n\n" + LEGEND; }

std::string result_figures(const ResultFigures& f) {
  return printed("%10" PRId64 "   %10" PRId64 "   %7.2lf   %7.2lf   %s", f.created_nodes,
                 f.branched_nodes, f.value, f.seconds,
                 f.complete ? "optimal" : "heuristic  (time limit!)");
}

std::string result_line(int number, const ResultFigures& f) {
  // A stopped search's line ends in a blank.
  return printed("\n%10d   ", number) + result_figures(f) + (f.complete ? "" : " ");
}

std::string error_line(int number, const std::string& words) {
  return printed("\n%5d  ", number) + words;
}

std::string listing_line(int activity, int finish) {
  return "Act. " + std::to_string(activity) + ": einde " + std::to_string(finish) + "\n";
}

std::string solution_line(double value, double seconds) {
  return printed("\nSolution: %7.2lf, Computation time: %.2f", value, seconds);
}

}  // namespace rcpspdc
