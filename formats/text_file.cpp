#include "formats/text_file.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace rcpspdc {

FileOutcome read_text_file(const std::string& path, std::string& text) {
  const FileOutcome unread{FileFault::cannot_open, "cannot open " + path};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return unread;
  text.clear();
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? unread : FileOutcome{};
}

FileOutcome write_text_file(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr)
    return {FileFault::cannot_write,
            "cannot write " + path + ": " + std::generic_category().message(errno)};
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) return {FileFault::cannot_write, "cannot write " + path};
  return {};
}

std::string fixed_decimals(double value, int decimals) { return printed("%.*f", decimals, value); }

std::string printed(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace rcpspdc
