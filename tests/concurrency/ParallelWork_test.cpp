// Rows spread over the pool: every row once, the caller's thread working
// too, and no end of the process or lost rows when threads cannot start.
#include "concurrency/ParallelWork.h"
#include "concurrency/ThreadPool.h"
#include "support/RefusedThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <future>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// What ParallelRows handed out: the shares and the threads that ran them.
struct Shares {
    std::mutex Mutex;
    std::vector<std::pair<int, int>> Ranges;
    std::set<std::thread::id> Threads;
    std::vector<int> RowCount;

    explicit Shares(int rows) : RowCount(static_cast<std::size_t>(rows), 0) {}

    void Record(int first, int end)
    {
        const std::lock_guard lock(Mutex);
        Ranges.emplace_back(first, end);
        Threads.insert(std::this_thread::get_id());
        for (int r = first; r < end; ++r)
            ++RowCount[static_cast<std::size_t>(r)];
    }

    bool EachRowOnce() const
    {
        for (const int n : RowCount)
            if (n != 1)
                return false;
        return true;
    }
};

} // namespace

TEST(ParallelRows, EveryRowOnceInAtMostTheSharesAsked)
{
    ThreadPool pool;
    const UseThreadPool use(pool);
    for (const auto& [rows, shares, most] :
         std::vector<std::tuple<int, int, std::size_t>>{{1000, 4, 4},
                                                        {1000, 1, 1},
                                                        {3, 8, 3},
                                                        {1, 5, 1},
                                                        {7, 0, 1},
                                                        {7, -3, 1},
                                                        {10007, 3, 3}}) {
        Shares seen(rows);
        ParallelRows(rows, shares, [&](int first, int end) { seen.Record(first, end); });
        EXPECT_TRUE(seen.EachRowOnce()) << rows << " rows, " << shares << " shares";
        EXPECT_LE(seen.Ranges.size(), most) << rows << " rows, " << shares << " shares";
        for (const auto& [first, end] : seen.Ranges)
            EXPECT_LT(first, end) << "no empty share";
    }
    int calls = 0;
    ParallelRows(0, 4, [&](int, int) { ++calls; });
    ParallelRows(-2, 4, [&](int, int) { ++calls; });
    EXPECT_EQ(calls, 0) << "no rows, no work";
}

TEST(ParallelRows, SharesRunAtOnceOnTheCallerAndThePool)
{
    ThreadPool pool;
    const UseThreadPool use(pool);
    // Each share waits for all the others to begin: only threads of their own get past.
    std::barrier all(4);
    Shares seen(4);
    ParallelRows(4, 4, [&](int first, int end) {
        seen.Record(first, end);
        all.arrive_and_wait();
    });
    EXPECT_EQ(seen.Threads.size(), 4u);
    EXPECT_TRUE(seen.Threads.count(std::this_thread::get_id())) << "the caller takes a share";
    EXPECT_EQ(pool.Threads(), 3);

    // Started once: the next call finds them idle.
    ParallelRows(4, 4, [&](int, int) { all.arrive_and_wait(); });
    EXPECT_EQ(pool.Threads(), 3);
}

