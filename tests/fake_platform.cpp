// The tests' platform: a clock they set by hand, a fixed run seed and no key
// wait. The clocks that only measure are the real ones (platform/measure.cpp).
#include "tests/fake_platform.hpp"

#include "platform/platform.hpp"

namespace rcpspdc {

std::atomic<std::int64_t> fake_clock_now{0};
std::atomic<std::int64_t> fake_clock_step{0};

std::int64_t clock_ms() { return fake_clock_now.fetch_add(fake_clock_step.load()); }

std::uint64_t run_seed() { return FAKE_RUN_SEED; }

void wait_for_key(std::FILE*) {}

}  // namespace rcpspdc
