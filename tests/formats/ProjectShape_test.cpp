// The "Shape" extension block: the shape and the own back, right and bottom
// pictures, after the 21 classic values and the looks.
#include "formats/ProjectError.h"
#include "formats/ProjectFile.h"
#include "formats/ValueStream.h"
#include "support/ProjectBlocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace {

ProjectData Classic()
{
    ProjectData d;
    d.FrontBack = QStringLiteral("front.jpg");
    d.OutputFolder = QStringLiteral("/out/");
    d.Form = 8;
    d.SideAngle = 24.0f;
    return d;
}

ProjectData Shaped()
{
    ProjectData d = Classic();
    d.Shape.EdgeRadius = 12.5f;
    d.Shape.BookPages = true;
    d.Back = QStringLiteral("back \u00E9.png");
    d.Bottom = QStringLiteral("../art/bottom.tga");
    return d;
}

QByteArray ShapeValues(double radius, std::int32_t pages, const char* back = "", const char* right = "",
                       const char* bottom = "")
{
    ValueWriter w;
    w.WriteFloat(radius);
    w.WriteInteger(pages);
    for (const char* path : {back, right, bottom})
        w.WriteString(QString::fromUtf8(path));
    return w.Bytes();
}

TEST(ProjectShapeTest, OffWritesTheClassicBytesAndEachValueAloneWritesTheBlock)
{
    const QByteArray classic = EncodeProject(Classic());
    ProjectData d = Classic();
    d.Shape = BoxShape{};
    EXPECT_EQ(EncodeProject(d), classic);
    EXPECT_EQ(DecodeProject(classic).Shape, BoxShape{});

    const auto withOne = [&](auto change) {
        ProjectData one = Classic();
        change(one);
        const QByteArray bytes = EncodeProject(one);
        EXPECT_TRUE(bytes.startsWith(classic));
        EXPECT_GT(bytes.size(), classic.size());
        EXPECT_EQ(DecodeProject(bytes), one);
    };
    withOne([](ProjectData& p) { p.Shape.EdgeRadius = 0.25f; });
    withOne([](ProjectData& p) { p.Shape.BookPages = true; });
    withOne([](ProjectData& p) { p.Back = QStringLiteral("b.jpg"); });
    withOne([](ProjectData& p) { p.Right = QStringLiteral("r.jpg"); });
    withOne([](ProjectData& p) { p.Bottom = QStringLiteral("u.jpg"); });
}

TEST(ProjectShapeTest, RoundTripsAfterTheLooksAndAClassicReaderStopsBeforeIt)
{
    ProjectData d = Shaped();
    d.Looks.Shadow = 40;
    const QByteArray bytes = EncodeProject(d);
    EXPECT_EQ(DecodeProject(bytes), d);
    EXPECT_EQ(bytes.left(2), QByteArray::fromHex("020B")); // still version 11

    ProjectData looksOnly = d;
    looksOnly.Shape = BoxShape{};
    looksOnly.Back.clear();
    looksOnly.Bottom.clear();
    const QByteArray before = EncodeProject(looksOnly);
    ASSERT_TRUE(bytes.startsWith(before));
    EXPECT_EQ(bytes.mid(before.size()),
              ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(12.5, 1, "back \u00E9.png", "", "../art/bottom.tga")));
    // What the looks reader sees alone is the record without the shape.
    EXPECT_EQ(DecodeProject(before), looksOnly);
}

TEST(ProjectShapeTest, LaterValuesAndBlocksAreSkippedAndTheEdgesOfTheRangeAccepted)
{
    const QByteArray classic = EncodeProject(Classic());
    ValueWriter later;
    later.WriteInteger(7);
    later.WriteString(QStringLiteral("more"));
    const ProjectData d = DecodeProject(classic + ExtensionBlock(QStringLiteral("Bundle"), 1, later.Bytes()) +
                                        ExtensionBlock(QStringLiteral("Shape"), 2, ShapeValues(100, 0, "", "r.png") + later.Bytes()));
    EXPECT_EQ(d.Shape.EdgeRadius, 100.0f);
    EXPECT_FALSE(d.Shape.BookPages);
    EXPECT_EQ(d.Right, QStringLiteral("r.png"));

    // An integer radius (another writer's smallest form) reads as well.
    ValueWriter integer;
    integer.WriteInteger(0);
    integer.WriteInteger(1);
    for (int i = 0; i < 3; ++i)
        integer.WriteString(QString());
    const ProjectData pages = DecodeProject(classic + ExtensionBlock(QStringLiteral("Shape"), 1, integer.Bytes()));
    EXPECT_EQ(pages.Shape.EdgeRadius, 0.0f);
    EXPECT_TRUE(pages.Shape.BookPages);
}

TEST(ProjectShapeTest, MalformedBlocksAreRefused)
{
    using Kind = ProjectError::Kind;
    const QByteArray classic = EncodeProject(Classic());
    const QByteArray good = ShapeValues(10, 1, "b.png");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<QByteArray, Kind> cases[] = {
        {ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(100.5, 0)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(-0.5, 0)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(nan, 0)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(inf, 0)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(5, 2)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(5, -1)), Kind::InvalidPropertyValue},
        // a number where a path belongs, and too few values
        {ExtensionBlock(QStringLiteral("Shape"), 1, ShapeValues(5, 0).left(ShapeValues(5, 0).size() - 6) + QByteArray::fromHex("0201060006000600")),
         Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Shape"), 1, good.left(good.size() - 1)), Kind::StreamRead},
        {ExtensionBlock(QStringLiteral("Shape"), 0, good), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Shape"), 1, good) + ExtensionBlock(QStringLiteral("Shape"), 1, good), Kind::InvalidPropertyValue},
    };
    for (const auto& [block, kind] : cases) {
        const std::optional<Kind> error = DecodeErrorKind(classic + block);
        ASSERT_TRUE(error.has_value()) << block.toHex().toStdString();
        EXPECT_EQ(*error, kind) << block.toHex().toStdString();
    }
    const QByteArray whole = ExtensionBlock(QStringLiteral("Shape"), 1, good);
    for (qsizetype n = 6; n < whole.size(); ++n)
        EXPECT_EQ(DecodeErrorKind(classic + whole.left(n)), Kind::StreamRead) << n;
}

} // namespace
