// The book drawn for the two book kinds: where its page edges, boards and
// covers are, that it fills the classic box, and that no ray from inside it
// finds a gap in its skin.
#include "document/BoxDocument.h"
#include "render/BookMesh.h"
#include "render/StudioLooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

constexpr int HardCoverForm = 8;
constexpr int SoftCoverForm = 9;

BoxParameters BookParams(int form, bool pages = true)
{
    BoxDocument document;
    document.SetForm(form);
    BoxParameters p = document.Params;
    p.Shape.BookPages = pages;
    return p;
}

Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The axis direction a flat triangle faces: 'x', 'X' (minus, plus), ...; '?' when slanted.
char Facing(const MeshVertex& v)
{
    const Vec3 n = v.Normal;
    if (std::abs(n.x) > 0.999f)
        return n.x > 0 ? 'X' : 'x';
    if (std::abs(n.y) > 0.999f)
        return n.y > 0 ? 'Y' : 'y';
    if (std::abs(n.z) > 0.999f)
        return n.z > 0 ? 'Z' : 'z';
    return '?';
}

struct Bounds {
    Vec3 Low{1e9f, 1e9f, 1e9f}, High{-1e9f, -1e9f, -1e9f};
    void Add(Vec3 v)
    {
        Low = {std::min(Low.x, v.x), std::min(Low.y, v.y), std::min(Low.z, v.z)};
        High = {std::max(High.x, v.x), std::max(High.y, v.y), std::max(High.z, v.z)};
    }
};

Bounds BoundsOf(const ProductMesh& mesh, MeshSurface surface)
{
    Bounds b;
    for (const MeshPart& part : mesh.Parts)
        if (part.Surface == surface)
            for (const MeshVertex& v : part.Triangles)
                b.Add(v.Position);
    return b;
}

TEST(BookMeshTest, OnlyTheBookKindsWithPagesOnAndRoomForThem)
{
    for (int form = 0; form < FormCount; ++form) {
        const bool book = form == HardCoverForm || form == SoftCoverForm;
        EXPECT_EQ(BuildBookMesh(BookParams(form)).Parts.empty(), !book) << form;
    }
    EXPECT_TRUE(BuildBookMesh(BookParams(HardCoverForm, false)).Parts.empty());
    BoxParameters card = BookParams(SoftCoverForm);
    card.HalfThickness = 0.001f; // the thickness slider at its least: a card
    EXPECT_TRUE(BuildBookMesh(card).Parts.empty());
}

TEST(BookMeshTest, PageEdgesOnTopBottomAndForeEdgeNeverOnTheSpine)
{
    for (const int form : {HardCoverForm, SoftCoverForm}) {
        const BoxParameters p = BookParams(form);
        const ProductMesh mesh = BuildBookMesh(p);
        std::set<char> pageSides;
        std::vector<MeshVertex> corner; // where the top meets the fore-edge
        for (const MeshPart& part : mesh.Parts) {
            for (const MeshVertex& v : part.Triangles) {
                if (part.Surface == MeshSurface::PageEdges) {
                    pageSides.insert(Facing(v));
                    if (v.Position.y > 0 && std::abs(v.Position.x - BoundsOf(mesh, MeshSurface::PageEdges).High.x) < 1e-6f)
                        corner.push_back(v);
                }
                // The spine's outside shows the side picture and nothing else.
                if (Facing(v) == 'x' && v.Position.x <= -p.HalfWidth + 1e-6f) {
                    EXPECT_EQ(part.Surface, MeshSurface::Cover) << form;
                    EXPECT_EQ(part.Side, BoxSide::Left) << form;
                }
            }
        }
        EXPECT_EQ(pageSides, (std::set<char>{'X', 'Y', 'y'})) << form;
        EXPECT_GT(BoundsOf(mesh, MeshSurface::PageEdges).Low.x, -p.HalfWidth) << form;
        // A page shows at the same place across the block on the top and on the fore-edge.
        for (const MeshVertex& a : corner) {
            for (const MeshVertex& b : corner) {
                if (std::abs(a.Position.z - b.Position.z) < 1e-6f) {
                    EXPECT_FLOAT_EQ(a.T, b.T) << form;
                }
            }
        }
        EXPECT_FALSE(corner.empty());
    }
}

