#include "render/BookMesh.h"

#include "render/EyeLift.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr float Pi = 3.14159265358979f;
// A cover's edge row or column, a little inside so that the repeat wrap of
// the cover's texture never blends in the opposite edge.
constexpr float EdgeIn = 1.0f / 512.0f;
constexpr int GrooveSegments = 8;
// The lining inside the boards, seen in the overhang: paper, a little
// darker than the page edges so the two read apart.
constexpr float LiningRed = 0.84f, LiningGreen = 0.82f, LiningBlue = 0.77f;

Vec3 Minus(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Plus(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Vec3 Unit(Vec3 v)
{
    const float length = std::sqrt(Dot(v, v));
    return length > 0 ? Vec3{v.x / length, v.y / length, v.z / length} : v;
}

MeshVertex At(Vec3 position, Vec3 normal, float s, float t) { return {position, normal, s, t}; }

// Two triangles for the quad a b c d (corners in order around it), turned
// counter-clockwise as seen from the side its normals point to.
void AddQuad(MeshPart& part, MeshVertex a, MeshVertex b, MeshVertex c, MeshVertex d)
{
    const Vec3 facing = Cross(Minus(b.Position, a.Position), Minus(c.Position, a.Position));
    const Vec3 normal = Plus(Plus(a.Normal, b.Normal), Plus(c.Normal, d.Normal));
    if (Dot(facing, normal) < 0)
        std::swap(b, d);
    part.Triangles.insert(part.Triangles.end(), {a, b, c, a, c, d});
}

MeshPart Cover(BoxSide side) { return MeshPart{MeshSurface::Cover, side, 1, 1, 1, {}}; }

// A point of a board's outer face seen across the book (x), with its depth
// below the cover's plane and the face's slope there.
struct ProfilePoint {
    float X = 0;
    float Dip = 0;   // how far under the plane
    float Slope = 0; // d(Dip)/dx
};

// Flat from the spine to the fore-edge, with the hinge's groove as half a
// cosine wave down and up again.
std::vector<ProfilePoint> BoardProfile(float w, const BookMeasures& m)
{
    std::vector<ProfilePoint> profile{{-w, 0, 0}};
    if (m.HingeDepth > 0) {
        for (int i = 0; i <= GrooveSegments; ++i) {
            const float u = -1.0f + 2.0f * static_cast<float>(i) / GrooveSegments;
            const float x = m.HingeCentre + u * m.HingeHalfWidth;
            const float dip = m.HingeDepth * 0.5f * (1.0f + std::cos(Pi * u));
            const float slope = -m.HingeDepth * 0.5f * Pi / m.HingeHalfWidth * std::sin(Pi * u);
            profile.push_back({x, dip, slope});
        }
    }
    profile.push_back({w, 0, 0});
    return profile;
}

struct Extents {
    float W, H, T;
};

// One board with its cover: the outer face (groove included), the two ends,
// the fore-edge and the lining inside. `front` is +1 for the front board,
// -1 for the back one.
void AddBoard(ProductMesh& mesh, const Extents& e, const BookMeasures& m, float front, BoxSide side)
{
    const float w = e.W, h = e.H, t = e.T, inner = e.T - m.Board;
    // The classic texture coordinates: the front reads left to right from the
    // spine, the back from the fore-edge.
    const auto s = [&](float x) { return front > 0 ? (x + w) / (2 * w) : (w - x) / (2 * w); };
    MeshPart cover = Cover(side);
    const std::vector<ProfilePoint> profile = BoardProfile(w, m);
    for (std::size_t i = 0; i + 1 < profile.size(); ++i) {
        const ProfilePoint a = profile[i], b = profile[i + 1];
        const Vec3 na = Unit({a.Slope, 0, front}), nb = Unit({b.Slope, 0, front});
        const float za = front * (t - a.Dip), zb = front * (t - b.Dip);
        AddQuad(cover, At({a.X, -h, za}, na, s(a.X), 0), At({b.X, -h, zb}, nb, s(b.X), 0),
                At({b.X, h, zb}, nb, s(b.X), 1), At({a.X, h, za}, na, s(a.X), 1));
        // The board's ends: the cover's top and bottom rows wrapped over them.
        for (const float y : {-h, h}) {
            const Vec3 n{0, y > 0 ? 1.0f : -1.0f, 0};
            const float edge = y > 0 ? 1 - EdgeIn : EdgeIn;
            AddQuad(cover, At({a.X, y, front * inner}, n, s(a.X), edge), At({b.X, y, front * inner}, n, s(b.X), edge),
                    At({b.X, y, zb}, n, s(b.X), edge), At({a.X, y, za}, n, s(a.X), edge));
        }
    }
    const float foreS = std::clamp(s(w), EdgeIn, 1 - EdgeIn);
    const Vec3 fore{1, 0, 0};
    AddQuad(cover, At({w, -h, front * inner}, fore, foreS, 0), At({w, -h, front * t}, fore, foreS, 0),
            At({w, h, front * t}, fore, foreS, 1), At({w, h, front * inner}, fore, foreS, 1));
    mesh.Parts.push_back(std::move(cover));

    MeshPart lining{MeshSurface::Plain, side, LiningRed, LiningGreen, LiningBlue, {}};
    const Vec3 in{0, 0, -front};
    const float x0 = -w + m.Board;
    AddQuad(lining, At({x0, -h, front * inner}, in, 0, 0), At({w, -h, front * inner}, in, 0, 0),
            At({w, h, front * inner}, in, 0, 0), At({x0, h, front * inner}, in, 0, 0));
    mesh.Parts.push_back(std::move(lining));
}

// The spine's outside, its two ends between the boards, and its lining.
void AddSpine(ProductMesh& mesh, const Extents& e, const BookMeasures& m)
{
    const float w = e.W, h = e.H, t = e.T, b = m.Board;
    const auto s = [&](float z) { return (z + t) / (2 * t); };
    MeshPart spine = Cover(BoxSide::Left);
    const Vec3 out{-1, 0, 0};
    AddQuad(spine, At({-w, -h, -t}, out, 0, 0), At({-w, -h, t}, out, 1, 0), At({-w, h, t}, out, 1, 1),
            At({-w, h, -t}, out, 0, 1));
    for (const float y : {-h, h}) {
        const Vec3 n{0, y > 0 ? 1.0f : -1.0f, 0};
        const float edge = y > 0 ? 1 - EdgeIn : EdgeIn;
        AddQuad(spine, At({-w, y, -t + b}, n, s(-t + b), edge), At({-w, y, t - b}, n, s(t - b), edge),
                At({-w + b, y, t - b}, n, s(t - b), edge), At({-w + b, y, -t + b}, n, s(-t + b), edge));
    }
    mesh.Parts.push_back(std::move(spine));

    MeshPart lining{MeshSurface::Plain, BoxSide::Left, LiningRed, LiningGreen, LiningBlue, {}};
    const Vec3 in{1, 0, 0};
    AddQuad(lining, At({-w + b, -h, -t + b}, in, 0, 0), At({-w + b, -h, t - b}, in, 0, 0),
            At({-w + b, h, t - b}, in, 0, 0), At({-w + b, h, -t + b}, in, 0, 0));
    mesh.Parts.push_back(std::move(lining));
}

// The page block's three open sides; t runs across the pages from the back
// cover, s along the edge from the spine (top, bottom) or from the foot.
void AddPages(ProductMesh& mesh, const Extents& e, const BookMeasures& m)
{
    const float x0 = -e.W + m.Board, x1 = e.W - m.Overhang;
    const float y0 = -e.H + m.Overhang, y1 = e.H - m.Overhang;
    const float z0 = -e.T + m.Board, z1 = e.T - m.Board;
    MeshPart pages{MeshSurface::PageEdges, BoxSide::Right, 1, 1, 1, {}};
    for (const float y : {y0, y1}) {
        const Vec3 n{0, y > 0 ? 1.0f : -1.0f, 0};
        AddQuad(pages, At({x0, y, z0}, n, 0, 0), At({x1, y, z0}, n, 1, 0), At({x1, y, z1}, n, 1, 1),
                At({x0, y, z1}, n, 0, 1));
    }
    const Vec3 fore{1, 0, 0};
    AddQuad(pages, At({x1, y0, z0}, fore, 0, 0), At({x1, y1, z0}, fore, 1, 0), At({x1, y1, z1}, fore, 1, 1),
            At({x1, y0, z1}, fore, 0, 1));
    mesh.Parts.push_back(std::move(pages));
}

} // namespace

BookKind BookKindOf(const BoxForm& form)
{
    // The kinds' names are fixed in the document's table.
    if (form.Name == QLatin1String("Hard cover book"))
        return BookKind::HardCover;
    if (form.Name == QLatin1String("Soft cover book"))
        return BookKind::SoftCover;
    return BookKind::None;
}

BookMeasures MeasureBook(const BoxParameters& p, BookKind kind)
{
    const float w = p.HalfWidth, h = p.HalfHeight, t = p.HalfThickness;
    const float least = std::min(w, h);
    BookMeasures m;
    if (kind == BookKind::HardCover) {
        // About 2.5 mm of board and 3 mm of overhang on a 21 cm book.
        m.Board = std::min(0.12f * t, 0.03f * least);
        m.Overhang = 1.1f * m.Board + 0.008f * least;
        m.HingeHalfWidth = 0.03f * w;
        m.HingeCentre = -w + m.Board + 0.05f * w + m.HingeHalfWidth;
        m.HingeDepth = 0.55f * m.Board;
    } else if (kind == BookKind::SoftCover) {
        // A card cover, flush with the pages.
        m.Board = std::min(0.05f * t, 0.006f * least);
    }
    return m;
}

ProductMesh BuildBookMesh(const BoxParameters& p)
{
    const BookKind kind = BookKindOf(p.CurrentForm);
    if (!p.Shape.BookPages || kind == BookKind::None || p.HalfThickness <= ThinCardLimit)
        return {};
    const BookMeasures m = MeasureBook(p, kind);
    const Extents e{p.HalfWidth, p.HalfHeight, p.HalfThickness};
    ProductMesh mesh;
    AddBoard(mesh, e, m, 1, BoxSide::Front);
    AddBoard(mesh, e, m, -1, BoxSide::Back);
    AddSpine(mesh, e, m);
    AddPages(mesh, e, m);
    return mesh;
}
