// Loading one numbered instance for the console program: seed, files, cash
// flows, information record. Each failure is reported once, on the
// console line of the instance and as a line of the results file, and costs
// only that instance.
#include <cerrno>
#include <cstring>

#include "console/console.hpp"
#include "formats/instance_file.hpp"
#include "model/cash_flows.hpp"
#include "model/invariant.hpp"
#include "platform/platform.hpp"

namespace rcpspdc {

namespace {

constexpr const char* READ_ERROR_CONSOLE[] = {
    "\t\t\t\t\t\t\t\t\t    not found",        "\t\t\t\t\t\t\t\t\t    too many act",
    "\t\t\t\t\t\t\t\t\t    > 2 dummies",      "\t\t\t\t\t\t\t\t\t    missing deadline file",
    "\t\t\t\t\t\t\t\t\t    invalid instance", "\t\t\t\t\t\t\t\t\t    no deadline",
};

// Appends the information record: number, deadline, and every real
// activity's cash flow in model numbering.
bool write_info_record(RunState& run, const InstanceData& data) {
  run.info_file = std::fopen("info.out", "a");
  if (run.info_file == nullptr) {
    std::fprintf(stderr, "rcpspdc: cannot open info.out for appending: %s\n",
                 std::strerror(errno));
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

void report_read_error(RunState& run, const ReadOutcome& outcome) {
  RCPSPDC_CHECK(outcome.kind >= READ_NOT_FOUND && outcome.kind <= READ_NO_DEADLINE,
                "a read error of unknown kind");
  std::fputs(READ_ERROR_CONSOLE[outcome.kind], run.console_out);
  std::fflush(run.console_out);
  std::fprintf(run.output_file, "\n%5d  %s", run.problem_number, read_error_text(outcome).c_str());
}

bool read_instance(SolverContext& context) {
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
    report_read_error(run, outcome);
    return false;
  }
  draw_cash_flows(data, run.generator, params.negative_percent);
  return write_info_record(run, data);
}

}  // namespace rcpspdc
