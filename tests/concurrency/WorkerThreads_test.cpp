// A batch worker's one-core limit holds for its own thread while it works,
// and nowhere else.
#include "concurrency/ParallelWork.h"

#include <gtest/gtest.h>

#include <barrier>
#include <chrono>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(WorkerThreads, OneThreadHoldsOnItsThreadOnlyAndEndsWithIt)
{
    const int all = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(WorkerThreads(), all);
    {
        const OneThreadHere one;
        EXPECT_EQ(WorkerThreads(), 1);
        EXPECT_EQ(std::async(std::launch::async, [] { return WorkerThreads(); }).get(), all)
            << "another thread keeps every core";
        {
            const OneThreadHere again; // nested: still one when the inner one ends
        }
        EXPECT_EQ(WorkerThreads(), 1);
    }
    EXPECT_EQ(WorkerThreads(), all);
}

namespace {

int ThreadsInProcess()
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++count;
    }
    return count;
}

} // namespace

// Work handed aside runs on a spare started beforehand, without starting a
// thread then; more work than spares at once still all runs at once.
TEST(WorkerThreads, WorkAsideRunsOnSparesStartedBeforehand)
{
    KeepSpareThreads(2);
    const int before = ThreadsInProcess();
    std::promise<std::thread::id> where;
    RunAside([&] { where.set_value(std::this_thread::get_id()); }).Wait();
    EXPECT_NE(where.get_future().get(), std::this_thread::get_id());
    {
        RunAside first([] {});
        RunAside second([] {});
    }
    EXPECT_EQ(ThreadsInProcess(), before) << "the spares did the work";

    // Four pieces that each wait until all four have begun.
    std::barrier all(4);
    std::vector<RunAside> pieces;
    for (int i = 0; i < 4; ++i)
        pieces.emplace_back([&] { all.arrive_and_wait(); });
    for (RunAside& piece : pieces)
        piece.Wait();
}

TEST(WorkerThreads, WhatWorkAsideThrowsComesBackOnWaiting)
{
    RunAside failing([] { throw std::runtime_error("no rows"); });
    EXPECT_THROW(failing.Wait(), std::runtime_error);
    bool ran = false;
    {
        RunAside later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ran = true;
        });
    } // waits here
    EXPECT_TRUE(ran);
}
