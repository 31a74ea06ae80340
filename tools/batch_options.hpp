// Command-line options of the batch runner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/command_line.hpp"

namespace rcpspdc {

struct BatchOptions {
  // instance files <problem><number>.rcp, deadlines deadline.<problem>
  std::string problem;
  int first = 0;  // first instance number
  int last = 0;   // last instance number (default: first)
  // or: instance files named on the command line (.sm or the own form),
  // numbered 1, 2, ... in the order given
  std::vector<std::string> files;
  std::string makespans;  // their makespans by name ("" = critical path lengths)
  // directory of the instance and deadline files ("" = working directory)
  std::string dir;
  // The grid: every instance is solved at every combination of an engine, a
  // deadline (an offset, or a factor), a rate and a share of negative flows.
  // The scalars below hold one point of it: the first value after parsing,
  // the point's value in the options handed to solve_one (see grid_points).
  std::vector<std::string> engines = {"learning"};
  std::vector<int> offsets = {0};
  std::vector<long long> factors;  // deadline factors in millionths; empty: offsets
  std::vector<double> rates = {0.01};
  std::vector<int> negatives = {60};
  int negative_percent = 60;        // share of real activities with a negative cash flow
  int deadline_offset = 0;          // periods added to the makespan
  long long deadline_factor = 0;    // or: deadline ceil(factor x makespan), millionths (0: none)
  double interest_rate = 0.01;      // continuous discount rate per period
  std::string engine = "learning";  // the engine's name (see engine_names)
  double time_limit = 60.0;         // seconds per instance, fractions allowed (0 = none)
  std::int64_t node_limit = 0;      // created nodes per search, each engine's count (0 = none)
  std::uint32_t seed = 1;           // generator seed, mixed with each instance
  bool unmixed_seed = false;        // every instance drawn from the seed alone (older runs)
  std::string cash_flows;           // info.out or flows CSV to take the flows from ("" = draw)
  std::string flows_out;            // the flows of every instance go here as CSV ("" = none)
  std::string csv;                  // per-instance rows go here ("" = no file, "-" = stdout)
  std::string json;                 // JSON Lines go here ("" = no file, "-" = stdout)
  int jobs = 0;                     // instances solved at once (0 = one per core)
  int threads = 1;                  // searches on each instance at once
  int shard_index = 0;              // --shard I/N: only the numbers n with
  int shard_count = 1;              // (n - first) mod N = I
  std::string svg_dir;              // a picture of every schedule found goes here ("" = none)
  std::string plot;                 // the performance profile ("" = none)
  std::string gap_plot;             // the gap profile of the stopped searches ("" = none)
  bool svg_arcs = false;            // the pictures show the precedence arcs
  bool resume = false;              // skip instances already in the named result files
  bool verbose = false;             // a line per finished instance on stderr
  bool quiet = false;               // nothing on stdout or stderr but errors
  bool dry_run = false;             // check the options and inputs, solve nothing
  bool report = false;              // --report: summarize the runs named, solve nothing
  std::string format = "markdown";  // of the report: markdown or csv
  bool help = false;                // --help: print the usage and do nothing else
};

// The engines by name, in the order of the engine table (the first is the
// default); defined beside the table in batch_run.cpp.
const std::vector<std::string>& engine_names();

using OptionsOutcome = ParsedOptions<BatchOptions>;

// Parses the arguments after the program name. Options take their value as
// the next argument or after '=' ("--first 3", "--first=3").
OptionsOutcome parse_batch_options(const std::vector<std::string>& args);

// The --help text.
std::string batch_usage();

}  // namespace rcpspdc
