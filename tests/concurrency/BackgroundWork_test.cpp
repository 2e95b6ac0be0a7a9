// Work on the background pool runs below the process's priority, all of it,
// its parallel rows included; the process's other threads keep theirs.
#include "concurrency/BackgroundWork.h"
#include "concurrency/ParallelWork.h"
#include "concurrency/ThreadPool.h"
#include "support/ThreadNice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#ifdef __linux__

namespace {

// The nice values and threads seen by the work and the rows it spread.
struct Seen {
    std::mutex Mutex;
    std::vector<int> Nice;
    std::set<std::thread::id> Threads;
    bool OnBackgroundPool = true;

    void Record()
    {
        const std::lock_guard lock(Mutex);
        Nice.push_back(ThreadNice());
        Threads.insert(std::this_thread::get_id());
        OnBackgroundPool = OnBackgroundPool && &ThreadPool::Current() == &BackgroundThreadPool();
    }
};

// Rows whose shares wait (a while at most) until a second thread has one,
// so that the pool's threads surely run some.
void SpreadRows(Seen& seen, int shares)
{
    ParallelRows(64, shares, [&](int, int) {
        seen.Record();
        for (int i = 0; i < 5000; ++i) {
            {
                const std::lock_guard lock(seen.Mutex);
                if (seen.Threads.size() > 1)
                    return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

} // namespace

TEST(BackgroundWork, RunsBelowTheProcessRowsSpreadFromItToo)
{
    const int ours = ThreadNice();
    Seen seen;
    RunAside work(
        [&] {
            seen.Record();
            SpreadRows(seen, 8);
            // Work it runs aside in turn (a decoder's scaler) as well.
            RunAside([&] { seen.Record(); }, ThreadPool::Current()).Wait();
            RunAside([&] { seen.Record(); }).Wait();
        },
        BackgroundThreadPool());
    work.Wait();
    ASSERT_TRUE(work.HasThread());
    EXPECT_TRUE(seen.OnBackgroundPool);
    EXPECT_GT(seen.Threads.size(), 1u) << "the rows were spread";
    for (const int nice : seen.Nice)
        EXPECT_GE(nice, std::max(ours, BackgroundNice));
}

TEST(BackgroundWork, LeavesTheProcesssOtherThreadsAsTheyWere)
{
    const int ours = ThreadNice();
    Seen background;
    RunAside([&] { SpreadRows(background, 4); }, BackgroundThreadPool()).Wait();
    // Nothing on this thread or the process's pool changed.
    EXPECT_EQ(ThreadNice(), ours);
    EXPECT_NE(&ThreadPool::Current(), &BackgroundThreadPool());
    ThreadPool pool;
    const UseThreadPool use(pool);
    Seen seen;
    SpreadRows(seen, 8);
    RunAside([&] { seen.Record(); }).Wait();
    EXPECT_FALSE(seen.OnBackgroundPool);
    for (const int nice : seen.Nice)
        EXPECT_EQ(nice, ours);
}

#endif
