#include "render/BaseLevel.h"

#include "formats/ImageCodec.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

// Every float operation below happens in the order and precision of the GLU
// builder, one lane per colour channel; this file is compiled without
// contraction into fused multiply-adds, which would round differently.

namespace {

std::atomic<int> textureSizeLimit{static_cast<int>(MaxImageSide)};
std::atomic<bool> avx512Wanted{true};

bool HasAvx512()
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool has = __builtin_cpu_supports("avx512f");
    return has;
#else
    return false;
#endif
}

// Source pixel reader with GLU's addressing: a column past the row's end
// runs on into the next row, as a flat pointer would; nothing past the last
// pixel is read.
class SourceReader {
public:
    SourceReader(const std::uint8_t* const* rows, PictureSize size) : rows_(rows), size_(size) {}

    Lanes At(int row, int x) const
    {
        if (x >= size_.Width) {
            row += x / size_.Width;
            x %= size_.Width;
        }
        if (row >= size_.Height) {
            row = size_.Height - 1;
            x = size_.Width - 1;
        }
        return Widen(rows_[row] + static_cast<std::size_t>(x) * 4);
    }

    // Four channel bytes as four floats.
    static Lanes Widen(const std::uint8_t* p)
    {
#if defined(__SSE2__)
        std::int32_t word;
        std::memcpy(&word, p, 4);
        const __m128i zero = _mm_setzero_si128();
        const __m128i wide = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
        return reinterpret_cast<Lanes>(_mm_cvtepi32_ps(wide));
#else
        return Lanes{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]),
                     static_cast<float>(p[3])};
#endif
    }

private:
    const std::uint8_t* const* rows_;
    PictureSize size_;
};

// Truncated to whole numbers, as C's float-to-byte conversion does; the
// values lie within 0..255, so saturating on the way down changes nothing.
void StoreBytes(Lanes value, std::uint8_t* out)
{
#if defined(__SSE2__)
    const __m128i whole = _mm_cvttps_epi32(reinterpret_cast<__m128>(value));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(whole, whole), whole);
    const std::int32_t word = _mm_cvtsi128_si32(bytes);
    std::memcpy(out, &word, 4);
#else
    for (int c = 0; c < 4; ++c)
        out[c] = static_cast<std::uint8_t>(static_cast<int>(value[c]));
#endif
}

} // namespace

int GluNearestPower(int side)
{
    if (side <= 0)
        return 1;
    auto value = static_cast<unsigned>(side);
    int power = 1;
    for (;;) {
        if (value == 1)
            return power;
        if (value == 3)
            return power * 4;
        value >>= 1;
        power *= 2;
    }
}

PictureSize BaseLevelSize(int width, int height, int maxTextureSize)
{
    return BaseLevelSize(width, height, [maxTextureSize](int w, int h) {
        return w <= maxTextureSize && h <= maxTextureSize;
    });
}

int TextureSizeLimit() { return textureSizeLimit.load(std::memory_order_relaxed); }

void SetTextureSizeLimit(int side)
{
    if (side > 0)
        textureSizeLimit.store(side, std::memory_order_relaxed);
}

