#pragma once
// The base level of a cover texture, computed on the CPU exactly as the GLU
// mipmap builder computes it (same size choice, same box filter, same float
// arithmetic, same quirks), so only that one level has to reach the GL. The
// minification filter is GL_LINEAR: no other level is ever sampled.
//
// Buffers are RGBA, 4 bytes a pixel, rows without padding, bottom row first.
#include "render/BaseLevelSimd.h"

#include <cstdint>
#include <vector>

struct PictureSize {
    int Width = 0;
    int Height = 0;
    friend bool operator==(PictureSize, PictureSize) = default;
};

// GLU's power of two for a side: the power below, unless the two leading
// bits are both set (3 -> 4, 6 -> 8, 6000 -> 4096, 4000 -> 4096).
int GluNearestPower(int side);

// The base level's size: both sides to GLU's powers of two, then both halved
// together until `fits` them (a GL proxy query, or the limit below).
template <typename Fits>
PictureSize BaseLevelSize(int width, int height, Fits fits)
{
    int w = GluNearestPower(width), h = GluNearestPower(height);
    while (!(w == 1 && h == 1) && !fits(w, h)) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    return {w, h};
}
PictureSize BaseLevelSize(int width, int height, int maxTextureSize);

// The largest texture side of the GL the covers are meant for: set by each
// context once it exists, so covers decoded later (on any thread) are scaled
// for it. Before any context, the largest picture side we accept.
int TextureSizeLimit();
void SetTextureSizeLimit(int side);

// Rescales a source picture to the base level, row by row. Each output row
// depends only on a few source rows, known up front, so rows can be computed
// in any order and on any thread, and a source can arrive as a stream.
class BaseLevelScaler {
public:
    BaseLevelScaler(PictureSize source, PictureSize target);

    PictureSize Source() const { return source_; }
    PictureSize Target() const { return target_; }

    // The source rows output row `row` reads, inclusive (bottom-first index).
    int FirstSourceRow(int row) const;
    int LastSourceRow(int row) const;

    // Source rows turned into floats once and kept for the next output rows,
    // which read most of them again. One per thread and scaler.
    class RowCache {
    public:
        static constexpr int Slots = 4;
        // The row as 4 * width floats, channel by channel.
        const float* Get(int row, const std::uint8_t* bytes, int width);
        // The same row as four planes of floats, one per channel, each
        // PlaneStride apart and followed by `padding` zeros, for the vector
        // loop, which reads that far past any column it starts at.
        const float* GetPlanes(int row, const std::uint8_t* bytes, int width, int padding);
        static std::size_t PlaneStride(int width, int padding)
        {
            return static_cast<std::size_t>(width) + static_cast<std::size_t>(padding);
        }

    private:
        // The slot of `rows` holding `row` (`held`), or the oldest, now given to it.
        static int Place(int* rows, int& next, int row, bool& held);
        int row_[Slots] = {-1, -1, -1, -1};
        std::vector<float> data_[Slots];
        int next_ = 0;
        int planeRow_[Slots] = {-1, -1, -1, -1};
        std::vector<float> planes_[Slots];
        int nextPlane_ = 0;
    };

    // Computes output row `row` into `out` (Target().Width x 4 bytes).
    // `rows[r]` points at source row r; only rows FirstSourceRow(row) ..
    // LastSourceRow(row) are read.
    void ScaleRow(int row, const std::uint8_t* const* rows, std::uint8_t* out, RowCache& cache) const;

    struct Span { // GLU's footprint of one output pixel along one axis
        int Low;
        float LowFrac;
        int High;
        float HighFrac;
    };

private:
    static std::vector<Span> Spans(int in, int out, bool clampHigh);
    // Output columns reading at most three source columns, in groups for
    // the vector loop; empty when some column reads more.
    void MakeColumnGroups();
    template <typename Careful>
    void ScaleNarrowRow(const Span& y, const std::uint8_t* const* rows, int lastSafeColumn, const Careful& careful,
                        std::uint8_t* out, RowCache& cache) const;
    void HalveRow(int row, const std::uint8_t* const* rows, std::uint8_t* out) const;

    PictureSize source_, target_;
    bool halve_ = false;
    float area_ = 0;
    baselevel::ColumnGroups groups_;
    bool narrowMiddleRow_ = false; // and they may read three rows too
    std::vector<Span> xs_, ys_;
};

// The whole base level from a picture in memory into `out` (target size),
// the output rows shared out among `threads` threads. A picture already of
// the base level's size is copied as it is.
void ScaleToBaseLevel(const std::uint8_t* pixels, PictureSize source, std::uint8_t* out,
                      PictureSize target, int threads);
