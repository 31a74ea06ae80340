// Every tool's command line: "--name value" and "--name=value" options read
// against one declarative table per program.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "formats/text_file.hpp"

namespace rcpspdc {

// One option of a program's table.
struct OptionSpec {
  const char* name;                             // "--first"
  std::string wanted;                           // what a refused value should have been
  std::function<bool(const std::string&)> set;  // takes the value; false when it does not fit
  bool* given = nullptr;                        // set when the option appears (may be null)
};

// Setters for the common kinds of value.
std::function<bool(const std::string&)> set_text(std::string& target);  // any non-empty text
std::function<bool(const std::string&)> set_int(int& target, int low, int high);
std::function<bool(const std::string&)> set_rate(double& target);  // finite, 0 or more

// Reads `args` (after the program name) against `table`. "--help" or "-h"
// sets `help` and takes no value. Returns "" or the first fault, in the words
// every tool prints after its name.
std::string parse_options(const std::vector<std::string>& args, const std::vector<OptionSpec>& table,
                          bool& help);

}  // namespace rcpspdc
