// Packed resource vectors: the amounts of all resource types in one 64-bit
// word, one 16-bit lane per type. Loads, capacities and residual capacities
// are combined by whole-word addition and subtraction (modulo 2^64), and one
// mask tells whether any lane went negative.
//
// The reader keeps every capacity and every resource's summed demand at or
// below LANE_LIMIT, so each lane of capacity minus a load lies in
// -32767..32767. A borrow only leaves a lane when the lanes below it are
// negative as a whole, which means some lower lane is already negative; so
// the lowest negative lane always shows its top bit and the test is exact.
#pragma once

#include <cstdint>

#include "model/instance_data.hpp"

namespace rcpspdc {

using Packed = std::uint64_t;

constexpr int LANE_BITS = 16;
constexpr Packed LANE_TOP = Packed{1} << (LANE_BITS - 1);  // sign bit of lane 0

// The weight 65536^k of resource k's lane.
inline Packed lane_weight(int k) { return Packed{1} << (LANE_BITS * k); }

// Amounts of resource types 0..resource_count-1 (capacities or demands), packed.
inline Packed pack_amounts(const int* amount, int resource_count) {
  Packed packed = 0;
  for (int k = 0; k < resource_count; ++k)
    packed += static_cast<Packed>(amount[k]) * lane_weight(k);
  return packed;
}

// The top bit of every used lane.
inline Packed overflow_mask_of(int resource_count) {
  Packed mask = 0;
  for (int k = 0; k < resource_count; ++k) mask |= LANE_TOP * lane_weight(k);
  return mask;
}

// True when the residual (capacity minus a load, or any packed difference of
// the same kind) is negative in some used lane.
inline bool overloaded(Packed residual, Packed overflow_mask) {
  return (residual & overflow_mask) != 0;
}

}  // namespace rcpspdc
