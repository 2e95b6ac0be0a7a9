#include "formats/NearestColour.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

NearestColour::NearestColour(std::vector<PaletteColour> palette)
    : palette_(std::move(palette)), cells_(32 * 32 * 32), nearest_(palette_.size())
{
    if (palette_.empty() || palette_.size() > 256)
        throw std::invalid_argument("a palette has 1 to 256 colours");
}

void NearestColour::Fill(Cell& cell, int red, int green, int blue)
{
    const int low[3] = {red & ~7, green & ~7, blue & ~7};
    // Every point of the cell is within `reach` of some colour, so a colour
    // farther than that from the whole cell is never the nearest.
    int reach = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        int least = 0, most = 0;
        for (int c = 0; c < 3; ++c) {
            const int v = palette_[i][static_cast<std::size_t>(c)];
            const int below = v - low[c], above = v - (low[c] + 7);
            if (below < 0)
                least += below * below;
            else if (above > 0)
                least += above * above;
            most += std::max(below * below, above * above);
        }
        nearest_[i] = least;
        reach = std::min(reach, most);
    }
    cell.First = static_cast<std::int32_t>(candidates_.size());
    for (std::size_t i = 0; i < palette_.size(); ++i)
        if (nearest_[i] <= reach)
            candidates_.push_back(static_cast<std::uint8_t>(i));
    cell.Count = static_cast<std::int32_t>(candidates_.size()) - cell.First;
}
