#include "raytrace/HighlightRolloff.h"

#include <gtest/gtest.h>

// Up to white nothing moves; past it the brightest channel stays at white,
// the others rise towards it in their order, and more light is whiter.
TEST(HighlightRolloffTest, PastWhiteTheColourKeepsItsHueAndFadesToWhite)
{
    struct Case {
        float In[3], Out[3];
    } cases[] = {
        {{0.2f, 0.5f, 1.0f}, {0.2f, 0.5f, 1.0f}},
        {{0, 0, 0}, {0, 0, 0}},
        {{2.0f, 1.0f, 0.0f}, {1.0f, 0.75f, 0.5f}},
        {{4.0f, 2.0f, 0.0f}, {1.0f, 0.875f, 0.75f}},
        {{1.25f, 1.25f, 1.25f}, {1.0f, 1.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        float r = c.In[0], g = c.In[1], b = c.In[2];
        RollOffHighlights(r, g, b);
        EXPECT_FLOAT_EQ(r, c.Out[0]) << c.In[0];
        EXPECT_FLOAT_EQ(g, c.Out[1]) << c.In[0];
        EXPECT_FLOAT_EQ(b, c.Out[2]) << c.In[0];
    }
}
