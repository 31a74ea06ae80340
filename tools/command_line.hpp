// Every tool's command line: "--name value" and "--name=value" options read
// against one declarative table per program.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "formats/text_file.hpp"

namespace rcpspdc {

// One option of a program's table.
struct OptionRow {
  const char* name;                             // "--first"
  std::string wanted;                           // what a refused value should have been
  std::function<bool(const std::string&)> set;  // takes the value; false when it does not fit
  bool* given = nullptr;                        // set when the option appears (may be null)
};

// An option that takes no value and sets a flag ("--quiet").
struct FlagRow {
  const char* name;
  bool* target;
};

// The project version, and the commit when the build came from a clone:
// "1.1.0 (commit 4eb6dbc)" or "1.1.0".
std::string version_text();

// A program's options as parsed, or why they were refused.
template <typename Options>
struct ParsedOptions {
  Options options;
  std::string error;  // empty when the arguments were accepted
  bool ok() const { return error.empty(); }
};

// A tool's main: answers --version (exit 0), parses argv, prints the fault
// (exit 2) or the usage (exit 0), or runs the tool on the options and returns
// its status.
template <typename Options>
int tool_main(const char* program, int argc, char** argv,
              ParsedOptions<Options> (*parse)(const std::vector<std::string>&),
              std::string (*usage)(), const std::function<int(const Options&)>& run) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args)
    if (arg == "--version") {
      std::printf("%s %s\n", program, version_text().c_str());
      return 0;
    }
  const ParsedOptions<Options> parsed = parse(args);
  if (!parsed.ok()) {
    std::fprintf(stderr, "%s: %s\n", program, parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(usage().c_str(), stdout);
    return 0;
  }
  return run(parsed.options);
}

// Setters for the common kinds of value.
std::function<bool(const std::string&)> set_text(std::string& target);  // any non-empty text
std::function<bool(const std::string&)> set_int(int& target, int low, int high);
std::function<bool(const std::string&)> set_rate(double& target);  // finite, 0 or more

// Reads `args` (after the program name) against `table`. "--help" or "-h"
// sets `help` and, like the `flags`, takes no value. Arguments that are no
// option go to `positional` when the program takes them; a word that begins
// with '-' and is no option is refused, never taken for a file. Returns "" or the first
// fault, in the words every tool prints after its name.
std::string parse_options(const std::vector<std::string>& args,
                          const std::vector<OptionRow>& table, bool& help,
                          const std::vector<FlagRow>& flags = {},
                          std::vector<std::string>* positional = nullptr);

}  // namespace rcpspdc
