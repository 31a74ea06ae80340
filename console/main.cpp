#include <cstdio>
#include <cstring>

#include "console/console.hpp"

namespace {

constexpr const char* USAGE =
    "usage: rcpspdc [--help | --version]\n"
    "Asks for a problem name, a range of instance numbers, the share of negative cash flows,\n"
    "the deadline offset, the interest rate and the time limit, solves every instance in the\n"
    "working directory and writes output.out and info.out there.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    // The commit is empty for a build outside a clone.
    std::puts(sizeof RCPSPDC_COMMIT > 1 ? "rcpspdc " RCPSPDC_VERSION " (commit " RCPSPDC_COMMIT ")"
                                        : "rcpspdc " RCPSPDC_VERSION);
    return 0;
  }
  if (argc > 1) {
    std::fprintf(stderr, "rcpspdc: unexpected argument \"%s\"\n%s", argv[1], USAGE);
    return 2;
  }
  return rcpspdc::run_console(stdin, stdout);
}
