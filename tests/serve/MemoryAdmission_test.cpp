// The memory admission rule and estimate, and the queue that waits by them.
#include "serve/MemoryAdmission.h"
#include "serve/RenderWorkers.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

constexpr std::int64_t MB = 1'000'000;

} // namespace

TEST(MemoryAdmissionTest, ARequestIsAdmittedWaitsOrIsRefusedByItsEstimate)
{
    const struct {
        std::int64_t Estimate, InUse, Budget;
        Admission Expected;
    } cases[] = {
        {100 * MB, 0, 1000 * MB, Admission::Admit},
        {100 * MB, 900 * MB, 1000 * MB, Admission::Admit},   // just fits beside the others
        {101 * MB, 900 * MB, 1000 * MB, Admission::Wait},
        {1000 * MB, 1, 1000 * MB, Admission::Wait},          // fits alone: waits for the rest to end
        {1000 * MB, 0, 1000 * MB, Admission::Admit},
        {1001 * MB, 0, 1000 * MB, Admission::Refuse},        // could never fit
        {1001 * MB, 500 * MB, 1000 * MB, Admission::Refuse},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Admit(c.Estimate, c.InUse, c.Budget), c.Expected) << c.Estimate << " beside " << c.InUse;
}

TEST(MemoryAdmissionTest, TheEstimateGrowsWithCoversPictureAndSamples)
{
    const PeakInputs small{{QSize(300, 400)}, QSize(600, 600), 1};
    const std::int64_t base = EstimatePeakBytes(small);
    PeakInputs bigCover = small;
    bigCover.Covers = {QSize(7000, 7000)};
    PeakInputs moreCovers = small;
    moreCovers.Covers = {QSize(300, 400), QSize(300, 400), QSize(300, 400)};
    PeakInputs bigPicture = small;
    bigPicture.Output = QSize(4096, 4096);
    PeakInputs samples = bigPicture;
    samples.Samples = 16;
    PeakInputs traced = bigPicture;
    traced.RayTraced = true;
    EXPECT_GT(EstimatePeakBytes(bigCover), base + 7000 * 7000 * 4); // at least the decoded picture
    EXPECT_GT(EstimatePeakBytes(moreCovers), base);
    EXPECT_GT(EstimatePeakBytes(bigPicture), 4096 * 4096 * 8);
    EXPECT_GT(EstimatePeakBytes(samples), EstimatePeakBytes(bigPicture) + 4096LL * 4096 * 8 * 15 - 1);
    EXPECT_GT(EstimatePeakBytes(traced), EstimatePeakBytes(bigPicture));
    EXPECT_LT(base, 20 * MB); // a small shot costs little beside the program
}

TEST(MemoryAdmissionTest, TheDefaultLimitIsTheCgroupsElseHalfTheMachine)
{
    const std::int64_t machine = std::int64_t{16} << 30;
    const struct {
        const char* CgroupMax;
        std::int64_t Expected;
        const char* Source;
    } cases[] = {
        {"2147483648\n", std::int64_t{2147483648} / 10 * 9, "cgroup"},
        {"max\n", machine / 2, "machine"},
        {"", machine / 2, "machine"}, // no cgroup file
        {"garbage", machine / 2, "machine"},
    };
    for (const auto& c : cases) {
        QString source;
        EXPECT_EQ(DefaultMaxMemory(QString::fromLatin1(c.CgroupMax), machine, &source), c.Expected) << c.CgroupMax;
        EXPECT_TRUE(source.contains(QLatin1String(c.Source))) << source.toStdString();
    }
}

TEST(MemoryAdmissionTest, AJobWaitsInTheQueueWhileItWouldPassTheBudget)
{
    // Two workers, room for one of these jobs at a time: the second starts
    // only once the first has ended, though a worker is free.
    std::mutex mutex;
    int running = 0, most = 0;
    RenderWorkers workers(2, 4, [&](RenderSession&, const RenderJob&) {
        {
            const std::lock_guard lock(mutex);
            most = std::max(most, ++running);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::lock_guard lock(mutex);
        --running;
        return RenderAnswer{200, QByteArrayLiteral("x"), 0};
    });
    workers.SetMemoryBudget(100 * MB);
    std::vector<std::shared_ptr<RenderTicket>> tickets;
    for (int i = 0; i < 2; ++i) {
        RenderJob job;
        job.PeakBytes = 60 * MB;
        tickets.push_back(workers.Submit(std::move(job)));
    }
    for (const auto& ticket : tickets) {
        const auto answer = ticket->Wait(std::chrono::steady_clock::now() + std::chrono::seconds(30));
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->Status, 200);
    }
    EXPECT_EQ(most, 1);
    // Given back just after the answer.
    for (int i = 0; i < 500 && workers.MemoryInUse() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(workers.MemoryInUse(), 0);
}
