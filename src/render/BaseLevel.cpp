#include "render/BaseLevel.h"

#include "concurrency/ParallelWork.h"
#include "formats/ImageCodec.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

// Every float operation below happens in the order and precision of the GLU
// builder, one lane per colour channel.

namespace {

// Four floats, one per colour channel.
using Lanes = float __attribute__((vector_size(16)));

std::atomic<int> textureSizeLimit{static_cast<int>(MaxImageSide)};

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
        const std::uint8_t* p = rows_[row] + static_cast<std::size_t>(x) * 4;
        return Lanes{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]),
                     static_cast<float>(p[3])};
    }

private:
    const std::uint8_t* const* rows_;
    PictureSize size_;
};

// Truncated to whole numbers, as C's float-to-byte conversion does.
void StoreBytes(Lanes value, std::uint8_t* out)
{
    for (int c = 0; c < 4; ++c)
        out[c] = static_cast<std::uint8_t>(std::min(static_cast<int>(value[c]), 255));
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
        MakeColumnGroups();
}

// Each output column as the same three weighted terms, those its footprint
// lacks weighted 0 (adding +0 to a sum of non-negative terms changes
// nothing; a term weighted 1 is the term itself).
void BaseLevelScaler::MakeColumnGroups()
{
    const baselevel::GroupShape shape = baselevel::ShapeOfGroups();
    groups_.Shape = shape;
    const auto n = static_cast<std::size_t>(shape.Pixels);
    const std::size_t repeat = shape.Planes ? 1 : 4; // widened rows: a weight per channel
    for (std::size_t j = 0; j < xs_.size();) {
        baselevel::ColumnGroups::Group group{xs_[j].Low, static_cast<int>(j), 0, xs_[j].Low};
        const std::size_t at = groups_.Index.size();
        groups_.Index.resize(at + 3 * n, 0);
        groups_.Factors.resize((at + 3 * n) * repeat, 0.0f);
        for (std::size_t pixel = 0; pixel < n && j < xs_.size() && xs_[j].High - group.Base < shape.Window;
             ++pixel, ++j) {
            const Span& x = xs_[j];
            int columns[3] = {x.Low, x.Low, x.Low};
            float factors[3] = {x.HighFrac - x.LowFrac, 0, 0}; // inside one column: the part covered
            if (x.High - x.Low == 1) { // the end of one column and the start of the next
                columns[1] = columns[2] = x.High;
                factors[0] = 1 - x.LowFrac;
                factors[2] = x.HighFrac;
            } else if (x.High - x.Low == 2) { // and a whole column between
                columns[1] = x.Low + 1;
                columns[2] = x.High;
                factors[0] = 1 - x.LowFrac;
                factors[1] = 1;
                factors[2] = x.HighFrac;
            }
            for (std::size_t k = 0; k < 3; ++k) {
                groups_.Index[at + k * n + pixel] = columns[k] - group.Base;
                for (std::size_t c = 0; c < repeat; ++c)
                    groups_.Factors[(at + k * n + pixel) * repeat + c] = factors[k];
            }
            group.LastHigh = x.High;
            ++group.Count;
        }
        if (group.Count == 0) { // a column wider than the window: none go the vector way
            groups_ = {};
            return;
        }
        groups_.Groups.push_back(group);
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

const float* BaseLevelScaler::RowCache::Get(int row, const std::uint8_t* bytes, int width)
{
    bool held = false;
    const int i = Place(row_, next_, row, held);
    if (!held) {
        data_[i].resize(static_cast<std::size_t>(width) * 4);
        baselevel::WidenRow(bytes, width, data_[i].data());
    }
    return data_[i].data();
}

const float* BaseLevelScaler::RowCache::GetPlanes(int row, const std::uint8_t* bytes, int width, int padding)
{
    bool held = false;
    const int i = Place(planeRow_, nextPlane_, row, held);
    if (!held) {
        planes_[i].resize(PlaneStride(width, padding) * 4); // the zeros past each plane's end stay
        baselevel::SplitPlanes(bytes, width, planes_[i].data(), PlaneStride(width, padding));
    }
    return planes_[i].data();
}

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
    const bool widened = spanRows <= RowCache::Slots;
    int lastSafeColumn = -1;
    if (widened)
        lastSafeColumn = source_.Width - 1 - std::max(0, spanRows - 2); // room for the drift
    // With a middle row, GLU adds its terms after the first and last rows'
    // only when every column reads more than one source column.
    if (widened && !groups_.Groups.empty() && (spanRows <= 2 || (spanRows == 3 && narrowMiddleRow_))) {
        ScaleNarrowRow(y, rows, lastSafeColumn, careful, out, cache);
        return;
    }
    const float* wide[RowCache::Slots] = {};
    if (widened)
        for (int m = 0; m < spanRows; ++m)
            wide[m] = cache.Get(y.Low + m, rows[y.Low + m], source_.Width);
    const auto quick = [&wide, &y](int r, int c) {
        Lanes pixel;
        std::memcpy(&pixel, wide[r - y.Low] + static_cast<std::size_t>(c) * 4, sizeof pixel);
        return pixel;
    };
    for (const Span& x : xs_) {
        const Lanes total = x.High <= lastSafeColumn ? Footprint(y, x, quick) : Footprint(y, x, careful);
        StoreBytes(total / area_, out);
        out += 4;
    }
}

// The common case of a cover near its base level's size: each output pixel
// reads at most three rows and three columns, so every pixel is the same
// weighted terms, done a vector of pixels at a time, one channel after
// another, in GLU's order.
template <typename Careful>
void BaseLevelScaler::ScaleNarrowRow(const Span& y, const std::uint8_t* const* rows, int lastSafeColumn,
                                     const Careful& careful, std::uint8_t* out, RowCache& cache) const
{
    const int count = y.High - y.Low + 1;
    const baselevel::GroupShape& shape = groups_.Shape;
    const std::size_t stride = RowCache::PlaneStride(source_.Width, shape.Window);
    const float* from[3] = {};
    for (int m = 0; m < count; ++m)
        from[m] = shape.Planes ? cache.GetPlanes(y.Low + m, rows[y.Low + m], source_.Width, shape.Window)
                               : cache.Get(y.Low + m, rows[y.Low + m], source_.Width);
    const float lowPart = count > 1 ? 1 - y.LowFrac : y.HighFrac - y.LowFrac;
    const baselevel::FootprintRows row{count,  from[0], from[count > 2 ? 1 : 0], from[count - 1],
                                       stride, lowPart, y.HighFrac,              area_};
    // The groups that read no column past the last safe one; the columns
    // after them take GLU's own way.
    const auto& groups = groups_.Groups;
    const auto safe = std::partition_point(groups.begin(), groups.end(), [&](const baselevel::ColumnGroups::Group& g) {
        return g.LastHigh <= lastSafeColumn;
    });
    const std::size_t done =
        baselevel::ScaleGroups(groups_, static_cast<std::size_t>(safe - groups.begin()), row, out);
    for (std::size_t j = done ? static_cast<std::size_t>(groups[done - 1].First + groups[done - 1].Count) : 0;
         j < xs_.size(); ++j)
        StoreBytes(Footprint(y, xs_[j], careful) / area_, out + j * 4);
}

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
    ParallelRows(target.Height, threads, work);
}
