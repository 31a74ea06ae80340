// The summary of a batch run: how many instances ended how, the gaps of the
// stopped ones, and the time and speed of the searches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/batch_csv.hpp"

namespace rcpspdc {

struct BatchSummary {
  int instances = 0;
  int optimal = 0;               // complete searches with a feasible schedule
  int infeasible = 0;            // complete searches without one
  int stopped = 0;               // stopped by the time or the node limit
  int stopped_by_nodes = 0;      // of them, by the node limit
  int errors = 0;                // not read, or not solved
  int gap_instances = 0;         // stopped instances with a schedule and a bound
  double mean_gap = 0.0;         // their mean relative gap
  double largest_gap = 0.0;      // and the largest
  double total_seconds = 0.0;    // searches only
  double cpu_seconds = 0.0;      // their processor time; below the wall time on a busy machine
  double median_seconds = 0.0;   // over the instances searched
  std::int64_t evaluations = 0;  // bound evaluations, created_nodes - 1 per instance
  double evaluations_per_second = 0.0;
  double evaluations_per_cpu_second = 0.0;
  int busy_instances = 0;             // instances with more than 10,000 evaluations
  double busy_median_rate = 0.0;      // median evaluations per second over those
  double busy_median_cpu_rate = 0.0;  // the same per processor second
};

// How far a stopped search may be from the optimum: (bound - value) over
// the value's magnitude, at least 1 so values near 0 give no huge ratios.
double relative_gap(const BatchRow& row);
double relative_gap(double bound, double value);

// The middle value (the mean of the two middle ones), 0 for none.
double median(std::vector<double> values);

BatchSummary summarize(const std::vector<BatchRow>& rows);
std::string format_summary(const BatchSummary& summary);

}  // namespace rcpspdc
