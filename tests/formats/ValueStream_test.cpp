#include "formats/ProjectError.h"
#include "formats/ValueStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

QByteArray Int(std::int32_t v)
{
    ValueWriter w;
    w.WriteInteger(v);
    return w.Bytes();
}

QByteArray Str(const QString& s)
{
    ValueWriter w;
    w.WriteString(s);
    return w.Bytes();
}

template <typename Read>
ProjectError::Kind ErrorOf(const QByteArray& bytes, Read read)
{
    ValueReader r(bytes);
    try {
        read(r);
    } catch (const ProjectError& e) {
        if (e.kind() == ProjectError::Kind::InvalidPropertyValue) {
            EXPECT_EQ(e.Text(), QStringLiteral("Invalid property value"));
        } else if (e.kind() == ProjectError::Kind::StreamRead) {
            EXPECT_EQ(e.Text(), QStringLiteral("Stream read error"));
        }
        return e.kind();
    }
    ADD_FAILURE() << "no error for " << bytes.toHex(' ').toStdString();
    return ProjectError::Kind::CannotRead;
}

constexpr auto Invalid = ProjectError::Kind::InvalidPropertyValue;
constexpr auto ReadError = ProjectError::Kind::StreamRead;

TEST(ValueStreamTest, IntegersTakeTheSmallestTagAndReadBack)
{
    const struct {
        std::int32_t value;
        const char* hex;
    } cases[] = {
        {0, "0200"},           {127, "027F"},         {128, "038000"},
        {-128, "0280"},        {-129, "037FFF"},      {32767, "03FF7F"},
        {32768, "0400800000"}, {-32768, "030080"},    {-32769, "04FF7FFFFF"},
        {0xFFFFFF, "04FFFFFF00"},
        {std::numeric_limits<std::int32_t>::min(), "0400000080"},
        {std::numeric_limits<std::int32_t>::max(), "04FFFFFF7F"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Int(c.value), Hex(c.hex)) << c.value;
        ValueReader r(Hex(c.hex));
        EXPECT_EQ(r.ReadInteger(), c.value);
        EXPECT_EQ(r.Position(), Hex(c.hex).size());
    }
}

TEST(ValueStreamTest, IntegersAcceptWiderTagsAndSignExtend)
{
    EXPECT_EQ(ValueReader(Hex("0405000000")).ReadInteger(), 5);
    EXPECT_EQ(ValueReader(Hex("03FFFF")).ReadInteger(), -1);
    EXPECT_EQ(ValueReader(Hex("02FF")).ReadInteger(), -1);
    EXPECT_EQ(ValueReader(Hex("0280")).ReadInteger(), -128);
}

TEST(ValueStreamTest, StringTagFollowsContentAndLength)
{
    EXPECT_EQ(Str(QString()), Hex("0600"));
    EXPECT_EQ(Str(QStringLiteral("abc")), Hex("0603616263"));
    EXPECT_EQ(Str(QString(255, QLatin1Char('x'))).left(2), Hex("06FF"));
    const QByteArray longString = Str(QString(256, QLatin1Char('x')));
    EXPECT_EQ(longString.left(5), Hex("0C00010000"));
    EXPECT_EQ(longString.size(), 5 + 256);

    const QString accented = QStringLiteral("C:\\B\u00FCcher\\\u20AC\\\U0001F4E6.jpg");
    const QByteArray utf8 = accented.toUtf8();
    const QByteArray written = Str(accented);
    EXPECT_EQ(static_cast<std::uint8_t>(written.at(0)), ValueTag::Utf8String);
    EXPECT_EQ(written.mid(1, 4), Hex("17000000"));
    EXPECT_EQ(written.mid(5), utf8);
    // A single Latin-1 character is enough for UTF-8, even in a short text.
    EXPECT_EQ(Str(QStringLiteral("\u00E9")), Hex("1402000000C3A9"));

    for (const QString& s : {QString(), QStringLiteral("abc"), QString(300, QLatin1Char('p')), accented}) {
        ValueReader r(Str(s));
        EXPECT_EQ(r.ReadString(), s);
    }
}

