#include "model/cash_flows.hpp"

namespace rcpspdc {

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
