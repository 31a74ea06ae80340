#include "model/cash_flows.hpp"

namespace rcpspdc {

std::uint32_t instance_seed(std::uint64_t run_seed, int number) {
  // The finaliser of splitmix64 over the seed advanced by the number.
  std::uint64_t z =
      run_seed +
      0x9E3779B97F4A7C15ull * (static_cast<std::uint64_t>(static_cast<std::uint32_t>(number)) + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<std::uint32_t>(z ^ (z >> 32));
}

void draw_cash_flows(InstanceData& data, std::mt19937& generator, int negative_percent) {
  const int n = data.activity_count;
  data.cash_flow.assign(static_cast<std::size_t>(n), 0);
  for (int i = 1; i < n - 1; ++i) {
    const auto magnitude = static_cast<std::uint32_t>(generator());
    int cash = static_cast<int>(magnitude % 500u) + 1;
    const auto sign = static_cast<std::uint32_t>(generator());
    if (static_cast<int>(sign % 100u) < negative_percent) cash = -cash;
    data.cash_flow[static_cast<std::size_t>(i)] = cash;
  }
}

}  // namespace rcpspdc
