#include "formats/TimeStamp.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

QDateTime At(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms));
}

TEST(TimeStamp, CountsDaysSinceTheEndOf1899WithTheTimeAsFraction)
{
    EXPECT_EQ(ResultTimeStamp(At(2005, 6, 1, 12)), 38504500000);
    EXPECT_EQ(ResultFileStem(At(2005, 6, 1, 12)), "38504500000");
    EXPECT_EQ(ResultTimeStamp(At(1899, 12, 30)), 0);
    EXPECT_EQ(ResultTimeStamp(At(1900, 1, 1)), 2000000);
    EXPECT_EQ(ResultTimeStamp(At(2005, 6, 1, 23, 59, 59, 900)), 38504999999);
    // The last moments of a day round up into the next one.
    EXPECT_EQ(ResultTimeStamp(At(2005, 6, 1, 23, 59, 59, 999)), 38505000000);
}

TEST(TimeStamp, OneUnitIs864TenthsOfAMillisecondRoundedToNearest)
{
    const QDateTime noon = At(2024, 3, 10, 12);
    const std::int64_t base = ResultTimeStamp(noon);
    EXPECT_EQ(ResultTimeStamp(noon.addMSecs(43)), base);     // 0.498 unit
    EXPECT_EQ(ResultTimeStamp(noon.addMSecs(44)), base + 1); // 0.509 unit
    EXPECT_EQ(ResultTimeStamp(noon.addMSecs(86)), base + 1); // 0.995 unit
    EXPECT_EQ(ResultTimeStamp(noon.addMSecs(130)), base + 2);
    EXPECT_EQ(ResultTimeStamp(noon.addSecs(864)), base + 10000);
}

TEST(TimeStamp, TheSameUnitGivesTheSameNameAndTheNextUnitAnother)
{
    const QDateTime t = At(2010, 1, 2, 3, 4, 5, 100);
    EXPECT_EQ(ResultFileStem(t), ResultFileStem(t.addMSecs(20)));
    EXPECT_NE(ResultFileStem(t), ResultFileStem(t.addMSecs(90)));
    EXPECT_TRUE(ResultFileStem(t).contains(QRegularExpression("^[0-9]+$")));
}

} // namespace