BaseLevelScaler::BaseLevelScaler(PictureSize source, PictureSize target)
    : source_(source), target_(target)
{
    halve_ = source.Width == target.Width * 2 && source.Height == target.Height * 2;
    if (halve_)
        return;
    const float convx = static_cast<float>(source.Width) / target.Width;
    const float convy = static_cast<float>(source.Height) / target.Height;
    area_ = convx * convy;
    xs_ = Spans(source.Width, target.Width, false);
    ys_ = Spans(source.Height, target.Height, true);
    // With a row between the first and last, GLU adds that row's terms
    // after both; a column inside one source column orders them otherwise.
    narrowMiddleRow_ = std::all_of(xs_.begin(), xs_.end(), [](const Span& x) { return x.High > x.Low; });
    if (std::all_of(xs_.begin(), xs_.end(), [](const Span& x) { return x.High - x.Low <= 2; }))
        for (const Span& x : xs_) {
            switch (x.High - x.Low) {
            case 0: // inside one column: the part of it covered
                narrowColumns_.push_back({Lanes{x.HighFrac - x.LowFrac, 0, 0, 0}, x.Low, x.Low, x.Low});
                break;
            case 1: // the end of one column and the start of the next
                narrowColumns_.push_back({Lanes{1 - x.LowFrac, 0, x.HighFrac, 0}, x.Low, x.High, x.High});
                break;
            default: // and a whole column between
                narrowColumns_.push_back({Lanes{1 - x.LowFrac, 1, x.HighFrac, 0}, x.Low, x.Low + 1, x.High});
            }
        }
    if (!narrowColumns_.empty() && HasAvx512())
        MakeColumnGroups();
}

void BaseLevelScaler::UseAvx512(bool on) { avx512Wanted.store(on, std::memory_order_relaxed); }

void BaseLevelScaler::MakeColumnGroups()
{
    const std::size_t count = narrowColumns_.size();
    for (std::size_t j = 0; j < count;) {
        ColumnGroup& group = groups_.emplace_back();
        group = {};
        group.Base = narrowColumns_[j].Low;
        group.First = static_cast<int>(j);
        for (int lane = 0; lane < 16 && j < count && narrowColumns_[j].High - group.Base < 32; ++lane, ++j) {
            const NarrowColumn& c = narrowColumns_[j];
            const int columns[3] = {c.Low, c.Middle, c.High};
            for (int k = 0; k < 3; ++k) {
                group.Index[k][lane] = columns[k] - group.Base;
                group.Factors[k][lane] = c.Factors[k];
            }
            group.LastHigh = c.High;
            ++group.Count;
        }
    }
}

std::vector<BaseLevelScaler::Span> BaseLevelScaler::Spans(int in, int out, bool clampHigh)
{
    const float conv = static_cast<float>(in) / out;
    const int convInt = static_cast<int>(std::floor(conv));
    const float convFrac = conv - convInt;
    std::vector<Span> spans(static_cast<std::size_t>(out));
    int low = 0, high = convInt;
    float lowFrac = 0, highFrac = convFrac;
    for (Span& span : spans) {
        // Only rows are kept inside the picture; a column one past the end
        // is read with weight 0 (and may be read with weight by GLU's drift).
        if (clampHigh && high >= in)
            high = in - 1;
        span = {low, lowFrac, high, highFrac};
        low = high;
        lowFrac = highFrac;
        high += convInt;
        highFrac += convFrac;
        if (highFrac > 1) {
            highFrac -= 1.0f;
            ++high;
        }
    }
    return spans;
}

int BaseLevelScaler::FirstSourceRow(int row) const
{
    return halve_ ? row * 2 : ys_[static_cast<std::size_t>(row)].Low;
}

int BaseLevelScaler::LastSourceRow(int row) const
{
    if (halve_)
        return row * 2 + 1;
    // One more: a read past a row's end lands in the next one.
    return std::min(source_.Height - 1, ys_[static_cast<std::size_t>(row)].High + 1);
}

void BaseLevelScaler::HalveRow(int row, const std::uint8_t* const* rows, std::uint8_t* out) const
{
    const std::uint8_t* a = rows[row * 2];
    const std::uint8_t* b = rows[row * 2 + 1];
    for (int x = 0; x < target_.Width; ++x, a += 8, b += 8, out += 4)
        for (int c = 0; c < 4; ++c)
            out[c] = static_cast<std::uint8_t>((a[c] + a[c + 4] + b[c] + b[c + 4] + 2) / 4);
}