TEST(BookMeshTest, FillsTheBoxTheClassicKindDraws)
{
    for (const int form : {HardCoverForm, SoftCoverForm}) {
        const BoxParameters p = BookParams(form);
        const Bounds all = BoundsOf(BuildBookMesh(p), MeshSurface::Cover);
        EXPECT_FLOAT_EQ(all.Low.x, -p.HalfWidth);
        EXPECT_FLOAT_EQ(all.High.x, p.HalfWidth);
        EXPECT_FLOAT_EQ(all.Low.y, -p.HalfHeight);
        EXPECT_FLOAT_EQ(all.High.y, p.HalfHeight);
        EXPECT_FLOAT_EQ(all.Low.z, -p.HalfThickness);
        EXPECT_FLOAT_EQ(all.High.z, p.HalfThickness);
    }
}

TEST(BookMeshTest, HardCoverBoardsReachPastThePagesSoftCoverIsFlush)
{
    const BoxParameters hard = BookParams(HardCoverForm);
    const Bounds hardPages = BoundsOf(BuildBookMesh(hard), MeshSurface::PageEdges);
    const BookMeasures board = MeasureBook(hard, BookKind::HardCover);
    EXPECT_GT(board.Overhang, board.Board * 0.5f);
    EXPECT_NEAR(hardPages.High.y, hard.HalfHeight - board.Overhang, 1e-6f);
    EXPECT_NEAR(hardPages.Low.y, -hard.HalfHeight + board.Overhang, 1e-6f);
    EXPECT_NEAR(hardPages.High.x, hard.HalfWidth - board.Overhang, 1e-6f);
    // Between the boards: each board is thick enough to show its edge.
    EXPECT_NEAR(hardPages.High.z, hard.HalfThickness - board.Board, 1e-6f);
    EXPECT_GT(board.Board, 0.05f * hard.HalfThickness);

    const BoxParameters soft = BookParams(SoftCoverForm);
    const Bounds softPages = BoundsOf(BuildBookMesh(soft), MeshSurface::PageEdges);
    EXPECT_FLOAT_EQ(softPages.High.y, soft.HalfHeight);
    EXPECT_FLOAT_EQ(softPages.Low.y, -soft.HalfHeight);
    EXPECT_FLOAT_EQ(softPages.High.x, soft.HalfWidth);
    const BookMeasures card = MeasureBook(soft, BookKind::SoftCover);
    EXPECT_GT(card.Board, 0.0f);
    EXPECT_LT(card.Board, board.Board);
}

// The lowest point of the front cover's outside, and where it is.
Vec3 DeepestFront(const ProductMesh& mesh)
{
    Vec3 deepest{0, 0, 1e9f};
    for (const MeshPart& part : mesh.Parts)
        if (part.Surface == MeshSurface::Cover && part.Side == BoxSide::Front)
            for (const MeshVertex& v : part.Triangles)
                if (v.Normal.z > 0.5f && v.Position.z < deepest.z)
                    deepest = v.Position;
    return deepest;
}

TEST(BookMeshTest, HardCoverHasAHingeGrooveBesideTheSpine)
{
    const BoxParameters hard = BookParams(HardCoverForm);
    const BookMeasures m = MeasureBook(hard, BookKind::HardCover);
    const Vec3 groove = DeepestFront(BuildBookMesh(hard));
    EXPECT_NEAR(groove.z, hard.HalfThickness - m.HingeDepth, 1e-5f);
    EXPECT_LT(hard.HalfThickness - groove.z, m.Board); // never through the board
    EXPECT_GT(groove.x, -hard.HalfWidth + m.Board);
    EXPECT_LT(groove.x, -hard.HalfWidth * 0.75f);

    const BoxParameters soft = BookParams(SoftCoverForm);
    EXPECT_FLOAT_EQ(DeepestFront(BuildBookMesh(soft)).z, soft.HalfThickness);
}

