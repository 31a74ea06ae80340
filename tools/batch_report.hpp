// The summary of one or more finished runs a paper can use: per set, engine
// and grid point, how many searches were proven, stopped with a schedule or
// without, their gaps and times; as a Markdown or CSV table, and as the
// performance and gap profiles.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "formats/batch_csv.hpp"
#include "formats/batch_results.hpp"
#include "formats/file_outcome.hpp"
#include "formats/profile_plot.hpp"
#include "tools/batch_options.hpp"

namespace rcpspdc {

// A row of the run in hand, as reading it back from its file would give it.
ReportRow report_row(const BatchRow& row, const RunSettings& settings, const std::string& set);

// One engine at one grid point of one set, with its counts.
struct ReportGroup {
  std::string set;
  std::vector<std::string> key;
  int instances = 0;
  int optimal = 0;
  int infeasible = 0;
  int stopped_with = 0;     // stopped with a schedule
  int stopped_without = 0;  // stopped without one
  int errors = 0;
  std::vector<double> gaps;     // of the stopped with a schedule and a bound
  std::vector<double> seconds;  // of every search
  std::vector<double> proven_seconds;
};

// The groups in the order their first rows come.
std::vector<ReportGroup> group_rows(const std::vector<ReportRow>& rows);

// The table: one line per group; columns of settings that are the same in
// every group are said once above a Markdown table (and kept in CSV).
std::string report_table(const std::vector<ReportGroup>& groups, bool csv);

// The figures' data: one series per group, titled with the sets and the
// settings every group shares.
ProfileFigure profile_figure(const std::vector<ReportGroup>& groups);

// rcpspdc-batch --report: the table to `out` and the figures asked for.
// Returns 0, or 2 when a file cannot be read or written.
int run_report(const BatchOptions& options, std::FILE* out, std::FILE* err);

}  // namespace rcpspdc
