#include "document/BoxDocument.h"
#include "document/ProjectApply.h"
#include "formats/ProjectFile.h"
#include "formats/ValueStream.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A headless document, started as the window starts it.
struct Document {
    BoxDocument model;
    int maximized = 0;

    Document()
    {
        model.OnChanged = [this](unsigned c) { maximized += (c & DocumentChange::Maximize) ? 1 : 0; };
        model.NewProject();
    }

    std::vector<int> Positions() const
    {
        std::vector<int> p;
        for (Slider s : {Slider::ImageWidth, Slider::ImageHeight, Slider::Width, Slider::Height,
                         Slider::Thickness, Slider::Depth, Slider::Vertical, Slider::Horizontal,
                         Slider::Turn, Slider::Eye})
            p.push_back(model.Position(s));
        return p;
    }
};

const CoverPaths Covers = {QStringLiteral("/covers/front.jpg"), QString(),
                           QStringLiteral("/covers/\u00FCber.bmp")};

// Values no box kind or size class would give, so every one of them has to
// survive the resets that applying the class and the kind make.
void SetUnusual(Document& doc)
{
    doc.model.SetSizeClass(2);
    doc.model.SetFog(3);
    doc.model.SetForm(5);
    doc.model.SelectBackground(0x123456);
    const std::pair<Slider, int> positions[] = {
        {Slider::ImageWidth, 420}, {Slider::ImageHeight, 123}, {Slider::Width, 7},
        {Slider::Height, 93},      {Slider::Thickness, 100},   {Slider::Depth, 77},
        {Slider::Vertical, -129},  {Slider::Horizontal, -300}, {Slider::Turn, -1800},
        {Slider::Eye, 59}};
    for (auto [slider, position] : positions)
        doc.model.SetPosition(slider, position);
    doc.model.Params.SideAngle = -400.25f;
    doc.model.Params.TiltAngle = 0.1f;
    doc.model.Recompute();
    doc.model.ApplyBackground();
}

TEST(ProjectApplyTest, SaveThenLoadReproducesEveryControl)
{
    Document saved;
    SetUnusual(saved);
    const ProjectData captured = CaptureProject(saved.model, Covers, QStringLiteral("/out/"));
    EXPECT_EQ(captured.FrontBack, Covers[0]);
    EXPECT_EQ(captured.TopBottom, Covers[2]);
    EXPECT_EQ(captured.OutputFolder, QStringLiteral("/out/"));
    EXPECT_EQ(captured.Vertical, -129);

    const QByteArray bytes = EncodeProject(captured);
    const ProjectData decoded = DecodeProject(bytes);
    EXPECT_EQ(decoded, captured);

    Document loaded;
    ApplyProject(loaded.model, decoded);
    EXPECT_EQ(loaded.Positions(), saved.Positions());
    EXPECT_EQ(loaded.model.SizeClass(), 2);
    EXPECT_EQ(loaded.model.Fog(), 3);
    EXPECT_EQ(loaded.model.Form(), 5);
    EXPECT_EQ(loaded.model.Background(), 0x123456u);
    EXPECT_EQ(loaded.model.Range(Slider::ImageWidth).Maximum, 450);
    EXPECT_EQ(loaded.maximized, 1);
    EXPECT_EQ(CaptureProject(loaded.model, Covers, QStringLiteral("/out/")), captured);

    // The derived values follow, also those the recompute and colour feed.
    const BoxParameters& a = saved.model.Params;
    const BoxParameters& b = loaded.model.Params;
    EXPECT_EQ(b.SideAngle, -400.25f);
    EXPECT_EQ(b.TiltAngle, 0.1f);
    EXPECT_EQ(b.HalfWidth, a.HalfWidth);
    EXPECT_EQ(b.HalfHeight, a.HalfHeight);
    EXPECT_EQ(b.HalfThickness, a.HalfThickness);
    EXPECT_EQ(b.Depth, 77.0f);
    EXPECT_EQ(b.VerticalOffset, -129.0f);
    EXPECT_EQ(b.EyeAngle, 59);
    EXPECT_EQ(b.FogMode, 3);
    EXPECT_EQ(b.CurrentForm.Name, QStringLiteral("CD jewel box"));
    EXPECT_FLOAT_EQ(b.BackgroundRed, 0x56 / 255.0f);
    EXPECT_FLOAT_EQ(b.BackgroundBlue, 0x12 / 255.0f);
    EXPECT_EQ(loaded.model.ValueText(Slider::Vertical), QStringLiteral("-129"));
    EXPECT_EQ(loaded.model.ValueText(Slider::ImageWidth), QStringLiteral("420"));
    EXPECT_EQ(loaded.model.ValueText(Slider::ImageHeight), QStringLiteral("123"));
}

TEST(ProjectApplyTest, NegativeOffsetBelowMinus128IsWrittenAs16Bit)
{
    Document doc;
    SetUnusual(doc);
    const QByteArray bytes = EncodeProject(CaptureProject(doc.model, Covers, QString()));
    ValueReader r(bytes);
    r.ReadInteger();
    for (int i = 0; i < 4; ++i)
        r.ReadString();
    for (int i = 0; i < 10; ++i) // class .. vertical offset's predecessor
        r.ReadInteger();
    EXPECT_EQ(bytes.mid(r.Position(), 3), QByteArray::fromHex("037FFF"));
}