TEST(BookMeshTest, CoversSitWhereTheClassicFacesPutThem)
{
    for (const int form : {HardCoverForm, SoftCoverForm}) {
        const BoxParameters p = BookParams(form);
        const ProductMesh mesh = BuildBookMesh(p);
        for (const BoxSide side : {BoxSide::Front, BoxSide::Back, BoxSide::Left}) {
            const BoxFace& face = BoxFaces[static_cast<int>(side)];
            const Vec3 normal = FaceNormal(face);
            for (const FaceCorner& c : face.Corners) {
                const Vec3 at{c.x * p.HalfWidth, c.y * p.HalfHeight, c.z * p.HalfThickness};
                int found = 0;
                for (const MeshPart& part : mesh.Parts)
                    for (const MeshVertex& v : part.Triangles)
                        if (Dot(v.Normal, normal) > 0.999f && std::abs(v.Position.x - at.x) < 1e-6f &&
                            std::abs(v.Position.y - at.y) < 1e-6f && std::abs(v.Position.z - at.z) < 1e-6f) {
                            ++found;
                            EXPECT_EQ(part.Side, side);
                            EXPECT_FLOAT_EQ(v.S, c.s) << form << " side " << static_cast<int>(side);
                            EXPECT_FLOAT_EQ(v.T, c.t) << form << " side " << static_cast<int>(side);
                        }
                EXPECT_GT(found, 0) << form << " side " << static_cast<int>(side);
            }
        }
    }
}

TEST(BookMeshTest, TrianglesTurnTheirFrontToTheirNormals)
{
    for (const int form : {HardCoverForm, SoftCoverForm})
        for (const MeshPart& part : BuildBookMesh(BookParams(form)).Parts) {
            ASSERT_EQ(part.Triangles.size() % 3, 0u);
            for (std::size_t i = 0; i < part.Triangles.size(); i += 3) {
                const MeshVertex* t = &part.Triangles[i];
                const Vec3 facing = Cross(Sub(t[1].Position, t[0].Position), Sub(t[2].Position, t[0].Position));
                for (int k = 0; k < 3; ++k) {
                    EXPECT_GT(Dot(facing, t[k].Normal), 0.0f) << form;
                    EXPECT_NEAR(Dot(t[k].Normal, t[k].Normal), 1.0f, 1e-5f);
                }
            }
        }
}

// Moeller-Trumbore, with a little tolerance so a ray through a shared edge counts.
bool Hits(Vec3 origin, Vec3 direction, const MeshVertex* t)
{
    const Vec3 e1 = Sub(t[1].Position, t[0].Position), e2 = Sub(t[2].Position, t[0].Position);
    const Vec3 q = Cross(direction, e2);
    const float det = Dot(e1, q);
    if (std::abs(det) < 1e-12f)
        return false;
    const Vec3 s = Sub(origin, t[0].Position);
    const float u = Dot(s, q) / det;
    const Vec3 r = Cross(s, e1);
    const float v = Dot(direction, r) / det;
    const float along = Dot(e2, r) / det;
    constexpr float slack = 1e-5f;
    return u >= -slack && v >= -slack && u + v <= 1 + slack && along > 0;
}

TEST(BookMeshTest, NoRayFromInsideTheBookEscapesThroughAGap)
{
    for (const int form : {HardCoverForm, SoftCoverForm}) {
        BoxParameters p = BookParams(form);
        for (const float thickness : {p.HalfThickness, 0.02f}) {
            p.HalfThickness = thickness;
            const ProductMesh mesh = BuildBookMesh(p);
            const BookMeasures m = MeasureBook(p, BookKindOf(p.CurrentForm));
            // Inside the pages, and inside the front board under its groove.
            std::vector<Vec3> inside;
            for (int i = 0; i < 5; ++i)
                for (int j = 0; j < 5; ++j) {
                    const float fx = -0.97f + 0.485f * i, fy = -0.97f + 0.485f * j;
                    inside.push_back({fx * (p.HalfWidth - m.Overhang), fy * (p.HalfHeight - m.Overhang),
                                      0.3f * fx * (p.HalfThickness - m.Board)});
                    inside.push_back({fx * p.HalfWidth * 0.999f, fy * p.HalfHeight * 0.999f,
                                      p.HalfThickness - m.Board * 0.8f});
                }
            int escaped = 0;
            for (const Vec3 origin : inside)
                for (int a = 0; a < 40; ++a) {
                    // Directions spread over the sphere, none along an axis.
                    const float z = -0.975f + 0.05f * a, ring = std::sqrt(1 - z * z);
                    const float turn = 2.39996f * static_cast<float>(a) + 0.1f;
                    const Vec3 direction{ring * std::cos(turn), ring * std::sin(turn), z};
                    bool hit = false;
                    for (const MeshPart& part : mesh.Parts)
                        for (std::size_t i = 0; i < part.Triangles.size() && !hit; i += 3)
                            hit = Hits(origin, direction, &part.Triangles[i]);
                    escaped += hit ? 0 : 1;
                }
            EXPECT_EQ(escaped, 0) << form << " thickness " << thickness;
        }
    }
}

} // namespace
