// rcpspdc-check: checks a schedule against its instance, deadline and cash
// flows independently of the search that produced it (see --help).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/check_schedule_files.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const rcpspdc::CheckOptionsOutcome parsed = rcpspdc::parse_check_options(args);
  if (!parsed.ok()) {
    std::fprintf(stderr, "rcpspdc-check: %s\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(rcpspdc::check_usage().c_str(), stdout);
    return 0;
  }
  return rcpspdc::run_check(parsed.options, stdout, stderr);
}
