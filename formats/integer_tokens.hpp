// The tokens of the instance and deadline files: whitespace-separated
// decimal integers, each with an optional sign and fitting a 32-bit signed
// integer.
#pragma once

#include <string>

namespace rcpspdc {

class IntegerTokens {
 public:
  explicit IntegerTokens(const std::string& text)
      : p_(text.data()), end_(text.data() + text.size()) {}

  // Reads the next integer; on failure `problem` says why, naming `what`.
  bool next(int& value, const std::string& what, std::string& problem);

  // True when no token is left; otherwise `token` is the next one, shortened
  // for a message.
  bool at_end(std::string& token);

 private:
  std::string next_token();

  const char* p_;
  const char* end_;
};

}  // namespace rcpspdc
