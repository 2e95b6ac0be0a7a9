// What a batch prints while it runs, on a terminal and into a log.
#include "cli/BatchProgress.h"
#include "engine/ProgressText.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// A stream whose text the test reads back.
struct Captured {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    ~Captured()
    {
        std::fclose(stream);
        std::free(buffer);
    }
    std::string Text()
    {
        std::fflush(stream);
        return std::string(buffer, size);
    }
};

} // namespace

TEST(BatchProgress, OffATerminalOneLinePerRowThenTheSummary)
{
    Captured out;
    double now = 0;
    BatchProgress progress(out.stream, false, 3, [&] { return now; });
    EXPECT_EQ(out.Text(), "");
    progress.Finished(2, QStringLiteral("a.png"), RowOutcome::Done);
    progress.Finished(3, QStringLiteral("b.png"), RowOutcome::Skipped);
    progress.Finished(4, QString(), RowOutcome::Failed, QStringLiteral("no output"));
    now = 75;
    progress.Summary(0);
    EXPECT_EQ(out.Text(), "line 2: a.png: ok\n"
                          "line 3: b.png: skipped (up to date)\n"
                          "line 4: failed: no output\n"
                          "done 1, skipped 1, failed 1 in 1:15\n");
    EXPECT_EQ(progress.Count(RowOutcome::Done), 1);
    EXPECT_EQ(progress.Count(RowOutcome::Failed), 1);
}

TEST(BatchProgress, OnATerminalABarInPlaceWithFailuresAboveIt)
{
    Captured out;
    double now = 0;
    BatchProgress progress(out.stream, true, 8, [&] { return now; });
    EXPECT_EQ(out.Text(), "\r\033[K[------------------------] 0/8");
    now = 2;
    progress.Finished(2, QStringLiteral("a.png"), RowOutcome::Done);
    // One row in two seconds: 0.5 rows a second, seven rows left.
    EXPECT_EQ(out.Text().substr(out.Text().rfind('\r')), "\r\033[K[###---------------------] 1/8  0.50 rows/s  14.0 s left");
    now = 4;
    progress.Finished(9, QStringLiteral("b.png"), RowOutcome::Failed, QStringLiteral("b.jpg: damaged"));
    const std::string text = out.Text();
    EXPECT_NE(text.find("\r\033[Kline 9: b.png: failed: b.jpg: damaged\n[######------------------] 2/8  0.50 rows/s  12.0 s left  1 failed"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("a.png"), std::string::npos); // rows that went well are only counted
    now = 5;
    progress.Summary(6);
    EXPECT_EQ(out.Text().substr(text.size()),
              "\r\033[K[######------------------] 2/8  0.40 rows/s  15.0 s left  1 failed\n"
              "done 1, skipped 0, failed 1, not started 6 in 5.0 s\n");
}

TEST(BatchProgress, Durations)
{
    EXPECT_EQ(DurationText(0), QStringLiteral("0.0 s"));
    EXPECT_EQ(DurationText(59.9), QStringLiteral("59.9 s"));
    EXPECT_EQ(DurationText(59.97), QStringLiteral("1:00"));
    EXPECT_EQ(DurationText(605), QStringLiteral("10:05"));
    EXPECT_EQ(DurationText(3723), QStringLiteral("1:02:03"));
}
