#include "render/MipLevels.h"

#include "concurrency/ParallelWork.h"

#include <algorithm>

namespace {

void HalveRows(const std::uint8_t* src, int width, int height, MipLevel& out, int firstRow, int endRow)
{
    const int dx = width > 1 ? 1 : 0, dy = height > 1 ? 1 : 0;
    const int n = (dx + 1) * (dy + 1);
    const std::size_t srcRow = static_cast<std::size_t>(width) * 4;
    for (int y = firstRow; y < endRow; ++y) {
        const std::uint8_t* a = src + static_cast<std::size_t>(y * (dy + 1)) * srcRow;
        const std::uint8_t* b = a + static_cast<std::size_t>(dy) * srcRow;
        std::uint8_t* o = out.Pixels.data() + static_cast<std::size_t>(y) * out.Width * 4;
        for (int x = 0; x < out.Width; ++x, o += 4) {
            const std::size_t l = static_cast<std::size_t>(x * (dx + 1)) * 4, r = l + static_cast<std::size_t>(dx) * 4;
            for (int c = 0; c < 4; ++c) {
                const int sum = dx && dy ? a[l + c] + a[r + c] + b[l + c] + b[r + c]
                                         : a[l + c] + (dx ? a[r + c] : b[l + c]);
                o[c] = static_cast<std::uint8_t>((sum + n / 2) / n);
            }
        }
    }
}

} // namespace

MipLevel HalveLevel(const std::uint8_t* pixels, int width, int height, int workers)
{
    MipLevel out;
    out.Width = std::max(1, width / 2);
    out.Height = std::max(1, height / 2);
    out.Pixels.resize(static_cast<std::size_t>(out.Width) * out.Height * 4);
    // Threads pay off only on large levels.
    const int threads = out.Width * out.Height >= 256 * 1024 ? workers : 1;
    ParallelRows(out.Height, threads, [&](int first, int end) { HalveRows(pixels, width, height, out, first, end); });
    return out;
}

std::vector<MipLevel> LevelsUnder(const std::uint8_t* pixels, int width, int height, int workers)
{
    std::vector<MipLevel> levels;
    while (width > 1 || height > 1) {
        levels.push_back(HalveLevel(pixels, width, height, workers));
        pixels = levels.back().Pixels.data();
        width = levels.back().Width;
        height = levels.back().Height;
    }
    return levels;
}
