#pragma once
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
