#include <gtest/gtest.h>

#include "model/activity_set.hpp"

namespace rcpspdc {
TEST(ActivitySet, Placeholder) { EXPECT_EQ(high_bit(1), 0); }
}  // namespace rcpspdc
