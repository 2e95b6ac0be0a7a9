#include "concurrency/ThreadPool.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

std::atomic<ThreadPool*> chosen{nullptr};
// The pool whose thread this is, when its nested work stays there.
thread_local ThreadPool* servedHere = nullptr;

} // namespace

ThreadPool::ThreadPool(ThreadStarter starter, NestedWork nested) : starter_(std::move(starter)), nested_(nested)
{
    if (!starter_)
        starter_ = [](std::function<void()> body) { return std::thread(std::move(body)); };
}

ThreadPool::~ThreadPool()
{
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    more_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

ThreadPool& ThreadPool::Current()
{
    if (servedHere)
        return *servedHere;
    // Never destroyed: an idle thread may still wait on it while the
    // process exits.
    static ThreadPool* const shared = new ThreadPool;
    ThreadPool* const pool = chosen.load(std::memory_order_acquire);
    return pool ? *pool : *shared;
}

bool ThreadPool::StartLocked()
{
    try {
        // Room first: a thread once started must have its handle kept.
        if (threads_.size() == threads_.capacity())
            threads_.reserve(threads_.size() * 2 + 4);
        threads_.push_back(starter_([this] { Serve(); }));
        ++idle_;
        return true;
    } catch (...) {
        // No thread now (a process or memory limit): the work runs on the
        // threads there are.
        return false;
    }
}

bool ThreadPool::Hand(const std::shared_ptr<PoolWork>& work, int copies)
{
    bool covered = true;
    {
        const std::lock_guard lock(mutex_);
        for (int i = 0; i < copies; ++i)
            queue_.push_back(work);
        while (covered && idle_ < static_cast<int>(queue_.size()))
            covered = StartLocked();
    }
    if (copies == 1)
        more_.notify_one();
    else
        more_.notify_all();
    return covered;
}

int ThreadPool::Withdraw(const PoolWork* work)
{
    const std::lock_guard lock(mutex_);
    const auto kept = std::remove_if(
        queue_.begin(), queue_.end(),
        [work](const std::shared_ptr<PoolWork>& queued) { return queued.get() == work; });
    const auto removed = static_cast<int>(queue_.end() - kept);
    queue_.erase(kept, queue_.end());
    return removed;
}

void ThreadPool::KeepIdle(int count)
{
    const std::lock_guard lock(mutex_);
    while (idle_ < count + static_cast<int>(queue_.size()) && StartLocked()) {
    }
}

int ThreadPool::Threads() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<int>(threads_.size());
}

void ThreadPool::Serve()
{
    if (nested_ == NestedWork::StaysHere)
        servedHere = this;
    std::unique_lock lock(mutex_);
    for (;;) {
        more_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty())
            return;
        std::shared_ptr<PoolWork> work = std::move(queue_.front());
        queue_.pop_front();
        --idle_;
        work->Taken();
        lock.unlock();
        work->Run();
        lock.lock();
        ++idle_;
        work->Released();
        lock.unlock();
        work.reset();
        lock.lock();
    }
}

UseThreadPool::UseThreadPool(ThreadPool& pool) : previous_(chosen.exchange(&pool))
{
}

UseThreadPool::~UseThreadPool()
{
    chosen.store(previous_);
}
