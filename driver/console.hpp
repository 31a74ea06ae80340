// The console program: output files, dialogue, the instance loop, reads and
// reports. Everything it writes goes to the context's console stream and to
// the results and information files in the working directory.
#pragma once

#include <cstdio>
#include <string>

#include "driver/run_state.hpp"

namespace rcpspdc {

// Runs the whole console program on the given streams; returns the exit status.
int run_console(std::FILE* in, std::FILE* out);

// The dialogue on the console streams; the files are not touched.
void run_dialogue(RunState& run);
// Creates output.out and info.out with their heads; false (run.failed set)
// when either cannot be written.
bool create_output_files(RunState& run);

// Loads instance problem_number: 1 when it is ready, 0 when it was rejected
// and reported (or an output file failed, which sets run.failed).
int read_instance(SolverContext& context);
void report_read_error(RunState& run, int kind, const std::string& reason = {});

void report_result(SolverContext& context, int kind);
void report_solution(SolverContext& context);

}  // namespace rcpspdc
