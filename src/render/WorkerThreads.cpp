#include "render/WorkerThreads.h"

#include <algorithm>
#include <thread>

namespace {
thread_local bool oneThread = false;
} // namespace

int WorkerThreads()
{
    return oneThread ? 1 : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

OneThreadHere::OneThreadHere() : previous_(oneThread) { oneThread = true; }

OneThreadHere::~OneThreadHere() { oneThread = previous_; }
