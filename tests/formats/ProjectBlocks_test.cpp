#include "formats/ProjectError.h"
#include "formats/ProjectFile.h"
#include "formats/ValueStream.h"
#include "support/ProjectBlocks.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

BoxLooks SomeLooks()
{
    BoxLooks l{.Shadow = 60, .ShadowSoftness = 0, .Reflection = 100,
               .Light = 45, .SmoothTextures = true, .Samples = 32};
    return l;
}

// A block as a later or other writer may make it: the mark, a name, a
// version, the length of `values` (or `claimed`), then the values.
QByteArray Integers(std::initializer_list<std::int32_t> values)
{
    ValueWriter w;
    for (std::int32_t v : values)
        w.WriteInteger(v);
    return w.Bytes();
}

QByteArray LooksValues(int shadow, int softness, int reflection, int light, int smooth, int samples)
{
    return Integers({shadow, softness, reflection, light, smooth, samples});
}

TEST(ProjectLooksTest, DefaultLooksWriteTheClassicBytesOnly)
{
    ProjectData d = VariedProject();
    d.Looks = BoxLooks{};
    const QByteArray classic = EncodeProject(d);
    // Softness alone is not at its default, so it is kept.
    d.Looks.ShadowSoftness = 10;
    EXPECT_GT(EncodeProject(d).size(), classic.size());
    EXPECT_TRUE(EncodeProject(d).startsWith(classic));
    // The worked example has no looks and its bytes are checked above; a
    // decoded classic file has every look off.
    EXPECT_EQ(DecodeProject(classic).Looks, BoxLooks{});
    EXPECT_TRUE(DecodeProject(classic).Looks.AllOff());
}

TEST(ProjectLooksTest, LooksRoundTripAfterTheClassicValues)
{
    ProjectData d = VariedProject();
    d.Looks = SomeLooks();
    const QByteArray bytes = EncodeProject(d);
    EXPECT_EQ(DecodeProject(bytes), d);
    ProjectData classic = d;
    classic.Looks = BoxLooks{};
    const QByteArray classicBytes = EncodeProject(classic);
    EXPECT_EQ(bytes.left(classicBytes.size()), classicBytes);
    EXPECT_EQ(bytes.mid(classicBytes.size()), ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, 0, 100, 45, 1, 32)));
    EXPECT_EQ(bytes.left(2), Hex("020B")); // the version stays 11
}

// A reader that knows only the 21 classic values, as an older program is:
// it stops after value 21, whatever follows.
ProjectData ClassicRead(const QByteArray& bytes, qsizetype* stoppedAt = nullptr)
{
    ValueReader r(bytes);
    ProjectData d;
    d.Version = r.ReadInteger();
    d.FrontBack = r.ReadString();
    d.LeftRight = r.ReadString();
    d.TopBottom = r.ReadString();
    d.OutputFolder = r.ReadString();
    for (std::int32_t* v : {&d.SizeClass, &d.Fog, &d.Form, &d.BackgroundColor, &d.ImageWidth,
                            &d.ImageHeight, &d.Breed, &d.Height, &d.Thick, &d.Depth, &d.Vertical,
                            &d.Horizontal, &d.Turn, &d.Eye})
        *v = r.ReadInteger();
    d.SideAngle = static_cast<float>(r.ReadFloat());
    d.TiltAngle = static_cast<float>(r.ReadFloat());
    if (stoppedAt)
        *stoppedAt = r.Position();
    return d;
}

TEST(ProjectLooksTest, AClassicReaderReadsTheSameClassicValues)
{
    ProjectData d = VariedProject();
    d.Looks = SomeLooks();
    const QByteArray bytes = EncodeProject(d);
    qsizetype stopped = 0;
    const ProjectData classic = ClassicRead(bytes, &stopped);
    EXPECT_LT(stopped, bytes.size()); // the block was there and left unread
    ProjectData expected = d;
    expected.Looks = BoxLooks{};
    EXPECT_EQ(classic, expected);
    // and the program's own reader, given only those bytes, agrees
    EXPECT_EQ(DecodeProject(bytes.left(stopped)), expected);
}

