// Compiled once per instruction set by Highway's foreach_target: everything
// between HWY_BEFORE_NAMESPACE and HWY_AFTER_NAMESPACE is built for each.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "render/BaseLevelSimd.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/highway.h>

#include "render/BaseLevelSimd.h"

#include <cstring>

// Pixels are read and written as one 32-bit word each, red in the low byte.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "RGBA words assume little-endian bytes");

HWY_BEFORE_NAMESPACE();
namespace baselevel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using DF = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<DF>;
using DU = hn::RebindToUnsigned<DF>;
using VF = hn::Vec<DF>;

// AVX-512 shuffles a whole plane's group cheaply; narrower vectors spend
// fewer instructions loading each pixel's channels where they lie.
#undef BASELEVEL_PLANES
#if HWY_TARGET == HWY_SCALAR || HWY_MAX_BYTES > 32
#define BASELEVEL_PLANES 1
#else
#define BASELEVEL_PLANES 0
#endif
constexpr bool kPlanes = BASELEVEL_PLANES;

GroupShape ShapeOfGroups()
{
    GroupShape shape;
    shape.Lanes = static_cast<int>(hn::Lanes(DF()));
    shape.Planes = kPlanes;
#if HWY_TARGET == HWY_SCALAR
    shape.Pixels = 1;
    shape.Window = 4; // a pick is a plain load; one column reads up to three
#else
    shape.Pixels = kPlanes ? shape.Lanes : shape.Lanes / 4;
    shape.Window = kPlanes ? 2 * shape.Lanes : 1 << 20; // a pick chooses from two vectors; a load reaches anywhere
#endif
    return shape;
}

void WidenRow(const std::uint8_t* bytes, int width, float* to)
{
    const DF df;
    const hn::Rebind<std::uint8_t, DF> d8;
    const std::size_t n = hn::Lanes(df);
    const std::size_t total = static_cast<std::size_t>(width) * 4;
    std::size_t i = 0;
    for (; i + n <= total; i += n)
        hn::StoreU(hn::ConvertTo(df, hn::PromoteTo(DI(), hn::LoadU(d8, bytes + i))), df, to + i);
    for (; i < total; ++i)
        to[i] = static_cast<float>(bytes[i]);
}

// The last few pixels of a row, zeros after them: nothing past the row is read.
hn::Vec<DU> LoadFew(const std::uint8_t* from, int count)
{
    HWY_ALIGN std::uint32_t few[HWY_MAX_BYTES / 4] = {};
    std::memcpy(few, from, static_cast<std::size_t>(count) * 4);
    return hn::Load(DU(), few);
}

void SplitPlanes(const std::uint8_t* bytes, int width, float* to, std::size_t stride)
{
    const DF df;
    const DU du;
    const int n = static_cast<int>(hn::Lanes(df));
    const auto byte = hn::Set(du, 0xFFu);
    for (int x = 0; x < width; x += n) {
        const std::uint8_t* from = bytes + static_cast<std::size_t>(x) * 4;
        const auto pixels = x + n <= width ? hn::LoadU(du, reinterpret_cast<const std::uint32_t*>(from))
                                           : LoadFew(from, width - x);
        for (int c = 0; c < 4; ++c) {
            const auto channel = hn::And(hn::ShiftRightSame(pixels, 8 * c), byte);
            hn::StoreU(hn::ConvertTo(df, hn::BitCast(DI(), channel)), df, to + c * stride + static_cast<std::size_t>(x));
        }
    }
}

#if BASELEVEL_PLANES
// One of a group's three source columns in every lane, from a plane.
#if HWY_TARGET == HWY_SCALAR
class Picker {
public:
    explicit Picker(const std::int32_t* index) : index_(hn::LoadU(DI(), index)) {}
    struct Source {
        explicit Source(const float* from) : From(from) {}
        const float* From;
    };
    VF operator()(const Source& s) const { return hn::GatherIndex(DF(), s.From, index_); }

private:
    hn::Vec<DI> index_;
};
#else
class Picker {
public:
    explicit Picker(const std::int32_t* index)
        : lane_(hn::IndicesFromVec(DF(), hn::And(hn::LoadU(DI(), index), hn::Set(DI(), Lanes() - 1)))),
          upper_(hn::RebindMask(DF(), hn::Lt(hn::Set(DI(), Lanes() - 1), hn::LoadU(DI(), index))))
    {
    }
    // The two vectors of source floats the group's columns lie in.
    struct Source {
        explicit Source(const float* from)
            : Lower(hn::LoadU(DF(), from)), Upper(hn::LoadU(DF(), from + hn::Lanes(DF())))
        {
        }
        VF Lower, Upper;
    };
    VF operator()(const Source& s) const
    {
        return hn::IfThenElse(upper_, hn::TableLookupLanes(s.Upper, lane_), hn::TableLookupLanes(s.Lower, lane_));
    }

private:
    static std::int32_t Lanes() { return static_cast<std::int32_t>(hn::Lanes(DF())); }
    decltype(hn::IndicesFromVec(DF(), hn::Zero(DI()))) lane_;
    hn::Mask<DF> upper_;
};
#endif

