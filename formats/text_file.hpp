// Whole text files and whole-string numbers: the one way every reader and
// writer of the project gets a file's text, puts one on disk and converts a
// field that must be a number and nothing else.
#pragma once

#include <charconv>
#include <string>
#include <system_error>

#include "formats/file_outcome.hpp"

namespace rcpspdc {

// Reads a whole file; fails with "cannot open PATH".
FileOutcome read_text_file(const std::string& path, std::string& text);

// Writes `text` as the whole file; fails with what went wrong, naming the
// file. Safe on any thread (no strerror).
FileOutcome write_text_file(const std::string& path, const std::string& text);

// Whole-string conversion; false when the text is empty, has anything left
// over, or is out of the type's range.
template <typename Number>
bool to_number(const std::string& text, Number& value) {
  const char* end = text.data() + text.size();
  const auto [next, status] = std::from_chars(text.data(), end, value);
  return !text.empty() && status == std::errc() && next == end;
}

// `value` with `decimals` digits after the point, as printf's "%.*f" gives it.
std::string fixed_decimals(double value, int decimals);

// What printf would print, as a string of any length.
__attribute__((format(printf, 1, 2))) std::string printed(const char* format, ...);

}  // namespace rcpspdc
