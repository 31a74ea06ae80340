// The results file of a finished run read back for a summary: the rows of its
// CSV or its JSON Lines (told apart by the first line), each with its set,
// its settings, how it ended, its value, bound and seconds.
#pragma once

#include <string>
#include <vector>

#include "formats/batch_csv.hpp"
#include "formats/file_outcome.hpp"

namespace rcpspdc {

// A row as a summary of runs needs it.
struct ReportRow {
  std::string set;               // the instance set (the problem name), "" when unknown
  std::vector<std::string> key;  // its settings as the CSV writes them (settings_fields)
  RowStatus kind = RowStatus::error;
  bool has_value = false;
  double value = 0.0;
  bool has_bound = false;
  double bound = 0.0;
  double seconds = -1.0;  // -1: not searched
};

// Reads the rows of a run's JSON Lines or CSV (told apart by the first
// line) and appends them to `rows`; the set comes from a JSON header's
// problem. Closing lines are passed over; a CSV of an older version without
// the node_limit column had no node limit. Fails with "cannot open PATH" or
// (invalid) naming the line.
FileOutcome read_report_rows(const std::string& path, std::vector<ReportRow>& rows);

}  // namespace rcpspdc
