// Control of the tests' fake clock.
#pragma once

#include <cstdint>

namespace rcpspdc {

extern std::int64_t fake_clock_now;   // the next reading
extern std::int64_t fake_clock_step;  // added after every reading

}  // namespace rcpspdc