TEST(ValueStreamTest, EightBitStringsAreWindows1252)
{
    EXPECT_EQ(ValueReader(Hex("060280E9")).ReadString(), QStringLiteral("\u20AC\u00E9"));
    EXPECT_EQ(ValueReader(Hex("0C030000009F81FF")).ReadString(), QStringLiteral("\u0178\u0081\u00FF"));
    EXPECT_EQ(DecodeWindows1252(Hex("8A8C8E9A9C9E")), QStringLiteral("\u0160\u0152\u017D\u0161\u0153\u017E"));
    EXPECT_EQ(DecodeWindows1252(Hex("A0C47F")), QStringLiteral("\u00A0\u00C4\u007F"));
}

TEST(ValueStreamTest, WideStringsAreRead)
{
    // "A€é" and a surrogate pair, UTF-16 little-endian.
    EXPECT_EQ(ValueReader(Hex("12050000004100AC20E9003DD8E6DC")).ReadString(),
              QStringLiteral("A\u20AC\u00E9\U0001F4E6"));
    EXPECT_EQ(ValueReader(Hex("1200000000")).ReadString(), QString());
}

TEST(ValueStreamTest, FloatsAreExtendedAndAcceptIntegers)
{
    ValueWriter w;
    w.WriteFloat(30.0);
    EXPECT_EQ(w.Bytes(), Hex("0500000000000000F00340"));

    for (double v : {-12.5, static_cast<double>(0.1f), 1e300, 0.0}) {
        ValueWriter wv;
        wv.WriteFloat(v);
        EXPECT_EQ(ValueReader(wv.Bytes()).ReadFloat(), v);
    }
    EXPECT_EQ(ValueReader(Hex("02FE")).ReadFloat(), -2.0);
    EXPECT_EQ(ValueReader(Hex("037FFF")).ReadFloat(), -129.0);
    EXPECT_EQ(ValueReader(Hex("0400000080")).ReadFloat(), -2147483648.0);
}

TEST(ValueStreamTest, WrongTagsAreInvalidPropertyValues)
{
    const auto readInt = [](ValueReader& r) { r.ReadInteger(); };
    const auto readString = [](ValueReader& r) { r.ReadString(); };
    const auto readFloat = [](ValueReader& r) { r.ReadFloat(); };
    for (const char* hex : {"00", "01", "0500000000000000F00340", "0600", "07", "1400000000", "FF"})
        EXPECT_EQ(ErrorOf(Hex(hex), readInt), Invalid) << hex;
    for (const char* hex : {"0200", "0300", "0500000000000000F00340", "07", "0B", "13", "FF"})
        EXPECT_EQ(ErrorOf(Hex(hex), readString), Invalid) << hex;
    for (const char* hex : {"0600", "0C00000000", "1200000000", "1400000000", "08"})
        EXPECT_EQ(ErrorOf(Hex(hex), readFloat), Invalid) << hex;
}

TEST(ValueStreamTest, ShortDataIsAStreamReadError)
{
    const auto readInt = [](ValueReader& r) { r.ReadInteger(); };
    const auto readString = [](ValueReader& r) { r.ReadString(); };
    const auto readFloat = [](ValueReader& r) { r.ReadFloat(); };
    for (const char* hex : {"", "02", "0301", "04010203"})
        EXPECT_EQ(ErrorOf(Hex(hex), readInt), ReadError) << hex;
    for (const char* hex : {"", "06", "060261", "0C", "0C010000", "0C0200000061", "1401000000", "120100000041"})
        EXPECT_EQ(ErrorOf(Hex(hex), readString), ReadError) << hex;
    for (const char* hex : {"", "05", "0500000000000000F003"})
        EXPECT_EQ(ErrorOf(Hex(hex), readFloat), ReadError) << hex;
}

TEST(ValueStreamTest, HugeClaimedLengthsAreRefusedBeforeAllocating)
{
    const auto readString = [](ValueReader& r) { r.ReadString(); };
    // Four bytes of length against a handful of data: refused from the
    // length alone. 0x80000000 wide code units are 2^32 bytes, which a
    // 32-bit product would wrap to zero and take as an empty string.
    const QByteArray filler(15, 'x');
    for (const char* hex : {"0CFFFFFFFF", "0CFFFFFF7F", "14FFFFFFFF", "12FFFFFFFF", "12FFFFFF7F", "1200000080"})
        EXPECT_EQ(ErrorOf(Hex(hex) + filler, readString), ReadError) << hex;
}

} // namespace
