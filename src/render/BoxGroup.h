#pragma once
// A bundle: several boxes in one picture, each with its own kind, size,
// shape and covers, placed side by side, fanned or stacked. The group is one
// product mesh in the group's own frame (centred on the origin, so the view
// turns it about its centre), its parts tagged with the box they belong to
// so that each draws with its own covers and casts its own outline of the
// one shadow.
#include "document/BoxParameters.h"
#include "render/BoxSides.h"
#include "render/ProductMesh.h"

#include <functional>
#include <vector>

enum class GroupArrangement { Row, Fan, Stack };

namespace GroupLimits {
inline constexpr int MinBoxes = 2;
inline constexpr int MaxBoxes = 6;
// The gap between neighbours, in the units the size labels show (a half
// side times 100), for row and fan; a stack's boxes lie on each other.
inline constexpr int MinSpacing = 0;
inline constexpr int MaxSpacing = 200;
inline constexpr int DefaultSpacing = 40;
// Each place of a fan away from the middle turns its box this much more
// towards the middle.
inline constexpr float FanStepDegrees = 15.0f;
} // namespace GroupLimits

// Where a box stands in the group's frame: its centre, and its turn about
// the vertical axis in degrees.
struct GroupPlace {
    Vec3 Centre;
    float Turn = 0;
};

// Row: left to right in the order given, bottoms on one plane and fronts in
// one line; fan: the same with each box turned towards the middle; stack:
// the first at the bottom, each on the one before, centred. The group's
// bounding box is centred on the origin. `spacing` is in size-label units.
std::vector<GroupPlace> ArrangeGroup(const std::vector<BoxParameters>& boxes, GroupArrangement arrangement,
                                     float spacing);

// Each box's mesh (`meshOf` its parameters) turned and moved to its place
// as ArrangeGroup says, its parts tagged with the box's index: the one
// placement both engines draw a group with.
ProductMesh PlaceGroupMeshes(const std::vector<BoxParameters>& boxes, GroupArrangement arrangement, float spacing,
                             const std::function<ProductMesh(const BoxParameters&)>& meshOf);

struct GroupScene {
    ProductMesh Mesh;                  // every box's parts, Group = its index in Boxes
    std::vector<SlotTextures> Covers;  // per box; filled by whoever owns the textures
};

// The boxes' meshes (a classic block cut into a grid, so the reflection
// fades smoothly over it) placed as ArrangeGroup says.
GroupScene BuildGroupScene(const std::vector<BoxParameters>& boxes, GroupArrangement arrangement, float spacing);

// The view the group is drawn with: `view` (the first box's view, looks,
// background and fog) with the largest half extents of any box, which the
// looks scale their shadow's blur and the reflection's fade by.
BoxParameters GroupView(const BoxParameters& view, const std::vector<BoxParameters>& boxes);
