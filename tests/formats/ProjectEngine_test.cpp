// The "Engine" extension block: how the final picture is made, after the
// classic values and the other blocks; absent, the project is the raster's.
#include "formats/ProjectError.h"
#include "formats/ProjectFile.h"
#include "formats/ValueStream.h"
#include "support/ProjectBlocks.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

ProjectData Classic()
{
    ProjectData d;
    d.FrontBack = QStringLiteral("front.jpg");
    d.Form = 3;
    d.SideAngle = 24.0f;
    return d;
}

QByteArray EngineValues(std::int32_t rayTraced, std::int32_t passes, std::int32_t gloss)
{
    ValueWriter w;
    for (std::int32_t v : {rayTraced, passes, gloss})
        w.WriteInteger(v);
    return w.Bytes();
}

} // namespace

TEST(ProjectEngineTest, TheRasterAtItsDefaultsWritesTheClassicBytesAndEachValueAloneTheBlock)
{
    const QByteArray classic = EncodeProject(Classic());
    ProjectData d = Classic();
    d.Engine = BoxEngine{};
    EXPECT_EQ(EncodeProject(d), classic);
    EXPECT_EQ(DecodeProject(classic).Engine, BoxEngine{});

    const auto withOne = [&](auto change) {
        ProjectData one = Classic();
        change(one);
        const QByteArray bytes = EncodeProject(one);
        ASSERT_TRUE(bytes.startsWith(classic));
        EXPECT_EQ(DecodeProject(bytes), one);
    };
    withOne([](ProjectData& p) { p.Engine.RayTraced = true; });
    withOne([](ProjectData& p) { p.Engine.Passes = 1; });
    withOne([](ProjectData& p) { p.Engine.Gloss = 100; });
}

TEST(ProjectEngineTest, ItFollowsTheOtherBlocksExactlyAndLaterValuesAndBlocksAreSkipped)
{
    ProjectData d = Classic();
    d.Looks.Shadow = 40;
    d.Shape.BookPages = true;
    ProjectData traced = d;
    traced.Engine = {true, 500, 35};
    const QByteArray before = EncodeProject(d);
    const QByteArray bytes = EncodeProject(traced);
    ASSERT_TRUE(bytes.startsWith(before));
    EXPECT_EQ(bytes.mid(before.size()), ExtensionBlock(QStringLiteral("Engine"), 1, EngineValues(1, 500, 35)));
    EXPECT_EQ(DecodeProject(bytes), traced);

    ValueWriter later;
    later.WriteInteger(9);
    later.WriteString(QStringLiteral("denoise"));
    const ProjectData read = DecodeProject(EncodeProject(Classic()) + ExtensionBlock(QStringLiteral("Lights"), 1, later.Bytes()) +
                                           ExtensionBlock(QStringLiteral("Engine"), 2, EngineValues(0, 100000, 0) + later.Bytes()));
    EXPECT_EQ(read.Engine, (BoxEngine{false, 100000, 0}));
}

TEST(ProjectEngineTest, MalformedBlocksAreRefused)
{
    using Kind = ProjectError::Kind;
    const QByteArray classic = EncodeProject(Classic());
    const QByteArray good = EngineValues(1, 64, 10);
    const std::pair<QByteArray, Kind> cases[] = {
        {ExtensionBlock(QStringLiteral("Engine"), 1, EngineValues(2, 64, 10)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, EngineValues(-1, 64, 10)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, EngineValues(1, 0, 10)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, EngineValues(1, 100001, 10)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, EngineValues(1, 64, 101)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, EngineValues(1, 64, -1)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, good.left(good.size() - 1)), Kind::StreamRead},
        {ExtensionBlock(QStringLiteral("Engine"), 0, good), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, good) + ExtensionBlock(QStringLiteral("Engine"), 1, good), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Engine"), 1, good).chopped(2), Kind::StreamRead},
    };
    for (const auto& [block, kind] : cases)
        EXPECT_EQ(DecodeErrorKind(classic + block), kind) << block.toHex().toStdString();
}

TEST(ProjectEngineTest, TheDenoiserIsABlockOfItsOwnWrittenOnlyWhenOff)
{
    ProjectData traced = Classic();
    traced.Engine = {true, 500, 35};
    const QByteArray on = EncodeProject(traced);
    ProjectData off = traced;
    off.Engine.Denoise = false;
    ValueWriter zero;
    zero.WriteInteger(0);
    // The projects saved before it keep their bytes and read as denoised.
    EXPECT_EQ(EncodeProject(off), on + ExtensionBlock(QStringLiteral("Denoise"), 1, zero.Bytes()));
    EXPECT_TRUE(DecodeProject(on).Engine.Denoise);
    EXPECT_EQ(DecodeProject(EncodeProject(off)), off);
    // Alone, after the classic values, with a later version's values skipped.
    ProjectData raster = Classic();
    raster.Engine.Denoise = false;
    EXPECT_EQ(DecodeProject(EncodeProject(raster)), raster);
    EXPECT_FALSE(DecodeProject(EncodeProject(Classic()) + ExtensionBlock(QStringLiteral("Denoise"), 2, zero.Bytes() + zero.Bytes()))
                     .Engine.Denoise);

    using Kind = ProjectError::Kind;
    const QByteArray classic = EncodeProject(Classic());
    for (std::int32_t bad : {2, -1}) {
        ValueWriter w;
        w.WriteInteger(bad);
        EXPECT_EQ(DecodeErrorKind(classic + ExtensionBlock(QStringLiteral("Denoise"), 1, w.Bytes())), Kind::InvalidPropertyValue);
    }
    const QByteArray block = ExtensionBlock(QStringLiteral("Denoise"), 1, zero.Bytes());
    EXPECT_EQ(DecodeErrorKind(classic + block + block), Kind::InvalidPropertyValue);
    EXPECT_EQ(DecodeErrorKind(classic + ExtensionBlock(QStringLiteral("Denoise"), 1, QByteArray())), Kind::StreamRead);
}

// The aperture in tenths of an f-number, in a block written only when open.
TEST(ProjectEngineTest, TheApertureIsABlockOfItsOwnWrittenOnlyWhenOpen)
{
    ProjectData open = Classic();
    open.Engine.FNumber = 2.8;
    const QByteArray classic = EncodeProject(Classic());
    ValueWriter tenths;
    tenths.WriteInteger(28);
    EXPECT_EQ(EncodeProject(open), classic + ExtensionBlock(QStringLiteral("Aperture"), 1, tenths.Bytes()));
    EXPECT_EQ(DecodeProject(EncodeProject(open)), open);
    for (std::int32_t bad : {0, 9, 321}) {
        ValueWriter w;
        w.WriteInteger(bad);
        EXPECT_EQ(DecodeErrorKind(classic + ExtensionBlock(QStringLiteral("Aperture"), 1, w.Bytes())),
                  ProjectError::Kind::InvalidPropertyValue)
            << bad;
    }
}
