#include "render/CoverPipeline.h"

#include "concurrency/BackgroundWork.h"
#include "concurrency/ThreadPool.h"
#include "formats/ImageCodec.h"

#include <utility>

void CoverNotice::Notify()
{
    {
        const std::lock_guard lock(mutex_);
        ++count_;
    }
    moved_.notify_all();
}

unsigned long CoverNotice::Count() const
{
    const std::lock_guard lock(mutex_);
    return count_;
}

void CoverNotice::WaitPast(unsigned long seen) const
{
    std::unique_lock lock(mutex_);
    moved_.wait(lock, [&] { return count_ != seen; });
}

CoverRead::CoverRead(Request request, Notices notices, CoverTurns* turns)
{
    if (request.RingBytes > 0)
        progress_.RecycleRows(request.RingBytes);
    if (notices.Rows)
        progress_.NotifyRows(std::move(notices.Rows));
    if (request.OnThisThread) {
        Read(request);
        done_.store(true, std::memory_order_release);
        if (notices.Done)
            notices.Done();
        return;
    }
    ThreadPool& pool = request.Background ? BackgroundThreadPool() : ThreadPool::Current();
    run_.emplace(
        [this, request = std::move(request), done = std::move(notices.Done), turns] {
            if (turns)
                turns->Take();
            Read(request);
            if (turns)
                turns->Give();
            done_.store(true, std::memory_order_release);
            if (done)
                done(); // last: whoever it tells may let this read go
        },
        pool);
    // Its reader waits for its notices: without a thread beside it, the
    // read is done here and now.
    if (!run_->HasThread())
        run_->Wait();
}

CoverRead::~CoverRead() { run_.reset(); }

void CoverRead::Read(const Request& request)
{
    try {
        if (progress_.Cancelled())
            throw FileFailure(request.FileName,
                              QStringLiteral("reading was stopped: the picture is no longer wanted"));
        cover_ = DecodeCoverImage(request.FileName, request.PreviewSize, request.MaxTextureSize, &progress_);
    } catch (...) {
        failure_ = std::current_exception();
    }
}

void CoverRead::Wait()
{
    if (run_)
        run_->Wait();
}

std::optional<DecodedCover> CoverRead::Take()
{
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
    return std::exchange(cover_, std::nullopt);
}