// Per channel, for a group's lanes at once: the terms of the first row, the
// last row, then the middle row's edges summed before its middle column, as
// the reference footprint adds them (a term the column lacks has weight 0).
std::size_t ScalePlaneGroups(const ColumnGroups& groups, std::size_t count, const FootprintRows& p, std::uint8_t* out)
{
    const DF df;
    const DU du;
    const std::size_t n = hn::Lanes(df);
    const VF lowParts = hn::Set(df, p.LowPart), highParts = hn::Set(df, p.HighPart), areas = hn::Set(df, p.Area);
    const auto largest = hn::Set(DI(), 255);
    for (std::size_t g = 0; g < count; ++g) {
        const ColumnGroups::Group& group = groups.Groups[g];
        const std::int32_t* index = groups.Index.data() + g * 3 * n;
        const float* factorsAt = groups.Factors.data() + g * 3 * n;
        const Picker pick[3] = {Picker(index), Picker(index + n), Picker(index + 2 * n)};
        VF factors[3], lowWeights[3], highWeights[3];
        for (std::size_t k = 0; k < 3; ++k) {
            factors[k] = hn::LoadU(df, factorsAt + k * n);
            lowWeights[k] = hn::Mul(factors[k], lowParts);
            highWeights[k] = hn::Mul(factors[k], highParts);
        }
        auto pixels = hn::Zero(du);
        for (int c = 0; c < 4; ++c) {
            const std::size_t at = static_cast<std::size_t>(c) * p.Stride + static_cast<std::size_t>(group.Base);
            VF total = hn::Zero(df);
            const Picker::Source low(p.Low + at);
            for (int k = 0; k < 3; ++k)
                total = hn::Add(total, hn::Mul(pick[k](low), lowWeights[k]));
            if (p.Rows > 1) {
                const Picker::Source high(p.High + at);
                for (int k = 0; k < 3; ++k)
                    total = hn::Add(total, hn::Mul(pick[k](high), highWeights[k]));
            }
            if (p.Rows > 2) {
                const Picker::Source middle(p.Middle + at);
                const VF edges = hn::Add(hn::Mul(pick[0](middle), factors[0]), hn::Mul(pick[2](middle), factors[2]));
                total = hn::Add(total, edges);
                total = hn::Add(total, hn::Mul(pick[1](middle), factors[1]));
            }
            // Truncated and held to a byte, as C's float-to-byte conversion.
            const auto whole = hn::Min(hn::ConvertTo(DI(), hn::Div(total, areas)), largest);
            pixels = hn::Or(pixels, hn::ShiftLeftSame(hn::BitCast(du, whole), 8 * c));
        }
        std::uint8_t* to = out + static_cast<std::size_t>(group.First) * 4;
        const std::size_t bytes = static_cast<std::size_t>(group.Count) * 4;
        if (static_cast<std::size_t>(group.Count) == n) {
            hn::StoreU(pixels, du, reinterpret_cast<std::uint32_t*>(to));
        } else {
            // Only the group's own pixels: the rest may be another thread's.
            HWY_ALIGN std::uint32_t part[HWY_MAX_BYTES / 4];
            hn::Store(pixels, du, part);
            std::memcpy(to, part, bytes);
        }
    }
    return count;
}


#else
// The four channels of a group's pixels for one of their three terms, from
// a widened row: each pixel's own source column, 128 bits apart.
HWY_INLINE VF LoadTerm(const float* row, const std::int32_t* columns)
{
#if HWY_MAX_BYTES == 16
    return hn::LoadU(DF(), row + static_cast<std::size_t>(columns[0]) * 4);
#else
    const hn::Half<DF> half;
    return hn::Combine(DF(), hn::LoadU(half, row + static_cast<std::size_t>(columns[1]) * 4),
                       hn::LoadU(half, row + static_cast<std::size_t>(columns[0]) * 4));
#endif
}

