// A bundle ray traced lies where the raster draws it: each box's outline
// within one pixel of the raster's, for a row, a fan and a stack of
// different kinds and shapes, and the boxes' shadows fall on the floor
// where the raster's shadow look puts them.
#include "raytrace/RayRender.h"
#include "render/BoxGroup.h"
#include "support/FloorShadow.h"
#include "support/HeadlessScene.h"
#include "support/OutlineMask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

constexpr int Side = 160;

struct RayBundleTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.SelectBackground(0x00000000);
        model.ApplyBackground();
        Prepare(Side);
    }
    void TearDown() override
    {
        renderer.SetGroup(nullptr);
        renderer.ReleaseGL();
        Close();
    }

    void Fill(QRgb colour)
    {
        QImage cover(8, 8, QImage::Format_RGB888);
        cover.fill(colour);
        for (auto& slot : slots)
            slot->Upload(PictureOfImage(cover));
    }

    // A box of each kind given, the second with rounded edges.
    std::vector<BoxParameters> Boxes(std::initializer_list<int> forms)
    {
        std::vector<BoxParameters> boxes;
        for (const int form : forms) {
            model.SetForm(form);
            boxes.push_back(model.Params);
        }
        if (boxes.size() > 1)
            boxes[1].Shape.EdgeRadius = 4;
        return boxes;
    }

    QImage Raster(const BoxParameters& view, const std::vector<BoxParameters>& boxes, GroupArrangement arrangement)
    {
        GroupScene scene = BuildGroupScene(boxes, arrangement, GroupLimits::DefaultSpacing);
        scene.Covers.assign(boxes.size(), Textures());
        renderer.SetGroup(&scene);
        renderer.DrawFrame(GroupView(view, boxes), Textures(), flags);
        renderer.SetGroup(nullptr);
        return context->ReadImage().convertToFormat(QImage::Format_RGB32);
    }

    // Every box's classic sides one colour, or the placeholders.
    static QImage Traced(const BoxParameters& view, const std::vector<BoxParameters>& boxes,
                         GroupArrangement arrangement, RaySettings s, std::optional<unsigned> rgb = std::nullopt)
    {
        RayCovers covers = PlaceholderCovers();
        if (rgb)
            for (std::size_t i = 0; i < 3; ++i)
                covers.Slots[i] = CoverTexels::Solid(*rgb);
        RayProduct product;
        product.View = view;
        product.Arrangement = arrangement;
        for (const BoxParameters& box : boxes)
            product.Boxes.push_back({box, covers, 0});
        RayRender render(product, s, QSize(Side, Side));
        render.Run();
        return render.Picture();
    }
};

} // namespace

TEST_F(RayBundleTest, EveryBoxsOutlineLiesWhereTheRastersLies)
{
    Fill(qRgb(255, 255, 255));
    RaySettings s;
    s.Passes = 4;
    s.Transparent = true;
    s.Floor = false;
    for (const GroupArrangement arrangement : {GroupArrangement::Row, GroupArrangement::Fan, GroupArrangement::Stack}) {
        const std::vector<BoxParameters> boxes = Boxes({2, 8, 9});
        for (const auto& [side, tilt, eye] : {std::tuple{20.0f, 0.0f, 10}, std::tuple{-35.0f, 10.0f, 15}}) {
            BoxParameters view = boxes.front();
            view.SideAngle = side;
            view.TiltAngle = tilt;
            view.EyeAngle = eye;
            view.Depth = 110;
            view.VerticalOffset = -12;
            const std::vector<bool> raster =
                CoverageMask(Raster(view, boxes, arrangement), [](QRgb c) { return qGray(c) > 127; });
            const std::vector<bool> ray =
                CoverageMask(Traced(view, boxes, arrangement, s), [](QRgb c) { return qAlpha(c) > 127; });
            int covered = 0;
            const int far = FarDifferences(raster, ray, Side, Side, covered);
            const int arranged = static_cast<int>(arrangement);
            EXPECT_EQ(far, 0) << "arrangement " << arranged << " side " << side;
            EXPECT_GT(covered, Side * Side / 20) << "arrangement " << arranged; // the group is in view
        }
    }
}

TEST_F(RayBundleTest, TheBoxesShadowTheFloorBetweenThemWhereTheRastersShadowLies)
{
    const QRgb floor = qRgb(224, 224, 224);
    Fill(qRgb(128, 128, 128));
    const std::vector<BoxParameters> boxes = Boxes({2, 2, 2});
    BoxParameters view = boxes.front();
    view.BackgroundRed = view.BackgroundGreen = view.BackgroundBlue = 224.0f / 255.0f;
    view.BackgroundFillsView = true;
    view.EyeAngle = 25; // looking down onto the floor
    view.Depth = 110;
    view.VerticalOffset = -12;
    const auto isFloor = BackgroundOf(Raster(view, boxes, GroupArrangement::Row), floor);
    // The floor seen through the gaps between neighbours: the columns inside
    // the row where no box is.
    int first = Side, last = -1;
    std::vector<bool> boxColumn(Side, false);
    for (int x = 0; x < Side; ++x)
        for (int y = 0; y < Side; ++y)
            if (!isFloor(x, y)) {
                boxColumn[static_cast<std::size_t>(x)] = true;
                first = std::min(first, x);
                last = std::max(last, x);
            }
    const auto inGap = [&](int x, int y) {
        return x > first && x < last && !boxColumn[static_cast<std::size_t>(x)] && isFloor(x, y);
    };
    view.Looks.Shadow = 90;
    view.Looks.ShadowSoftness = 30;
    RaySettings s;
    s.Passes = 16;
    const DarkRegion raster = DarkestFloorRegion(Raster(view, boxes, GroupArrangement::Row), inGap, qGray(floor));
    const DarkRegion traced = DarkestFloorRegion(Traced(view, boxes, GroupArrangement::Row, s, 0x808080), inGap,
                                                 qGray(floor));
    ASSERT_TRUE(raster.Found);
    ASSERT_TRUE(traced.Found); // a neighbour's shadow, not a floor left open
    EXPECT_NEAR(traced.Centre.x(), raster.Centre.x(), 0.04 * Side);
    EXPECT_NEAR(traced.Centre.y(), raster.Centre.y(), 0.04 * Side);
}
