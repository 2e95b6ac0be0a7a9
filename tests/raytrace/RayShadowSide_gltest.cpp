// One studio light for both engines: the raster's shadow look and the ray
// tracer's shadow lie in the same place on the floor, for views square to
// the eye and turned.
#include "raytrace/RayRender.h"
#include "support/FloorShadow.h"
#include "support/HeadlessScene.h"

#include <gtest/gtest.h>

namespace {

constexpr int Side = 120;
const QRgb Floor = qRgb(224, 224, 224);

struct RayShadowSideTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SetForm(2);
        model.SelectBackground(0x00E0E0E0);
        model.ApplyBackground();
        Prepare(Side);
        QImage grey(8, 8, QImage::Format_RGB888);
        grey.fill(qRgb(128, 128, 128));
        for (auto& slot : slots)
            slot->Upload(PictureOfImage(grey));
    }
    void TearDown() override
    {
        renderer.ReleaseGL();
        Close();
    }
    QImage Raster(const BoxParameters& p)
    {
        renderer.DrawFrame(p, Textures(), flags);
        return context->ReadImage().convertToFormat(QImage::Format_RGB32);
    }
    static QImage Traced(const BoxParameters& p)
    {
        RaySettings s;
        s.Passes = 16;
        RayRender render(p, PlaceholderCovers(), s, QSize(Side, Side));
        render.Run();
        return render.Picture().convertToFormat(QImage::Format_RGB32);
    }
};

} // namespace

TEST_F(RayShadowSideTest, TheDarkestFloorRegionLiesInTheSamePlaceInBothEngines)
{
    for (const float side : {0.0f, 35.0f, -30.0f}) {
        BoxParameters p = model.Params;
        p.SideAngle = side;
        p.EyeAngle = 25; // looking down onto the floor
        const auto isFloor = BackgroundOf(Raster(p), Floor);
        p.Looks.Shadow = 90;
        p.Looks.ShadowSoftness = 30;
        const DarkRegion raster = DarkestFloorRegion(Raster(p), isFloor, qGray(Floor));
        const DarkRegion traced = DarkestFloorRegion(Traced(p), isFloor, qGray(Floor));
        ASSERT_TRUE(raster.Found) << "side " << side;
        ASSERT_TRUE(traced.Found) << "side " << side;
        EXPECT_NEAR(traced.Centre.x(), raster.Centre.x(), 0.06 * Side) << "side " << side;
        EXPECT_NEAR(traced.Centre.y(), raster.Centre.y(), 0.06 * Side) << "side " << side;
    }
}
