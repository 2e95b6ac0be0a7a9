#include "formats/PaletteChoice.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>

namespace {

struct Weighted {
    PaletteColour Colour;
    std::uint64_t Count;
};

// The distinct colours and how many pixels have each, in colour order: the
// pixels as 24-bit keys, sorted a byte at a time.
std::vector<Weighted> Histogram(const RgbaRows& picture)
{
    const std::size_t count =
        static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height);
    std::vector<std::uint32_t> keys(count), sorted(count);
    std::size_t i = 0;
    for (int y = 0; y < picture.Height; ++y) {
        const std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < picture.Width; ++x, p += 4)
            keys[i++] = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    }
    for (int shift = 0; shift < 24; shift += 8) {
        std::array<std::size_t, 257> start{};
        for (const std::uint32_t key : keys)
            ++start[(key >> shift & 255) + 1];
        for (std::size_t b = 1; b < start.size(); ++b)
            start[b] += start[b - 1];
        for (const std::uint32_t key : keys)
            sorted[start[key >> shift & 255]++] = key;
        keys.swap(sorted);
    }
    std::vector<Weighted> colours;
    for (std::size_t k = 0; k < count;) {
        std::size_t end = k + 1;
        while (end < count && keys[end] == keys[k])
            ++end;
        const std::uint32_t key = keys[k];
        colours.push_back({{static_cast<std::uint8_t>(key >> 16),
                            static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)},
                           end - k});
        k = end;
    }
    return colours;
}

// Pixel count, channel sums and the sum of squares over a group of colours.
struct Sums {
    std::uint64_t Count = 0;
    std::array<std::uint64_t, 3> Sum{};
    std::uint64_t Squares = 0;

    void Add(const Weighted& w)
    {
        Count += w.Count;
        for (std::size_t c = 0; c < 3; ++c) {
            Sum[c] += w.Count * w.Colour[c];
            Squares += w.Count * w.Colour[c] * w.Colour[c];
        }
    }
    void Add(const Sums& s)
    {
        Count += s.Count;
        for (std::size_t c = 0; c < 3; ++c)
            Sum[c] += s.Sum[c];
        Squares += s.Squares;
    }
    Sums Minus(const Sums& s) const
    {
        Sums d;
        d.Count = Count - s.Count;
        for (std::size_t c = 0; c < 3; ++c)
            d.Sum[c] = Sum[c] - s.Sum[c];
        d.Squares = Squares - s.Squares;
        return d;
    }
    // |sum|^2 / count: the squared error is Squares minus this.
    double Centred() const
    {
        if (Count == 0)
            return 0;
        double s = 0;
        for (const std::uint64_t v : Sum)
            s += static_cast<double>(v) * static_cast<double>(v);
        return s / static_cast<double>(Count);
    }
    double Error() const { return static_cast<double>(Squares) - Centred(); }
    PaletteColour Mean() const
    {
        PaletteColour m{};
        for (std::size_t c = 0; c < 3; ++c)
            m[c] = static_cast<std::uint8_t>((Sum[c] + Count / 2) / Count);
        return m;
    }
};

struct Group {
    std::size_t Begin, End; // into the colours
    Sums Total;
    double Error;
};

// Splits `group` in two where the squared error falls most; false when it
// holds one colour.
bool Split(std::vector<Weighted>& colours, Group& group, Group& second)
{
    double bestGain = -1;
    std::size_t bestAxis = 0;
    int bestCut = -1; // values up to it go first
    Sums bestFirst;
    // Only the values the group spans: groups soon span few.
    std::array<int, 3> low{255, 255, 255}, high{0, 0, 0};
    for (std::size_t i = group.Begin; i < group.End; ++i)
        for (std::size_t axis = 0; axis < 3; ++axis) {
            low[axis] = std::min<int>(low[axis], colours[i].Colour[axis]);
            high[axis] = std::max<int>(high[axis], colours[i].Colour[axis]);
        }
    std::array<Sums, 256> bins;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        std::fill(bins.begin() + low[axis], bins.begin() + high[axis] + 1, Sums{});
        for (std::size_t i = group.Begin; i < group.End; ++i)
            bins[colours[i].Colour[axis]].Add(colours[i]);
        Sums first;
        for (int v = low[axis]; v < high[axis]; ++v) {
            first.Add(bins[static_cast<std::size_t>(v)]);
            if (first.Count == 0)
                continue;
            const double gain = first.Centred() + group.Total.Minus(first).Centred();
            if (gain > bestGain) {
                bestGain = gain;
                bestAxis = axis;
                bestCut = v;
                bestFirst = first;
            }
        }
    }
    if (bestCut < 0)
        return false;
    const auto middle =
        std::stable_partition(colours.begin() + static_cast<std::ptrdiff_t>(group.Begin),
                              colours.begin() + static_cast<std::ptrdiff_t>(group.End),
                              [&](const Weighted& w) { return w.Colour[bestAxis] <= bestCut; });
    const auto cut = static_cast<std::size_t>(middle - colours.begin());
    const Sums rest = group.Total.Minus(bestFirst);
    second = {cut, group.End, rest, rest.Error()};
    group = {group.Begin, cut, bestFirst, bestFirst.Error()};
    return true;
}

constexpr int RefiningRounds = 4;

} // namespace

std::vector<PaletteColour> ChoosePalette(const RgbaRows& picture, int most)
{
    if (most < 1 || most > 256 || picture.Width <= 0 || picture.Height <= 0)
        throw std::invalid_argument("ChoosePalette: no pixels or no colours");
    std::vector<Weighted> colours = Histogram(picture);
    std::vector<PaletteColour> palette;
    if (colours.size() <= static_cast<std::size_t>(most)) {
        for (const Weighted& w : colours)
            palette.push_back(w.Colour);
        return palette;
    }

    std::vector<Group> groups;
    {
        Sums all;
        for (const Weighted& w : colours)
            all.Add(w);
        groups.push_back({0, colours.size(), all, all.Error()});
    }
    while (groups.size() < static_cast<std::size_t>(most)) {
        std::size_t worst = 0;
        for (std::size_t g = 1; g < groups.size(); ++g)
            if (groups[g].Error > groups[worst].Error)
                worst = g;
        Group second{};
        if (groups[worst].Error <= 0 || !Split(colours, groups[worst], second))
            break;
        groups.push_back(second);
    }
    for (const Group& g : groups)
        palette.push_back(g.Total.Mean());

    for (int round = 0; round < RefiningRounds; ++round) {
        NearestColour nearest(palette);
        std::vector<Sums> members(palette.size());
        for (const Weighted& w : colours)
            members[static_cast<std::size_t>(nearest(w.Colour[0], w.Colour[1], w.Colour[2]))].Add(
                w);
        bool moved = false;
        for (std::size_t i = 0; i < palette.size(); ++i)
            if (members[i].Count != 0 && members[i].Mean() != palette[i]) {
                palette[i] = members[i].Mean();
                moved = true;
            }
        if (!moved)
            break;
    }
    return palette;
}