TEST(ProjectLooksTest, ALensIsVersionTwoOfTheBlockAndTheClassicLensKeepsVersionOne)
{
    ProjectData d = ExampleProject();
    d.Looks.Shadow = 60;
    const QByteArray classicLens = EncodeProject(d);
    d.Looks.LensMm = 85;
    const QByteArray withLens = EncodeProject(d);
    const QByteArray classicBlock = ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, 50, 0, 0, 0, 1));
    EXPECT_TRUE(classicLens.endsWith(classicBlock));
    EXPECT_TRUE(withLens.endsWith(ExtensionBlock(QStringLiteral("Looks"), 2, LooksValues(60, 50, 0, 0, 0, 1) + Integers({85}))));
    EXPECT_EQ(DecodeProject(withLens), d);
}

TEST(ProjectLooksTest, LaterBlocksAndLaterValuesAreSkipped)
{
    const QByteArray classic = EncodeProject(ExampleProject());
    const QByteArray later = ExtensionBlock(QStringLiteral("Turntable"), 3, Integers({7, 8, 9}) + QByteArray("\x00\xFF", 2));
    // A later version of the looks block appends values a reader does not
    // know (version 2 has the lens, 85 here).
    const QByteArray looks3 = ExtensionBlock(QStringLiteral("Looks"), 3, LooksValues(10, 20, 30, 40, 0, 4) + Integers({85, 99, -5}));
    const ProjectData d = DecodeProject(classic + later + looks3 + later);
    EXPECT_EQ(d.Looks.LensMm, 85);
    EXPECT_EQ(d.Looks.Shadow, 10);
    EXPECT_EQ(d.Looks.ShadowSoftness, 20);
    EXPECT_EQ(d.Looks.Reflection, 30);
    EXPECT_EQ(d.Looks.Light, 40);
    EXPECT_FALSE(d.Looks.SmoothTextures);
    EXPECT_EQ(d.Looks.Samples, 4);
    ProjectData classicValues = d;
    classicValues.Looks = BoxLooks{};
    EXPECT_EQ(classicValues, ExampleProject());
}

TEST(ProjectLooksTest, MalformedBlocksAreRefused)
{
    using Kind = ProjectError::Kind;
    const QByteArray classic = EncodeProject(ExampleProject());
    const QByteArray good = LooksValues(60, 50, 30, 50, 1, 8);
    const std::pair<QByteArray, Kind> cases[] = {
        {ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(101, 50, 30, 50, 0, 1)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, -1, 30, 50, 0, 1)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, 50, 30, 500, 0, 1)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, 50, 30, 50, 2, 1)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, 50, 30, 50, 0, 3)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, 50, 30, 50, 0, 64)), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, LooksValues(60, 50, 30, 50, 0, 0)), Kind::InvalidPropertyValue},
        // a lens out of its range, or none where version 2 has one
        {ExtensionBlock(QStringLiteral("Looks"), 2, good + Integers({23})), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 2, good + Integers({201})), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 2, good), Kind::StreamRead},
        // a string where a value belongs
        {ExtensionBlock(QStringLiteral("Looks"), 1, Hex("0600") + good), Kind::InvalidPropertyValue},
        // fewer values than version 1 has
        {ExtensionBlock(QStringLiteral("Looks"), 1, good.left(good.size() - 2)), Kind::StreamRead},
        // bad version and bad lengths
        {ExtensionBlock(QStringLiteral("Looks"), 0, good), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), -1, good), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, good, -1), Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, good, static_cast<std::int32_t>(good.size() + 1)), Kind::StreamRead},
        {ExtensionBlock(QStringLiteral("Looks"), 1, good, 0x7FFFFFFF), Kind::StreamRead},
        {ExtensionBlock(QStringLiteral("Other"), 1, good, 1000), Kind::StreamRead},
        // a name that is no string, and two looks blocks
        {Hex("0604") + QByteArray("CFXB") + Hex("0205") + good, Kind::InvalidPropertyValue},
        {ExtensionBlock(QStringLiteral("Looks"), 1, good) + ExtensionBlock(QStringLiteral("Looks"), 1, good), Kind::InvalidPropertyValue},
    };
    for (const auto& [block, kind] : cases) {
        const auto error = ProjectDecodeError(classic + block);
        ASSERT_TRUE(error.has_value()) << block.toHex().toStdString();
        EXPECT_EQ(error->kind(), kind) << block.toHex().toStdString();
    }
    // Every truncation of a block past its mark is a read error.
    const QByteArray whole = ExtensionBlock(QStringLiteral("Looks"), 1, good);
    for (qsizetype n = 6; n < whole.size(); ++n) {
        const auto error = ProjectDecodeError(classic + whole.left(n));
        ASSERT_TRUE(error.has_value()) << n;
        EXPECT_EQ(error->kind(), Kind::StreamRead) << n;
    }
    // Fewer bytes than the mark are a cut inside it.
    for (qsizetype n = 1; n < 6; ++n)
        EXPECT_EQ(DecodeErrorKind(classic + whole.left(n)), Kind::StreamRead) << n;
}

