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

QByteArray WithVersion(const char* versionHex)
{
    return Hex(versionHex) + EncodeProject(ExampleProject()).mid(2);
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
    EXPECT_EQ(EncodeProject(ExampleProject()), expected);
    EXPECT_EQ(DecodeProject(expected), ExampleProject());
}

TEST(ProjectFileTest, AlwaysWritesTheCurrentVersion)
{
    ProjectData d = ExampleProject();
    d.Version = 3;
    EXPECT_EQ(EncodeProject(d).left(2), Hex("020B"));
}

TEST(ProjectFileTest, RecordRoundTripsInEveryValueForm)
{
    const QByteArray bytes = EncodeProject(VariedProject());
    EXPECT_EQ(DecodeProject(bytes), VariedProject());
    // The wide string is read too (value 3 written as UTF-16).
    ValueWriter w;
    w.WriteInteger(11);
    w.WriteString(VariedProject().FrontBack);
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
        const auto error = ProjectDecodeError(bytes);
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
        ProjectData expected = ExampleProject();
        expected.Version = version;
        EXPECT_EQ(d, expected);
    }
}

// Blocks may follow, so other bytes there may be what is left of one.
TEST(ProjectFileTest, BytesAfterTheLastValueAreDamage)
{
    EXPECT_EQ(DecodeErrorKind(EncodeProject(VariedProject()) + Hex("FF00FF") + QByteArray(100, 'z')),
              ProjectError::Kind::DamagedAfterClassic);
}

TEST(ProjectFileTest, EveryTruncationIsAStreamReadError)
{
    const QByteArray bytes = EncodeProject(VariedProject());
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        const auto error = ProjectDecodeError(bytes.left(n));
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
        const auto error = ProjectDecodeError(bytes + QByteArray(40, '\0'));
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind(), ProjectError::Kind::InvalidPropertyValue);
        EXPECT_EQ(error->Text(), QStringLiteral("Invalid property value"));
    }
}

TEST(ProjectFileTest, AnglesStoredAsIntegersAreAccepted)
{
    QByteArray bytes = EncodeProject(ExampleProject());
    bytes.chop(22);
    bytes += Hex("021E" "037FFF");
    const ProjectData d = DecodeProject(bytes);
    EXPECT_EQ(d.SideAngle, 30.0f);
    EXPECT_EQ(d.TiltAngle, -129.0f);
}

TEST(ProjectFileTest, HugeClaimedStringLengthIsRefused)
{
    for (const char* hex : {"0CFFFFFFFF", "14FFFFFF7F", "12FFFFFFFF"}) {
        const auto error = ProjectDecodeError(Hex("020B") + Hex(hex) + QByteArray(14, 'x'));
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind(), ProjectError::Kind::StreamRead);
    }
}

// Every single-byte change of a valid file either decodes or fails with a
// ProjectError; nothing else escapes.
TEST(ProjectFileTest, DamagedFilesFailCleanly)
{
    const QByteArray bytes = EncodeProject(VariedProject()).left(80) + EncodeProject(ExampleProject()).mid(2);
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

// -- The "Looks" extension block -------------------------------------------

} // namespace
