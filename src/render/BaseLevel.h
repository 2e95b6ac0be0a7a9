#pragma once
// The base level of a cover texture, computed on the CPU exactly as the GLU
// mipmap builder computes it (same size choice, same box filter, same float
// arithmetic, same quirks), so only that one level has to reach the GL. The
// minification filter is GL_LINEAR: no other level is ever sampled.
//
// Buffers are RGBA, 4 bytes a pixel, rows without padding, bottom row first.
#include <cstdint>
#include <vector>

// Four floats, one per colour channel, as one SIMD register.
using Lanes = float __attribute__((vector_size(16)));

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
        const Lanes* Get(int row, const std::uint8_t* bytes, int width);
        // The same row as four planes of floats, one per channel, each
        // PlaneStride(width) apart and followed by zeros, for the AVX-512
        // loop, which reads 32 floats from any column it starts at.
        const float* GetPlanes(int row, const std::uint8_t* bytes, int width);
        static std::size_t PlaneStride(int width) { return static_cast<std::size_t>(width) + 32; }

    private:
        // Pixels from the first, two at a time with AVX2; returns how many.
        static int WidenPairs(const std::uint8_t* bytes, int width, Lanes* to);
        static void Planes(const std::uint8_t* bytes, int width, float* to);
        // The slot of `rows` holding `row` (`held`), or the oldest, now given to it.
        static int Place(int* rows, int& next, int row, bool& held);
        int row_[Slots] = {-1, -1, -1, -1};
        std::vector<Lanes> data_[Slots];
        int next_ = 0;
        int planeRow_[Slots] = {-1, -1, -1, -1};
        std::vector<float> planes_[Slots];
        int nextPlane_ = 0;
    };

    // Whether the AVX-512 loop is used where the processor has it (on by
    // default); off, the two-pixel AVX loop does the same work. For tests
    // that compare the two on one machine.
    static void UseAvx512(bool on);

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
    template <typename Careful>
    void ScaleNarrowRow(const Span& y, const Lanes* const* wide, int lastSafeColumn, const Careful& careful,
                        std::uint8_t* out) const;
    // The same with the AVX-512 loop over column groups.
    template <typename Careful>
    void ScaleNarrowRowInGroups(const Span& y, const std::uint8_t* const* rows, int lastSafeColumn,
                                const Careful& careful, std::uint8_t* out, RowCache& cache) const;
    void HalveRow(int row, const std::uint8_t* const* rows, std::uint8_t* out) const;

    PictureSize source_, target_;
    bool halve_ = false;
    float area_ = 0;
    struct NarrowColumn { // an output column reading one to three source columns
        Lanes Factors;    // the weights of its first, middle and last column, but for the row part
        int Low, Middle, High;
    };
    // ScaleNarrowRow's loop two pixels at a time with eight-lane AVX
    // arithmetic (the same operations, so the same results); returns how
    // many columns it did, from the first, stopping before any column
    // past `lastSafeColumn`.
    static std::size_t NarrowPairs(const NarrowColumn* columns, std::size_t count, int rows, const Lanes* low,
                                   const Lanes* middle, const Lanes* high, float lowPart, float highPart,
                                   float area, int lastSafeColumn, std::uint8_t* out);
    std::vector<NarrowColumn> narrowColumns_; // filled when no output column reads more than three
    // Up to 16 narrow columns whose source columns lie within 32 of the
    // first's: what one AVX-512 step takes, channel by channel, through
    // permutes of two registers of source floats.
    struct alignas(64) ColumnGroup {
        std::int32_t Index[3][16]; // first, middle and last source column, from Base
        float Factors[3][16];      // their factors, 0 in unused lanes
        int Base;                  // first source column read
        int First, Count;          // the output columns
        int LastHigh;              // the last source column read
    };
    std::vector<ColumnGroup> groups_; // with narrowColumns_, where AVX-512 is there
    void MakeColumnGroups();
    static void NarrowGroups(const ColumnGroup* groups, std::size_t count, int rows, const float* low,
                             const float* middle, const float* high, std::size_t stride, float lowPart,
                             float highPart, float area, std::uint8_t* out);
    bool narrowMiddleRow_ = false;            // and they may read three rows too
    std::vector<Span> xs_, ys_;
};

// The whole base level from a picture in memory into `out` (target size),
// the output rows shared out among `threads` threads. A picture already of
// the base level's size is copied as it is.
void ScaleToBaseLevel(const std::uint8_t* pixels, PictureSize source, std::uint8_t* out,
                      PictureSize target, int threads);
