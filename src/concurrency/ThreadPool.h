#pragma once
// The threads that parallel work runs on: started when first needed, kept
// idle afterwards, never more than the work at hand asks for. Work waits in
// one queue; what no thread takes can be withdrawn again, so that the one
// who handed it can do it himself.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PoolWork {
public:
    virtual ~PoolWork() = default;
    // Called with the pool's lock held when a thread takes the work, so that
    // whoever withdraws it knows it is gone.
    virtual void Taken() {}
    virtual void Run() noexcept = 0;
    // Called with the pool's lock held once the thread that ran it is idle
    // again: whoever waits for the work and hands more at once finds the
    // thread free instead of starting another.
    virtual void Released() {}
};

// Starts a thread that runs `body`, or throws as std::thread does.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

class ThreadPool {
public:
    // Where parallel work started by the pool's own threads goes: to the
    // process's pool (Current), or to this one, as work that runs at this
    // pool's threads' priority must.
    enum class NestedWork { GoesToCurrent, StaysHere };

    explicit ThreadPool(ThreadStarter starter = {}, NestedWork nested = NestedWork::GoesToCurrent);
    // Waits for its threads to finish what they run, and ends them.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // The one the process's parallel work runs on (see UseThreadPool); on a
    // thread of a pool whose nested work stays there, that pool.
    static ThreadPool& Current();

    // Queues `copies` entries of `work`, and starts threads until one is
    // idle for each queued entry, as far as threads start. True when each
    // entry has a thread that will take it; false when some wait until a
    // busy thread is free or they are withdrawn. Throws std::bad_alloc when
    // the queue cannot grow; the entries queued before stay.
    bool Hand(const std::shared_ptr<PoolWork>& work, int copies = 1);
    // Takes back the entries of `work` no thread has taken; returns how many.
    int Withdraw(const PoolWork* work);
    // At least `count` threads idle, beyond the queued work, as far as
    // threads start.
    void KeepIdle(int count);

    int Threads() const;

private:
    bool StartLocked();
    void Serve();

    ThreadStarter starter_;
    NestedWork nested_;
    mutable std::mutex mutex_;
    std::condition_variable more_;
    std::deque<std::shared_ptr<PoolWork>> queue_;
    std::vector<std::thread> threads_;
    int idle_ = 0; // threads waiting for work, or about to take it
    bool closing_ = false;
};

// While it lives, the process's parallel work runs on `pool` (tests use a
// pool whose threads fail to start).
class UseThreadPool {
public:
    explicit UseThreadPool(ThreadPool& pool);
    ~UseThreadPool();
    UseThreadPool(const UseThreadPool&) = delete;
    UseThreadPool& operator=(const UseThreadPool&) = delete;

private:
    ThreadPool* previous_;
};
