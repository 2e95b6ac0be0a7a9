// The "Size" block: the real size a project keeps beside its sliders.
#include "document/BoxDocument.h"
#include "document/ProjectApply.h"
#include "formats/ProjectFile.h"
#include "support/ProjectBlocks.h"

#include <gtest/gtest.h>


namespace {

QByteArray SizeValues(std::int32_t unit, double width, double height, double depth, std::int32_t pages = 0,
                      double caliper = 0, double boards = 0)
{
    ValueWriter w;
    w.WriteInteger(unit);
    for (double side : {width, height, depth})
        w.WriteFloat(side);
    w.WriteInteger(pages);
    w.WriteFloat(caliper);
    w.WriteFloat(boards);
    return w.Bytes();
}

TEST(ProjectSizeTest, WrittenOnlyWhenGivenAfterTheClassicBytes)
{
    ProjectData d = ExampleProject();
    const QByteArray classic = EncodeProject(d);
    d.Size = RealSize{};
    EXPECT_EQ(EncodeProject(d), classic); // no real size: the classic bytes, byte for byte
    d.Size = {152.4, 228.6, 25.32, SizeUnit::Inch, 320, 127.0, 5.0};
    const QByteArray sized = EncodeProject(d);
    EXPECT_TRUE(sized.startsWith(classic)); // a classic reader sees its sliders
    EXPECT_EQ(sized.mid(classic.size()),
              ExtensionBlock(QStringLiteral("Size"), 1, SizeValues(2, 152.4, 228.6, 25.32, 320, 127.0, 5.0)));
    EXPECT_EQ(DecodeProject(sized), d);
}

TEST(ProjectSizeTest, DamagedValuesAreRefused)
{
    const QByteArray classic = EncodeProject(ExampleProject());
    const QByteArray good = ExtensionBlock(QStringLiteral("Size"), 1, SizeValues(0, 100, 100, 10));
    for (const QByteArray& bytes : {classic + ExtensionBlock(QStringLiteral("Size"), 1, SizeValues(3, 100, 100, 10)),
                                    classic + ExtensionBlock(QStringLiteral("Size"), 1, SizeValues(0, 0, 100, 10)),
                                    classic + good + good})
        EXPECT_EQ(DecodeErrorKind(bytes), ProjectError::Kind::InvalidPropertyValue);
}

// Through the document and back: the sliders and the size asked for.
TEST(ProjectSizeTest, RoundTripThroughTheDocument)
{
    for (const RealSize& size : {RealSize{152, 229, 22, SizeUnit::Millimetre},
                                 RealSize{152.4, 228.6, 22.098, SizeUnit::Inch}}) {
        BoxDocument doc;
        doc.NewProject();
        doc.SetForm(8);
        ASSERT_TRUE(doc.SetRealSize(size).isEmpty());
        const ProjectData saved = DecodeProject(EncodeProject(CaptureProject(doc, CoverPathsOf(doc), QString())));
        BoxDocument opened;
        opened.NewProject();
        ApplyProject(opened, saved);
        EXPECT_EQ(opened.Real(), size);
        EXPECT_EQ(opened.DrawnSides(), doc.DrawnSides());
        EXPECT_EQ(opened.SizeLabel(Slider::Thickness, SizeLabels::Inches), doc.SizeLabel(Slider::Thickness, SizeLabels::Inches));
    }
}

} // namespace
