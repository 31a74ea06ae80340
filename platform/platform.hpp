// The platform seam: the clock, the run's seed and the key wait. The programs link
// platform/platform.cpp; the tests link a fake with a clock they set, so that
// seeds, and with them cash flows, are known.
#pragma once

#include <cstdint>
#include <cstdio>

namespace rcpspdc {

// Milliseconds since program start, from a monotonic clock.
std::int64_t clock_ms();

// A seed for the run's cash flows, different at every call and in every
// process: std::random_device mixed with the wall clock in nanoseconds.
std::uint64_t run_seed();

// Waits for one key press, without echo, when `in` is a terminal; returns at
// once when it is not, so a run fed from a pipe or a file ends by itself.
void wait_for_key(std::FILE* in);

}  // namespace rcpspdc
