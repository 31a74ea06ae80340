// Activity sets: one bit per activity in a short row of 32-bit words, and the
// bit tables that scan them. Every scan in the solver visits members from the
// highest index down; that order decides every tie.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace rcpspdc {

using SetWord = std::uint32_t;

constexpr int WORD_BITS = 32;
constexpr int MAX_ACTIVITIES = 128;                 // largest instance accepted
constexpr int ACTIVITY_ROWS = MAX_ACTIVITIES + 1;   // rows of every per-activity table
constexpr int SET_WORDS_MAX = MAX_ACTIVITIES / WORD_BITS;

struct ActivitySet {
  SetWord word[SET_WORDS_MAX];  // activity i is bit i mod 32 of word i / 32
};

// bit_mask[j] = 2^j by doubling in 32-bit arithmetic, so entries 32 and up are 0.
constexpr std::array<SetWord, ACTIVITY_ROWS> make_bit_mask() {
  std::array<SetWord, ACTIVITY_ROWS> mask{};
  SetWord value = 1;
  for (int j = 0; j < ACTIVITY_ROWS; ++j) {
    mask[static_cast<std::size_t>(j)] = value;
    value = static_cast<SetWord>(value * 2u);
  }
  return mask;
}

inline constexpr std::array<SetWord, ACTIVITY_ROWS> bit_mask = make_bit_mask();

// high_bit_table[v] = floor(log2 v) for v >= 1, and 0 for v = 0. Shared and
// read-only: every solver context of the process uses the same table.
extern const std::array<std::uint8_t, 65536> high_bit_table;

// Index of the highest set bit of w (0 for w = 0, as the table gives). The
// count-leading-zeros instruction returns what the table lookup would.
inline int high_bit(SetWord w) { return 31 - std::countl_zero(w | 1u); }

// Words an activity set needs for n activities: the ceiling of n / 32.
inline int set_words_for(int activity_count) {
  return static_cast<int>(activity_count * 0.03125 + 0.9999);
}

inline void set_clear(ActivitySet& s, int words) {
  for (int w = words - 1; w >= 0; --w) s.word[w] = 0;
}
inline void set_copy(ActivitySet& to, const ActivitySet& from, int words) {
  for (int w = words - 1; w >= 0; --w) to.word[w] = from.word[w];
}
inline void set_add(ActivitySet& s, int i) { s.word[i / WORD_BITS] |= bit_mask[i % WORD_BITS]; }
// Removal of a known member flips its bit.
inline void set_toggle(ActivitySet& s, int i) { s.word[i / WORD_BITS] ^= bit_mask[i % WORD_BITS]; }
inline void set_remove(ActivitySet& s, int i) { s.word[i / WORD_BITS] &= ~bit_mask[i % WORD_BITS]; }
inline bool set_contains(const ActivitySet& s, int i) {
  return (s.word[i / WORD_BITS] & bit_mask[i % WORD_BITS]) != 0;
}
inline void set_union(ActivitySet& into, const ActivitySet& other, int words) {
  for (int w = words - 1; w >= 0; --w) into.word[w] |= other.word[w];
}
// Containment of b in a: b AND NOT a is empty in every used word.
inline bool set_is_subset(const ActivitySet& b, const ActivitySet& a, int words) {
  for (int w = words - 1; w >= 0; --w)
    if ((b.word[w] & ~a.word[w]) != 0) return false;
  return true;
}
inline bool set_is_empty(const ActivitySet& s, int words) {
  for (int w = words - 1; w >= 0; --w)
    if (s.word[w] != 0) return false;
  return true;
}
inline bool set_equal(const ActivitySet& a, const ActivitySet& b, int words) {
  for (int w = words - 1; w >= 0; --w)
    if (a.word[w] != b.word[w]) return false;
  return true;
}
inline int set_size(const ActivitySet& s, int words) {
  int size = 0;
  for (int w = words - 1; w >= 0; --w) size += std::popcount(s.word[w]);
  return size;
}

// Highest member of s, or -1 when s is empty.
inline int set_highest(const ActivitySet& s, int words) {
  for (int w = words - 1; w >= 0; --w)
    if (s.word[w] != 0) return WORD_BITS * w + high_bit(s.word[w]);
  return -1;
}

// Visits the members of one word from the highest bit down.
template <typename Visit>
inline void for_each_in_word(SetWord bits, int w, Visit&& visit) {
  while (bits != 0) {
    const int b = high_bit(bits);
    bits ^= bit_mask[b];
    visit(WORD_BITS * w + b);
  }
}

// Visits the members of s in descending index order.
template <typename Visit>
inline void for_each_member(const ActivitySet& s, int words, Visit&& visit) {
  for (int w = words - 1; w >= 0; --w) for_each_in_word(s.word[w], w, visit);
}

}  // namespace rcpspdc
