#pragma once
// A JPEG cover decoded straight into its texture base level: rows are
// rescaled on a second thread while later rows are still being decoded, so
// the two cores share the work and the full-size picture never exists in
// memory at once.
#include "formats/ImageCodec.h"
#include "render/BaseLevel.h"

#include <atomic>
#include <memory>

struct DecodedBaseLevel {
    PictureSize Original;                // the picture as the file stores it
    PictureSize Base;                    // the base level in Pixels
    std::unique_ptr<std::uint8_t[]> Pixels; // RGBA, bottom row first, alpha 255
};

// Which rows of a base level still being made are final, for a reader on
// another thread (the GL's, which can send them on meanwhile). Rows are
// made from the top of the picture down.
class BaseLevelProgress {
public:
    // By the maker, once, when the buffer exists.
    void Started(PictureSize size, const std::uint8_t* pixels);
    // By the maker: rows `row` (bottom-first index) up to the top are final.
    void FinalFrom(int row) { final_.store(row, std::memory_order_release); }

    // The buffer, or null before it exists; its size.
    const std::uint8_t* Pixels() const { return pixels_.load(std::memory_order_acquire); }
    PictureSize Size() const { return size_; } // once Pixels() is not null
    // The lowest final row: rows from it to the top may be read.
    int Final() const { return final_.load(std::memory_order_acquire); }

private:
    PictureSize size_;
    std::atomic<const std::uint8_t*> pixels_{nullptr};
    std::atomic<int> final_{0};
};

// Same pixels as DecodeJpeg followed by ScaleToBaseLevel, and the same
// errors (ImageError with DecodeJpeg's texts) for damaged files. With a
// progress, rows are reported as they become final (only while the rows
// stream; otherwise the picture is only there when this returns).
DecodedBaseLevel DecodeJpegBaseLevel(const QString& fileName, int maxTextureSize,
                                     BaseLevelProgress* progress = nullptr);
