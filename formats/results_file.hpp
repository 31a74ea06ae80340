// The results file of a console run ("output.out"): a head (banner,
// credits, column legend), then per instance a result line or an error line;
// a single-instance run lists the finish times and the value instead. The
// banner, the legend, the credits and the figures of a result line are the
// console's texts too.
#pragma once

#include <cstdint>
#include <string>

namespace rcpspdc {

constexpr double NO_SCHEDULE_VALUE = -9999.0;  // the value shown when no schedule was found

// The title under its rule; the column legend; the author's lines.
std::string results_banner();
std::string results_legend();
std::string results_credits();
// The head of a new results file.
std::string results_head();

// A search's outcome as a result line shows it.
struct ResultFigures {
  std::int64_t created_nodes = 0;
  std::int64_t branched_nodes = 0;
  double value = NO_SCHEDULE_VALUE;
  double seconds = 0.0;
  bool complete = false;  // the search completed: "optimal", else "heuristic  (time limit!)"
};

// The line's text after the instance number, as the console shows it.
std::string result_figures(const ResultFigures& figures);
// The result line of instance `number` in the file.
std::string result_line(int number, const ResultFigures& figures);
// The error line of instance `number`: "problem not found", "schedule check failed: ...".
std::string error_line(int number, const std::string& words);

// The listing of a single-instance run: a line per real activity (numbered
// as in the instance file), then the value and the seconds.
std::string listing_line(int activity, int finish);
std::string solution_line(double value, double seconds);

}  // namespace rcpspdc
