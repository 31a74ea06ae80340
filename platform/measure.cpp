// The clocks that only measure: no limit is read from them, so the tests
// link them as they are, beside their fake of the seam.
#include <time.h>

#include <chrono>

#include "platform/platform.hpp"

namespace rcpspdc {

double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace rcpspdc
