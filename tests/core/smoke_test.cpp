#include <gtest/gtest.h>

#include "number.h"

TEST(Smoke, Converts) { EXPECT_EQ(qv::strToInt(" 12"), 12); }
