// The result files of an earlier run, read back to go on with it: the CSV
// or the JSON Lines of a stopped run, checked against the run that resumes it
// so that no file mixes the rows of two runs.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "formats/batch_csv.hpp"
#include "formats/batch_json.hpp"
#include "formats/file_outcome.hpp"

namespace rcpspdc {

// A results file of an earlier run: its header and the complete lines after
// it (a line cut off by the stop is dropped).
// A row of a run: its instance number and the index of its grid point.
using RowKey = std::pair<long long, int>;

// A results file of an earlier run: its header and the complete lines after
// it (a line cut off by the stop is dropped, and so is a closing line).
struct EarlierFile {
  bool exists = false;  // the file is there and not empty
  std::string header;
  std::vector<std::pair<RowKey, std::string>> rows;  // the row's key, its line
};

// The run that resumes: the instances it solves with their instance files,
// the settings of each of its grid points, and its JSON header.
struct ResumingRun {
  std::map<long long, std::string> files;  // instance number -> instance file
  std::vector<RunSettings> points;
  RunHeader header;
};

// Reads `path` as the CSV (or, with `json`, the JSON Lines) of an earlier run:
// its header must be the one `run` writes (where and when it ran aside),
// and every row must hold an instance the run solves, once per grid point,
// with the settings of one of the run's grid points and the instance file. Fails with "cannot read
// PATH" (cannot_open) or what is wrong (invalid).
FileOutcome read_earlier_file(const std::string& path, bool json, const ResumingRun& run,
                              EarlierFile& earlier);

}  // namespace rcpspdc
