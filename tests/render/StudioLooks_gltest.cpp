// The studio looks drawn for real (software GL, no window), judged by the
// pixels: what each look changes, and that nothing else changes with it.
#include "engine/HeadlessRender.h"
#include "document/BoxDocument.h"
#include "render/BoxRenderer.h"
#include "render/HeadlessContext.h"
#include "render/Supersample.h"
#include "render/GLTexture.h"
#include "support/GLPixels.h"
#include "support/HeadlessScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <functional>
#include <set>

namespace {

constexpr int Side = 240;
const QRgb Grey = qRgb(128, 128, 128);

struct LooksTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SetForm(0);
        model.SelectBackground(0x00808080);
        model.ApplyBackground();
        Prepare(Side);
    }

    void TearDown() override
    {
        renderer.ReleaseGL();
        Close();
    }

    QImage Frame(const BoxLooks& looks = {})
    {
        BoxParameters p = model.Params;
        p.Looks = looks;
        renderer.DrawFrame(p, Textures(), flags);
        return context->ReadImage().convertToFormat(QImage::Format_RGB32);
    }

    void SetFront(const QImage& picture)
    {
        slots[0]->Upload(PictureOfImage(picture));
    }

    // Rows [top, bottom] holding anything but the background.
    static std::pair<int, int> BoxRows(const QImage& image)
    {
        int top = -1, bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!NearColor(image.pixel(x, y), Grey, 3)) {
                    if (top < 0)
                        top = y;
                    bottom = y;
                }
        return {top, bottom};
    }

    static int Luma(QRgb c) { return (qRed(c) * 3 + qGreen(c) * 6 + qBlue(c)) / 10; }
};

TEST_F(LooksTest, AllLooksOffIsTheClassicFrameByteForByte)
{
    const QImage classic = Frame();
    BoxLooks off;
    off.ShadowSoftness = 5; // counts only with a shadow
    off.Samples = 16;       // counts only for the written result
    EXPECT_EQ(Frame(off), classic);
    // After a frame with every look, the next classic one is classic again.
    BoxLooks all{70, 40, 50, 60, true, 1};
    EXPECT_NE(Frame(all), classic);
    EXPECT_EQ(Frame(), classic);
}

TEST_F(LooksTest, LightGivesEachFaceItsOwnBrightness)
{
    const QImage flat = Frame();
    BoxLooks lit;
    lit.Light = 80;
    const QImage shaded = Frame(lit);
    // The default view shows the front on the right and the left side.
    const QPoint front(Side * 6 / 10, Side / 2), side(Side * 3 / 10, Side / 2);
    ASSERT_TRUE(NearColor(flat.pixel(front), PlaceholderColors[0], 3)) << ColorText{flat.pixel(front)};
    ASSERT_TRUE(NearColor(flat.pixel(side), PlaceholderColors[1], 3)) << ColorText{flat.pixel(side)};
    const double frontShare = double(Luma(shaded.pixel(front))) / Luma(flat.pixel(front));
    const double sideShare = double(Luma(shaded.pixel(side))) / Luma(flat.pixel(side));
    EXPECT_LT(sideShare, frontShare - 0.2) << "the side is in shade";
    EXPECT_GT(frontShare, 0.7) << "the front stays readable";
    // The top, seen from above, is lit more than the side.
    int topX = 0, topY = 0, topCount = 0;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            if (NearColor(flat.pixel(x, y), PlaceholderColors[2], 0)) {
                topX += x;
                topY += y;
                ++topCount;
            }
    ASSERT_GT(topCount, 100);
    const QPoint topFace(topX / topCount, topY / topCount);
    EXPECT_GT(double(Luma(shaded.pixel(topFace))) / Luma(flat.pixel(topFace)), sideShare + 0.2);
    // The background is never lit.
    EXPECT_EQ(shaded.pixel(2, 2), flat.pixel(2, 2));
}

