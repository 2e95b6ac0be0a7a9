#include "raytrace/RayScene.h"
#include "raytrace/ThinLens.h"

#include <gtest/gtest.h>

#include <cmath>

// The opening is the focal length over the f-number, and every ray through
// it meets the pinhole's ray on the plane in focus.
TEST(ThinLensTest, RaysThroughTheOpeningMeetOnThePlaneInFocus)
{
    struct Case {
        float Mm, FNumber, Focus, Radius; // Radius in scene units (100 mm)
    } cases[] = {
        {50, 2, 12, 0.125f},  // 50 mm at f/2: a 25 mm opening
        {85, 1, 30, 0.425f},  // 85 mm wide open
        {100, 32, 8, 0.015625f},
    };
    const Vec3 pinhole{0.3f, -0.2f, -1};
    for (const Case& c : cases) {
        const ThinLens lens = ThinLens::Of(12.0f / c.Mm, c.FNumber, c.Focus);
        EXPECT_NEAR(lens.Radius, c.Radius, 1e-5f) << c.Mm;
        for (const float u : {0.0f, 0.1f, 0.5f, 0.99f})
            for (const float v : {0.0f, 0.37f, 0.75f}) {
                Vec3 origin, direction;
                lens.Ray(pinhole, u, v, origin, direction);
                EXPECT_LE(std::hypot(origin.x, origin.y), lens.Radius * 1.0001f);
                EXPECT_EQ(origin.z, 0.0f);
                EXPECT_NEAR(direction.z, -1.0f, 1e-6f);
                const Vec3 met = origin + direction * c.Focus, aimed = pinhole * c.Focus;
                EXPECT_NEAR(met.x, aimed.x, 1e-4f);
                EXPECT_NEAR(met.y, aimed.y, 1e-4f);
            }
    }
    EXPECT_EQ(ThinLens::Of(0.4f, 0, 10).Radius, 0.0f); // closed: a pinhole
}
