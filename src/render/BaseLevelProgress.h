#pragma once
// Which rows of a base level still being made are final, for a reader on
// another thread (the GL's, which can send them on meanwhile). Rows are
// made from the top of the picture down.
//
// A reader that sends every row on and never reads it again may ask for the
// rows to be made in a small ring instead of their places in the buffer:
// ring memory is reused once the reader has sent its rows, so a cover costs
// a few megabytes of fresh memory instead of its whole size. A row whose
// ring place is still unsent waits for a reader that is sending (it is told
// of every final row, and sends them), or goes to its place in the buffer
// when the reader has not begun: the maker never waits for a reader that
// has not begun or has stopped.
#include "render/BaseLevel.h"

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class BaseLevelProgress {
public:
    // By the reader, before the maker starts: the ring's size.
    void RecycleRows(std::size_t ringBytes) { ringBytes_ = ringBytes; }

    // By a reader, before the maker starts (or cleared once it is done):
    // sees each row as it becomes final, on the maker's thread, before any
    // reader may send it on and its ring place be reused.
    void WatchRows(std::function<void(int row, const std::uint8_t* pixels)> watcher) { watcher_ = std::move(watcher); }
    // By the reader, before the maker starts: called on the maker's thread
    // when more rows are final: every few dozen rows, for the last row, and
    // before the maker waits for a ring place. A reader that sends rows must
    // then send them all: the maker may be waiting for their ring places.
    void NotifyRows(std::function<void()> notify) { notify_ = std::move(notify); }

    // By the maker, once, when the buffer exists: the picture's size as the
    // file stores it, and the base level's.
    void Started(PictureSize original, PictureSize size, std::uint8_t* pixels);
    // By the maker: where to make row `row` (bottom-first index).
    std::uint8_t* RowToMake(int row);
    // By the maker: rows `row` up to the top are final.
    void FinalFrom(int row);

    // The buffer, or null before it exists; its size, and the picture's.
    const std::uint8_t* Pixels() const { return pixels_.load(std::memory_order_acquire); }
    PictureSize Size() const { return size_; } // once Pixels() is not null
    PictureSize Original() const { return original_; }
    // The lowest final row: rows from it to the top may be read.
    int Final() const { return final_.load(std::memory_order_acquire); }
    // Where a final row is: in the ring, or at its place in the buffer.
    const std::uint8_t* Row(int row) const;

    // By the reader: rows `row` up to the top have been sent on, so their
    // ring places may be reused.
    void SentFrom(int row) const;
    // True when the reader has begun sending and final rows wait for it.
    bool RowsUnsent() const;
    // By the reader when it stops following before the maker is done (an
    // error elsewhere): the maker no longer waits for ring places.
    void ReaderGone();
    // By a reader that no longer wants the picture (another was chosen, the
    // window closes): the decoder stops at its next row, and the decode
    // fails with an ImageError saying so, instead of running to its end.
    void Cancel()
    {
        cancelled_.store(true, std::memory_order_relaxed);
        ReaderGone();
    }
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    // By a reader that sent nothing, once the maker is done: copies the
    // rows in the ring to their places, so the buffer holds the whole picture.
    void Gather();

private:
    PictureSize original_;
    PictureSize size_;
    std::size_t rowBytes_ = 0;
    std::function<void(int, const std::uint8_t*)> watcher_;
    std::function<void()> notify_;
    std::atomic<std::uint8_t*> pixels_{nullptr};
    static constexpr int NoticeRows = 32;
    std::atomic<int> final_{0};
    std::atomic<int> told_{INT_MAX}; // the lowest final row the reader was told of
    mutable std::atomic<int> sentFrom_{INT_MAX}; // the reader's side of a const progress
    std::size_t ringBytes_ = 0;
    int ringRows_ = 0;
    std::unique_ptr<std::uint8_t[]> ring_;
    std::vector<int> ringHolds_;           // the row each ring place holds, or -1
    std::vector<std::uint8_t*> rows_;      // where each row was made, with a ring
    mutable std::mutex making_;            // several scaling threads may ask at once
    mutable std::condition_variable sent_; // a maker waiting for its ring to be sent
    mutable std::atomic<bool> waiting_{false};
    std::atomic<bool> readerGone_{false};
    std::atomic<bool> cancelled_{false};
};
