// The platform seam: the clock and the key wait. The programs link
// console/platform.cpp; the tests link a fake with a clock they set, so that
// seeds, and with them cash flows, are known.
#pragma once

#include <cstdint>
#include <cstdio>

namespace rcpspdc {

// Milliseconds since program start, from a monotonic clock.
std::int64_t clock_ms();

// Waits for one key press, without echo, when `in` is a terminal; returns at
// once when it is not, so a run fed from a pipe or a file ends by itself.
void wait_for_key(std::FILE* in);

}  // namespace rcpspdc
