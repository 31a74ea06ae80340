// rcpspdc-batch: solves a range of instances with reproducible cash flows and
// writes a CSV row per instance and a summary (see --help).
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/batch_options.hpp"
#include "tools/batch_run.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const rcpspdc::OptionsOutcome parsed = rcpspdc::parse_batch_options(args);
  if (!parsed.ok()) {
    std::fprintf(stderr, "rcpspdc-batch: %s\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(rcpspdc::batch_usage().c_str(), stdout);
    return 0;
  }
  return rcpspdc::run_batch(parsed.options, stdout, stderr, isatty(fileno(stderr)) != 0);
}
