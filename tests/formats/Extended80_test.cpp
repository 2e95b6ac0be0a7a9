#include "formats/Extended80.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace {

Extended80 Ext(const char* hex)
{
    const QByteArray b = QByteArray::fromHex(hex);
    Extended80 e{};
    for (std::size_t i = 0; i < e.size(); ++i)
        e[i] = static_cast<std::uint8_t>(b.at(static_cast<qsizetype>(i)));
    return e;
}

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

TEST(Extended80Test, KnownEncodings)
{
    EXPECT_EQ(ToExtended80(30.0), Ext("00000000000000F00340"));
    EXPECT_EQ(ToExtended80(1.0), Ext("0000000000000080FF3F"));
    EXPECT_EQ(ToExtended80(-1.0), Ext("0000000000000080FFBF"));
    EXPECT_EQ(ToExtended80(-12.5), Ext("00000000000000C802C0"));
    EXPECT_EQ(ToExtended80(0.0), Ext("00000000000000000000"));
    EXPECT_EQ(ToExtended80(-0.0), Ext("00000000000000000080"));
    EXPECT_EQ(ToExtended80(std::numeric_limits<double>::infinity()), Ext("0000000000000080FF7F"));
    EXPECT_EQ(ToExtended80(-std::numeric_limits<double>::infinity()), Ext("0000000000000080FFFF"));
    // The smallest double denormal is a normal extended number: 2^-1074.
    EXPECT_EQ(ToExtended80(std::numeric_limits<double>::denorm_min()), Ext("0000000000000080CD3B"));
}

TEST(Extended80Test, EveryDoubleRoundTripsBitExactly)
{
    const double values[] = {0.0,
                             -0.0,
                             1.0,
                             -12.5,
                             30.0,
                             static_cast<double>(0.1f),
                             0.1,
                             -400.25,
                             1e300,
                             -1e-300,
                             123456789.123456789,
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             3 * std::numeric_limits<double>::denorm_min(),
                             std::nextafter(std::numeric_limits<double>::min(), 0.0),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()};
    for (double v : values)
        EXPECT_EQ(Bits(FromExtended80(ToExtended80(v))), Bits(v)) << v;

    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(FromExtended80(ToExtended80(nan))));
    EXPECT_TRUE(std::isnan(FromExtended80(ToExtended80(std::numeric_limits<double>::signaling_NaN()))));
}

TEST(Extended80Test, NarrowingRoundsToNearestEven)
{
    // 1 + 2^-63: far below half a double unit.
    EXPECT_EQ(FromExtended80(Ext("0100000000000080FF3F")), 1.0);
    // 1 + 2^-53: exactly half, the even neighbour is 1.
    EXPECT_EQ(FromExtended80(Ext("0004000000000080FF3F")), 1.0);
    // 1 + 3 x 2^-53: half again, the even neighbour is above.
    EXPECT_EQ(FromExtended80(Ext("000C000000000080FF3F")), 1.0 + std::ldexp(1.0, -51));
    // All ones carries into the next power of two.
    EXPECT_EQ(FromExtended80(Ext("FFFFFFFFFFFFFFFFFF3F")), 2.0);
}

TEST(Extended80Test, OutOfDoubleRangeAndOddForms)
{
    EXPECT_EQ(FromExtended80(Ext("0000000000000080FE7F")), std::numeric_limits<double>::infinity());
    EXPECT_EQ(FromExtended80(Ext("0000000000000080FEFF")), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(FromExtended80(Ext("00000000000000800100")), 0.0);
    EXPECT_EQ(FromExtended80(Ext("01000000000000000000")), 0.0); // extended denormal
    // 2^-1075 is a tie between 0 and the smallest denormal; 1.5 x 2^-1075 is not.
    EXPECT_EQ(FromExtended80(Ext("0000000000000080CC3B")), 0.0);
    EXPECT_EQ(FromExtended80(Ext("00000000000000C0CC3B")), std::numeric_limits<double>::denorm_min());
    // Unnormal (integer bit clear) at face value: 0.5.
    EXPECT_EQ(FromExtended80(Ext("0000000000000040FF3F")), 0.5);
    EXPECT_TRUE(std::isnan(FromExtended80(Ext("01000000000000C0FF7F"))));
    EXPECT_TRUE(std::isnan(FromExtended80(Ext("0000000000000040FF7F"))));
}

TEST(Extended80Test, DoubleToFloatSaturates)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr float fmax = std::numeric_limits<float>::max();
    EXPECT_EQ(DoubleToFloat(0.1), 0.1f);
    EXPECT_EQ(DoubleToFloat(1e39), inf);
    EXPECT_EQ(DoubleToFloat(-1e300), -inf);
    EXPECT_EQ(DoubleToFloat(static_cast<double>(fmax)), fmax);
    EXPECT_EQ(DoubleToFloat(static_cast<double>(fmax) + 0x1p102), fmax);
    EXPECT_EQ(DoubleToFloat(-(static_cast<double>(fmax) + 0x1p103)), -inf);
    EXPECT_TRUE(std::isnan(DoubleToFloat(std::nan(""))));
}

} // namespace
