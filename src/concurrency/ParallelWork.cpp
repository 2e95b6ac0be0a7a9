#include "concurrency/ParallelWork.h"

#include "concurrency/ThreadPool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <future>
#include <mutex>
#include <new>
#include <thread>

namespace {

thread_local bool oneThread = false;

// One ParallelRows call: its shares go to whoever claims them first, the
// caller or a pool thread that took one of its entries.
class RowsJob : public PoolWork {
public:
    RowsJob(const std::function<void(int, int)>& work, int rows, int shares)
        : work_(work), rows_(rows), shares_(shares)
    {
    }

    void Taken() override { helpers_.fetch_add(1, std::memory_order_relaxed); }

    void Run() noexcept override { Share(); }

    void Released() override
    {
        const std::lock_guard lock(mutex_);
        helpers_.fetch_sub(1, std::memory_order_relaxed);
        helped_.notify_all();
    }

    // Runs shares until none is left to claim.
    void Share() noexcept
    {
        for (int i; (i = next_.fetch_add(1)) < shares_;) {
            try {
                work_(Row(i), Row(i + 1));
            } catch (...) {
                const std::lock_guard lock(mutex_);
                if (!failure_)
                    failure_ = std::current_exception();
                next_.store(shares_); // the others are not begun
            }
        }
    }

    // Once the pool can hand out no more of its entries: waits for the
    // threads that took one.
    void Finish()
    {
        std::unique_lock lock(mutex_);
        helped_.wait(lock, [this] { return helpers_.load(std::memory_order_relaxed) == 0; });
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    int Row(int share) const { return static_cast<int>(std::int64_t{rows_} * share / shares_); }

    const std::function<void(int, int)>& work_;
    const int rows_, shares_;
    std::atomic<int> next_{0};
    std::atomic<int> helpers_{0}; // took an entry and have not finished
    std::mutex mutex_;
    std::condition_variable helped_;
    std::exception_ptr failure_;
};

} // namespace

int WorkerThreads()
{
    return oneThread ? 1 : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

OneThreadHere::OneThreadHere() : previous_(oneThread)
{
    oneThread = true;
}

OneThreadHere::~OneThreadHere()
{
    oneThread = previous_;
}

void ParallelRows(int rows, int shares, const std::function<void(int first, int end)>& work)
{
    if (rows < 1)
        return;
    shares = std::clamp(shares, 1, rows);
    if (shares == 1) {
        work(0, rows);
        return;
    }
    const auto job = std::make_shared<RowsJob>(work, rows, shares);
    ThreadPool& pool = ThreadPool::Current();
    try {
        pool.Hand(job, shares - 1);
    } catch (const std::bad_alloc&) {
        // No room to queue them all: those queued are shared, this thread
        // runs the rest.
    }
    job->Share();
    pool.Withdraw(job.get());
    job->Finish();
}

void KeepSpareThreads(int count)
{
    ThreadPool::Current().KeepIdle(count);
}

struct RunAside::Task : PoolWork {
    explicit Task(std::function<void()> work) : Work(std::move(work)), Done(Ended.get_future()) {}

    void Run() noexcept override
    {
        try {
            Work();
        } catch (...) {
            Failure = std::current_exception();
        }
    }

    void Released() override
    {
        if (Failure)
            Ended.set_exception(Failure);
        else
            Ended.set_value();
    }

    std::function<void()> Work;
    std::exception_ptr Failure;
    std::promise<void> Ended;
    std::future<void> Done;
};

RunAside::RunAside(std::function<void()> work) : RunAside(std::move(work), ThreadPool::Current()) {}

RunAside::RunAside(std::function<void()> work, ThreadPool& pool)
    : task_(std::make_shared<Task>(std::move(work))), pool_(&pool), hasThread_(pool_->Hand(task_))
{
}

RunAside::~RunAside()
{
    if (!task_)
        return;
    RunHereUnlessTaken();
    task_->Done.wait();
}

void RunAside::Wait()
{
    if (!task_)
        return;
    RunHereUnlessTaken();
    const std::shared_ptr<Task> task = std::move(task_);
    task->Done.get();
}

void RunAside::RunHereUnlessTaken()
{
    // Work with a thread of its own is taken soon; other work may wait for
    // one in vain.
    if (!hasThread_ && pool_->Withdraw(task_.get()) > 0) {
        task_->Run();
        task_->Released();
    }
}