TEST(ParallelRows, ThreadsThatCannotStartLeaveTheWorkToTheCaller)
{
    ThreadPool pool(StartsRefusedAfter(0));
    const UseThreadPool use(pool);
    Shares seen(500);
    EXPECT_NO_THROW(ParallelRows(500, 8, [&](int first, int end) { seen.Record(first, end); }));
    EXPECT_TRUE(seen.EachRowOnce());
    EXPECT_EQ(seen.Threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(pool.Threads(), 0);
    EXPECT_NO_THROW(KeepSpareThreads(2));
    EXPECT_EQ(pool.Threads(), 0);
}

TEST(ParallelRows, SomeThreadsStartingShareTheWorkBetweenThem)
{
    ThreadPool pool(StartsRefusedAfter(1));
    const UseThreadPool use(pool);
    // Two shares wait for each other: the one thread that started and the caller.
    std::barrier both(2);
    Shares seen(6);
    ParallelRows(6, 6, [&](int first, int end) {
        seen.Record(first, end);
        if (first < 2)
            both.arrive_and_wait();
    });
    EXPECT_TRUE(seen.EachRowOnce());
    EXPECT_EQ(seen.Threads.size(), 2u);
    EXPECT_EQ(pool.Threads(), 1);
}

// Nested calls while every thread the pool may start is busy: the inner
// shares run on the threads that asked for them.
TEST(ParallelRows, NestedWorkNeverWaitsForAFreeThread)
{
    ThreadPool pool(StartsRefusedAfter(1));
    const UseThreadPool use(pool);
    std::barrier both(2);
    Shares inner(2 * 100);
    ParallelRows(2, 2, [&](int first, int) {
        both.arrive_and_wait(); // the pool's one thread is this or the other share
        ParallelRows(100, 4, [&](int a, int b) { inner.Record(first * 100 + a, first * 100 + b); });
    });
    EXPECT_TRUE(inner.EachRowOnce());

    // Work aside that spreads rows while the pool's one thread is held busy.
    std::barrier held(2);
    Shares aside(300);
    RunAside holder([&] {
        held.arrive_and_wait();
        held.arrive_and_wait();
    });
    held.arrive_and_wait();
    RunAside spreading([&] { ParallelRows(300, 3, [&](int a, int b) { aside.Record(a, b); }); });
    EXPECT_FALSE(spreading.HasThread());
    spreading.Wait();
    held.arrive_and_wait();
    holder.Wait();
    EXPECT_TRUE(aside.EachRowOnce());
    EXPECT_EQ(aside.Threads, std::set<std::thread::id>{std::this_thread::get_id()});
}

TEST(ParallelRows, WhatAShareThrowsComesBackAfterTheRunningSharesEnd)
{
    {
        ThreadPool pool;
        const UseThreadPool use(pool);
        std::atomic<bool> thrown{false}, otherEnded{false};
        std::barrier both(2);
        EXPECT_THROW(ParallelRows(2, 2,
                                  [&](int first, int) {
                                      both.arrive_and_wait();
                                      if (first == 0) {
                                          thrown = true;
                                          throw std::runtime_error("bad row");
                                      }
                                      while (!thrown) {
                                          std::this_thread::yield();
                                      }
                                      otherEnded = true;
                                  }),
                     std::runtime_error);
        EXPECT_TRUE(otherEnded) << "returned while a share still ran";
    }
    // On the caller alone the shares run in order: those after the failure are left out.
    ThreadPool none(StartsRefusedAfter(0));
    const UseThreadPool use(none);
    Shares seen(8);
    EXPECT_THROW(ParallelRows(8, 4,
                              [&](int first, int end) {
                                  seen.Record(first, end);
                                  if (first == 2)
                                      throw std::out_of_range("row 2");
                              }),
                 std::out_of_range);
    EXPECT_EQ(seen.Ranges, (std::vector<std::pair<int, int>>{{0, 2}, {2, 4}}));
}

TEST(RunAsideWithoutThreads, RunsOnTheCallerWhenWaitedFor)
{
    ThreadPool pool(StartsRefusedAfter(0));
    const UseThreadPool use(pool);
    std::thread::id where;
    RunAside work([&] { where = std::this_thread::get_id(); });
    EXPECT_FALSE(work.HasThread());
    work.Wait();
    EXPECT_EQ(where, std::this_thread::get_id());

    RunAside failing([] { throw std::runtime_error("no rows"); });
    EXPECT_THROW(failing.Wait(), std::runtime_error);

    bool ran = false;
    {
        RunAside later([&] { ran = true; });
    } // runs here
    EXPECT_TRUE(ran);
}

TEST(RunAsideWithoutThreads, TakesABusyThreadOnceItIsFree)
{
    ThreadPool pool(StartsRefusedAfter(1));
    const UseThreadPool use(pool);
    std::barrier held(2);
    RunAside first([&] { held.arrive_and_wait(); });
    EXPECT_TRUE(first.HasThread());
    std::promise<std::thread::id> where;
    RunAside second([&] { where.set_value(std::this_thread::get_id()); });
    EXPECT_FALSE(second.HasThread()) << "the only thread is busy";
    held.arrive_and_wait(); // the first ends; its thread then takes the second
    EXPECT_NE(where.get_future().get(), std::this_thread::get_id());
    second.Wait();
}
