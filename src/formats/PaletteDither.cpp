#include "formats/PaletteDither.h"

#include "formats/PaletteChoice.h"

#include <algorithm>

namespace {

// Errors are kept in 256ths of a level: the Floyd-Steinberg sixteenths,
// times the sixteenths passed on.
int Whole(int carried)
{
    return carried >= 0 ? (carried + 128) / 256 : -((128 - carried) / 256);
}

// Seven eighths of each error is passed on, and what a pixel receives is
// capped at 16 levels a channel. Both keep an error from growing across a
// region until it picks a far colour (a stray dot of another hue) and keep
// the grain finer than full diffusion, which also measures closer to the
// true picture; a gradient stays smooth.
constexpr int PassedOn = 14;     // sixteenths
constexpr int MostReceived = 16; // levels

} // namespace

std::vector<std::uint8_t> DitherToPalette(const RgbaRows& picture, NearestColour& nearest)
{
    const int width = picture.Width;
    const auto columns = static_cast<std::size_t>(width);
    std::vector<std::uint8_t> indexes(columns * static_cast<std::size_t>(picture.Height));
    // Errors, three a pixel, with a pixel of margin at each end.
    std::vector<int> here((columns + 2) * 3), below((columns + 2) * 3);
    const std::vector<PaletteColour>& palette = nearest.Palette();
    for (int y = 0; y < picture.Height; ++y) {
        const bool leftward = y % 2 == 1;
        std::fill(below.begin(), below.end(), 0);
        const std::uint8_t* row = picture.Row(y);
        std::uint8_t* out = indexes.data() + static_cast<std::size_t>(y) * columns;
        for (int i = 0; i < width; ++i) {
            const int x = leftward ? width - 1 - i : i;
            const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * 4;
            const std::size_t at = static_cast<std::size_t>(x + 1) * 3;
            int wanted[3];
            for (std::size_t c = 0; c < 3; ++c)
                wanted[c] = std::clamp(
                    pixel[c] + std::clamp(Whole(here[at + c]), -MostReceived, MostReceived), 0,
                    255);
            const int index = nearest(wanted[0], wanted[1], wanted[2]);
            out[x] = static_cast<std::uint8_t>(index);
            const PaletteColour& got = palette[static_cast<std::size_t>(index)];
            const std::size_t ahead = leftward ? at - 3 : at + 3;
            const std::size_t behind = leftward ? at + 3 : at - 3;
            for (std::size_t c = 0; c < 3; ++c) {
                const int error = (wanted[c] - got[c]) * PassedOn;
                here[ahead + c] += error * 7;
                below[behind + c] += error * 3;
                below[at + c] += error * 5;
                below[ahead + c] += error;
            }
        }
        here.swap(below);
    }
    return indexes;
}

IndexedPicture ReduceTo256Colours(const RgbaRows& picture)
{
    IndexedPicture reduced;
    NearestColour nearest(ChoosePalette(picture));
    reduced.Indexes = DitherToPalette(picture, nearest);
    reduced.Colours = nearest.Palette();
    return reduced;
}
