#include "app/BoxModel.h"
#include "project/ProjectApply.h"
#include "project/ProjectFile.h"
#include "project/ValueStream.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A headless document, started as the window starts it.
struct Document {
    PlainBoxControls plain;
    BoxModel model{plain.Controls()};
    int maximized = 0;

    Document()
    {
        model.OnMaximize = [this] { ++maximized; };
        model.FillFormTable();
        model.ResetProject();
        model.cbClassChange();
        model.cbModeChange();
        model.cbFogChange();
        model.UpdateBackgroundColor();
    }

    std::vector<int> Positions() const
    {
        return {plain.tbImageWidth.Position(), plain.tbImageHeight.Position(),
                plain.tbBreed.Position(),      plain.tbHeight.Position(),
                plain.tbThick.Position(),      plain.tbDepth.Position(),
                plain.tbVertical.Position(),   plain.tbHoriz.Position(),
                plain.tbTurn.Position(),       plain.seEye.Position()};
    }
};

const CoverPaths Covers = {QStringLiteral("/covers/front.jpg"), QString(),
                           QStringLiteral("/covers/\u00FCber.bmp")};

// Values no box kind or size class would give, so every one of them has to
// survive the resets that applying the class and the kind make.
void SetUnusual(Document& doc)
{
    doc.plain.cbClass.SetItemIndex(2);
    doc.model.cbClassChange();
    doc.plain.cbFog.SetItemIndex(3);
    doc.model.cbFogChange();
    doc.plain.cbMode.SetItemIndex(5);
    doc.model.cbModeChange();
    doc.plain.pColor.SetColor(0x123456);
    doc.plain.tbImageWidth.SetPosition(420);
    doc.plain.tbImageHeight.SetPosition(123);
    doc.plain.tbBreed.SetPosition(7);
    doc.plain.tbHeight.SetPosition(93);
    doc.plain.tbThick.SetPosition(100);
    doc.plain.tbDepth.SetPosition(77);
    doc.plain.tbVertical.SetPosition(-129);
    doc.plain.tbHoriz.SetPosition(-300);
    doc.plain.tbTurn.SetPosition(-1800);
    doc.plain.seEye.SetPosition(59);
    doc.model.Params.SideAngle = -400.25f;
    doc.model.Params.TiltAngle = 0.1f;
    doc.model.tbThickChange();
    doc.model.UpdateBackgroundColor();
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
    EXPECT_EQ(loaded.plain.cbClass.ItemIndex(), 2);
    EXPECT_EQ(loaded.plain.cbFog.ItemIndex(), 3);
    EXPECT_EQ(loaded.plain.cbMode.ItemIndex(), 5);
    EXPECT_EQ(loaded.plain.pColor.Color(), 0x123456u);
    EXPECT_EQ(loaded.plain.tbImageWidth.Maximum(), 450);
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
    EXPECT_EQ(loaded.plain.lbVertical.Text(), QStringLiteral("-129"));
    EXPECT_EQ(loaded.plain.lbImgWidth.Text(), QStringLiteral("420"));
    EXPECT_EQ(loaded.plain.lbImgHeight.Text(), QStringLiteral("123"));
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
    EXPECT_EQ(doc.plain.cbClass.ItemIndex(), -1);
    EXPECT_EQ(doc.plain.tbImageWidth.Maximum(), 100);
    EXPECT_EQ(doc.plain.tbImageWidth.Position(), 100);
    EXPECT_EQ(doc.plain.tbImageHeight.Position(), 80);
    EXPECT_EQ(doc.maximized, 0);
}

TEST(ProjectApplyTest, UnknownBoxKindFallsBackToTheFirstAndKeepsSavedValues)
{
    for (int form : {-1, 10, 12345}) {
        Document doc;
        doc.plain.cbMode.SetItemIndex(6);
        doc.model.cbModeChange();
        ProjectData d = CaptureProject(doc.model, {}, QString());
        d.Form = form;
        d.Depth = 60;
        d.SideAngle = 123.5f;
        ApplyProject(doc.model, d);
        EXPECT_EQ(doc.plain.cbMode.ItemIndex(), 0);
        EXPECT_EQ(doc.model.Params.CurrentForm.Name, QStringLiteral("Top view vertical box"));
        EXPECT_EQ(doc.plain.tbDepth.Position(), 60);
        EXPECT_EQ(doc.model.Params.SideAngle, 123.5f);
    }
}

TEST(ProjectApplyTest, OutOfRangeValuesAreClampedByTheControls)
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
    EXPECT_EQ(doc.plain.tbBreed.Position(), 1);
    EXPECT_EQ(doc.plain.tbThick.Position(), 100);
    EXPECT_EQ(doc.plain.tbDepth.Position(), 2);
    EXPECT_EQ(doc.plain.tbVertical.Position(), 300);
    EXPECT_EQ(doc.plain.tbTurn.Position(), -1800);
    EXPECT_EQ(doc.plain.seEye.Position(), 60);
    EXPECT_EQ(doc.plain.pColor.Color(), 0x00FF00u);
    EXPECT_EQ(doc.model.Params.BackgroundGreen, 1.0f);
    EXPECT_EQ(doc.model.Params.BackgroundRed, 0.0f);
}

} // namespace
