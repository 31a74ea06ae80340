// The summary picture of a batch run: the seconds of every instance on a
// log scale, optimal, infeasible and stopped instances marked apart, so a run
// can be judged at a glance.
#pragma once

#include <string>
#include <vector>

#include "formats/batch_csv.hpp"

namespace rcpspdc {

// One mark per searched instance in row order (class "optimal", "infeasible"
// or "stopped", hover text with number, status and seconds); instances that
// could not be solved are left out. Seconds below 0.0001 are drawn at 0.0001.
std::string run_plot_svg(const std::vector<BatchRow>& rows, const std::string& title);

}  // namespace rcpspdc
