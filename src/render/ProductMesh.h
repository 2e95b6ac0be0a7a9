#pragma once
// The product as triangles in the box frame (the frame of BoxFaces, in world
// units), for the shapes the classic quads cannot draw: rounded edges, a
// book with its page block. The classic sharp box never goes through here,
// so its picture stays exactly what the quads draw.
#include "document/BoxParameters.h"
#include "render/BoxSides.h"
#include "render/StudioLooks.h"

#include <array>
#include <vector>

struct MeshVertex {
    Vec3 Position;
    Vec3 Normal; // unit, outward, smooth across a rounded edge
    float S = 0, T = 0;
};

// What covers a part.
enum class MeshSurface {
    Cover,     // the picture of Side (SideTexture)
    PageEdges, // the program's paper texture of a book's page block (PageEdgeTexture.h)
    Plain,     // an untextured colour (a board's inside, its cut edges)
};

struct MeshPart {
    MeshSurface Surface = MeshSurface::Cover;
    BoxSide Side = BoxSide::Front;
    float Red = 1, Green = 1, Blue = 1; // Plain only
    std::vector<MeshVertex> Triangles;  // three vertices each, counter-clockwise from outside
    int Group = 0; // which box of a bundle (BoxGroup.h) the part belongs to; 0 alone
};

struct ProductMesh {
    std::vector<MeshPart> Parts;

    bool Empty() const { return Parts.empty(); }
};

// The shape the parameters ask for; empty when Shape.AllOff() (the classic
// quads draw that box).
ProductMesh BuildProductMesh(const BoxParameters& p);

// The classic block, built here only: one part per face (two for a card),
// each its quad split along the first diagonal (corners 0-1-2, 0-2-3), with
// the quad's picture coordinates and flat outward normal. The raster draws
// the quads back from it (QuadCorners); the ray tracer, the model export and
// a bundle's reflection read the triangles.
ProductMesh ClassicBlockMesh(const BoxParameters& p);
// A classic block part's four corners in the order its quad is drawn.
std::array<MeshVertex, 4> QuadCorners(const MeshPart& part);
// What the raster draws: the shape's mesh, else the classic block. Never empty.
ProductMesh SurfaceMeshOf(const BoxParameters& p);

// The rounded edges: the radius in world units (EdgeRadius / 100, at most the
// thinnest half extent; a card, drawn as two faces, rounds only its corners
// and takes the smaller of its width and height), and the segments a round's
// half (45 degrees) is cut into, more for a larger radius so that it looks
// round at 1800 x 1800.
float EdgeRadiusOf(const BoxParameters& p);
int RoundSegments(float radius);

// Every kind's block with its edges and corners rounded by `radius` (> 0).
// Each face's picture spans its flat part and half of each adjoining round,
// by arc length, so neighbouring pictures meet in the middle of the round.
ProductMesh RoundedBoxMesh(const BoxParameters& p, float radius);
// The card kind: its two faces as rounded rectangles, the picture laid
// flat over each as on the classic card (the corners are cut off it).
ProductMesh RoundedCardMesh(const BoxParameters& p, float radius);
