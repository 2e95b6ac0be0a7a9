// The book drawn for the two book kinds: where its page edges, boards and
// covers are, and that no ray from inside it finds a gap in its skin.
#include "document/BoxDocument.h"
#include "render/BookMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

constexpr int HardCover = 8, SoftCover = 9;

BoxParameters Book(int form, bool pages = true)
{
    BoxDocument document;
    document.SetForm(form);
    document.Params.Shape.BookPages = pages;
    return document.Params;
}

Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
bool Near(Vec3 a, Vec3 b) { return std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.z - b.z) < 1e-5f; }

// Lowest and highest x, y, z of a surface's vertices.
std::pair<Vec3, Vec3> Bounds(const ProductMesh& mesh, MeshSurface surface)
{
    Vec3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (const MeshPart& part : mesh.Parts)
        for (const MeshVertex& v : part.Surface == surface ? part.Triangles : std::vector<MeshVertex>{}) {
            lo = {std::min(lo.x, v.Position.x), std::min(lo.y, v.Position.y), std::min(lo.z, v.Position.z)};
            hi = {std::max(hi.x, v.Position.x), std::max(hi.y, v.Position.y), std::max(hi.z, v.Position.z)};
        }
    return {lo, hi};
}

TEST(BookMeshTest, OnlyTheBookKindsWithPagesOnAndRoomForThem)
{
    for (int form = 0; form < FormCount; ++form)
        EXPECT_EQ(BuildBookMesh(Book(form)).Parts.empty(), form != HardCover && form != SoftCover) << form;
    EXPECT_TRUE(BuildBookMesh(Book(HardCover, false)).Parts.empty());
    BoxParameters card = Book(SoftCover);
    card.HalfThickness = 0.001f; // the thickness slider at its least
    EXPECT_TRUE(BuildBookMesh(card).Parts.empty());
}

TEST(BookMeshTest, PagesShowOnTheThreeOpenSidesInsideTheClassicBox)
{
    for (const int form : {HardCover, SoftCover}) {
        const BoxParameters p = Book(form);
        const ProductMesh mesh = BuildBookMesh(p);
        const BookMeasures m = MeasureBook(p, BookKindOf(p.CurrentForm));
        std::set<std::pair<int, int>> pageFacings; // (axis, sign)
        for (const MeshPart& part : mesh.Parts)
            for (const MeshVertex& v : part.Triangles) {
                const float n[3] = {v.Normal.x, v.Normal.y, v.Normal.z};
                for (int axis = 0; axis < 3; ++axis)
                    if (part.Surface == MeshSurface::PageEdges && std::abs(n[axis]) > 0.999f)
                        pageFacings.insert({axis, n[axis] > 0 ? 1 : -1});
                // The spine's outside shows the side picture and nothing else.
                if (v.Position.x == -p.HalfWidth && v.Normal.x < -0.999f) {
                    EXPECT_TRUE(part.Surface == MeshSurface::Cover && part.Side == BoxSide::Left) << form;
                }
            }
        EXPECT_EQ(pageFacings, (std::set<std::pair<int, int>>{{0, 1}, {1, -1}, {1, 1}})) << form;

        const auto [coverLow, coverHigh] = Bounds(mesh, MeshSurface::Cover);
        EXPECT_TRUE(Near(coverLow, {-p.HalfWidth, -p.HalfHeight, -p.HalfThickness})) << form;
        EXPECT_TRUE(Near(coverHigh, {p.HalfWidth, p.HalfHeight, p.HalfThickness})) << form;
        // Pages between the boards, short of the boards' edges on a hard cover only.
        const auto [pagesLow, pagesHigh] = Bounds(mesh, MeshSurface::PageEdges);
        const float overhang = form == HardCover ? m.Overhang : 0;
        EXPECT_TRUE(Near(pagesHigh, {p.HalfWidth - overhang, p.HalfHeight - overhang, p.HalfThickness - m.Board}));
        EXPECT_TRUE(Near(pagesLow, {-p.HalfWidth + m.Board, -p.HalfHeight + overhang, -p.HalfThickness + m.Board}));
        EXPECT_GT(m.Board, 0.0f);
        EXPECT_EQ(m.Overhang > m.Board * 0.5f, form == HardCover);
    }
    EXPECT_LT(MeasureBook(Book(SoftCover), BookKind::SoftCover).Board,
              MeasureBook(Book(HardCover), BookKind::HardCover).Board);
}

TEST(BookMeshTest, HardCoverHasAHingeGrooveBesideTheSpine)
{
    for (const int form : {HardCover, SoftCover}) {
        const BoxParameters p = Book(form);
        Vec3 deepest{0, 0, 1e9f}; // of the front cover's outside
        for (const MeshPart& part : BuildBookMesh(p).Parts)
            for (const MeshVertex& v : part.Triangles)
                if (part.Side == BoxSide::Front && v.Normal.z > 0.5f && v.Position.z < deepest.z)
                    deepest = v.Position;
        const BookMeasures m = MeasureBook(p, BookKindOf(p.CurrentForm));
        EXPECT_FLOAT_EQ(deepest.z, p.HalfThickness - m.HingeDepth) << form;
        EXPECT_EQ(m.HingeDepth > 0, form == HardCover);
        if (form == HardCover) {
            EXPECT_LT(m.HingeDepth, m.Board); // never through the board
            EXPECT_GT(deepest.x, -p.HalfWidth + m.Board);
            EXPECT_LT(deepest.x, -p.HalfWidth * 0.75f);
        }
    }
}

