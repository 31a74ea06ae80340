// rcpspdc-batch: solves a range of instances with reproducible cash flows and
// writes a CSV row per instance and a summary (see --help).
#include <unistd.h>

#include <cstdio>

#include "tools/batch_options.hpp"
#include "tools/batch_run.hpp"

int main(int argc, char** argv) {
  using namespace rcpspdc;
  return tool_main<BatchOptions>("rcpspdc-batch", argc, argv, parse_batch_options, batch_usage,
                                 [](const BatchOptions& options) {
                                   return run_batch(options, stdout, stderr,
                                                    isatty(fileno(stderr)) != 0);
                                 });
}
