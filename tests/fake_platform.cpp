// The tests' platform: a clock they set by hand and no key wait.
#include "tests/fake_platform.hpp"

#include "console/platform.hpp"

namespace rcpspdc {

std::atomic<std::int64_t> fake_clock_now{0};
std::atomic<std::int64_t> fake_clock_step{0};

std::int64_t clock_ms() { return fake_clock_now.fetch_add(fake_clock_step.load()); }

void wait_for_key(std::FILE*) {}

}  // namespace rcpspdc
