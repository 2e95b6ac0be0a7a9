// The ray-traced product lies exactly where the raster draws it: the two
// outlines differ by at most one pixel along the edge, for several kinds,
// shapes, views and lenses.
#include "raytrace/RayRender.h"
#include "support/HeadlessScene.h"
#include "support/OutlineMask.h"

#include <gtest/gtest.h>

namespace {

constexpr int Side = 120;

struct RayOutlineTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SelectBackground(0x00000000);
        model.ApplyBackground();
        Prepare(Side);
        QImage white(8, 8, QImage::Format_RGB888);
        white.fill(Qt::white);
        for (auto& slot : slots)
            slot->Upload(PictureOfImage(white));
    }
    void TearDown() override
    {
        renderer.ReleaseGL();
        Close();
    }

    // Covered pixels of the raster: the white product on black.
    std::vector<bool> RasterMask(const BoxParameters& p)
    {
        renderer.DrawFrame(p, Textures(), flags);
        return CoverageMask(context->ReadImage(), [](QRgb c) { return qGray(c) > 127; });
    }

    static std::vector<bool> RayMask(const BoxParameters& p)
    {
        RaySettings s;
        s.Passes = 4;
        s.Transparent = true;
        s.Floor = false;
        RayRender render(p, PlaceholderCovers(), s, QSize(Side, Side));
        render.Run();
        return CoverageMask(render.Picture(), [](QRgb c) { return qAlpha(c) > 127; });
    }

    static int FarDifferences(const std::vector<bool>& raster, const std::vector<bool>& ray, int& covered)
    {
        return ::FarDifferences(raster, ray, Side, Side, covered);
    }
};

} // namespace

TEST_F(RayOutlineTest, TheOutlineLiesWhereTheRastersLiesForEveryKindAndView)
{
    for (int form : {0, 2, 4, 7, 9}) {
        model.SetForm(form);
        // The third lens in each view: classic, long, wide.
        for (const auto& [side, tilt, eye, lens] : {std::tuple{30.0f, 0.0f, 0, 0}, std::tuple{120.0f, 25.0f, 15, 85},
                                                    std::tuple{300.0f, -40.0f, -10, 24}}) {
            for (int shape = 0; shape < 3; ++shape) {
                BoxParameters p = model.Params;
                p.SideAngle = side;
                p.TiltAngle = tilt;
                p.EyeAngle = eye;
                p.Turn = 35;
                p.Looks.LensMm = lens;
                if (shape == 1)
                    p.Shape.EdgeRadius = 3;
                if (shape == 2)
                    p.Shape.BookPages = true;
                int covered = 0;
                const int far = FarDifferences(RasterMask(p), RayMask(p), covered);
                EXPECT_EQ(far, 0) << "form " << form << " side " << side << " tilt " << tilt << " shape " << shape << " lens " << lens;
                EXPECT_GT(covered, 20) << "form " << form; // the product is in view at all
            }
        }
    }
}
