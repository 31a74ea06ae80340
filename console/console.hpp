// The console program: output files, dialogue, the instance loop, reads and
// reports. Everything it writes goes to the context's console stream and to
// the results and information files in the working directory.
#pragma once

#include <cstdio>
#include <string>

#include "console/run_state.hpp"
#include "formats/file_outcome.hpp"

namespace rcpspdc {

// Runs the whole console program on the given streams; returns the exit status.
int run_console(std::FILE* in, std::FILE* out);

// The dialogue on the console streams; the files are not touched.
void run_dialogue(RunState& run);
// Creates output.out and info.out with their heads; false (run.failed set)
// when either cannot be written.
bool create_output_files(RunState& run);

// Loads instance problem_number: true when it is ready, false when it was
// rejected and reported (or an output file failed, which sets run.failed).
bool read_instance(SolverContext& context);
void report_read_error(RunState& run, const FileOutcome& outcome);

void report_result(SolverContext& context, const SearchResult& result);
void report_solution(SolverContext& context, const SearchResult& result);

}  // namespace rcpspdc