// Every channel of a group's pixels at once, the terms in the order the
// planar loop adds them, so both give the same bytes.
std::size_t ScaleWidenedGroups(const ColumnGroups& groups, std::size_t count, const FootprintRows& p,
                               std::uint8_t* out)
{
    const DF df;
    const std::size_t n = hn::Lanes(df);
    const std::size_t pixels = n / 4;
    const VF lowParts = hn::Set(df, p.LowPart), highParts = hn::Set(df, p.HighPart), areas = hn::Set(df, p.Area);
    const auto largest = hn::Set(DI(), 255);
    const hn::Rebind<std::uint8_t, DI> d8;
    for (std::size_t g = 0; g < count; ++g) {
        const ColumnGroups::Group& group = groups.Groups[g];
        const std::int32_t* index = groups.Index.data() + g * 3 * pixels;
        const float* factorsAt = groups.Factors.data() + g * 3 * n;
        const std::size_t at = static_cast<std::size_t>(group.Base) * 4;
        VF factors[3];
        for (std::size_t k = 0; k < 3; ++k)
            factors[k] = hn::LoadU(df, factorsAt + k * n);
        VF total = hn::Zero(df);
        for (std::size_t k = 0; k < 3; ++k)
            total = hn::Add(total, hn::Mul(LoadTerm(p.Low + at, index + k * pixels), hn::Mul(factors[k], lowParts)));
        if (p.Rows > 1)
            for (std::size_t k = 0; k < 3; ++k)
                total = hn::Add(total,
                                hn::Mul(LoadTerm(p.High + at, index + k * pixels), hn::Mul(factors[k], highParts)));
        if (p.Rows > 2) {
            const VF edges = hn::Add(hn::Mul(LoadTerm(p.Middle + at, index), factors[0]),
                                     hn::Mul(LoadTerm(p.Middle + at, index + 2 * pixels), factors[2]));
            total = hn::Add(total, edges);
            total = hn::Add(total, hn::Mul(LoadTerm(p.Middle + at, index + pixels), factors[1]));
        }
        // Truncated and held to a byte, as C's float-to-byte conversion.
        const auto bytes = hn::DemoteTo(d8, hn::Min(hn::ConvertTo(DI(), hn::Div(total, areas)), largest));
        std::uint8_t* to = out + static_cast<std::size_t>(group.First) * 4;
        if (static_cast<std::size_t>(group.Count) == pixels) {
            hn::StoreU(bytes, d8, to);
        } else {
            // Only the group's own pixels: the rest may be another thread's.
            HWY_ALIGN std::uint8_t part[HWY_MAX_BYTES / 4];
            hn::Store(bytes, d8, part);
            std::memcpy(to, part, static_cast<std::size_t>(group.Count) * 4);
        }
    }
    return count;
}
#endif

std::size_t ScaleGroups(const ColumnGroups& groups, std::size_t count, const FootprintRows& p, std::uint8_t* out)
{
    const GroupShape shape = ShapeOfGroups();
    if (groups.Shape.Lanes != shape.Lanes || groups.Shape.Planes != shape.Planes)
        return 0; // laid out for another instruction set
#if BASELEVEL_PLANES
    return ScalePlaneGroups(groups, count, p, out);
#else
    return ScaleWidenedGroups(groups, count, p, out);
#endif
}

} // namespace HWY_NAMESPACE
} // namespace baselevel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace baselevel {

HWY_EXPORT(ShapeOfGroups);
HWY_EXPORT(WidenRow);
HWY_EXPORT(SplitPlanes);
HWY_EXPORT(ScaleGroups);

GroupShape ShapeOfGroups() { return HWY_DYNAMIC_DISPATCH(ShapeOfGroups)(); }

void WidenRow(const std::uint8_t* bytes, int width, float* to) { HWY_DYNAMIC_DISPATCH(WidenRow)(bytes, width, to); }

void SplitPlanes(const std::uint8_t* bytes, int width, float* to, std::size_t stride)
{
    HWY_DYNAMIC_DISPATCH(SplitPlanes)(bytes, width, to, stride);
}

std::size_t ScaleGroups(const ColumnGroups& groups, std::size_t count, const FootprintRows& rows, std::uint8_t* out)
{
    return HWY_DYNAMIC_DISPATCH(ScaleGroups)(groups, count, rows, out);
}

std::vector<std::int64_t> CompiledTargets()
{
    std::vector<std::int64_t> targets;
    for (std::int64_t left = hwy::SupportedTargets() & HWY_TARGETS; left != 0; left &= left - 1)
        targets.push_back(left & -left);
    return targets;
}

void UseTarget(std::int64_t target) { hwy::SetSupportedTargetsForTest(target); }

const char* TargetName(std::int64_t target) { return hwy::TargetName(target); }

} // namespace baselevel
#endif
