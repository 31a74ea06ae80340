#include "formats/integer_tokens.hpp"

#include <cctype>
#include <climits>

namespace rcpspdc {

namespace {

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// A token as a message shows it: printable, and at most 20 characters.
std::string shortened(const std::string& token) {
  std::string shown;
  for (char c : token.substr(0, 20))
    shown += std::isprint(static_cast<unsigned char>(c)) != 0 ? c : '?';
  return token.size() > 20 ? shown + "..." : shown;
}

}  // namespace

std::string IntegerTokens::next_token() {
  while (p_ != end_ && is_blank(*p_)) ++p_;
  const char* start = p_;
  while (p_ != end_ && !is_blank(*p_)) ++p_;
  return std::string(start, p_);
}

bool IntegerTokens::next(int& value, const std::string& what, std::string& problem) {
  const std::string token = next_token();
  if (token.empty()) {
    problem = "the file ends before " + what;
    return false;
  }
  std::size_t digit = (token[0] == '+' || token[0] == '-') ? 1 : 0;
  bool numeric = digit < token.size();
  long long magnitude = 0;
  bool too_large = false;
  for (std::size_t c = digit; numeric && c < token.size(); ++c) {
    if (token[c] < '0' || token[c] > '9') {
      numeric = false;
    } else if (!too_large) {
      magnitude = magnitude * 10 + (token[c] - '0');
      if (magnitude > 2147483648LL) too_large = true;
    }
  }
  if (!numeric) {
    problem = "\"" + shortened(token) + "\" is not an integer (" + what + ")";
    return false;
  }
  const long long signed_value = token[0] == '-' ? -magnitude : magnitude;
  if (too_large || signed_value > INT_MAX || signed_value < INT_MIN) {
    problem = shortened(token) + " does not fit a 32-bit integer (" + what + ")";
    return false;
  }
  value = static_cast<int>(signed_value);
  return true;
}

bool IntegerTokens::at_end(std::string& token) {
  const std::string next = next_token();
  if (next.empty()) return true;
  token = shortened(next);
  return false;
}

}  // namespace rcpspdc
