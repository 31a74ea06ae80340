#include "model/npv.hpp"

#include <algorithm>
#include <cmath>

namespace rcpspdc {

void fill_discount_table(std::vector<double>& discount, double interest_rate, int horizon) {
  const int periods = std::max(horizon, 0) + 1;
  discount.resize(static_cast<std::size_t>(periods));
  for (int t = 0; t < periods; ++t)
    discount[static_cast<std::size_t>(t)] = std::exp(-interest_rate * t);
}

}  // namespace rcpspdc