namespace {

// One output pixel: GLU's box filter over the footprint, every product and
// sum in GLU's order. `at(row, column)` gives a source pixel as floats.
template <typename Fetch>
Lanes Footprint(const BaseLevelScaler::Span& y, const BaseLevelScaler::Span& x, const Fetch& at)
{
    Lanes total = {0, 0, 0, 0};
    if (y.High > y.Low && x.High > x.Low) {
        // First row, then last row, then the first and last columns.
        float yPart = 1 - y.LowFrac;
        total += at(y.Low, x.Low) * (yPart * (1 - x.LowFrac));
        for (int l = x.Low + 1; l < x.High; ++l)
            total += at(y.Low, l) * yPart;
        total += at(y.Low, x.High) * (yPart * x.HighFrac);
        yPart = y.HighFrac;
        total += at(y.High, x.Low) * (yPart * (1 - x.LowFrac));
        for (int l = x.Low + 1; l < x.High; ++l)
            total += at(y.High, l) * yPart;
        total += at(y.High, x.High) * (yPart * x.HighFrac);
        // GLU's column pointers move one pixel right per row here.
        for (int m = y.Low + 1, drift = 0; m < y.High; ++m, ++drift)
            total += at(m, x.Low + drift) * (1 - x.LowFrac) + at(m, x.High + drift) * x.HighFrac;
    } else if (y.High > y.Low) {
        const float xPart = x.HighFrac - x.LowFrac;
        total += at(y.Low, x.Low) * ((1 - y.LowFrac) * xPart);
        for (int m = y.Low + 1; m < y.High; ++m)
            total += at(m, x.Low) * xPart;
        total += at(y.High, x.Low) * (xPart * y.HighFrac);
    } else if (x.High > x.Low) {
        const float yPart = y.HighFrac - y.LowFrac;
        total += at(y.Low, x.Low) * ((1 - x.LowFrac) * yPart);
        for (int l = x.Low + 1; l < x.High; ++l)
            total += at(y.Low, l) * yPart;
        total += at(y.Low, x.High) * (yPart * x.HighFrac);
    } else {
        total += at(y.Low, x.Low) * ((y.HighFrac - y.LowFrac) * (x.HighFrac - x.LowFrac));
    }
    for (int m = y.Low + 1; m < y.High; ++m)
        for (int l = x.Low + 1; l < x.High; ++l)
            total += at(m, l);
    return total;
}

} // namespace

int BaseLevelScaler::RowCache::Place(int* rows, int& next, int row, bool& held)
{
    for (int i = 0; i < Slots; ++i)
        if (rows[i] == row) {
            held = true;
            return i;
        }
    const int i = next; // the oldest
    next = (next + 1) % Slots;
    rows[i] = row;
    held = false;
    return i;
}

const Lanes* BaseLevelScaler::RowCache::Get(int row, const std::uint8_t* bytes, int width)
{
    bool held = false;
    const int i = Place(row_, next_, row, held);
    if (held)
        return data_[i].data();
    data_[i].resize(static_cast<std::size_t>(width));
    Lanes* to = data_[i].data();
    int x = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        x = WidenPairs(bytes, width, to);
#endif
    for (; x < width; ++x)
        to[x] = SourceReader::Widen(bytes + static_cast<std::size_t>(x) * 4);
    return to;
}

