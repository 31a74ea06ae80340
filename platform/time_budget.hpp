// Time limits, the one way every engine, phase and heuristic is told how long
// it may take. A budget is a number of seconds counted from a reading of the
// platform clock; 0 seconds means no limit, everywhere.
//
// A loop that reads the clock every so many steps holds its limit only as
// well as its steps are short, and over a long horizon one step of a search
// may take a tenth of a second. So the clock is read by work done instead: a
// WorkClock is told the work of each step, in units of about one pass of a
// simple inner loop, and reads the clock once enough of it has passed. The
// work per step only decides how often the clock is read, never what the
// search does, so the node counts of a search the limit does not stop do not
// depend on it.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.hpp"

namespace rcpspdc {

struct TimeBudget {
  double seconds = 0.0;       // 0: no limit; below 0: spent from the start
  std::int64_t start_ms = 0;  // clock_ms() when the budget began
  // When not null, another thread may end the budget early by setting it
  // (the searches of one instance on several threads stop together).
  const std::atomic<bool>* cancel = nullptr;

  // A budget of `seconds` from now.
  static TimeBudget starting_now(double seconds) { return {seconds, clock_ms()}; }

  bool limited() const { return seconds != 0.0 || cancel != nullptr; }
  // Seconds since the start: the milliseconds times the single-precision
  // 0.001, widened, as the console has always counted them.
  double elapsed() const {
    return static_cast<double>(clock_ms() - start_ms) * static_cast<double>(0.001f);
  }
  bool spent() const {
    return (cancel != nullptr && cancel->load(std::memory_order_relaxed)) ||
           (seconds != 0.0 && elapsed() > seconds);
  }
  // `fraction` of the seconds from the same start; no limit stays none.
  TimeBudget share(double fraction) const { return {seconds * fraction, start_ms, cancel}; }
};

// Work between two readings of the clock: about a millisecond of simple loop
// passes, so a reading costs about a ten-thousandth of the work it spaces.
constexpr std::int64_t WORK_PER_READING = std::int64_t{1} << 18;

// A budget read by work done. Once spent it stays spent without reading again.
class WorkClock {
 public:
  WorkClock() = default;
  explicit WorkClock(const TimeBudget& budget) : budget_(budget) {}

  // Counts `work` more units; true once the budget is spent.
  bool spent_after(std::int64_t work) {
    if (spent_ || !budget_.limited()) return spent_;
    until_reading_ -= work;
    if (until_reading_ > 0) return false;
    until_reading_ = WORK_PER_READING;
    spent_ = budget_.spent();
    return spent_;
  }
  // As of the last reading.
  bool spent() const { return spent_; }
  const TimeBudget& budget() const { return budget_; }

 private:
  TimeBudget budget_;
  std::int64_t until_reading_ = WORK_PER_READING;
  bool spent_ = false;
};

}  // namespace rcpspdc
