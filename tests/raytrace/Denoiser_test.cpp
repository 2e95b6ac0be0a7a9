// The ray tracer's denoiser: two seeds agree far more after it, a printed
// cover's thin lines stay as sharp as four times the passes make them, the
// guides hold what the eye's rays met, and off, the picture is the passes'
// mean to the byte.
#include "raytrace/RayRender.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Thin dark lines every 6 texels over a checker of 24: print with edges.
std::shared_ptr<const CoverTexels> LinedCover()
{
    RgbaPicture picture;
    picture.AllocatePixels(192, 192, QStringLiteral("lines"));
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 192; ++x) {
            std::uint8_t* p = picture.Pixels.get() + (static_cast<std::size_t>(y) * 192 + static_cast<std::size_t>(x)) * 4;
            const bool line = x % 6 == 0 || y % 6 == 0;
            const bool dark = ((x / 24) + (y / 24)) % 2 == 0;
            const std::uint8_t v = line ? 20 : dark ? 110 : 235;
            p[0] = v;
            p[1] = v;
            p[2] = static_cast<std::uint8_t>(v / 2 + 60);
            p[3] = 255;
        }
    return std::make_shared<const CoverTexels>(std::move(picture));
}

BoxParameters Studio()
{
    BoxParameters p;
    p.EyeAngle = 20; // looking down onto the floor
    p.BackgroundRed = p.BackgroundGreen = p.BackgroundBlue = 0.5f;
    p.Looks.Reflection = 30;
    return p;
}

struct Traced {
    std::vector<float> Mean, Clean;
    DenoiseGuides Guides;
};

Traced Trace(const BoxParameters& p, const RayCovers& covers, RaySettings s, int side)
{
    RayRender render(p, covers, s, QSize(side, side));
    render.Run();
    return {render.Linear(), render.ResultLinear(), render.Guides()};
}

RaySettings Passes(int passes, std::uint32_t seed = 1)
{
    RaySettings s;
    s.Passes = passes;
    s.Seed = seed;
    s.Denoise = true;
    return s;
}

double Rms(const std::vector<float>& a, const std::vector<float>& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum / static_cast<double>(a.size()));
}

float LuminanceAt(const std::vector<float>& rgba, std::size_t i)
{
    return 0.2126f * rgba[i * 4] + 0.7152f * rgba[i * 4 + 1] + 0.0722f * rgba[i * 4 + 2];
}

} // namespace

TEST(DenoiserTest, TwoSeedsAgreeFarMoreAfterDenoising)
{
    const RayCovers covers = PlaceholderCovers();
    const Traced a = Trace(Studio(), covers, Passes(8, 1), 96);
    const Traced b = Trace(Studio(), covers, Passes(8, 2), 96);
    const double before = Rms(a.Mean, b.Mean), after = Rms(a.Clean, b.Clean);
    ASSERT_GT(before, 0);
    EXPECT_LT(after, before / 2.5) << before << " -> " << after;
}

TEST(DenoiserTest, ThinPrintedLinesStayAsSharpAsFourTimesThePassesMakeThem)
{
    RayCovers covers = PlaceholderCovers();
    covers.Slots[SlotIndex::FrontBack] = LinedCover();
    BoxParameters p = Studio();
    p.Looks.Reflection = 0;
    constexpr int Side = 96, Few = 8;
    const Traced few = Trace(p, covers, Passes(Few), Side);
    const Traced four = Trace(p, covers, Passes(4 * Few, 2), Side);
    const Traced converged = Trace(p, covers, Passes(24 * Few, 3), Side);

    // Over the inside of the product: the pixels whose 3 x 3 neighbourhood
    // met the lined cover's flat front face (one normal, all covered).
    const auto inside = [&](int x, int y) {
        const auto& n = converged.Guides.Normal;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const std::size_t q = static_cast<std::size_t>(y + dy) * Side + static_cast<std::size_t>(x + dx);
                const std::size_t c = static_cast<std::size_t>(y) * Side + static_cast<std::size_t>(x);
                if (n[q * 3 + 2] < 0.3f || std::fabs(n[q * 3] - n[c * 3]) > 1e-4f || std::fabs(n[q * 3 + 1] - n[c * 3 + 1]) > 1e-4f)
                    return false;
            }
        return true;
    };
    const auto measure = [&](const std::vector<float>& rgba, double& energy, double& error) {
        energy = error = 0;
        int count = 0;
        for (int y = 1; y + 1 < Side; ++y)
            for (int x = 1; x + 1 < Side; ++x) {
                if (!inside(x, y))
                    continue;
                const std::size_t i = static_cast<std::size_t>(y) * Side + static_cast<std::size_t>(x);
                const float l = LuminanceAt(rgba, i);
                energy += std::pow(LuminanceAt(rgba, i + 1) - l, 2) + std::pow(LuminanceAt(rgba, i + Side) - l, 2);
                error += std::pow(l - LuminanceAt(converged.Mean, i), 2);
                ++count;
            }
        ASSERT_GT(count, 400);
    };
    double cleanEnergy = 0, cleanError = 0, fewEnergy = 0, fewError = 0, fourEnergy = 0, fourError = 0,
           truthEnergy = 0, truthError = 0;
    measure(few.Clean, cleanEnergy, cleanError);
    measure(few.Mean, fewEnergy, fewError);
    measure(four.Mean, fourEnergy, fourError);
    measure(converged.Mean, truthEnergy, truthError);
    // The lines' contrast kept (noise only adds to the passes' mean), and
    // nearer the converged picture than the passes' mean it was made of.
    EXPECT_GT(cleanEnergy, 0.95 * truthEnergy) << cleanEnergy << " " << truthEnergy;
    EXPECT_GT(cleanEnergy, 0.9 * fourEnergy) << cleanEnergy << " " << fourEnergy;
    EXPECT_LT(cleanError, fewError) << cleanError << " " << fewError;
}