TEST(ProjectLooksTest, DamagedBlocksFailCleanly)
{
    ProjectData d = ExampleProject();
    d.Looks = SomeLooks();
    const QByteArray bytes = EncodeProject(d);
    const qsizetype from = EncodeProject(ExampleProject()).size();
    for (qsizetype i = from; i < bytes.size(); ++i) {
        for (char value : {'\x00', '\x02', '\x04', '\x06', '\x7F', '\x80', '\xFF'}) {
            QByteArray damaged = bytes;
            damaged[i] = value;
            try {
                const ProjectData read = DecodeProject(damaged);
                // Whatever was read is within the ranges.
                EXPECT_TRUE(LookLimits::IsSampleCount(read.Looks.Samples));
                EXPECT_LE(read.Looks.Shadow, 100);
                EXPECT_GE(read.Looks.Shadow, 0);
            } catch (const ProjectError&) {
            }
        }
    }
}

// -- What follows the classic values ----------------------------------------

// Nothing or whole blocks: a cut anywhere in a block, its mark included, is
// a cut; other bytes between or after blocks are damage; a file that starts
// like no project is called that.
TEST(ProjectReadTest, AfterTheClassicValuesOnlyWholeBlocksAreRead)
{
    using Kind = ProjectError::Kind;
    ProjectData all = VariedProject();
    std::vector<qsizetype> ends = {EncodeProject(all).size()};
    all.Looks = SomeLooks();
    ends.push_back(EncodeProject(all).size());
    all.Shape = {.EdgeRadius = 4.5f, .BookPages = true};
    all.Right = QStringLiteral("right.png");
    ends.push_back(EncodeProject(all).size());
    all.Engine = {.RayTraced = true, .Passes = 64, .Gloss = 20};
    const QByteArray whole = EncodeProject(all);
    ends.push_back(whole.size());
    EXPECT_EQ(DecodeProject(whole), all);

    struct Case {
        QString what;
        QByteArray bytes;
        Kind kind;
        QString text;
    };
    std::vector<Case> cases;
    for (std::size_t block = 0; block + 1 < ends.size(); ++block)
        for (qsizetype n = ends[block] + 1; n < ends[block + 1]; ++n)
            cases.push_back({QStringLiteral("cut at %1").arg(n), whole.left(n), Kind::StreamRead,
                             QStringLiteral("Stream read error")});
    const QByteArray junks[] = {QByteArray(1, '\0'), QByteArray(16, '\0'), QByteArray("junk"), Hex("0205"),
                                Hex("0604") + QByteArray("CFXA")};
    for (qsizetype at : ends)
        for (const QByteArray& junk : junks)
            cases.push_back({QStringLiteral("%1 at %2").arg(QString::fromLatin1(junk.toHex())).arg(at),
                             whole.left(at) + junk + whole.mid(at), Kind::DamagedAfterClassic,
                             QStringLiteral("Project damaged after its classic values")});
    std::mt19937 noise(11);
    QByteArray random;
    for (int i = 0; i < 512; ++i)
        random.append(static_cast<char>(noise() & 0xFF));
    for (const QByteArray& other : {QByteArray("Front: box.jpg\nSide: side.jpg\n"), random, Hex("0205") + random})
        cases.push_back({QString::fromLatin1(other.left(8).toHex()), other, Kind::NotAProject,
                         QStringLiteral("Not a Cubiform project")});

    for (const Case& c : cases) {
        const auto error = ProjectDecodeError(c.bytes);
        ASSERT_TRUE(error.has_value()) << c.what.toStdString();
        EXPECT_EQ(error->kind(), c.kind) << c.what.toStdString();
        EXPECT_EQ(error->Text().toStdString(), c.text.toStdString()) << c.what.toStdString();
    }
}

} // namespace
