// Loading one numbered instance for the console program: seed, files, cash
// flows, information record. Each failure is reported once, on the
// console line of the instance and as a line of the results file, and costs
// only that instance.
#include <cerrno>
#include <cstring>

#include "console/console.hpp"
#include "formats/info_file.hpp"
#include "formats/instance_file.hpp"
#include "formats/results_file.hpp"
#include "model/cash_flows.hpp"
#include "model/invariant.hpp"
#include "platform/platform.hpp"

namespace rcpspdc {

namespace {

constexpr const char* CONSOLE_INDENT = "\t\t\t\t\t\t\t\t\t    ";

// The console's short words for a read failure.
const char* console_words(FileFault fault) {
  switch (fault) {
    case FileFault::cannot_open: return "not found";
    case FileFault::too_many: return "too many act";
    case FileFault::dummies: return "> 2 dummies";
    case FileFault::no_deadline_file: return "missing deadline file";
    case FileFault::invalid: return "invalid instance";
    case FileFault::no_deadline:
    case FileFault::deadline_above_limit: return "no deadline";
    case FileFault::none:
    case FileFault::cannot_write: break;
  }
  return nullptr;
}

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
  std::fputs(info_record(run.problem_number, data).c_str(), run.info_file);
  const bool written = std::fclose(run.info_file) == 0;
  run.info_file = nullptr;
  if (!written) {
    std::fprintf(stderr, "rcpspdc: cannot write info.out\n");
    run.failed = true;
  }
  return written;
}

}  // namespace

void report_read_error(RunState& run, const FileOutcome& outcome) {
  const char* words = console_words(outcome.fault);
  RCPSPDC_CHECK(words != nullptr, "a read error of unknown kind");
  std::fprintf(run.console_out, "%s%s", CONSOLE_INDENT, words);
  std::fflush(run.console_out);
  std::fputs(error_line(run.problem_number, read_error_text(outcome)).c_str(), run.output_file);
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
  const FileOutcome outcome =
      read_instance_files(params.problem_name, run.problem_number, params.deadline_offset, data);
  if (!outcome.ok()) {
    report_read_error(run, outcome);
    return false;
  }
  if (!outcome.note.empty()) std::fprintf(stderr, "rcpspdc: %s\n", outcome.note.c_str());
  draw_cash_flows(data, run.generator, params.negative_percent);
  return write_info_record(run, data);
}

}  // namespace rcpspdc
