// A batch worker's one-core limit holds for its own thread while it works,
// and nowhere else.
#include "render/WorkerThreads.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

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
