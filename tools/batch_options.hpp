// Command-line options of the batch runner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/command_line.hpp"

namespace rcpspdc {

// The search engines: the console's search over delaying alternatives, and
// the search over start-time windows built for tight deadlines.
enum class Engine { delaying, start_times };

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
  int negative_percent = 60;            // share of real activities with a negative cash flow
  int deadline_offset = 0;              // periods added to the makespan
  double interest_rate = 0.01;          // continuous discount rate per period
  double time_limit = 60.0;             // seconds per instance, fractions allowed (0 = none)
  std::uint32_t seed = 1;               // generator seed, mixed with each instance
  bool unmixed_seed = false;            // every instance drawn from the seed alone (older runs)
  std::string cash_flows;               // info.out to take the cash flows from ("" = draw them)
  std::string csv;                      // per-instance rows go here ("" = no file, "-" = stdout)
  std::string json;                     // JSON Lines go here ("" = no file, "-" = stdout)
  int jobs = 0;                         // instances solved at once (0 = one per core)
  int shard_index = 0;                  // --shard I/N: only the numbers n with
  int shard_count = 1;                  // (n - first) mod N = I
  std::string svg_dir;                  // a picture of every schedule found goes here ("" = none)
  std::string plot;                     // the run's summary picture ("" = none)
  bool svg_arcs = false;                // the pictures show the precedence arcs
  Engine engine = Engine::start_times;  // --engine delaying replays the console's search
  bool resume = false;                  // skip instances already in the named result files
  bool verbose = false;                 // a line per finished instance on stderr
  bool quiet = false;                   // nothing on stdout or stderr but errors
  bool dry_run = false;                 // check the options and inputs, solve nothing
  bool help = false;                    // --help: print the usage and do nothing else
};

using OptionsOutcome = ParsedOptions<BatchOptions>;

// Parses the arguments after the program name. Options take their value as
// the next argument or after '=' ("--first 3", "--first=3").
OptionsOutcome parse_batch_options(const std::vector<std::string>& args);

// The --help text.
std::string batch_usage();

}  // namespace rcpspdc