TEST_F(LooksTest, ShadowDarkensTheFloorUnderTheBoxAndNothingElse)
{
    const QImage plain = Frame();
    BoxLooks looks;
    looks.Shadow = 90;
    looks.ShadowSoftness = 40;
    const QImage shadowed = Frame(looks);
    const auto [top, bottom] = BoxRows(plain);
    ASSERT_GT(top, 0);
    int darker = 0, belowBox = 0;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const QRgb a = plain.pixel(x, y), b = shadowed.pixel(x, y);
            if (!NearColor(a, Grey, 0)) {
                EXPECT_EQ(a, b) << "the box itself at " << x << "," << y;
                continue;
            }
            if (a == b)
                continue;
            EXPECT_LT(Luma(b), Luma(a)) << "only darker, at " << x << "," << y;
            // Thrown back from the key light, it may reach up beside the
            // box, never above it.
            EXPECT_GT(y, top) << "nothing above the box, at " << x << "," << y;
            ++darker;
            belowBox += y > bottom;
        }
    EXPECT_GT(belowBox, 50) << "the floor just under the box";
    EXPECT_GE(darker, belowBox);
    // Along the bottom edge, clearly dark.
    int darkest = 255;
    for (int y = bottom - 20; y <= bottom + 3; ++y)
        for (int x = 0; x < Side; ++x)
            if (NearColor(plain.pixel(x, y), Grey, 0))
                darkest = std::min(darkest, Luma(shadowed.pixel(x, y)));
    EXPECT_LT(darkest, Luma(Grey) - 40);
}

TEST_F(LooksTest, SofterShadowReachesFurtherAndStrengthDarkens)
{
    const QImage plain = Frame();
    const auto reach = [&](int strength, int softness, int* darkness) {
        BoxLooks looks;
        looks.Shadow = strength;
        looks.ShadowSoftness = softness;
        const QImage image = Frame(looks);
        int changed = 0, darkest = 0;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                if (image.pixel(x, y) != plain.pixel(x, y)) {
                    ++changed;
                    darkest = std::max(darkest, Luma(plain.pixel(x, y)) - Luma(image.pixel(x, y)));
                }
        *darkness = darkest;
        return changed;
    };
    int hardDark = 0, softDark = 0, faintDark = 0;
    const int hard = reach(80, 0, &hardDark);
    const int soft = reach(80, 100, &softDark);
    reach(20, 0, &faintDark);
    EXPECT_GT(soft, hard * 3 / 2);
    EXPECT_GT(hardDark, faintDark + 30);
}

