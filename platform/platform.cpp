#include "platform/platform.hpp"

#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <random>

namespace rcpspdc {

namespace {
const auto program_start = std::chrono::steady_clock::now();
}  // namespace

std::int64_t clock_ms() {
  const auto since = std::chrono::steady_clock::now() - program_start;
  return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

std::uint64_t run_seed() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  auto seed = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  try {
    std::random_device device;
    seed ^= static_cast<std::uint64_t>(device()) << 32 | device();
  } catch (const std::exception&) {
    // No entropy source: the wall clock alone still differs from run to run.
  }
  return seed;
}

void wait_for_key(std::FILE* in) {
  const int fd = fileno(in);
  if (fd < 0 || isatty(fd) == 0) return;
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &raw) != 0) return;
  // Read the descriptor, not the stream: answers typed ahead of the prompt
  // are in the stream's buffer and must not count as the key.
  char key = 0;
  [[maybe_unused]] const ssize_t got = read(fd, &key, 1);
  tcsetattr(fd, TCSANOW, &saved);
}

}  // namespace rcpspdc
