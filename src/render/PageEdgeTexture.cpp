#include "render/PageEdgeTexture.h"

#include <QStringLiteral>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double Pi = 3.14159265358979323846;

// SplitMix64: small, and the same sequence on every platform.
class Sequence {
public:
    explicit Sequence(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Between(double low, double high) { return low + (high - low) * Unit(); }

private:
    std::uint64_t state_;
};

// Off-white, a little warm, as book paper is.
constexpr double PaperRed = 238, PaperGreen = 233, PaperBlue = 219;

struct Page {
    int Rows = 0;
    double Tone = 0;                 // brightness offset of the whole page
    double Wave = 0, WavePhase = 0;  // its slow unevenness along the edge
    double Gap = 0, GapPhase = 0;    // how dark the line under it is, and how it varies
    int GapCycles = 1;
};

std::uint8_t Byte(double v)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

} // namespace

RgbaPicture MakePageEdgePicture()
{
    RgbaPicture picture;
    picture.AllocatePixels(PageEdge::Width, PageEdge::Height, QStringLiteral("page edges"));
    Sequence random(0x5eed0b00c5ull);
    std::uint8_t* out = picture.Pixels.get();

    int row = 0;
    while (row < PageEdge::Height) {
        Page page;
        // Two to five rows a page: uneven spacing keeps the lines from
        // lining up with the texel grid of any level below.
        page.Rows = 2 + static_cast<int>(random.Next() % 4);
        page.Tone = random.Between(-4.0, 3.0);
        page.Wave = random.Between(1.0, 3.5);
        page.WavePhase = random.Between(0.0, 2.0 * Pi);
        page.Gap = random.Between(0.80, 0.92);
        page.GapPhase = random.Between(0.0, 2.0 * Pi);
        page.GapCycles = 1 + static_cast<int>(random.Next() % 3);
        for (int r = 0; r < page.Rows && row < PageEdge::Height; ++r, ++row) {
            const bool gapRow = r == page.Rows - 1;
            for (int x = 0; x < PageEdge::Width; ++x) {
                const double s = static_cast<double>(x) / PageEdge::Width;
                const double light = page.Tone + page.Wave * std::sin(2.0 * Pi * s + page.WavePhase) +
                               random.Between(-1.5, 1.5); // the paper's fibre
                double factor = 1.0;
                if (gapRow) {
                    // The gap between two pages opens and closes along the edge.
                    const double open = 0.5 + 0.5 * std::sin(2.0 * Pi * page.GapCycles * s + page.GapPhase);
                    factor = page.Gap + (1.0 - page.Gap) * 0.6 * (1.0 - open);
                }
                std::uint8_t* px = out + (static_cast<std::size_t>(row) * PageEdge::Width + x) * 4;
                px[0] = Byte((PaperRed + light) * factor);
                px[1] = Byte((PaperGreen + light) * factor);
                px[2] = Byte((PaperBlue + light) * factor);
                px[3] = 255;
            }
        }
    }
    return picture;
}

const PageEdgeLevels& PageEdgePaper()
{
    static const PageEdgeLevels paper = [] {
        PageEdgeLevels made{MakePageEdgePicture(), {}};
        made.Below = LevelsUnder(made.Base.Pixels.get(), made.Base.Width, made.Base.Height);
        return made;
    }();
    return paper;
}
