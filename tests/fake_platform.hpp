// Control of the tests' fake clock.
#pragma once

#include <atomic>
#include <cstdint>

namespace rcpspdc {

extern std::atomic<std::int64_t> fake_clock_now;  // the next reading
// added after every reading (batch runs read it from several threads)
extern std::atomic<std::int64_t> fake_clock_step;
constexpr std::uint64_t FAKE_RUN_SEED =
    1000;  // every console run of the tests draws with this seed

}  // namespace rcpspdc
