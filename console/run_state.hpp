// The run parameters from the dialogue, the run state of the console driver,
// and the solver context that owns them together with the solver's tables.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "engine/search_engine.hpp"
#include "model/instance_data.hpp"
#include "search/delaying_search.hpp"

namespace rcpspdc {

struct RunParams {
  std::string problem_name;    // instance files are <name><number>.rcp, deadlines deadline.<name>
  int first_problem = 0;       // first instance number
  int last_problem = 0;        // last instance number
  int negative_percent = 0;    // share of real activities with a negative cash flow
  int deadline_offset = 0;     // periods added to the makespan from the deadline file
  double interest_rate = 0.0;  // continuous discount rate per period
  int time_limit = 0;          // seconds per instance
};

struct RunState {
  RunParams params;
  int problem_number = 0;                  // instance being processed
  std::string output_name = "output.out";  // the results file
  std::FILE* output_file = nullptr;        // results file while an instance is processed
  std::FILE* info_file = nullptr;          // information file while it is written
  std::string unanswered;                  // the prompt the input ended at ("" = all answered)
  std::FILE* console_in = stdin;           // dialogue answers
  std::FILE* console_out = stdout;         // console texts
  std::int64_t start_clock = 0;            // clock reading when the instance's search started
  std::uint64_t run_seed = 0;              // drawn once per run; mixed with each instance number
  std::mt19937 generator;                  // cash flows; reseeded at every read
  bool failed = false;                     // an output file could not be written; the run stops
};

// One solver context: the run state, the instance as read (for the checker)
// and the search with its tables. Contexts share nothing mutable, so several
// can work at once on threads. The search reports here: a complete search of
// a single-instance run as the solution listing, every other as a result line.
struct SolverContext : ResultSink {
  RunState run;
  InstanceData instance;
  DelayingSearch search;

  void report(const SearchResult& result) override;
};

}  // namespace rcpspdc
