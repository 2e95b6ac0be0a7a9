#include "render/BaseLevelProgress.h"

#include <algorithm>
#include <cstring>

void BaseLevelProgress::Started(PictureSize original, PictureSize size, std::uint8_t* pixels)
{
    original_ = original;
    size_ = size;
    rowBytes_ = static_cast<std::size_t>(size.Width) * 4;
    // A ring smaller than a few rows would hardly ever be free again.
    ringRows_ = static_cast<int>(std::max<std::size_t>(16, ringBytes_ / std::max<std::size_t>(rowBytes_, 1)));
    if (ringBytes_ > 0 && size.Height > ringRows_) {
        ring_ = std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes_ * static_cast<std::size_t>(ringRows_));
        ringHolds_.assign(static_cast<std::size_t>(ringRows_), -1);
        rows_.assign(static_cast<std::size_t>(size.Height), nullptr);
    }
    final_.store(size.Height, std::memory_order_relaxed); // no row yet
    told_.store(size.Height);
    pixels_.store(pixels, std::memory_order_release);
}

std::uint8_t* BaseLevelProgress::RowToMake(int row)
{
    std::uint8_t* const inPlace = pixels_.load(std::memory_order_relaxed) + static_cast<std::size_t>(row) * rowBytes_;
    if (!ring_)
        return inPlace;
    std::unique_lock lock(making_);
    const auto place = static_cast<std::size_t>(row % ringRows_);
    // Rows are made top down: what the place holds is a higher row, final
    // and told to the reader already, free again once the reader sends it.
    const int held = ringHolds_[place];
    // Sequentially consistent with SentFrom: one of the two sees the other.
    const auto free = [&] { return held < 0 || held >= sentFrom_.load(); };
    // A reader that has not begun (its GL is still being made) may be long.
    if (!free() && sentFrom_.load() != INT_MAX && !readerGone_.load()) {
        waiting_.store(true);
        // The reader is told of rows in batches: it may not know yet of
        // the one this place waits for.
        if (notify_) {
            const int final = Final();
            if (told_.exchange(final) != final)
                notify_();
        }
        sent_.wait(lock, [&] { return free() || readerGone_.load(); });
        waiting_.store(false);
    }
    std::uint8_t* at = inPlace;
    if (free()) {
        ringHolds_[place] = row;
        at = ring_.get() + place * rowBytes_;
    }
    rows_[static_cast<std::size_t>(row)] = at;
    return at;
}

void BaseLevelProgress::FinalFrom(int row)
{
    if (watcher_)
        for (int r = final_.load(std::memory_order_relaxed) - 1; r >= row; --r)
            watcher_(r, Row(r));
    final_.store(row, std::memory_order_release);
    // A wake-up per run of rows would cost the reader more than the rows.
    if (notify_ && (row == 0 || told_.load() - row >= NoticeRows || waiting_.load())) {
        told_.store(row);
        notify_();
    }
}

void BaseLevelProgress::SentFrom(int row) const
{
    sentFrom_.store(row);
    if (waiting_.load()) {
        const std::lock_guard lock(making_);
        sent_.notify_all();
    }
}

bool BaseLevelProgress::RowsUnsent() const
{
    const int sent = sentFrom_.load();
    return sent != INT_MAX && Final() < sent;
}

void BaseLevelProgress::ReaderGone()
{
    readerGone_.store(true);
    const std::lock_guard lock(making_);
    sent_.notify_all();
}

const std::uint8_t* BaseLevelProgress::Row(int row) const
{
    if (!rows_.empty())
        return rows_[static_cast<std::size_t>(row)];
    return Pixels() + static_cast<std::size_t>(row) * rowBytes_;
}

void BaseLevelProgress::Gather()
{
    std::uint8_t* const pixels = pixels_.load(std::memory_order_acquire);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        std::uint8_t* const place = pixels + row * rowBytes_;
        if (rows_[row] && rows_[row] != place)
            std::memcpy(place, rows_[row], rowBytes_);
        rows_[row] = place;
    }
}