TEST_F(LooksTest, ReflectionIsTheBoxMirroredFainterAndFading)
{
    // Red at the bottom of the front, blue above: the mirror shows red first.
    QImage cover(64, 64, QImage::Format_RGB888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            cover.setPixel(x, y, y < 48 ? qRgb(20, 40, 230) : qRgb(230, 30, 20));
    SetFront(cover);
    model.Params.Depth = 60.0f; // room for the floor under the box
    model.Params.VerticalOffset = 5.0f;
    const QImage plain = Frame();
    BoxLooks looks;
    looks.Reflection = 70;
    const QImage mirrored = Frame(looks);
    const auto [top, bottom] = BoxRows(plain);
    const int x = Side * 6 / 10; // through the front
    // Find the front's lowest row in this column.
    int lowest = -1;
    for (int y = 0; y < Side; ++y)
        if (!NearColor(plain.pixel(x, y), Grey, 3))
            lowest = y;
    ASSERT_GT(lowest, 0);
    // The box is untouched.
    for (int y = top; y <= lowest; ++y)
        ASSERT_EQ(plain.pixel(x, y), mirrored.pixel(x, y)) << y;
    const QRgb near = mirrored.pixel(x, lowest + 3);
    EXPECT_GT(qRed(near), qRed(Grey) + 20) << "red first: " << ColorText{near};
    EXPECT_LT(qRed(near), 220) << "fainter than the box: " << ColorText{near};
    // Mirrored: under the red comes the blue, fainter than on the box.
    int blueAt = -1;
    for (int d = 3; lowest + d < Side && blueAt < 0; ++d) {
        const QRgb c = mirrored.pixel(x, lowest + d);
        if (qBlue(c) > qRed(c) + 20)
            blueAt = d;
    }
    ASSERT_GT(blueAt, 3);
    EXPECT_LT(qBlue(mirrored.pixel(x, lowest + blueAt)), 200);
    // Faded out well before the picture's bottom.
    EXPECT_TRUE(NearColor(mirrored.pixel(x, Side - 3), Grey, 1)) << ColorText{mirrored.pixel(x, Side - 3)};
    // Nothing above the box changes.
    for (int y = 0; y < top; ++y)
        for (int xx = 0; xx < Side; ++xx)
            ASSERT_EQ(plain.pixel(xx, y), mirrored.pixel(xx, y));
}

TEST_F(LooksTest, SmoothTexturesRemoveTheMoireOfAFineChecker)
{
    // A checker of single pixels, far smaller on screen than in the picture.
    QImage checker(1024, 1024, QImage::Format_RGB888);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    SetFront(checker);
    // The checker's mean is grey: the face must not vanish into the background.
    model.SelectBackground(0x00FFFFFF);
    model.ApplyBackground();
    const auto variance = [&](const QImage& image) {
        // A window inside the front face.
        double sum = 0, squares = 0;
        int n = 0;
        for (int y = Side / 2 - 8; y < Side / 2 + 8; ++y)
            for (int x = Side / 2 + 2; x < Side / 2 + 14; ++x) {
                const double v = Luma(image.pixel(x, y));
                sum += v;
                squares += v * v;
                ++n;
            }
        const double mean = sum / n;
        return squares / n - mean * mean;
    };
    const QImage sharp = Frame();
    BoxLooks looks;
    looks.SmoothTextures = true;
    const QImage smooth = Frame(looks);
    EXPECT_TRUE(slots[0]->Smooth());
    EXPECT_GT(variance(sharp), 100.0);
    EXPECT_LT(variance(smooth), variance(sharp) / 10) << variance(smooth) << " vs " << variance(sharp);
    // Mean grey: the levels average, they neither darken nor lighten.
    EXPECT_NEAR(Luma(smooth.pixel(Side / 2 + 8, Side / 2)), 127, 12);
    EXPECT_NEAR(Luma(sharp.pixel(2, 2)), 255, 1);
    // Off again, the texture samples only its base level: the classic pixels.
    EXPECT_EQ(Frame(), sharp);
    EXPECT_FALSE(slots[0]->Smooth());
}

TEST_F(LooksTest, SixteenSamplesGiveSmootherEdgesThanFour)
{
    QImage white(8, 8, QImage::Format_RGB888);
    white.fill(Qt::white);
    SetFront(white);
    model.SelectBackground(0x00000000);
    model.ApplyBackground();
    model.SetPosition(Slider::Turn, 30); // edges slanted a little
    model.Recompute();
    const int most = CurrentMaxSamples();
    const auto levels = [&](int samples) {
        BoxParameters p = model.Params;
        const SamplePlan plan = PlanSamples(samples, most);
        EXPECT_GE(plan.Samples(), samples);
        const QImage image = RenderWithSamples(SystemGL(), {Side, Side}, plan, [&] {
            BoxParameters frame = p;
            renderer.DrawFrame(frame, Textures(), flags);
        });
        std::set<int> seen;
        for (int y = Side / 4; y < Side * 3 / 4; ++y)
            for (int x = 0; x < Side; ++x) {
                const int g = qGreen(image.pixel(x, y));
                if (g > 8 && g < 247)
                    seen.insert(g);
            }
        return static_cast<int>(seen.size());
    };
    const int four = levels(4), sixteen = levels(16), thirtyTwo = levels(32);
    EXPECT_GT(sixteen, four + 3) << four << " vs " << sixteen;
    EXPECT_GE(thirtyTwo, sixteen - 2);
    // The context's own picture and viewport are left as they were.
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], Side);
    EXPECT_EQ(viewport[3], Side);
}