TEST(ProjectApplyTest, UnknownSizeClassGivesTheSmallMaximum)
{
    Document doc;
    ProjectData d = CaptureProject(doc.model, {}, QString());
    d.SizeClass = 7;
    d.ImageWidth = 300;
    d.ImageHeight = 80;
    ApplyProject(doc.model, d);
    EXPECT_EQ(doc.model.SizeClass(), -1);
    EXPECT_EQ(doc.model.Range(Slider::ImageWidth).Maximum, 100);
    EXPECT_EQ(doc.model.Position(Slider::ImageWidth), 100);
    EXPECT_EQ(doc.model.Position(Slider::ImageHeight), 80);
    EXPECT_EQ(doc.maximized, 0);
}

TEST(ProjectApplyTest, UnknownBoxKindFallsBackToTheFirstAndKeepsSavedValues)
{
    for (int form : {-1, 10, 12345}) {
        Document doc;
        doc.model.SetForm(6);
        ProjectData d = CaptureProject(doc.model, {}, QString());
        d.Form = form;
        d.Depth = 60;
        d.SideAngle = 123.5f;
        ApplyProject(doc.model, d);
        EXPECT_EQ(doc.model.Form(), 0);
        EXPECT_EQ(doc.model.Params.CurrentForm.Name, QStringLiteral("Top view vertical box"));
        EXPECT_EQ(doc.model.Position(Slider::Depth), 60);
        EXPECT_EQ(doc.model.Params.SideAngle, 123.5f);
    }
}

TEST(ProjectApplyTest, OutOfRangeValuesAreClampedIntoTheirRanges)
{
    Document doc;
    ProjectData d = CaptureProject(doc.model, {}, QString());
    d.Breed = 0;
    d.Thick = 1000;
    d.Depth = -5;
    d.Vertical = 100000;
    d.Turn = std::numeric_limits<std::int32_t>::min();
    d.Eye = 61;
    d.BackgroundColor = static_cast<std::int32_t>(0x8000FF00u);
    ApplyProject(doc.model, d);
    EXPECT_EQ(doc.model.Position(Slider::Width), 1);
    EXPECT_EQ(doc.model.Position(Slider::Thickness), 100);
    EXPECT_EQ(doc.model.Position(Slider::Depth), 2);
    EXPECT_EQ(doc.model.Position(Slider::Vertical), 300);
    EXPECT_EQ(doc.model.Position(Slider::Turn), -1800);
    EXPECT_EQ(doc.model.Position(Slider::Eye), 60);
    EXPECT_EQ(doc.model.Background(), 0x00FF00u);
    EXPECT_EQ(doc.model.Params.BackgroundGreen, 1.0f);
    EXPECT_EQ(doc.model.Params.BackgroundRed, 0.0f);
}

TEST(ProjectApplyTest, LooksTravelWithTheProjectAndAClassicOneTurnsThemOff)
{
    Document saved;
    SetUnusual(saved);
    BoxLooks looks{.Shadow = 75, .ShadowSoftness = 20, .Reflection = 5,
                   .Light = 100, .SmoothTextures = true, .Samples = 16};
    saved.model.SetLooks(looks);
    const ProjectData decoded = DecodeProject(EncodeProject(CaptureProject(saved.model, Covers, QString())));
    EXPECT_EQ(decoded.Looks, looks);

    Document loaded;
    unsigned told = 0;
    loaded.model.OnChanged = [&](unsigned c) { told |= c; };
    ApplyProject(loaded.model, decoded);
    EXPECT_EQ(loaded.model.Params.Looks, looks);
    EXPECT_TRUE(told & DocumentChange::Looks);
    EXPECT_EQ(loaded.Positions(), saved.Positions()); // the looks move no slider

    // A project saved without looks, opened over one with looks.
    ProjectData classic = decoded;
    classic.Looks = BoxLooks{};
    ApplyProject(loaded.model, DecodeProject(EncodeProject(classic)));
    EXPECT_TRUE(loaded.model.Params.Looks.AllOff());
    EXPECT_EQ(loaded.model.Params.Looks, BoxLooks{});
}

TEST(ProjectApplyTest, TheEngineTravelsWithTheProjectClampedAndTheLiveViewIsNotTold)
{
    Document saved;
    unsigned told = 0;
    saved.model.OnChanged = [&](unsigned c) { told |= c; };
    saved.model.SetEngine({true, 0, 400}); // passes and gloss clamped into their ranges
    EXPECT_EQ(saved.model.Engine(), (BoxEngine{true, EngineLimits::MinPasses, EngineLimits::MaxGloss}));
    EXPECT_EQ(told, DocumentChange::Engine); // the raster view has nothing to redraw
    EXPECT_TRUE(saved.model.Modified());
    saved.model.SetEngine({true, 250, 30});
    saved.model.NewProject(); // a studio choice, kept as the looks are
    EXPECT_EQ(saved.model.Engine(), (BoxEngine{true, 250, 30}));

    const ProjectData decoded = DecodeProject(EncodeProject(CaptureProject(saved.model, Covers, QString())));
    EXPECT_EQ(decoded.Engine, (BoxEngine{true, 250, 30}));
    Document loaded;
    ApplyProject(loaded.model, decoded);
    EXPECT_EQ(loaded.model.Engine(), decoded.Engine);

    // A project without the block is the raster's, whatever was open before.
    ProjectData classic = decoded;
    classic.Engine = BoxEngine{};
    ApplyProject(loaded.model, DecodeProject(EncodeProject(classic)));
    EXPECT_EQ(loaded.model.Engine(), BoxEngine{});
}

} // namespace
