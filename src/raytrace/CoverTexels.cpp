#include "raytrace/CoverTexels.h"

#include "render/CoverImage.h"
#include "render/PageEdgeTexture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

const std::array<float, 256>& DecodeTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[static_cast<std::size_t>(i)] =
                static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

// Linear to byte through a fine table: 4096 steps of linear light are finer
// than any byte's step in the dark.
const std::vector<std::uint8_t>& EncodeTable()
{
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> t(4097);
        for (std::size_t i = 0; i < t.size(); ++i) {
            const double c = static_cast<double>(i) / 4096.0;
            const double s = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
            t[i] = static_cast<std::uint8_t>(std::clamp(std::lround(s * 255.0), 0L, 255L));
        }
        return t;
    }();
    return table;
}

int Wrap(int i, int n)
{
    const int m = i % n;
    return m < 0 ? m + n : m;
}

} // namespace

float DecodeSrgb(int byte)
{
    return DecodeTable()[static_cast<std::size_t>(std::clamp(byte, 0, 255))];
}

int EncodeSrgb(float linear)
{
    if (!(linear > 0))
        return 0;
    const float x = std::min(linear, 1.0f) * 4096.0f;
    return EncodeTable()[static_cast<std::size_t>(x + 0.5f)];
}

CoverTexels::CoverTexels(RgbaPicture picture) : picture_(std::move(picture)) {}

std::shared_ptr<const CoverTexels> CoverTexels::Solid(unsigned rgb)
{
    RgbaPicture p;
    p.AllocatePixels(1, 1, QStringLiteral("colour"));
    p.Pixels[0] = static_cast<std::uint8_t>(rgb >> 16);
    p.Pixels[1] = static_cast<std::uint8_t>(rgb >> 8);
    p.Pixels[2] = static_cast<std::uint8_t>(rgb);
    p.Pixels[3] = 255;
    return std::make_shared<const CoverTexels>(std::move(p));
}

Vec3 CoverTexels::Sample(float s, float t) const
{
    const int w = picture_.Width, h = picture_.Height;
    // Texel centres at half steps, as GL_LINEAR with GL_REPEAT.
    const float x = s * static_cast<float>(w) - 0.5f, y = t * static_cast<float>(h) - 0.5f;
    const float fx = std::floor(x), fy = std::floor(y);
    const float ax = x - fx, ay = y - fy;
    int x0 = static_cast<int>(fx), x1 = x0 + 1, y0 = static_cast<int>(fy), y1 = y0 + 1;
    // Inside the picture, as nearly every lookup is, no division.
    if (x0 < 0 || x1 >= w) {
        x0 = Wrap(x0, w);
        x1 = Wrap(x1, w);
    }
    if (y0 < 0 || y1 >= h) {
        y0 = Wrap(y0, h);
        y1 = Wrap(y1, h);
    }
    const std::uint8_t* p = picture_.Pixels.get();
    const auto& table = DecodeTable();
    const auto at = [&](int px, int py) {
        const std::uint8_t* q = p + (static_cast<std::size_t>(py) * static_cast<std::size_t>(w) + static_cast<std::size_t>(px)) * 4;
        return Vec3{table[q[0]], table[q[1]], table[q[2]]};
    };
    const Vec3 top = at(x0, y0) * (1 - ax) + at(x1, y0) * ax;
    const Vec3 bottom = at(x0, y1) * (1 - ax) + at(x1, y1) * ax;
    return top * (1 - ay) + bottom * ay;
}

const CoverTexels* RayCovers::OfSide(BoxSide side) const
{
    if (HasOwn(side))
        return Slots[static_cast<std::size_t>(OwnSlot(side))].get();
    return Slots[static_cast<std::size_t>(ClassicSlot(side))].get();
}

bool RayCovers::HasOwn(BoxSide side) const
{
    const int own = OwnSlot(side);
    return own >= 0 && Slots[static_cast<std::size_t>(own)] != nullptr;
}

RayCovers PlaceholderCovers()
{
    RayCovers covers;
    for (int i = 0; i < ClassicSlotCount; ++i)
        covers.Slots[static_cast<std::size_t>(i)] = CoverTexels::Solid(PlaceholderColor(i) & 0xFFFFFFu);
    const RgbaPicture& paper = PageEdgePaper().Base;
    RgbaPicture copy;
    copy.AllocatePixels(paper.Width, paper.Height, QStringLiteral("paper"));
    std::memcpy(copy.Pixels.get(), paper.Pixels.get(), paper.PixelBytes());
    covers.PageEdges = std::make_shared<const CoverTexels>(std::move(copy));
    return covers;
}
