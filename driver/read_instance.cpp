// Loading one numbered instance for the console program: seed, files, cash
// flows, model, information record. Each failure is reported once, on the
// console line of the instance and as a line of the results file, and costs
// only that instance.
#include <cerrno>
#include <cstring>

#include "driver/cash_flows.hpp"
#include "driver/console.hpp"
#include "driver/instance_file.hpp"
#include "model/invariant.hpp"

namespace rcpspdc {

namespace {

constexpr const char* READ_ERROR_CONSOLE[] = {
    "\t\t\t\t\t\t\t\t\t    not found",
    "\t\t\t\t\t\t\t\t\t    too many act",
    "\t\t\t\t\t\t\t\t\t    > 2 dummies",
    "\t\t\t\t\t\t\t\t\t    missing deadline file",
    "\t\t\t\t\t\t\t\t\t    invalid instance",
    "\t\t\t\t\t\t\t\t\t    no deadline",
};

// Appends the information record: number, deadline, and every real
// activity's cash flow in model numbering.
bool write_info_record(RunState& run, const InstanceData& data) {
  run.info_file = std::fopen("info.out", "a");
  if (run.info_file == nullptr) {
    std::fprintf(stderr, "rcpspdc: cannot open info.out for appending: %s\n", std::strerror(errno));
    run.failed = true;
    return false;
  }
  std::fprintf(run.info_file, "\n%5d     %5d     ", run.problem_number, data.deadline);
  for (int i = 1; i <= data.activity_count - 2; ++i)
    std::fprintf(run.info_file, "(%d / %d)   ", i, data.cash_flow[static_cast<std::size_t>(i)]);
  const bool written = std::fclose(run.info_file) == 0;
  run.info_file = nullptr;
  if (!written) {
    std::fprintf(stderr, "rcpspdc: cannot write info.out\n");
    run.failed = true;
  }
  return written;
}

}  // namespace

void report_read_error(RunState& run, int kind, const std::string& reason) {
  RCPSPDC_CHECK(kind >= READ_NOT_FOUND && kind <= READ_NO_DEADLINE, "a read error of unknown kind");
  std::fputs(READ_ERROR_CONSOLE[kind], run.console_out);
  std::fflush(run.console_out);
  const int number = run.problem_number;
  switch (kind) {
    case READ_NOT_FOUND: std::fprintf(run.output_file, "\n%5d  problem not found", number); break;
    case READ_TOO_MANY: std::fprintf(run.output_file, "\n%5d  too many activities", number); break;
    case READ_DUMMIES: std::fprintf(run.output_file, "\n%5d  > 2 dummies detected", number); break;
    case READ_NO_DEADLINE_FILE: std::fprintf(run.output_file, "\n%5d  missing deadline file", number); break;
    case READ_INVALID: std::fprintf(run.output_file, "\n%5d  invalid instance: %s", number, reason.c_str()); break;
    case READ_NO_DEADLINE: std::fprintf(run.output_file, "\n%5d  no deadline for this instance", number); break;
    default: break;
  }
}

int read_instance(SolverContext& context) {
  RunState& run = context.run;
  const RunParams& params = run.params;
  // The run's seed mixed with the number: flows differ from run to run and
  // from instance to instance, however fast instances are read.
  run.generator.seed(instance_seed(run.run_seed, run.problem_number));
  std::fprintf(run.console_out, "\n %3d ", run.problem_number);
  std::fflush(run.console_out);
  InstanceData& data = context.instance;
  const ReadOutcome outcome =
      read_instance_files(params.problem_name, run.problem_number, params.deadline_offset, data);
  if (!outcome.ok()) {
    report_read_error(run, outcome.kind, outcome.reason);
    return 0;
  }
  draw_cash_flows(data, run.generator, params.negative_percent);
  load_model(data, context.solver->model);
  return write_info_record(run, data) ? 1 : 0;
}

}  // namespace rcpspdc
