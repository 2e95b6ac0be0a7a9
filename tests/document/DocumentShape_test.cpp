// The shape and the own side pictures in the document: what is told, what a
// new project resets, and how a project brings them and takes them back.
#include "document/BoxDocument.h"
#include "document/ProjectApply.h"
#include "formats/ProjectOpen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

struct ShapeDocument : ::testing::Test {
    BoxDocument doc;
    std::vector<unsigned> told;

    void SetUp() override
    {
        doc.NewProject();
        doc.OnChanged = [this](unsigned c) { told.push_back(c); };
    }
    int Told(unsigned bit) const
    {
        int n = 0;
        for (unsigned c : told)
            n += (c & bit) ? 1 : 0;
        return n;
    }
};

TEST_F(ShapeDocument, RadiusIsClampedAndOnlyRealChangesAreTold)
{
    doc.SetShape({.EdgeRadius = 250.0f, .BookPages = true});
    EXPECT_EQ(doc.Params.Shape.EdgeRadius, ShapeLimits::MaxEdgeRadius);
    EXPECT_TRUE(doc.Params.Shape.BookPages);
    EXPECT_EQ(Told(DocumentChange::Shape), 1);
    EXPECT_EQ(Told(DocumentChange::View), 1);

    doc.SetShape({.EdgeRadius = 250.0f, .BookPages = true}); // the same after clamping
    EXPECT_EQ(Told(DocumentChange::Shape), 1);

    doc.SetShape({.EdgeRadius = -3.0f, .BookPages = true});
    EXPECT_EQ(doc.Params.Shape.EdgeRadius, 0.0f);
    doc.SetShape({.EdgeRadius = std::numeric_limits<float>::quiet_NaN(), .BookPages = false});
    EXPECT_EQ(doc.Params.Shape.EdgeRadius, 0.0f);
    EXPECT_TRUE(doc.Params.Shape.AllOff());
}

TEST_F(ShapeDocument, SidePicturesAreToldTheClassicSlotsOnlyAsUnsaved)
{
    // The window loads and shows a classic slot's picture itself: the document
    // only tells that the project has a change to save.
    doc.SetCover(0, {QStringLiteral("front.jpg"), QStringLiteral("/p")});
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], DocumentChange::Files);
    told.clear();
    doc.SetCover(3, {QStringLiteral("back.jpg"), QStringLiteral("/p")});
    doc.SetCover(3, {QStringLiteral("back.jpg"), QStringLiteral("/p")});
    EXPECT_EQ(Told(DocumentChange::SideCovers), 1);
    doc.SetCover(5, {});
    EXPECT_EQ(Told(DocumentChange::SideCovers), 1); // it was empty already

    // A new project clears them and the shape, and says so; the looks stay.
    doc.SetShape({.EdgeRadius = 20.0f, .BookPages = false});
    doc.SetLooks({.Shadow = 50});
    told.clear();
    doc.NewProject();
    EXPECT_TRUE(doc.Cover(3).Path.isEmpty());
    EXPECT_EQ(Told(DocumentChange::SideCovers), 1);
    EXPECT_EQ(Told(DocumentChange::Shape), 1);
    EXPECT_TRUE(doc.Params.Shape.AllOff());
    EXPECT_EQ(doc.Params.Looks.Shadow, 50);
}

TEST_F(ShapeDocument, AProjectBringsItsShapeAndSidePicturesAndSavesThemBack)
{
    OpenedProject project;
    project.Folder = QStringLiteral("/projects");
    project.Data.Form = 8;
    project.Data.Shape = {.EdgeRadius = 7.5f, .BookPages = true};
    project.Data.Back = QStringLiteral("art/back.png");
    project.Data.Bottom = QStringLiteral("/abs/bottom.jpg");
    OpenProjectInto(project, doc);
    EXPECT_EQ(doc.Params.Shape, project.Data.Shape);
    EXPECT_EQ(doc.Cover(3).Path, QStringLiteral("art/back.png"));
    EXPECT_EQ(doc.Cover(3).Folder, QStringLiteral("/projects"));
    EXPECT_TRUE(doc.Cover(4).Path.isEmpty());
    EXPECT_EQ(doc.Cover(5).Path, QStringLiteral("/abs/bottom.jpg"));

    const ProjectData saved = CaptureProject(doc, CoverPathsOf(doc), doc.OutputFolder());
    EXPECT_EQ(saved.Shape, project.Data.Shape);
    EXPECT_EQ(saved.Back, project.Data.Back);
    EXPECT_TRUE(saved.Right.isEmpty());
    EXPECT_EQ(saved.Bottom, project.Data.Bottom);

    // A project without the block turns the shape off and names no side pictures.
    OpenedProject classic;
    classic.Folder = QStringLiteral("/other");
    OpenProjectInto(classic, doc);
    EXPECT_TRUE(doc.Params.Shape.AllOff());
    for (int slot = ClassicCoverCount; slot < CoverSourceCount; ++slot)
        EXPECT_TRUE(doc.Cover(slot).Path.isEmpty()) << slot;
}

} // namespace