TEST(BookMeshTest, CoversLieAsOnTheClassicFacesAndTurnOutward)
{
    for (const int form : {HardCover, SoftCover}) {
        const BoxParameters p = Book(form);
        const ProductMesh mesh = BuildBookMesh(p);
        for (const BoxSide side : {BoxSide::Front, BoxSide::Back, BoxSide::Left}) {
            const BoxFace& face = BoxFaces[static_cast<int>(side)];
            for (const FaceCorner& c : face.Corners) {
                const Vec3 at{c.x * p.HalfWidth, c.y * p.HalfHeight, c.z * p.HalfThickness};
                int found = 0;
                for (const MeshPart& part : mesh.Parts)
                    for (const MeshVertex& v : part.Triangles)
                        if (Near(v.Position, at) && Dot(v.Normal, FaceNormal(face)) > 0.999f) {
                            ++found;
                            EXPECT_EQ(part.Side, side);
                            EXPECT_EQ(v.S, c.s) << form << " side " << static_cast<int>(side);
                            EXPECT_EQ(v.T, c.t) << form << " side " << static_cast<int>(side);
                        }
                EXPECT_GT(found, 0) << form << " side " << static_cast<int>(side);
            }
        }
        for (const MeshPart& part : mesh.Parts)
            for (std::size_t i = 0; i < part.Triangles.size(); i += 3) {
                const MeshVertex* t = &part.Triangles[i];
                const Vec3 facing = Cross(Sub(t[1].Position, t[0].Position), Sub(t[2].Position, t[0].Position));
                for (int k = 0; k < 3; ++k)
                    EXPECT_GT(Dot(facing, t[k].Normal), 0.0f) << form;
            }
    }
}

// Moeller-Trumbore, with a little slack so a ray through a shared edge counts.
bool Hits(Vec3 origin, Vec3 direction, const MeshVertex* t)
{
    const Vec3 e1 = Sub(t[1].Position, t[0].Position), e2 = Sub(t[2].Position, t[0].Position);
    const Vec3 q = Cross(direction, e2), s = Sub(origin, t[0].Position), r = Cross(s, e1);
    const float det = Dot(e1, q);
    if (std::abs(det) < 1e-12f)
        return false;
    const float u = Dot(s, q) / det, v = Dot(direction, r) / det;
    return u >= -1e-5f && v >= -1e-5f && u + v <= 1 + 1e-5f && Dot(e2, r) / det > 0;
}

TEST(BookMeshTest, NoRayFromInsideTheBookEscapesThroughAGap)
{
    for (const int form : {HardCover, SoftCover}) {
        for (const float thickness : {0.0f, 0.02f}) { // the kind's own, and a thin book
            BoxParameters p = Book(form);
            p.HalfThickness = thickness > 0 ? thickness : p.HalfThickness;
            const ProductMesh mesh = BuildBookMesh(p);
            const BookMeasures m = MeasureBook(p, BookKindOf(p.CurrentForm));
            const float w = p.HalfWidth, h = p.HalfHeight, t = p.HalfThickness;
            std::vector<Vec3> inside; // in the pages, both boards (under the grooves) and the spine
            for (float f = -0.97f; f < 1; f += 0.485f)
                for (float g = -0.99f; g < 1; g += 0.495f) {
                    inside.push_back({f * (w - m.Overhang), g * (h - m.Overhang), 0.3f * f * (t - m.Board)});
                    inside.push_back({f * w, g * h, t - m.Board * 0.8f});
                    inside.push_back({f * w, g * h, -t + m.Board * 0.8f});
                    inside.push_back({-w + m.Board * 0.5f, g * h, f * t});
                }
            int escaped = 0;
            for (const Vec3 origin : inside)
                for (int a = 0; a < 40; ++a) { // spread over the sphere, none along an axis
                    const float z = -0.975f + 0.05f * a, ring = std::sqrt(1 - z * z), turn = 2.4f * a + 0.1f;
                    const Vec3 direction{ring * std::cos(turn), ring * std::sin(turn), z};
                    bool hit = false;
                    for (const MeshPart& part : mesh.Parts)
                        for (std::size_t i = 0; i < part.Triangles.size() && !hit; i += 3)
                            hit = Hits(origin, direction, &part.Triangles[i]);
                    escaped += hit ? 0 : 1;
                }
            EXPECT_EQ(escaped, 0) << form << " thickness " << p.HalfThickness;
        }
    }
}

} // namespace
