// The random cash flows: for every real activity in ascending order, a
// magnitude from 1 to 500 and then a sign, negative with the given percentage.
#pragma once

#include <cstdint>
#include <random>

#include "model/instance_data.hpp"

namespace rcpspdc {

// The console's seed for instance `number` of a run: the run's seed and the
// number mixed so that neighbouring numbers and runs give unrelated seeds.
std::uint32_t instance_seed(std::uint64_t run_seed, int number);

// Two draws per real activity, magnitude first; both dummies get 0.
void draw_cash_flows(InstanceData& data, std::mt19937& generator, int negative_percent);

}  // namespace rcpspdc
