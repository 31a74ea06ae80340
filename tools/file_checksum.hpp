// SHA-256 of a file's bytes, as sha256sum prints it, so a reader of a run
// can tell whether the instance files on their disk are the ones it read.
#pragma once

#include <string>

namespace rcpspdc {

// 64 lower-case hex digits, or "" when the file cannot be read.
std::string sha256_of_file(const std::string& path);

}  // namespace rcpspdc
