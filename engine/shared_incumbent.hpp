// The best schedule the searches of one instance on several threads have
// found so far. Each search posts every incumbent it finds and, between
// nodes, takes a better one posted by another: a schedule is feasible
// wherever it was found, so taking it is as sound as finding it, and every
// search then prunes against the best value any of them knows. A search
// asks for news by one relaxed atomic load per node; the schedule itself
// crosses under a lock, a few times per run.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

namespace rcpspdc {

class SharedIncumbent {
 public:
  // Posts a schedule worth `value` (finish times of `activity_count`
  // activities); kept when it is worth more than the one held. Returns its
  // version when kept, so the poster need not take its own, else 0 (a
  // better one is held).
  std::uint64_t post(double value, const int* finish, int activity_count) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!(value > value_)) return 0;
    value_ = value;
    finish_.assign(finish, finish + activity_count);
    const std::uint64_t version = version_.load(std::memory_order_relaxed) + 1;
    version_.store(version, std::memory_order_release);
    return version;
  }

  // The version of the schedule held; 0 while there is none.
  std::uint64_t version() const { return version_.load(std::memory_order_acquire); }

  // Copies the schedule held into `finish` (empty while there is none) and
  // returns its version.
  std::uint64_t take(std::vector<int>& finish) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    finish = finish_;
    return version_.load(std::memory_order_relaxed);
  }

 private:
  mutable std::mutex mutex_;
  std::atomic<std::uint64_t> version_{0};
  double value_ = -std::numeric_limits<double>::infinity();
  std::vector<int> finish_;
};

}  // namespace rcpspdc
