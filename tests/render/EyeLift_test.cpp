// The view's lift for the eye slider, as every stored view was drawn with it.
#include "render/EyeLift.h"

#include <gtest/gtest.h>

namespace {

TEST(EyeLiftTest, UsesTheAngleOver180AsRadians)
{
    EXPECT_NEAR(EyeLift(30), -1.659, 0.001);
    EXPECT_NEAR(EyeLift(60), -3.272, 0.001);
    EXPECT_EQ(EyeLift(0), 0.0f);
}

} // namespace
