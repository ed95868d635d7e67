#include <gtest/gtest.h>
#include "tests/support/TestSupport.h"
int gbxSmoke();
TEST(Smoke, Runs) { EXPECT_EQ(gbxSmoke(), 1); gbxtest::TempDir d; EXPECT_TRUE(gbxtest::HaveCommand("python3")); }
