// The platform seam: the clocks, the run's seed and the key wait. The programs
// link platform/platform.cpp; the tests link a fake with a clock they set, so
// that seeds, and with them cash flows, are known, and time limits strike
// where a test wants them to. The clocks that only measure
// (platform/measure.cpp) are linked as they are by both.
#pragma once

#include <cstdint>
#include <cstdio>

namespace rcpspdc {

// Milliseconds since program start, from a monotonic clock: the clock every
// time limit is measured by (see platform/time_budget.hpp).
std::int64_t clock_ms();

// Seconds from a monotonic clock at its full resolution, for measuring how
// long something took; no limit is read from it.
double wall_seconds();

// Processor time of the calling thread in seconds, to tell a slow search from
// a busy machine.
double thread_cpu_seconds();

// A seed for the run's cash flows, different at every call and in every
// process: std::random_device mixed with the wall clock in nanoseconds.
std::uint64_t run_seed();

// Waits for one key press, without echo, when `in` is a terminal; returns at
// once when it is not, so a run fed from a pipe or a file ends by itself.
void wait_for_key(std::FILE* in);

}  // namespace rcpspdc
