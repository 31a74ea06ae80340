// Pieces every tool's command line shares: "--name value" and "--name=value"
// options, and whole-string number conversions.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "formats/text_file.hpp"

namespace rcpspdc {

inline bool to_int(const std::string& text, int low, int high, int& value) {
  return to_number(text, value) && value >= low && value <= high;
}

// One option of args[a]: "--help"/"-h" gives the name "--help" and no value;
// any other option takes its value after '=' or as the next argument (then a
// moves past it). Returns false with `error` set when args[a] is no option or
// its value is missing.
bool next_option(const std::vector<std::string>& args, std::size_t& a, std::string& name, std::string& value,
                 std::string& error);

}  // namespace rcpspdc
