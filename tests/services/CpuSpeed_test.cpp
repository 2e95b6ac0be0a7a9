#include "services/CpuSpeed.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CpuSpeedTest : ::testing::Test {
    QTemporaryDir dir;
    CpuSpeedSources sources{dir.filePath(QStringLiteral("cpuinfo")), dir.filePath(QStringLiteral("max_freq"))};

    void Write(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(CpuSpeedTest, TheFirstProcessorsClockFromCpuinfo)
{
    Write(sources.CpuInfo, "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Some CPU @ 2.40GHz\n"
                           "cpu MHz\t\t: 2394.702\ncache size\t: 8192 KB\n\n"
                           "processor\t: 1\ncpu MHz\t\t: 800.000\n");
    Write(sources.MaxFrequency, "3600000\n");
    EXPECT_EQ(CpuSpeedText(sources), "2395 MHz");
}

TEST_F(CpuSpeedTest, FallsBackToTheMaximumFrequencyInKilohertz)
{
    // ARM boards list no "cpu MHz"; an absent cpuinfo is treated the same.
    Write(sources.CpuInfo, "processor\t: 0\nBogoMIPS\t: 108.00\nFeatures\t: fp asimd\n");
    Write(sources.MaxFrequency, "1800000\n");
    EXPECT_EQ(CpuSpeedText(sources), "1800 MHz");
    QFile::remove(sources.CpuInfo);
    EXPECT_EQ(CpuSpeedText(sources), "1800 MHz");
}

TEST_F(CpuSpeedTest, UnknownOrNonsenseIsEmpty)
{
    EXPECT_EQ(CpuSpeedText(sources), "");
    Write(sources.CpuInfo, "cpu MHz\t\t: fast\n");
    Write(sources.MaxFrequency, "-1\n");
    EXPECT_EQ(CpuSpeedText(sources), "");
    Write(sources.CpuInfo, "cpu MHz\t\t: 0.000\n");
    Write(sources.MaxFrequency, "99999999999999\n");
    EXPECT_EQ(CpuSpeedText(sources), "");
    // A key that only starts like the one we want does not count.
    Write(sources.CpuInfo, "cpu MHz dynamic\t: 1234\n");
    EXPECT_EQ(CpuSpeedText(sources), "");
}

TEST(MhzText, NearestIntegerTiesToEven)
{
    EXPECT_EQ(MhzText(2400.0), "2400 MHz");
    EXPECT_EQ(MhzText(2400.5), "2400 MHz");
    EXPECT_EQ(MhzText(2401.5), "2402 MHz");
    EXPECT_EQ(MhzText(2400.51), "2401 MHz");
    EXPECT_EQ(MhzText(std::numeric_limits<double>::quiet_NaN()), "");
}

} // namespace
