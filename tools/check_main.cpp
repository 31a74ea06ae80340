// rcpspdc-check: checks a schedule against its instance, deadline and cash
// flows independently of the search that produced it (see --help).
#include <cstdio>

#include "tools/check_schedule_files.hpp"

int main(int argc, char** argv) {
  using namespace rcpspdc;
  return tool_main<CheckOptions>(
      "rcpspdc-check", argc, argv, parse_check_options, check_usage,
      [](const CheckOptions& options) { return run_check(options, stdout, stderr); });
}
