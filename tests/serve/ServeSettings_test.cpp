#include "engine/JobError.h"
#include "serve/ServeSettings.h"

#include <gtest/gtest.h>

namespace {

QStringList Words(const char* text) { return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts); }

int StatusOf(const char* arguments)
{
    try {
        ParseServeArguments(Words(arguments));
        return 0;
    } catch (const JobError& e) {
        return e.Status();
    }
}

} // namespace

TEST(ServeSettingsTest, DefaultsAreTheDocumentedLimits)
{
    const ServeSettings s = ParseServeArguments({});
    EXPECT_EQ(s.Bind, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.Port, 8080);
    EXPECT_EQ(s.MaxBody, 20 * 1024 * 1024);
    EXPECT_EQ(s.MaxPixels, 50'000'000);
    EXPECT_EQ(s.MaxOutput, 4096);
    EXPECT_EQ(s.TimeoutSeconds, 30);
    EXPECT_EQ(s.MaxConnections, 512);
    EXPECT_GE(s.WorkerCount(), 1);
    EXPECT_EQ(s.QueueCapacity(), 4 * s.WorkerCount());
}

TEST(ServeSettingsTest, FlagsChangeTheLimitsWithUnits)
{
    const ServeSettings s = ParseServeArguments(
        Words("--port=0 --max-body 512KB --max-pixels 16.8MP --max-output 2000 --timeout 5 --workers 3 --queue 1 --max-connections 64 --max-memory 1.5GB"));
    EXPECT_EQ(s.Port, 0);
    EXPECT_EQ(s.MaxBody, 512 * 1024);
    EXPECT_EQ(s.MaxPixels, 16'800'000);
    EXPECT_EQ(s.MaxOutput, 2000);
    EXPECT_EQ(s.TimeoutSeconds, 5);
    EXPECT_EQ(s.WorkerCount(), 3);
    EXPECT_EQ(s.QueueCapacity(), 1);
    EXPECT_EQ(s.MaxConnections, 64);
    EXPECT_EQ(s.MaxMemory, std::int64_t{3} << 29);
    EXPECT_TRUE(s.AllowOrigin.isEmpty()); // no CORS unless asked for
    EXPECT_EQ(ParseServeArguments(Words("--allow-origin https://shop.example:8443")).AllowOrigin,
              QStringLiteral("https://shop.example:8443"));
    bool ok = false;
    EXPECT_EQ(ParseByteCount(QStringLiteral("2GiB"), &ok), std::int64_t{2} << 30);
    EXPECT_TRUE(ok);
    for (const char* bad : {"", "MB", "-1MB", "1.5XB", "0", "12 34"}) {
        ParseByteCount(QString::fromLatin1(bad), &ok);
        EXPECT_FALSE(ok) << bad;
    }
}

TEST(ServeSettingsTest, WrongUseIsRefusedBeforeAnythingStarts)
{
    for (const char* wrong : {"--port 70000", "--port x", "--max-body lots", "--max-pixels 0", "--max-output 0",
                              "--timeout 0", "--workers 0", "--max-connections 0", "--max-memory 0", "--allow-origin shop.example", "--allow-origin https://a/b", "--frobnicate", "box.pcf", "--token-file="})
        EXPECT_EQ(StatusOf(wrong), ExitUsage) << wrong;
}

TEST(ServeSettingsTest, OtherMachinesAreOnlyServedWithAToken)
{
    EXPECT_EQ(StatusOf("--bind 0.0.0.0"), ExitUsage);
    EXPECT_EQ(StatusOf("--bind 192.168.1.5"), ExitUsage);
    EXPECT_EQ(StatusOf("--bind ::"), ExitUsage);
    EXPECT_EQ(StatusOf("--bind 0.0.0.0 --token-file /run/secret"), 0);
    for (const char* loopback : {"--bind 127.0.0.1", "--bind 127.3.4.5", "--bind ::1", "--bind localhost"})
        EXPECT_EQ(StatusOf(loopback), 0) << loopback;
}
