// The batch runner: instances solved one by one on the core library, one CSV
// row each, and a summary. The work of one instance is a function of the
// options, the instance number and a Solver of its own, so instances can be
// spread over several solvers without changing any result.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "formats/batch_csv.hpp"
#include "formats/batch_json.hpp"
#include "formats/flows_csv.hpp"
#include "formats/info_file.hpp"
#include "tools/batch_jobs.hpp"
#include "tools/batch_options.hpp"

namespace rcpspdc {

// Makespans by instance name (see formats/makespan_table.hpp).
using Makespans = std::map<std::string, int>;

// Reads, prepares and solves instance `number` with the engine the options
// name, in `workspace`. `records` holds the cash flows when they come from an
// info.out, `flows` when they come from a flows CSV; both are null when
// they are drawn from the seed. Instance files named on the command line
// take their makespan from `makespans` (when not null and it has the name)
// or from the critical path. The options' scalars give the grid point.
BatchRow solve_one(const BatchOptions& options, const InfoRecords* records, int number,
                   Workspace& workspace, const Makespans* makespans = nullptr,
                   const FlowsTable* flows = nullptr);

// The grid of the options, one options object per point with its engine,
// deadline, rate and share of negative flows in the scalars: engines
// outermost, then deadlines, rates and shares, each in the order given.
std::vector<BatchOptions> grid_points(const BatchOptions& options);

// The instance file of `number`: the file named, or DIR/PROBLEM<number>.rcp.
std::string instance_path(const BatchOptions& options, int number);
// A path's file name without directory and extension: the name makespans go by.
std::string file_stem(const std::string& path);
// The settings every row of a grid point carries.
RunSettings run_settings(const BatchOptions& point);
// What the header line of the run's JSON Lines says (the checksums aside).
RunHeader run_header(const BatchOptions& options);

// Lets the program stop a run from another thread (on Ctrl-C). While rows
// are being solved, `stop` holds the run's answer: it waits until no line is
// half written, closes the JSON Lines with an "interrupted" line, keeps every
// file as it then is for good (the process is to end) and returns the
// one-line summary. Empty while no rows are being solved.
struct RunInterrupt {
  std::mutex lock;
  std::function<std::string()> stop;
};

// The whole run, on options.jobs threads (see tools/batch_jobs.hpp): every
// instance of the shard at every grid point, rows to the result files
// instance by instance and within an instance in the grid's order, the
// summary to `out`, messages and the progress (when `progress` is set) to
// `err`. With options.report, the report of the runs named instead. Returns
// the exit status: 0 when every row was solved (optimal, infeasible, or
// stopped by a limit), 1 when a row is an error, 2 when a file cannot be
// read or written.
int run_batch(const BatchOptions& options, std::FILE* out, std::FILE* err, bool progress,
              RunInterrupt* interrupt = nullptr);

}  // namespace rcpspdc
