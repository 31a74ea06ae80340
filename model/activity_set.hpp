// Activity sets: one bit per activity in a short row of 32-bit words. Every
// scan in the solver visits members from the highest index down; that order
// decides every tie.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "model/instance_data.hpp"

namespace rcpspdc {

using SetWord = std::uint32_t;

constexpr int WORD_BITS = 32;
constexpr int ACTIVITY_ROWS = MAX_ACTIVITIES + 1;  // rows of every per-activity table
constexpr int SET_WORDS_MAX = MAX_ACTIVITIES / WORD_BITS;

struct alignas(16) ActivitySet {
  SetWord word[SET_WORDS_MAX];  // activity i is bit i mod 32 of word i / 32
};

// Set operations work on whole rows, as two 64-bit halves (words 0-1 and
// 2-3 on this little-endian layout): every row is kept zero beyond the
// instance's activities, so this gives the same answer as a loop over the
// used words, with no loop bound to test.
static_assert(std::endian::native == std::endian::little,
              "activity sets pair 32-bit words into halves");

namespace set_detail {
inline std::uint64_t half(const ActivitySet& s, int h) {
  std::uint64_t v;
  std::memcpy(&v, &s.word[2 * h], sizeof v);
  return v;
}
inline void set_half(ActivitySet& s, int h, std::uint64_t v) {
  std::memcpy(&s.word[2 * h], &v, sizeof v);
}
inline int half_of(int i) { return static_cast<int>(static_cast<unsigned>(i) >> 6); }
inline std::uint64_t half_bit(int i) {
  return std::uint64_t{1} << (static_cast<unsigned>(i) & 63u);
}
}  // namespace set_detail

inline void set_clear(ActivitySet& s) {
  set_detail::set_half(s, 0, 0);
  set_detail::set_half(s, 1, 0);
}
// Members are set and tested through the same 64-bit halves that whole-row
// operations read, so a load never waits on a narrower store to the same row.
inline void set_add(ActivitySet& s, int i) {
  using namespace set_detail;
  set_half(s, half_of(i), half(s, half_of(i)) | half_bit(i));
}
// Removal of a known member flips its bit.
inline void set_toggle(ActivitySet& s, int i) {
  using namespace set_detail;
  set_half(s, half_of(i), half(s, half_of(i)) ^ half_bit(i));
}
inline bool set_contains(const ActivitySet& s, int i) {
  using namespace set_detail;
  return (half(s, half_of(i)) & half_bit(i)) != 0;
}
inline ActivitySet set_or(const ActivitySet& a, const ActivitySet& b) {
  using namespace set_detail;
  ActivitySet r;
  set_half(r, 0, half(a, 0) | half(b, 0));
  set_half(r, 1, half(a, 1) | half(b, 1));
  return r;
}
inline ActivitySet set_xor(const ActivitySet& a, const ActivitySet& b) {
  using namespace set_detail;
  ActivitySet r;
  set_half(r, 0, half(a, 0) ^ half(b, 0));
  set_half(r, 1, half(a, 1) ^ half(b, 1));
  return r;
}
inline void set_union(ActivitySet& into, const ActivitySet& other) { into = set_or(into, other); }
inline ActivitySet set_and(const ActivitySet& a, const ActivitySet& b) {
  using namespace set_detail;
  ActivitySet r;
  set_half(r, 0, half(a, 0) & half(b, 0));
  set_half(r, 1, half(a, 1) & half(b, 1));
  return r;
}
// Containment of b in a: b AND NOT a is empty in every word.
inline bool set_is_subset(const ActivitySet& b, const ActivitySet& a) {
  using namespace set_detail;
  return ((half(b, 0) & ~half(a, 0)) | (half(b, 1) & ~half(a, 1))) == 0;
}
inline bool set_is_empty(const ActivitySet& s) {
  return (set_detail::half(s, 0) | set_detail::half(s, 1)) == 0;
}
inline bool set_equal(const ActivitySet& a, const ActivitySet& b) {
  using namespace set_detail;
  return ((half(a, 0) ^ half(b, 0)) | (half(a, 1) ^ half(b, 1))) == 0;
}
inline int set_size(const ActivitySet& s) {
  return std::popcount(set_detail::half(s, 0)) + std::popcount(set_detail::half(s, 1));
}

// Highest member of s, or -1 when s is empty.
inline int set_highest(const ActivitySet& s) {
  using namespace set_detail;
  if (const std::uint64_t h = half(s, 1)) return 127 - std::countl_zero(h);
  if (const std::uint64_t l = half(s, 0)) return 63 - std::countl_zero(l);
  return -1;
}

// Highest member of s below `limit`, or -1 when there is none.
inline int set_highest_below(const ActivitySet& s, int limit) {
  using namespace set_detail;
  const auto below = [](int bits) {
    return bits >= 64 ? ~std::uint64_t{0} : bits <= 0 ? 0 : (std::uint64_t{1} << bits) - 1;
  };
  if (const std::uint64_t h = half(s, 1) & below(limit - 64)) return 127 - std::countl_zero(h);
  if (const std::uint64_t l = half(s, 0) & below(limit)) return 63 - std::countl_zero(l);
  return -1;
}

// Visits the members of s in descending index order.
template <typename Visit>
inline void for_each_member(const ActivitySet& s, Visit&& visit) {
  for (int h = 1; h >= 0; --h)
    for (std::uint64_t bits = set_detail::half(s, h); bits != 0;) {
      const int b = 63 - std::countl_zero(bits);
      bits ^= std::uint64_t{1} << b;
      visit(64 * h + b);
    }
}

}  // namespace rcpspdc
