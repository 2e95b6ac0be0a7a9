#pragma once
// The palette colour nearest to any colour by plain RGB distance (what a
// picture's PSNR measures), found exactly without trying every colour: the
// colour cube is cut into 8 x 8 x 8 cells, and a cell, the first time it is
// asked, keeps only the colours that can be nearest to some point in it.
#include <array>
#include <cstdint>
#include <vector>

using PaletteColour = std::array<std::uint8_t, 3>;

class NearestColour {
public:
    // 1..256 colours.
    explicit NearestColour(std::vector<PaletteColour> palette);

    // The index of the nearest colour to red, green, blue (each 0..255); on
    // a tie the lowest index, so the answer never depends on the order in
    // which cells were filled.
    int operator()(int red, int green, int blue)
    {
        Cell& cell =
            cells_[static_cast<std::size_t>((red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3))];
        if (cell.First < 0)
            Fill(cell, red, green, blue);
        const std::uint8_t* candidate = candidates_.data() + cell.First;
        int best = candidate[0];
        int bestDistance = 1 << 30;
        for (int i = 0; i < cell.Count; ++i) {
            const PaletteColour& p = palette_[candidate[i]];
            const int dr = red - p[0], dg = green - p[1], db = blue - p[2];
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = candidate[i];
            }
        }
        return best;
    }

    const std::vector<PaletteColour>& Palette() const { return palette_; }

private:
    struct Cell {
        std::int32_t First = -1; // into candidates_; -1 until first asked
        std::int32_t Count = 0;
    };
    void Fill(Cell& cell, int red, int green, int blue);

    std::vector<PaletteColour> palette_;
    std::vector<Cell> cells_;
    std::vector<std::uint8_t> candidates_; // each cell's, in index order
    std::vector<int> nearest_;             // scratch: each colour's least distance to a cell
};
