#include "formats/ProjectError.h"
#include "formats/ProjectFile.h"
#include "formats/ValueStream.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// The worked example: no covers, a seven-character output folder, Medium,
// first surrounding and kind, white, 300 x 300, side angle 30.
ProjectData Example()
{
    ProjectData d;
    d.OutputFolder = QStringLiteral("C:\\Out\\");
    d.SizeClass = 1;
    d.Fog = 0;
    d.Form = 0;
    d.BackgroundColor = 0xFFFFFF;
    d.ImageWidth = 300;
    d.ImageHeight = 300;
    d.Breed = 50;
    d.Height = 50;
    d.Thick = 50;
    d.Depth = 25;
    d.Vertical = 0;
    d.Horizontal = 0;
    d.Turn = 0;
    d.Eye = 40;
    d.SideAngle = 30.0f;
    d.TiltAngle = 0.0f;
    return d;
}

// Every value in a form other than the shortest: paths of each string kind,
// integers of each width.
ProjectData Varied()
{
    ProjectData d = Example();
    d.FrontBack = QStringLiteral("/home/\u00E9l\u00E8ve/front.jpg");
    d.LeftRight = QString(300, QLatin1Char('s'));
    d.TopBottom = QStringLiteral("top.bmp");
    d.SizeClass = 2;
    d.Fog = 3;
    d.Form = 9;
    d.BackgroundColor = 0x123456;
    d.ImageWidth = 450;
    d.ImageHeight = 1;
    d.Vertical = -129;
    d.Horizontal = 300;
    d.Turn = -1800;
    d.SideAngle = -12.5f;
    d.TiltAngle = 0.1f;
    return d;
}

std::optional<ProjectError> DecodeError(const QByteArray& bytes)
{
    try {
        DecodeProject(bytes);
    } catch (const ProjectError& e) {
        return e;
    }
    return std::nullopt;
}

QByteArray WithVersion(const char* versionHex)
{
    return Hex(versionHex) + EncodeProject(Example()).mid(2);
}

TEST(ProjectFileTest, WorkedExampleByteForByte)
{
    const QByteArray expected = Hex("020B"
                                    "0600" "0600" "0600"
                                    "0607") + QByteArray("C:\\Out\\") +
                                Hex("0201" "0200" "0200"
                                    "04FFFFFF00"
                                    "032C01" "032C01"
                                    "0232" "0232" "0232"   // breed, height, thick
                                    "0219" "0200" "0200"   // depth, vertical, horizontal
                                    "0200" "0228"          // turn, eye
                                    "0500000000000000F00340"
                                    "0500000000000000000000");
    EXPECT_EQ(EncodeProject(Example()), expected);
    EXPECT_EQ(DecodeProject(expected), Example());
}

TEST(ProjectFileTest, AlwaysWritesTheCurrentVersion)
{
    ProjectData d = Example();
    d.Version = 3;
    EXPECT_EQ(EncodeProject(d).left(2), Hex("020B"));
}

TEST(ProjectFileTest, RecordRoundTripsInEveryValueForm)
{
    const QByteArray bytes = EncodeProject(Varied());
    EXPECT_EQ(DecodeProject(bytes), Varied());
    // The wide string is read too (value 3 written as UTF-16).
    ValueWriter w;
    w.WriteInteger(11);
    w.WriteString(Varied().FrontBack);
    QByteArray wide = w.Bytes() + Hex("1202000000") + QByteArray("\x41\x00\xAC\x20", 4);
    ValueReader skip(bytes);
    skip.ReadInteger();
    skip.ReadString();
    skip.ReadString();
    wide += bytes.mid(skip.Position());
    EXPECT_EQ(DecodeProject(wide).LeftRight, QStringLiteral("A\u20AC"));
}

TEST(ProjectFileTest, NewerVersionIsRefusedBeforeAnythingElseIsRead)
{
    for (const QByteArray& bytes : {Hex("020C"), Hex("020C") + QByteArray("garbage"),
                                    WithVersion("020C"), WithVersion("04FFFFFF7F")}) {
        const auto error = DecodeError(bytes);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind(), ProjectError::Kind::NewerVersion);
        EXPECT_EQ(error->Text(),
                  QStringLiteral("File version is higher than than the program's. Get an update."));
    }
}

TEST(ProjectFileTest, OlderAndNegativeVersionsUseTheSameLayout)
{
    for (auto [hex, version] : {std::pair{"0200", 0}, std::pair{"020B", 11}, std::pair{"02FB", -5},
                                std::pair{"0400000080", std::numeric_limits<std::int32_t>::min()}}) {
        const ProjectData d = DecodeProject(WithVersion(hex));
        EXPECT_EQ(d.Version, version);
        ProjectData expected = Example();
        expected.Version = version;
        EXPECT_EQ(d, expected);
    }
}

TEST(ProjectFileTest, BytesAfterTheLastValueAreIgnored)
{
    EXPECT_EQ(DecodeProject(EncodeProject(Varied()) + Hex("FF00FF") + QByteArray(100, 'z')), Varied());
}

TEST(ProjectFileTest, EveryTruncationIsAStreamReadError)
{
    const QByteArray bytes = EncodeProject(Varied());
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        const auto error = DecodeError(bytes.left(n));
        ASSERT_TRUE(error.has_value()) << n;
        EXPECT_EQ(error->kind(), ProjectError::Kind::StreamRead) << n;
        EXPECT_EQ(error->Text(), QStringLiteral("Stream read error"));
    }
}

TEST(ProjectFileTest, WrongValueKindsAreInvalidPropertyValues)
{
    const QByteArray head = Hex("020B" "0600" "0600" "0600" "0600");
    // A string where the size class belongs, and an integer where a path does.
    for (const QByteArray& bytes : {head + Hex("0600"), Hex("020B" "0200"), Hex("0600"),
                                    Hex("020B0600060006000600") + Hex("0201") + Hex("05")}) {
        const auto error = DecodeError(bytes + QByteArray(40, '\0'));
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind(), ProjectError::Kind::InvalidPropertyValue);
        EXPECT_EQ(error->Text(), QStringLiteral("Invalid property value"));
    }
}

TEST(ProjectFileTest, AnglesStoredAsIntegersAreAccepted)
{
    QByteArray bytes = EncodeProject(Example());
    bytes.chop(22);
    bytes += Hex("021E" "037FFF");
    const ProjectData d = DecodeProject(bytes);
    EXPECT_EQ(d.SideAngle, 30.0f);
    EXPECT_EQ(d.TiltAngle, -129.0f);
}

TEST(ProjectFileTest, HugeClaimedStringLengthIsRefused)
{
    for (const char* hex : {"0CFFFFFFFF", "14FFFFFF7F", "12FFFFFFFF"}) {
        const auto error = DecodeError(Hex("020B") + Hex(hex) + QByteArray(14, 'x'));
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind(), ProjectError::Kind::StreamRead);
    }
}

// Every single-byte change of a valid file either decodes or fails with a
// ProjectError; nothing else escapes.
TEST(ProjectFileTest, DamagedFilesFailCleanly)
{
    const QByteArray bytes = EncodeProject(Varied()).left(80) + EncodeProject(Example()).mid(2);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        for (char value : {'\x00', '\x02', '\x05', '\x06', '\x0C', '\x12', '\x14', '\x7F', '\xFF'}) {
            QByteArray damaged = bytes;
            damaged[i] = value;
            try {
                DecodeProject(damaged);
            } catch (const ProjectError&) {
            }
        }
    }
}

} // namespace