TEST(DenoiserTest, TheGuidesHoldWhatTheEyesRaysMet)
{
    RayCovers covers = PlaceholderCovers();
    covers.Slots[SlotIndex::FrontBack] = CoverTexels::Solid(0x336699);
    BoxParameters p = Studio();
    p.Looks.Reflection = 0;
    constexpr int Side = 48;
    for (bool transparent : {false, true}) {
        RaySettings s = Passes(4);
        s.Transparent = transparent;
        const DenoiseGuides g = Trace(p, covers, s, Side).Guides;
        ASSERT_EQ(g.Depth.size(), static_cast<std::size_t>(Side * Side));
        const auto at = [&](const std::vector<float>& v, int x, int y, int k) {
            return v[(static_cast<std::size_t>(y) * Side + static_cast<std::size_t>(x)) * 3 + static_cast<std::size_t>(k)];
        };
        const auto depth = [&](int x, int y) { return g.Depth[static_cast<std::size_t>(y) * Side + static_cast<std::size_t>(x)]; };
        SCOPED_TRACE(transparent ? "transparent" : "opaque");
        // The front face in the middle: the cover's colour, facing the eye.
        const int cx = Side / 2, cy = Side / 2;
        EXPECT_NEAR(at(g.Albedo, cx, cy, 0), DecodeSrgb(0x33), 1e-4);
        EXPECT_NEAR(at(g.Albedo, cx, cy, 1), DecodeSrgb(0x66), 1e-4);
        EXPECT_NEAR(at(g.Albedo, cx, cy, 2), DecodeSrgb(0x99), 1e-4);
        EXPECT_NEAR(at(g.Print, cx, cy, 1), DecodeSrgb(0x66), 1e-4); // the pixel's area on one face
        const float length = std::hypot(at(g.Normal, cx, cy, 0), at(g.Normal, cx, cy, 1), at(g.Normal, cx, cy, 2));
        EXPECT_NEAR(length, 1.0f, 1e-4);
        EXPECT_GT(at(g.Normal, cx, cy, 2), 0.5f);
        // The floor in the lower corners: one normal, pointing up, nearer below;
        // its colour the background's, nothing when transparent.
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(at(g.Normal, 1, Side - 2, k), at(g.Normal, Side - 2, Side - 2, k), 1e-5) << k;
        EXPECT_GT(at(g.Normal, 1, Side - 2, 1), 0.5f);
        EXPECT_LT(depth(1, Side - 2), depth(1, Side - 6));
        EXPECT_NEAR(at(g.Albedo, 1, Side - 2, 0), transparent ? 0.0f : DecodeSrgb(128), 1e-4);
        EXPECT_LT(depth(cx, cy), depth(1, 1)); // before the background
    }
}

TEST(DenoiserTest, OffThePictureIsThePassesMeanToTheByteAndTheGuidesTakeNoneOfItsNumbers)
{
    RaySettings off = Passes(3, 5);
    off.Denoise = false;
    off.Adaptive = false; // the denoiser lets pixels stop sooner
    RaySettings on = off;
    on.Denoise = true;
    const auto render = [&](const RaySettings& s, bool result) {
        RayRender r(Studio(), PlaceholderCovers(), s, QSize(40, 30));
        r.Run();
        return result ? r.Result() : r.Picture();
    };
    const QImage mean = render(off, false);
    EXPECT_EQ(render(off, true), mean);
    EXPECT_EQ(render(on, false), mean);
    EXPECT_NE(render(on, true), mean);
}
