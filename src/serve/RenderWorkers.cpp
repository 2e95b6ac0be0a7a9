#include "serve/RenderWorkers.h"

#include "engine/RenderSession.h"
#include "concurrency/ParallelWork.h"
#include "serve/MemoryAdmission.h"

std::optional<RenderAnswer> RenderTicket::Wait(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(mutex_);
    if (!done_.wait_until(lock, deadline, [this] { return answer_.has_value(); })) {
        abandoned_ = true;
        return std::nullopt;
    }
    return std::move(answer_);
}

RenderWorkers::RenderWorkers(int workers, int queueCapacity, Work work, std::function<void(RenderSession&)> warmUp)
    : capacity_(queueCapacity), workers_(workers), work_(std::move(work))
{
    threads_.reserve(static_cast<std::size_t>(workers));
    for (int i = 0; i < workers; ++i)
        threads_.emplace_back([this, warmUp] { Run(warmUp); });
}

RenderWorkers::~RenderWorkers() { Stop(); }

std::shared_ptr<RenderTicket> RenderWorkers::Submit(RenderJob job)
{
    const std::lock_guard lock(mutex_);
    if (stopping_ || static_cast<int>(queue_.size()) >= capacity_)
        return nullptr;
    auto ticket = std::make_shared<RenderTicket>(std::move(job));
    queue_.push_back(ticket);
    wake_.notify_one();
    return ticket;
}

bool RenderWorkers::Ready() const
{
    const std::lock_guard lock(mutex_);
    return !stopping_ && ready_ == workers_;
}

int RenderWorkers::Queued() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size());
}

int RenderWorkers::Busy() const
{
    const std::lock_guard lock(mutex_);
    return busy_;
}

void RenderWorkers::SetMemoryBudget(std::int64_t bytes)
{
    const std::lock_guard lock(mutex_);
    budget_ = bytes;
}

std::int64_t RenderWorkers::MemoryInUse() const
{
    const std::lock_guard lock(mutex_);
    return inUse_;
}

bool RenderWorkers::FrontMayStart() const
{
    RenderTicket& front = *queue_.front();
    {
        const std::lock_guard ticketLock(front.mutex_);
        if (front.abandoned_)
            return true;
    }
    return budget_ <= 0 || Admit(front.job_.PeakBytes, inUse_, budget_) != Admission::Wait;
}

void RenderWorkers::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable())
            t.join();
    threads_.clear();
}

void RenderWorkers::Run(const std::function<void(RenderSession&)>& warmUp)
{
    // A worker stands for one core: its covers, drawing and encoding stay on
    // its thread, as a batch worker's do.
    const OneThreadHere oneThread;
    RenderSession session;
    bool warm = true;
    if (warmUp) {
        try {
            warmUp(session);
        } catch (...) {
            warm = false;
        }
    }
    std::unique_lock lock(mutex_);
    if (warm)
        ++ready_;
    for (;;) {
        // The queue keeps its order: a large job is not passed by the small
        // ones behind it, so it never waits without end.
        wake_.wait(lock, [this] { return queue_.empty() ? stopping_ : FrontMayStart(); });
        if (queue_.empty())
            break; // stopping, and nothing left that was taken in
        std::shared_ptr<RenderTicket> ticket = std::move(queue_.front());
        queue_.pop_front();
        {
            const std::lock_guard ticketLock(ticket->mutex_);
            if (ticket->abandoned_)
                continue; // its client has had its answer
        }
        ++busy_;
        const std::int64_t held = ticket->job_.PeakBytes;
        inUse_ += held;
        lock.unlock();
        RenderAnswer answer;
        try {
            answer = work_(session, ticket->job_);
        } catch (...) {
            answer.Status = 500;
        }
        ticket->job_.Covers = {}; // the store may let them go
        {
            const std::lock_guard ticketLock(ticket->mutex_);
            ticket->answer_ = std::move(answer);
        }
        ticket->done_.notify_all();
        lock.lock();
        --busy_;
        inUse_ -= held;
        if (held > 0)
            wake_.notify_all(); // the front job may fit now
    }
}