const float* BaseLevelScaler::RowCache::GetPlanes(int row, const std::uint8_t* bytes, int width)
{
    bool held = false;
    const int i = Place(planeRow_, nextPlane_, row, held);
    if (held)
        return planes_[i].data();
    planes_[i].resize(PlaneStride(width) * 4); // the zeros past each plane's end stay
    Planes(bytes, width, planes_[i].data());
    return planes_[i].data();
}

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12's AVX-512 headers start results from deliberately undefined
// registers, which its own warning then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
__attribute__((target("avx512f"))) void BaseLevelScaler::RowCache::Planes(const std::uint8_t* bytes, int width,
                                                                           float* to)
{
    const std::size_t stride = PlaneStride(width);
    const __m512i byte = _mm512_set1_epi32(0xFF);
    for (int x = 0; x < width; x += 16) {
        // The last step reads only the pixels there are and writes zeros
        // for the rest, into the planes' padding.
        const __mmask16 present = width - x >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (width - x)) - 1);
        const __m512i pixels = _mm512_maskz_loadu_epi32(present, bytes + static_cast<std::size_t>(x) * 4);
        for (int c = 0; c < 4; ++c)
            _mm512_storeu_ps(to + c * stride + x,
                             _mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(pixels, 8 * c), byte)));
    }
}
#pragma GCC diagnostic pop
#else
void BaseLevelScaler::RowCache::Planes(const std::uint8_t*, int, float*) {}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// A quarter of a large cover's rescaling went into this conversion one pixel
// at a time; eight channels a step is the same exact conversion.
__attribute__((target("avx2"))) int BaseLevelScaler::RowCache::WidenPairs(const std::uint8_t* bytes, int width,
                                                                           Lanes* to)
{
    int x = 0;
    for (; x + 1 < width; x += 2) {
        const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + static_cast<std::size_t>(x) * 4));
        _mm256_storeu_ps(reinterpret_cast<float*>(to + x), _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(pair)));
    }
    return x;
}
#endif

void BaseLevelScaler::ScaleRow(int row, const std::uint8_t* const* rows, std::uint8_t* out, RowCache& cache) const
{
    if (halve_) {
        HalveRow(row, rows, out);
        return;
    }
    const SourceReader src(rows, source_);
    const Span& y = ys_[static_cast<std::size_t>(row)];
    const auto careful = [&src](int r, int c) { return src.At(r, c); };
    // The footprint's rows as floats, when they are few; columns past a
    // row's end still go the careful way.
    const int spanRows = y.High - y.Low + 1;
    const Lanes* wide[RowCache::Slots] = {};
    const bool widened = spanRows <= RowCache::Slots;
    int lastSafeColumn = -1;
    if (widened)
        lastSafeColumn = source_.Width - 1 - std::max(0, spanRows - 2); // room for the drift
    const bool narrow =
        widened && !narrowColumns_.empty() && (spanRows <= 2 || (spanRows == 3 && narrowMiddleRow_));
    if (narrow && !groups_.empty() && avx512Wanted.load(std::memory_order_relaxed)) {
        ScaleNarrowRowInGroups(y, rows, lastSafeColumn, careful, out, cache);
        return;
    }
    if (widened)
        for (int m = 0; m < spanRows; ++m)
            wide[m] = cache.Get(y.Low + m, rows[y.Low + m], source_.Width);
    if (narrow) {
        ScaleNarrowRow(y, wide, lastSafeColumn, careful, out);
        return;
    }
    const auto quick = [&wide, &y](int r, int c) { return wide[r - y.Low][c]; };
    for (const Span& x : xs_) {
        const Lanes total = x.High <= lastSafeColumn ? Footprint(y, x, quick) : Footprint(y, x, careful);
        StoreBytes(total / area_, out);
        out += 4;
    }
}

// The common case of a cover near its base level's size: each output pixel
// reads at most three rows and three columns. Every branch of GLU's
// footprint is then the same weighted terms in the same order, those a
// branch does not have weighted 0 (adding +0 to a sum of non-negative terms
// changes nothing; a term weighted 1 is the term itself), and each weight is
// GLU's product of a row part and a column factor, formed four at a time.
// The loop runs without a branch but for the row count.
template <typename Careful>
void BaseLevelScaler::ScaleNarrowRow(const Span& y, const Lanes* const* wide, int lastSafeColumn,
                                     const Careful& careful, std::uint8_t* out) const
{
    const int rows = y.High - y.Low + 1;
    const bool twoRows = rows > 1;
    const Lanes* low = wide[0];
    const Lanes* high = wide[rows - 1];
    const Lanes* middle = wide[rows > 2 ? 1 : 0];
    const float lowPart = twoRows ? 1 - y.LowFrac : y.HighFrac - y.LowFrac;
    const float highPart = y.HighFrac;
    // Locals: the byte stores below could alias any member.
    const float area = area_;
    const NarrowColumn* columns = narrowColumns_.data();
    const std::size_t count = narrowColumns_.size();
    std::size_t j = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) {
        j = NarrowPairs(columns, count, rows, low, middle, high, lowPart, highPart, area, lastSafeColumn, out);
        out += j * 4;
    }
