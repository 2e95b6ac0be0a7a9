#pragma once
// How many threads one piece of work (a cover's decode and rescale, a
// texture's levels, a supersampled picture) may spread over: every core,
// unless the calling thread has been given one core only, as each of a
// batch's workers is.
#include <functional>
#include <future>

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

// Threads started ahead of need. No thread can start while another one
// loads a shared library: glibc holds its loader's lock through the whole
// load, and making a GL context loads the driver's, which takes a few
// milliseconds on a warm machine and longer on a cold one. A decoder that
// needs its second thread meanwhile would wait for the GL.
//
// By the thread about to make a GL context: at least `count` spare threads
// are there (started now if need be), idle until RunAside hands them work.
void KeepSpareThreads(int count);

// Work on a spare thread, or on a new one when none is idle; the thread is
// a spare again afterwards. Waits for the work when destroyed; Wait
// rethrows what the work threw.
class RunAside {
public:
    explicit RunAside(std::function<void()> work);
    ~RunAside();
    RunAside(RunAside&&) noexcept = default;
    RunAside& operator=(RunAside&&) = delete;
    RunAside(const RunAside&) = delete;
    RunAside& operator=(const RunAside&) = delete;

    void Wait();

private:
    std::future<void> done_;
};
