// The floor under the product seen directly: a shadow catcher. Transparent,
// it is invisible but for the shadow, written as alpha; opaque, it is the
// background darkened where the product takes its light.
#include "raytrace/RayRender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int W = 48, H = 48;

std::vector<float> Traced(bool transparent, int reflection = 0)
{
    BoxParameters p;
    p.EyeAngle = 20; // looking down onto the floor
    p.BackgroundRed = 0.5f;
    p.BackgroundGreen = 0.5f;
    p.BackgroundBlue = 0.5f;
    p.Looks.Reflection = reflection;
    RaySettings s;
    s.Passes = 16;
    s.Transparent = transparent;
    RayRender render(p, PlaceholderCovers(), s, QSize(W, H));
    render.Run();
    return render.Linear();
}

float At(const std::vector<float>& rgba, int x, int y, int channel)
{
    return rgba[(static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x)) * 4 + static_cast<std::size_t>(channel)];
}

// A pixel next to one the product covers fully: its edge, partly covered.
bool BesideProduct(const std::vector<float>& rgba, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < W && ny < H && At(rgba, nx, ny, 3) > 0.999f)
                return true;
        }
    return false;
}

} // namespace

TEST(ShadowCatcherTest, TransparentFloorIsInvisibleButForItsShadowWhichFallsAwayFromTheKeyLight)
{
    const std::vector<float> rgba = Traced(true);
    // Far from the product, in the picture's lower corners: nothing.
    EXPECT_LT(At(rgba, 1, H - 2, 3), 0.05f);
    EXPECT_LT(At(rgba, W - 2, H - 2, 3), 0.05f);
    // Above the floor's horizon, nothing at all.
    EXPECT_EQ(At(rgba, 1, 1, 3), 0.0f);
    // The shadow: black, partly covering, beside the product on the side
    // away from the key light (which shines from the right).
    double productX = 0, productCount = 0, shadowX = 0, shadowMass = 0;
    float darkest = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float a = At(rgba, x, y, 3);
            if (a > 0.999f) {
                productX += x;
                ++productCount;
            } else if (a > 0 && !BesideProduct(rgba, x, y)) { // not the product's own soft edge
                shadowX += a * x;
                shadowMass += a;
                darkest = std::max(darkest, a);
                EXPECT_LT(At(rgba, x, y, 0), 0.02f * a + 1e-4f); // black
            }
        }
    ASSERT_GT(productCount, 0);
    ASSERT_GT(shadowMass, 0);
    EXPECT_GT(darkest, 0.15f);
    EXPECT_LT(shadowX / shadowMass, productX / productCount - 2);
}

TEST(ShadowCatcherTest, OpaqueFloorIsTheBackgroundAwayFromTheProductAndMirrorsItWhenAsked)
{
    const std::vector<float> matte = Traced(false);
    const float grey = At(matte, 1, 1, 0); // the background itself
    EXPECT_NEAR(At(matte, 1, H - 2, 0), grey, 0.02f * grey + 0.002f);
    EXPECT_NEAR(At(matte, W - 2, H - 2, 1), grey, 0.02f * grey + 0.002f);
    // A mirror-like floor shows the product under it: more differs from the grey there.
    const std::vector<float> mirror = Traced(false, 100);
    double matteOff = 0, mirrorOff = 0;
    for (int y = H / 2; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (At(matte, x, y, 3) < 0.999f)
                continue;
            matteOff += std::fabs(At(matte, x, y, 0) - grey);
            mirrorOff += std::fabs(At(mirror, x, y, 0) - grey);
        }
    EXPECT_GT(mirrorOff, matteOff * 1.2);
}