#endif
    for (; j < count; ++j, out += 4) {
        const NarrowColumn& c = columns[j];
        if (c.High > lastSafeColumn) {
            StoreBytes(Footprint(y, xs_[j], careful) / area, out);
            continue;
        }
        // The column's factors times the row's part: GLU's products, one
        // lane each.
        const Lanes lowWeights = c.Factors * lowPart;
        Lanes total = {0, 0, 0, 0};
        total += low[c.Low] * lowWeights[0];
        total += low[c.Middle] * lowWeights[1];
        total += low[c.High] * lowWeights[2];
        if (twoRows) {
            const Lanes highWeights = c.Factors * highPart;
            total += high[c.Low] * highWeights[0];
            total += high[c.Middle] * highWeights[1];
            total += high[c.High] * highWeights[2];
        }
        if (rows > 2) {
            // The middle row: its two edge columns summed first, then the
            // whole columns between them, unweighted.
            total += middle[c.Low] * c.Factors[0] + middle[c.High] * c.Factors[2];
            total += middle[c.Middle] * c.Factors[1];
        }
        StoreBytes(total / area, out);
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
namespace {

// Lanes 0..3 are the first pixel's channels, 4..7 the second's.
__attribute__((target("avx"))) inline __m256 TwoPixels(const Lanes& a, const Lanes& b)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(reinterpret_cast<__m128>(a)), reinterpret_cast<__m128>(b), 1);
}

} // namespace

