// Short nogoods the searches of one instance on several threads give each
// other: each a few 64-bit words in the encoding of the search that learnt
// it, for searches of the same kind. A nogood learnt against an incumbent
// may rule out schedules worth no more than that incumbent, so it is taken
// only by a search whose own incumbent is worth at least as much.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace rcpspdc {

class SharedNogoods {
 public:
  // Words kept at most (8 MiB); later nogoods are not kept.
  static constexpr std::size_t MAX_WORDS = std::size_t{1} << 20;

  // Posts the nogood of `size` words that search `origin` learnt while its
  // incumbent was worth `incumbent` (minus infinity while it had none).
  void post(int origin, double incumbent, const std::uint64_t* words, int size) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (words_.size() + static_cast<std::size_t>(size) > MAX_WORDS) return;
    entries_.push_back({origin, size, words_.size(), incumbent});
    words_.insert(words_.end(), words, words + size);
  }

  // Appends to `words` and `sizes` the nogoods posted from entry `from` on
  // by searches other than `origin` that hold for a search whose incumbent
  // is worth `incumbent`; returns the entry to go on from next time.
  std::size_t take(int origin, double incumbent, std::size_t from,
                   std::vector<std::uint64_t>& words, std::vector<int>& sizes) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t x = from; x < entries_.size(); ++x) {
      const Entry& e = entries_[x];
      if (e.origin == origin || e.incumbent > incumbent) continue;
      const auto first = words_.begin() + static_cast<std::ptrdiff_t>(e.start);
      words.insert(words.end(), first, first + e.size);
      sizes.push_back(e.size);
    }
    return entries_.size();
  }

  // Entries posted so far.
  std::size_t count() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
  }

 private:
  struct Entry {
    int origin = 0;
    int size = 0;
    std::size_t start = 0;  // first word
    double incumbent = 0.0;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::vector<std::uint64_t> words_;
};

}  // namespace rcpspdc
