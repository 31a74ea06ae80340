#include "model/activity_set.hpp"

namespace rcpspdc {

namespace {
// Entry v holds the index of the highest set bit of v: for b from 15 down to 0
// every entry from 2^b to 2^(b+1) - 1 gets b; entry 0 stays 0.
constexpr std::array<std::uint8_t, 65536> make_high_bit_table() {
  std::array<std::uint8_t, 65536> table{};
  for (int b = 15; b >= 0; --b)
    for (std::uint32_t v = bit_mask[static_cast<std::size_t>(b)]; v < bit_mask[static_cast<std::size_t>(b) + 1]; ++v)
      table[v] = static_cast<std::uint8_t>(b);
  return table;
}
}  // namespace

constinit const std::array<std::uint8_t, 65536> high_bit_table = make_high_bit_table();

}  // namespace rcpspdc
