#include "render/RowRing.h"

#include <algorithm>

RowRing::RowRing(const BaseLevelScaler& scaler, std::uint8_t* out, BaseLevelProgress* progress)
    : scaler_(scaler), out_(out), progress_(progress), height_(scaler.Source().Height),
      rowBytes_(static_cast<std::size_t>(scaler.Source().Width) * 4),
      ring_(std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes_ * Rows)),
      rows_(static_cast<std::size_t>(height_), nullptr)
{
    nextRow_ = scaler_.Target().Height - 1;
    oldestNeeded_ = height_ - 1 - scaler_.LastSourceRow(nextRow_);
}

std::uint8_t* RowRing::Slot(int top)
{
    if (top >= freeBelow_) {
        Publish(top);
        std::unique_lock lock(mutex_);
        decoderWaits_ = true;
        changed_.wait(lock, [&] { return top < oldestNeeded_ + Rows || stopped_; });
        decoderWaits_ = false;
        freeBelow_ = oldestNeeded_ + Rows;
    }
    return ring_.get() + static_cast<std::size_t>(top % Rows) * rowBytes_;
}

void RowRing::Decoded(int top, const std::uint8_t* row)
{
    rows_[static_cast<std::size_t>(height_ - 1 - top)] = row;
    if ((top + 1) % Batch == 0 || top + 1 == height_)
        Publish(top + 1);
}

void RowRing::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

void RowRing::Scale()
{
    const std::size_t outBytes = static_cast<std::size_t>(scaler_.Target().Width) * 4;
    BaseLevelScaler::RowCache cache;
    for (;;) {
        int top = 0, end = 0; // this run: output rows top down to end + 1
        {
            std::unique_lock lock(mutex_);
            const auto ready = [&] {
                return nextRow_ < 0 || stopped_ || height_ - 1 - scaler_.FirstSourceRow(nextRow_) < decoded_;
            };
            if (!ready()) {
                ++scalersWaiting_;
                changed_.wait(lock, ready);
                --scalersWaiting_;
            }
            if (nextRow_ < 0 || stopped_)
                return;
            top = nextRow_;
            end = top;
            while (end >= 0 && top - end < RunRows && height_ - 1 - scaler_.FirstSourceRow(end) < decoded_)
                --end;
            nextRow_ = end;
            running_.push_back(top);
        }
        for (int row = top; row > end; --row)
            scaler_.ScaleRow(row, rows_.data(),
                             progress_ ? progress_->RowToMake(row) : out_ + static_cast<std::size_t>(row) * outBytes,
                             cache);
        bool wake = false;
        {
            const std::lock_guard lock(mutex_);
            running_.erase(std::find(running_.begin(), running_.end(), top));
            // The oldest row still wanted is that of the highest output
            // row not yet done.
            int highest = nextRow_;
            for (const int r : running_)
                highest = std::max(highest, r);
            if (highest >= 0)
                oldestNeeded_ = height_ - 1 - scaler_.LastSourceRow(highest);
            if (progress_) // every row above the highest unfinished one is done
                progress_->FinalFrom(highest + 1);
            wake = decoderWaits_;
        }
        if (wake)
            changed_.notify_all();
    }
}

void RowRing::Publish(int decoded)
{
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        decoded_ = std::max(decoded_, decoded);
        wake = scalersWaiting_ > 0;
    }
    if (wake)
        changed_.notify_all();
}
