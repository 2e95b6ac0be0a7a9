#include "render/WorkerThreads.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
thread_local bool oneThread = false;

// Spare threads wait here for work. Never destroyed: an idle spare may
// still wait on it while the process exits.
class Spares {
public:
    void Keep(int count)
    {
        const std::lock_guard lock(mutex_);
        while (idle_ < count + static_cast<int>(work_.size()))
            StartLocked();
    }

    void Hand(std::packaged_task<void()> work)
    {
        {
            const std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
            if (idle_ < static_cast<int>(work_.size()))
                StartLocked();
        }
        more_.notify_one();
    }

private:
    void StartLocked()
    {
        ++idle_;
        std::thread([this] { Serve(); }).detach();
    }

    void Serve()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            more_.wait(lock, [this] { return !work_.empty(); });
            std::packaged_task<void()> work = std::move(work_.front());
            work_.pop_front();
            --idle_;
            lock.unlock();
            work(); // what it throws goes to its future
            lock.lock();
            ++idle_;
        }
    }

    std::mutex mutex_;
    std::condition_variable more_;
    std::deque<std::packaged_task<void()>> work_;
    int idle_ = 0; // threads waiting, or about to take work already handed
};

Spares& TheSpares()
{
    static Spares* spares = new Spares;
    return *spares;
}

} // namespace

int WorkerThreads()
{
    return oneThread ? 1 : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

OneThreadHere::OneThreadHere() : previous_(oneThread) { oneThread = true; }

OneThreadHere::~OneThreadHere() { oneThread = previous_; }

void KeepSpareThreads(int count) { TheSpares().Keep(count); }

RunAside::RunAside(std::function<void()> work)
{
    std::packaged_task<void()> task(std::move(work));
    done_ = task.get_future();
    TheSpares().Hand(std::move(task));
}

RunAside::~RunAside()
{
    if (done_.valid())
        done_.wait();
}

void RunAside::Wait()
{
    if (done_.valid())
        done_.get();
}
