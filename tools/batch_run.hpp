// The batch runner: instances solved one by one on the core library, one CSV
// row each, and a summary. The work of one instance is a function of the
// options, the instance number and a Solver of its own, so instances can be
// spread over several solvers without changing any result.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "formats/batch_csv.hpp"
#include "formats/info_file.hpp"
#include "tools/batch_jobs.hpp"
#include "tools/batch_options.hpp"

namespace rcpspdc {

// Makespans by instance name (see formats/makespan_table.hpp).
using Makespans = std::map<std::string, int>;

// Reads, prepares and solves instance `number` with the engine the options
// name, in `workspace`. `records` holds the cash flows when they come from an
// info.out, and is null when they are drawn from the seed. Instance files
// named on the command line take their makespan from `makespans` (when not
// null and it has the name) or from the critical path.
BatchRow solve_one(const BatchOptions& options, const InfoRecords* records, int number,
                   Workspace& workspace, const Makespans* makespans = nullptr);

struct BatchSummary {
  int instances = 0;
  int optimal = 0;               // complete searches with a feasible schedule
  int infeasible = 0;            // complete searches without one
  int stopped = 0;               // stopped by the time limit
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

BatchSummary summarize(const std::vector<BatchRow>& rows);
std::string format_summary(const BatchSummary& summary);

// The whole run, on options.jobs threads (see tools/batch_jobs.hpp): rows to
// the CSV file in instance order, the summary to `out`, messages and the
// progress (when `progress` is set) to `err`. Returns the exit status: 0 when
// every row is optimal, infeasible or time limit, 1 when a row is an error,
// 2 when a file cannot be read or written.
int run_batch(const BatchOptions& options, std::FILE* out, std::FILE* err, bool progress);

}  // namespace rcpspdc
