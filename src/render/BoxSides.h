#pragma once
// The six sides of the box and the picture each one shows. The classic
// program has three pictures, each on a pair of opposite sides; a side with a
// picture of its own (back, right, bottom) shows that one instead.

#include <array>
#include <cstddef>

class GLTexture;

// In the order of BoxFaces.
enum class BoxSide { Front, Back, Top, Bottom, Right, Left };
inline constexpr int BoxSideCount = 6;

// Texture slots: the three classic pictures, then the optional own pictures.
namespace SlotIndex {
inline constexpr int FrontBack = 0;
inline constexpr int LeftRight = 1;
inline constexpr int TopBottom = 2;
inline constexpr int Back = 3;
inline constexpr int Right = 4;
inline constexpr int Bottom = 5;
} // namespace SlotIndex
inline constexpr int SlotCount = 6;

// A null entry binds nothing.
using SlotTextures = std::array<GLTexture*, SlotCount>;

// The classic slot whose picture a side shows when it has none of its own.
constexpr int ClassicSlot(BoxSide side)
{
    switch (side) {
    case BoxSide::Front:
    case BoxSide::Back: return SlotIndex::FrontBack;
    case BoxSide::Top:
    case BoxSide::Bottom: return SlotIndex::TopBottom;
    case BoxSide::Right:
    case BoxSide::Left: return SlotIndex::LeftRight;
    }
    return SlotIndex::FrontBack;
}

// The slot of a side's own picture, or -1 for the sides that have none.
constexpr int OwnSlot(BoxSide side)
{
    switch (side) {
    case BoxSide::Back: return SlotIndex::Back;
    case BoxSide::Right: return SlotIndex::Right;
    case BoxSide::Bottom: return SlotIndex::Bottom;
    default: return -1;
    }
}

// The side's own picture when it has one loaded, else its classic pair's.
inline GLTexture* SideTexture(BoxSide side, const SlotTextures& textures)
{
    const int own = OwnSlot(side);
    if (own >= 0 && textures[static_cast<std::size_t>(own)])
        return textures[static_cast<std::size_t>(own)];
    return textures[static_cast<std::size_t>(ClassicSlot(side))];
}

// Where a side samples its picture, from the pair's coordinate (s, t) of
// that corner. The pair's picture lies as it always has (the bottom shows the
// top's upside down when the box is tilted to show it). An own picture reads
// upright, unmirrored, in the view that turns its side to the eye: the back at
// side angle 180, the right at side angle 270, the bottom at tilt angle 270
// (the box tipped back, its front edge at the top, as on a flat box net). The
// back and the right then lie as their pairs do; the bottom's own picture is
// turned half round.
struct TexturePoint {
    float S, T;
};
inline TexturePoint SideTexturePoint(BoxSide side, const SlotTextures& textures, float s, float t)
{
    if (side == BoxSide::Bottom && textures[static_cast<std::size_t>(SlotIndex::Bottom)])
        return {1.0f - s, 1.0f - t};
    return {s, t};
}