__attribute__((target("avx"))) std::size_t
BaseLevelScaler::NarrowPairs(const NarrowColumn* columns, std::size_t count, int rows, const Lanes* low,
                             const Lanes* middle, const Lanes* high, float lowPart, float highPart, float area,
                             int lastSafeColumn, std::uint8_t* out)
{
    const auto two = TwoPixels;
    const __m256 lowParts = _mm256_set1_ps(lowPart);
    const __m256 highParts = _mm256_set1_ps(highPart);
    const __m256 areas = _mm256_set1_ps(area);
    std::size_t j = 0;
    for (; j + 1 < count && columns[j + 1].High <= lastSafeColumn; j += 2, out += 8) {
        const NarrowColumn& a = columns[j];
        const NarrowColumn& b = columns[j + 1];
        const __m256 factors = two(a.Factors, b.Factors);
        // Each weight is a factor times the row's part, then spread over
        // its pixel's four channels.
        const __m256 lowWeights = _mm256_mul_ps(factors, lowParts);
        __m256 total = _mm256_setzero_ps();
        total = _mm256_add_ps(total, _mm256_mul_ps(two(low[a.Low], low[b.Low]), _mm256_permute_ps(lowWeights, 0x00)));
        total = _mm256_add_ps(total, _mm256_mul_ps(two(low[a.Middle], low[b.Middle]), _mm256_permute_ps(lowWeights, 0x55)));
        total = _mm256_add_ps(total, _mm256_mul_ps(two(low[a.High], low[b.High]), _mm256_permute_ps(lowWeights, 0xAA)));
        if (rows > 1) {
            const __m256 highWeights = _mm256_mul_ps(factors, highParts);
            total = _mm256_add_ps(total, _mm256_mul_ps(two(high[a.Low], high[b.Low]), _mm256_permute_ps(highWeights, 0x00)));
            total = _mm256_add_ps(total, _mm256_mul_ps(two(high[a.Middle], high[b.Middle]), _mm256_permute_ps(highWeights, 0x55)));
            total = _mm256_add_ps(total, _mm256_mul_ps(two(high[a.High], high[b.High]), _mm256_permute_ps(highWeights, 0xAA)));
        }
        if (rows > 2) {
            const __m256 edges =
                _mm256_add_ps(_mm256_mul_ps(two(middle[a.Low], middle[b.Low]), _mm256_permute_ps(factors, 0x00)),
                              _mm256_mul_ps(two(middle[a.High], middle[b.High]), _mm256_permute_ps(factors, 0xAA)));
            total = _mm256_add_ps(total, edges);
            total = _mm256_add_ps(total, _mm256_mul_ps(two(middle[a.Middle], middle[b.Middle]), _mm256_permute_ps(factors, 0x55)));
        }
        // Truncated, as StoreBytes does, eight channels at once.
        const __m256i whole = _mm256_cvttps_epi32(_mm256_div_ps(total, areas));
        const __m128i shorts = _mm_packs_epi32(_mm256_castsi256_si128(whole), _mm256_extractf128_si256(whole, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(shorts, shorts));
    }
    return j;
}
#endif

template <typename Careful>
void BaseLevelScaler::ScaleNarrowRowInGroups(const Span& y, const std::uint8_t* const* rows, int lastSafeColumn,
                                             const Careful& careful, std::uint8_t* out, RowCache& cache) const
{
    const int count = y.High - y.Low + 1;
    const float* planes[3] = {};
    for (int m = 0; m < count; ++m)
        planes[m] = cache.GetPlanes(y.Low + m, rows[y.Low + m], source_.Width);
    const bool twoRows = count > 1;
    const float lowPart = twoRows ? 1 - y.LowFrac : y.HighFrac - y.LowFrac;
    // The groups that read no column past the last safe one; the columns
    // after them take GLU's own way, as in ScaleNarrowRow.
    const auto safe = std::partition_point(groups_.begin(), groups_.end(),
                                           [&](const ColumnGroup& g) { return g.LastHigh <= lastSafeColumn; });
    const std::size_t done = static_cast<std::size_t>(safe - groups_.begin());
    NarrowGroups(groups_.data(), done, count, planes[0], planes[count > 2 ? 1 : 0], planes[count - 1],
                 RowCache::PlaneStride(source_.Width), lowPart, y.HighFrac, area_, out);
    for (std::size_t j = done ? static_cast<std::size_t>(groups_[done - 1].First + groups_[done - 1].Count) : 0;
         j < xs_.size(); ++j)
        StoreBytes(Footprint(y, xs_[j], careful) / area_, out + j * 4);
}

#if defined(__x86_64__) && defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized" // as in Planes
namespace {

// Sixteen source floats picked from the 32 at `from`.
__attribute__((target("avx512f"))) inline __m512 PlaneColumns(const float* from, __m512i index)
{
    return _mm512_permutex2var_ps(_mm512_loadu_ps(from), index, _mm512_loadu_ps(from + 16));
}

} // namespace

// ScaleNarrowRow's sums for sixteen output pixels at a time, one channel
// after another: the same products and sums in the same order, so the same
// results. Each group's source columns come out of two registers of a
// plane by a permute.
__attribute__((target("avx512f"))) void
BaseLevelScaler::NarrowGroups(const ColumnGroup* groups, std::size_t count, int rows, const float* low,
                              const float* middle, const float* high, std::size_t stride, float lowPart,
                              float highPart, float area, std::uint8_t* out)
{
    const __m512 lowParts = _mm512_set1_ps(lowPart);
    const __m512 highParts = _mm512_set1_ps(highPart);
    const __m512 areas = _mm512_set1_ps(area);
    const __m512i largest = _mm512_set1_epi32(255);
    for (const ColumnGroup* g = groups; g != groups + count; ++g) {
        __m512i index[3];
        __m512 factors[3], lowWeights[3], highWeights[3];
        for (int k = 0; k < 3; ++k) {
            index[k] = _mm512_load_si512(g->Index[k]);
            factors[k] = _mm512_load_ps(g->Factors[k]);
            lowWeights[k] = _mm512_mul_ps(factors[k], lowParts);
            highWeights[k] = _mm512_mul_ps(factors[k], highParts);
        }
        __m512i pixels = _mm512_setzero_si512();
        for (int c = 0; c < 4; ++c) {
            const std::size_t at = c * stride + static_cast<std::size_t>(g->Base);
            const float* lowAt = low + at;
            const float* highAt = high + at;
            const float* middleAt = middle + at;
            __m512 total = _mm512_setzero_ps();
            for (int k = 0; k < 3; ++k)
                total = _mm512_add_ps(total, _mm512_mul_ps(PlaneColumns(lowAt, index[k]), lowWeights[k]));
            if (rows > 1)
                for (int k = 0; k < 3; ++k)
                    total = _mm512_add_ps(total, _mm512_mul_ps(PlaneColumns(highAt, index[k]), highWeights[k]));
            if (rows > 2) {
                const __m512 edges = _mm512_add_ps(_mm512_mul_ps(PlaneColumns(middleAt, index[0]), factors[0]),
                                                   _mm512_mul_ps(PlaneColumns(middleAt, index[2]), factors[2]));
                total = _mm512_add_ps(total, edges);
                total = _mm512_add_ps(total, _mm512_mul_ps(PlaneColumns(middleAt, index[1]), factors[1]));
            }
            // Truncated and held to a byte, as StoreBytes does.
            const __m512i whole = _mm512_min_epi32(_mm512_cvttps_epi32(_mm512_div_ps(total, areas)), largest);
            pixels = _mm512_or_si512(pixels, _mm512_slli_epi32(whole, 8 * c));
        }
        _mm512_mask_storeu_epi32(out + static_cast<std::size_t>(g->First) * 4, __mmask16((1u << g->Count) - 1),
                                 pixels);
    }
}
#pragma GCC diagnostic pop
#else
void BaseLevelScaler::NarrowGroups(const ColumnGroup*, std::size_t, int, const float*, const float*, const float*,
                                   std::size_t, float, float, float, std::uint8_t*)
{
}
#endif

void ScaleToBaseLevel(const std::uint8_t* pixels, PictureSize source, std::uint8_t* out,
                      PictureSize target, int threads)
{
    if (source.Width < 1 || source.Height < 1 || target.Width < 1 || target.Height < 1)
        return;
    const std::size_t outRow = static_cast<std::size_t>(target.Width) * 4;
    if (source == target) {
        std::memcpy(out, pixels, outRow * static_cast<std::size_t>(target.Height));
        return;
    }
    const std::size_t inRow = static_cast<std::size_t>(source.Width) * 4;
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(source.Height));
    for (std::size_t r = 0; r < rows.size(); ++r)
        rows[r] = pixels + r * inRow;
    const BaseLevelScaler scaler(source, target);
    const auto work = [&](int first, int end) {
        BaseLevelScaler::RowCache cache;
        for (int r = first; r < end; ++r)
            scaler.ScaleRow(r, rows.data(), out + static_cast<std::size_t>(r) * outRow, cache);
    };
    // Small pictures (placeholders, thumbnails) are not worth a thread.
    if (static_cast<std::int64_t>(target.Width) * target.Height < (std::int64_t{1} << 18))
        threads = 1;
    threads = std::clamp(threads, 1, std::max(1, target.Height));
    std::vector<std::thread> helpers;
    const int share = (target.Height + threads - 1) / threads;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work, std::min(target.Height, t * share), std::min(target.Height, (t + 1) * share));
    work(0, std::min(target.Height, share));
    for (std::thread& helper : helpers)
        helper.join();
}
