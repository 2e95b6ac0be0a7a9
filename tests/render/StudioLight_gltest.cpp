// The studio light drawn for real: a lit front brighter than its cover, the
// shadow on the side away from the key light and darkest at the box's foot,
// and a leaning-forward view looking down onto the floor it stands on, its
// reflection right under it.
#include "render/StudioLight.h"
#include "render/StudioLooks.h"
#include "render/StudioLooksFloor.h"
#include "support/FloorShadow.h"
#include "support/GLPixels.h"
#include "support/HeadlessScene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int Side = 240;
const QRgb Faces[3] = {qRgb(128, 128, 128), qRgb(200, 40, 40), qRgb(40, 40, 200)};

int Luma(QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114 + 500) / 1000; }

struct StudioLightDrawn : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SetForm(2);
        model.SelectBackground(0x00E0E0E0);
        model.ApplyBackground();
        Prepare(Side);
        for (int i = 0; i < 3; ++i) {
            QImage cover(32, 32, QImage::Format_RGB888);
            cover.fill(Faces[i]);
            slots[i]->Upload(PictureOfImage(cover));
        }
    }
    void TearDown() override
    {
        renderer.ReleaseGL();
        Close();
    }
    QImage Draw(const BoxParameters& p)
    {
        renderer.DrawFrame(p, Textures(), flags);
        return context->ReadImage().convertToFormat(QImage::Format_RGB32);
    }
    // Centre column of what is not background.
    static double BoxCentreX(const QImage& bare)
    {
        double sum = 0;
        int count = 0;
        for (int y = 0; y < bare.height(); ++y)
            for (int x = 0; x < bare.width(); ++x)
                if (!NearColor(bare.pixel(x, y), qRgb(224, 224, 224), 2)) {
                    sum += x + 0.5;
                    ++count;
                }
        return count > 0 ? sum / count : -1;
    }
};

TEST_F(StudioLightDrawn, FullLightBrightensTheLitFrontAndDarkensTheSide)
{
    model.SetForm(0); // seen from above: the light stays on the floor, the front lit
    BoxParameters p = model.Params;
    const QImage flat = Draw(p);
    p.Looks.Light = 100;
    const QImage lit = Draw(p);
    // The view shows the front on the right, the left side beside it.
    const QPoint front(Side * 6 / 10, Side / 2), side(Side * 3 / 10, Side / 2);
    ASSERT_TRUE(NearColor(flat.pixel(front), Faces[0], 2)) << ColorText{flat.pixel(front)};
    ASSERT_TRUE(NearColor(flat.pixel(side), Faces[1], 2)) << ColorText{flat.pixel(side)};
    EXPECT_GT(Luma(lit.pixel(front)), 128 + 8) << "a grey front is lit up: " << ColorText{lit.pixel(front)};
    EXPECT_LT(Luma(lit.pixel(side)), Luma(flat.pixel(side)) - 10);
    // Grey stays grey: the light has no colour.
    EXPECT_EQ(qRed(lit.pixel(front)), qGreen(lit.pixel(front)));
    EXPECT_EQ(qRed(lit.pixel(front)), qBlue(lit.pixel(front)));
}

TEST_F(StudioLightDrawn, ShadowLiesOppositeTheKeyLightAndDarkestAtTheFoot)
{
    BoxParameters p = model.Params;
    p.SideAngle = 0; // square to the eye: a straight-down shadow centres under the box
    p.EyeAngle = 25;
    const QImage bare = Draw(p);
    p.Looks.Shadow = 90;
    p.Looks.ShadowSoftness = 30;
    const QImage shadowed = Draw(p);
    const double boxX = BoxCentreX(bare);
    ASSERT_GT(boxX, 0);
    const DarkRegion region = DarkestFloorRegion(shadowed, BackgroundOf(bare, qRgb(224, 224, 224)), 224);
    ASSERT_TRUE(region.Found);
    ASSERT_GT(StudioLightFor(p).KeyDirection.x, 0.1f);
    EXPECT_LT(region.Centre.x(), boxX - 0.05 * Side) << "the key light is on the right";

    // Left of the box, where the shadow runs: right beside it, and further off.
    const auto isFloor = BackgroundOf(bare, qRgb(224, 224, 224));
    int boxLeft = Side;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            if (!isFloor(x, y))
                boxLeft = std::min(boxLeft, x);
    int darkestFoot = 255, darkestFar = 255;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < boxLeft; ++x) {
            const int l = Luma(shadowed.pixel(x, y));
            if (x >= boxLeft - Side / 40)
                darkestFoot = std::min(darkestFoot, l);
            else if (x < boxLeft - Side / 8 && x >= boxLeft - Side / 6)
                darkestFar = std::min(darkestFar, l);
        }
    EXPECT_LT(darkestFoot, darkestFar - 10) << "contact darkening";
    EXPECT_LT(darkestFar, 224) << "the shadow reaches that far";
}

// The CD case's own view leans toward the eye: the floor tilts with it, so
// the case lies flat on it and its mirror image begins right under its
// front's lowest row, with no grey slab between.
TEST_F(StudioLightDrawn, LeaningForwardTheBoxLiesOnTheFloorAndItsReflectionUnderIt)
{
    model.SetForm(5);
    BoxParameters p = model.Params;
    ASSERT_GT(p.TiltAngle, 0.0f);
    const FloorChoice floor = ChooseFloor(p);
    EXPECT_EQ(floor.Tilt, p.TiltAngle);
    const QImage bare = Draw(p);
    p.Looks.Reflection = 60;
    const QImage mirrored = Draw(p);
    int checked = 0;
    for (int x = Side / 3; x < Side * 2 / 3; ++x) {
        int lowest = -1;
        for (int y = Side - 1; y >= 0 && lowest < 0; --y)
            if (!NearColor(bare.pixel(x, y), qRgb(224, 224, 224), 2))
                lowest = y;
        if (lowest < 0 || lowest + 3 >= Side)
            continue;
        ++checked;
        // Right under the box: the mirrored face, not the background nor a
        // band of another colour.
        const QRgb under = mirrored.pixel(x, lowest + 2);
        const QRgb face = bare.pixel(x, lowest - 1);
        EXPECT_FALSE(NearColor(under, qRgb(224, 224, 224), 6)) << "column " << x;
        const auto mix = [](int c, int g) { return (c * 60 + g * 40 + 50) / 100; };
        EXPECT_TRUE(NearColor(under, qRgb(mix(qRed(face), 224), mix(qGreen(face), 224), mix(qBlue(face), 224)), 16))
            << "column " << x << ": " << ColorText{under} << " under " << ColorText{face};
    }
    EXPECT_GT(checked, Side / 4);
}

} // namespace
