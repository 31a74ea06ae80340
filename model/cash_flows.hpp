// The random cash flows: for every real activity in ascending order, a
// magnitude from 1 to 500 and then a sign, negative with the given percentage.
#pragma once

#include <random>

#include "model/instance_data.hpp"

namespace rcpspdc {

// Two draws per real activity, magnitude first; both dummies get 0.
void draw_cash_flows(InstanceData& data, std::mt19937& generator, int negative_percent);

}  // namespace rcpspdc
