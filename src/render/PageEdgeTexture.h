#pragma once
// The paper a book's page block shows on its three open sides, drawn by the
// program: pages as fine lines across the block, each a little lighter or
// darker than its neighbours and a little thicker or thinner, with the
// gaps between them opening and closing along the edge. The same bytes on
// every run (a fixed seed), so pictures with books stay reproducible.
#include "formats/RgbaPicture.h"
#include "render/MipLevels.h"

#include <vector>

namespace PageEdge {
// Texels along the edge (s) and across the pages (t). About 150 pages over
// the 512 rows: drawn mipmapped, the lines blend into an even paper tone
// where the block is small in the picture instead of beating into stripes.
inline constexpr int Width = 256;
inline constexpr int Height = 512;
} // namespace PageEdge

// Rows are across the pages (row 0 at t = 0, the back cover's side), columns
// along the edge; opaque.
RgbaPicture MakePageEdgePicture();

// The picture and every level under it, made once per process on first use
// (any thread) and shared: each new GL context only sends them.
struct PageEdgeLevels {
    RgbaPicture Base;
    std::vector<MipLevel> Below;
};
const PageEdgeLevels& PageEdgePaper();
