#pragma once
// The rows handed from a decoding thread to the threads that rescale them
// into a base level. Source rows are counted from the top as they are
// decoded; the scaler reads them bottom first. Both sides hand over rows in
// batches: a wake-up per row would cost more than the rows. The decoder
// waits only for the scaler to let go of ring places, the scalers only for
// rows: both on a condition, never on a clock.
#include "render/BaseLevel.h"
#include "render/BaseLevelProgress.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class RowRing {
public:
    // Rows kept between the decoder and the scaler, and the most source
    // rows one output row may read for the pair to stream through them.
    static constexpr int Rows = 128;
    static constexpr int MaxRowsPerOutputRow = 16;

    // Output rows go to `out`, or where `progress` says when there is one.
    RowRing(const BaseLevelScaler& scaler, std::uint8_t* out, BaseLevelProgress* progress);

    // By the decoder: room for source row `top`, once the scaler has let go
    // of what was there.
    std::uint8_t* Slot(int top);
    // By the decoder: source row `top` is in its slot.
    void Decoded(int top, const std::uint8_t* row);
    // Ends the scalers early (the decoder failed) or lets them finish.
    void Stop();

    // A scaling thread: output rows from the top down, each as soon as the
    // source rows it reads are in. Several threads share the rows in short
    // runs, so a core the decoder leaves free is used.
    void Scale();

private:
    static constexpr int Batch = 16;
    static constexpr int RunRows = 8;

    void Publish(int decoded);

    const BaseLevelScaler& scaler_;
    std::uint8_t* out_;
    BaseLevelProgress* progress_;
    int height_;
    std::size_t rowBytes_;
    std::unique_ptr<std::uint8_t[]> ring_; // not zeroed: the decoder writes each row before it is read
    std::vector<const std::uint8_t*> rows_; // written before the rows are published
    int freeBelow_ = 0;                     // the decoder's own view of the room
    std::mutex mutex_;
    std::condition_variable changed_;
    int decoded_ = 0;
    int oldestNeeded_ = 0;
    bool decoderWaits_ = false;
    int scalersWaiting_ = 0;
    int nextRow_ = 0;          // the next output row to hand out
    std::vector<int> running_; // the first rows of the runs being scaled
    bool stopped_ = false;
};
