#pragma once
// The one way covers are read, for the window and the command line alike:
// the file decoded and made into its texture's base level on a worker
// thread (a JPEG's rows streamed through a ring as they are made, so the GL
// can take them meanwhile), with its thumbnail, handed back texture-ready.
// What happens is told by notifications on the reading threads; nothing
// polls or waits on a clock.
#include "render/CoverImage.h"
#include "concurrency/ParallelWork.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <semaphore>

// How many reads may run at once; more may be allowed later (the command
// line lets a second cover start once its GL is there).
class CoverTurns {
public:
    explicit CoverTurns(int start) : free_(start) {}
    void Add() { free_.release(); }
    void Take() { free_.acquire(); }
    void Give() { free_.release(); }

private:
    std::counting_semaphore<8> free_;
};

// A count that waiters see move: for a thread that follows several reads.
class CoverNotice {
public:
    void Notify();
    unsigned long Count() const;
    // Returns once the count has moved past `seen`.
    void WaitPast(unsigned long seen) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable moved_;
    unsigned long count_ = 0;
};

class CoverRead {
public:
    struct Request {
        QString FileName;
        QSize PreviewSize;                      // empty: no thumbnail
        int MaxTextureSize = TextureSizeLimit();
        std::size_t RingBytes = 0;              // rows made in a ring (BaseLevelProgress::RecycleRows)
        bool OnThisThread = false;              // read in the constructor, whole
        // On BackgroundThreadPool: the window's view keeps the cores it needs
        // while the cover is read.
        bool Background = false;
    };
    // Called on the reading threads: `Rows` each time more rows of a
    // streamed picture are final (the progress has them); `Done` once, as
    // the read's last step, when Take has its result.
    struct Notices {
        std::function<void()> Rows;
        std::function<void()> Done;
    };

    // Starts the read on a spare thread (RunAside), after a turn when
    // `turns` is given (kept until it is done); reads here when no thread
    // can be had.
    CoverRead(Request request, Notices notices, CoverTurns* turns = nullptr);
    ~CoverRead(); // waits for the read: Cancel first to have it end early
    CoverRead(const CoverRead&) = delete;
    CoverRead& operator=(const CoverRead&) = delete;

    BaseLevelProgress& Progress() { return progress_; }
    const BaseLevelProgress& Progress() const { return progress_; }
    // No longer wanted: a streamed JPEG stops at its next row, a read not
    // begun does not begin; either ends with an ImageError saying so.
    void Cancel() { progress_.Cancel(); }
    bool Done() const { return done_.load(std::memory_order_acquire); }
    void Wait();
    // Once done: the cover, or nothing for a missing file or another
    // extension; what the read threw (an ImageError for a damaged file)
    // is thrown here. Once.
    std::optional<DecodedCover> Take();

private:
    void Read(const Request& request);

    BaseLevelProgress progress_;
    std::optional<DecodedCover> cover_;
    std::exception_ptr failure_;
    std::atomic<bool> done_{false};
    std::optional<RunAside> run_; // last: the read ends before the rest goes
};
