#pragma once
// Work spread over the process's pool of threads (concurrency/ThreadPool).
// None of it ends the process when a thread cannot start: the work then
// runs on the threads there are, down to the caller's own.
#include <functional>
#include <memory>

class ThreadPool;

// How many threads one piece of work (a cover's decode and rescale, a
// texture's levels, a supersampled picture) may spread over: every core,
// unless the calling thread has been given one core only, as each of a
// batch's workers is.
int WorkerThreads();

// While it lives, work started on this thread stays on this thread.
class OneThreadHere {
public:
    OneThreadHere();
    ~OneThreadHere();
    OneThreadHere(const OneThreadHere&) = delete;
    OneThreadHere& operator=(const OneThreadHere&) = delete;

private:
    bool previous_;
};

// work(first, end) over the rows 0..rows, in at most `shares` contiguous
// shares (never more than rows); returns when all have run. This thread
// runs shares too, and any a pool thread has not taken, so nested use (from
// a share, a batch worker or work run aside) never waits for a free thread.
// When a share throws, the shares not yet begun are left out and the first
// exception is rethrown here once the running ones have ended.
void ParallelRows(int rows, int shares, const std::function<void(int first, int end)>& work);

// Threads started ahead of need. No thread can start while another one
// loads a shared library: glibc holds its loader's lock through the whole
// load, and making a GL context loads the driver's, which takes a few
// milliseconds on a warm machine and longer on a cold one. A decoder that
// needs its second thread meanwhile would wait for the GL.
//
// By the thread about to make a GL context: at least `count` idle threads
// are there (started now if need be, as far as threads start), waiting
// until RunAside or ParallelRows hands them work.
void KeepSpareThreads(int count);

// Work on an idle pool thread, or on a new one when none is idle; the
// thread is idle again afterwards. Waits for the work when destroyed; Wait
// rethrows what the work threw. When no thread can be had, the work waits
// for a busy one to be free, and at the latest runs on the caller's thread
// in Wait or the destructor: work that must run beside the caller (it
// waits for what the caller makes) asks HasThread first.
class RunAside {
public:
    explicit RunAside(std::function<void()> work);
    // The same on `pool`'s threads (BackgroundThreadPool, say).
    RunAside(std::function<void()> work, ThreadPool& pool);
    ~RunAside();
    RunAside(RunAside&&) noexcept = default;
    RunAside& operator=(RunAside&&) = delete;
    RunAside(const RunAside&) = delete;
    RunAside& operator=(const RunAside&) = delete;

    void Wait();
    // Whether a thread was there to take the work when it was handed.
    bool HasThread() const { return hasThread_; }

private:
    struct Task;
    void RunHereUnlessTaken();

    std::shared_ptr<Task> task_;
    ThreadPool* pool_;
    bool hasThread_;
};
