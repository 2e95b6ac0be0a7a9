#pragma once
// The product as triangles in the box frame (the frame of BoxFaces, in world
// units), for the shapes the classic quads cannot draw: rounded edges, a
// book with its page block. The classic sharp box never goes through here,
// so its picture stays exactly what the quads draw.
#include "document/BoxParameters.h"
#include "render/BoxSides.h"
#include "render/StudioLooks.h"

#include <vector>

struct MeshVertex {
    Vec3 Position;
    Vec3 Normal; // unit, outward, smooth across a rounded edge
    float S = 0, T = 0;
};

// What covers a part.
enum class MeshSurface {
    Cover,     // the picture of Side (SideTexture)
    PageEdges, // the program's paper texture of a book's page block
    Plain,     // an untextured colour (a board's inside, its cut edges)
};

struct MeshPart {
    MeshSurface Surface = MeshSurface::Cover;
    BoxSide Side = BoxSide::Front;
    float Red = 1, Green = 1, Blue = 1; // Plain only
    std::vector<MeshVertex> Triangles;  // three vertices each, counter-clockwise from outside
};

struct ProductMesh {
    std::vector<MeshPart> Parts;
};

// The shape the parameters ask for; empty when Shape.AllOff() (the classic
// quads draw that box).
ProductMesh BuildProductMesh(const BoxParameters& p);