TEST_F(LooksTest, TiledSamplesMatchOneTileClosely)
{
    // Far more tiles than needed must give the same picture (but for the
    // float rounding of each tile's frustum).
    model.SetPosition(Slider::Turn, 30);
    model.Recompute();
    BoxLooks looks{60, 50, 40, 50, false, 1};
    BoxParameters p = model.Params;
    p.Looks = looks;
    const auto draw = [&] {
        BoxParameters frame = p;
        renderer.DrawFrame(frame, Textures(), flags);
    };
    const SamplePlan plan{3, 1};
    const QImage whole = RenderWithSamples(SystemGL(), {Side, Side}, plan, draw);
    const QImage tiled = RenderWithSamples(SystemGL(), {Side, Side}, plan, draw, 100 * 100 * 9);
    ASSERT_EQ(whole.size(), tiled.size());
    int off = 0;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            off += !NearColor(whole.pixel(x, y), tiled.pixel(x, y), 2);
    EXPECT_LT(off, Side * Side / 1000) << "pixels that differ";
    EXPECT_NE(whole.pixel(Side / 2, Side / 2), whole.pixel(2, 2)) << "a real picture";
}

TEST_F(LooksTest, TransparentShadowIsBlackAndReflectionKeepsItsColourWithPartialAlpha)
{
    BoxLooks looks;
    looks.Shadow = 80;
    const auto frameOn = [&](QRgb background) {
        BoxParameters p = model.Params;
        p.Looks = looks;
        p.BackgroundRed = qRed(background) / 255.0f;
        p.BackgroundGreen = qGreen(background) / 255.0f;
        p.BackgroundBlue = qBlue(background) / 255.0f;
        renderer.DrawFrame(p, Textures(), flags);
        return context->ReadImage();
    };
    const QRgb background = Grey, contrast = ContrastColor(background);
    const auto cutOut = [&] { return CombineTransparent(frameOn(background), frameOn(contrast), background, contrast); };
    const auto partly = [](const QImage& image, const std::function<void(QRgb)>& check) {
        int n = 0;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                if (qAlpha(image.pixel(x, y)) > 0 && qAlpha(image.pixel(x, y)) < 255) {
                    check(image.pixel(x, y));
                    ++n;
                }
        return n;
    };
    const QImage shadow = cutOut();
    // Edges of the box are partly covered too (the box is not anti-aliased
    // here, so only the shadow is).
    const int shadowPixels = partly(shadow, [](QRgb c) {
        EXPECT_LT(Brightness(c), 3 * 12) << "black: " << ColorText{c};
    });
    EXPECT_GT(shadowPixels, 100);
    EXPECT_EQ(qAlpha(shadow.pixel(2, 2)), 0) << "clear away from the box";
    EXPECT_EQ(qAlpha(shadow.pixel(Side * 6 / 10, Side / 2)), 255) << "the box stays opaque";

    // The reflection of the one-coloured front keeps that colour, its
    // strength goes into the alpha.
    QImage red(8, 8, QImage::Format_RGB888);
    red.fill(qRgb(220, 40, 30));
    SetFront(red);
    looks = {};
    looks.Reflection = 60;
    model.Params.Depth = 60.0f;
    model.Params.VerticalOffset = 5.0f;
    const QImage mirror = cutOut();
    int reddish = 0;
    const int mirrorPixels = partly(mirror, [&](QRgb c) { reddish += NearColor(c, qRgb(220, 40, 30), 12); });
    EXPECT_GT(mirrorPixels, 100);
    EXPECT_GT(reddish, mirrorPixels * 2 / 3);
}

} // namespace
