// The view's angles, the output folder and the cover paths as the document
// keeps them.
#include "document/BoxDocument.h"

#include "formats/ProjectOpen.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct DocumentAnglesTest : ::testing::Test {
    BoxDocument doc;
    std::vector<unsigned> told;

    void SetUp() override
    {
        doc.SetForm(0);
        doc.OnChanged = [this](unsigned changes) { told.push_back(changes); };
    }
};

TEST_F(DocumentAnglesTest, ATurnPastAFullCircleStartsAgainFromTheFront)
{
    doc.TurnTo(370.5f, 365.0f);
    EXPECT_EQ(doc.Params.SideAngle, 0.0f); // 0, not 10.5: a full turn snaps back
    EXPECT_EQ(doc.Params.TiltAngle, 0.0f);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], DocumentChange::Angles | DocumentChange::View);

    doc.TurnTo(360.0f, 359.75f); // 360 itself wraps, just below stays
    EXPECT_EQ(doc.Params.SideAngle, 0.0f);
    EXPECT_EQ(doc.Params.TiltAngle, 359.75f);

    doc.TurnTo(-400.0f, -0.5f); // negative angles are never wrapped
    EXPECT_EQ(doc.Params.SideAngle, -400.0f);
    EXPECT_EQ(doc.Params.TiltAngle, -0.5f);
}

TEST_F(DocumentAnglesTest, ATurnThatChangesNothingTellsNothing)
{
    doc.TurnTo(42.0f, 7.0f);
    told.clear();
    doc.TurnTo(42.0f, 7.0f);
    doc.TurnTo(360.0f, 7.0f); // wraps to 0, which is a change
    doc.TurnTo(720.0f, 7.0f); // wraps to 0 again: none
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(DocumentAnglesTest, AnglesSetAsGivenStayUntilWrappedForViewing)
{
    // A project's or an option's angles are kept as they are, so saving
    // or printing them gives them back unchanged.
    doc.SetAngles(400.0f, 360.0f);
    EXPECT_EQ(doc.Params.SideAngle, 400.0f);
    EXPECT_EQ(doc.Params.TiltAngle, 360.0f);
    told.clear();
    doc.WrapAngles();
    EXPECT_EQ(doc.Params.SideAngle, 0.0f);
    EXPECT_EQ(doc.Params.TiltAngle, 0.0f);
    EXPECT_EQ(told.size(), 1u);
    doc.WrapAngles();
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(DocumentAnglesTest, TheDrawingsCopyIsWrappedAsTheDocumentWouldBe)
{
    BoxParameters p;
    p.SideAngle = 360.0f;
    p.TiltAngle = 365.5f;
    WrapViewAngles(p);
    EXPECT_EQ(p.SideAngle, 0.0f);
    EXPECT_EQ(p.TiltAngle, 0.0f);
    p.SideAngle = -400.0f;
    p.TiltAngle = 359.5f;
    WrapViewAngles(p);
    EXPECT_EQ(p.SideAngle, -400.0f);
    EXPECT_EQ(p.TiltAngle, 359.5f);
}

TEST_F(DocumentAnglesTest, TheOutputFolderIsTheDocuments)
{
    EXPECT_TRUE(doc.OutputFolder().isEmpty());
    doc.SetOutputFolder(QStringLiteral("/shots/"));
    EXPECT_EQ(doc.OutputFolder(), QStringLiteral("/shots/"));
    doc.NewProject(); // a new project keeps where results go
    EXPECT_EQ(doc.OutputFolder(), QStringLiteral("/shots/"));
}

TEST_F(DocumentAnglesTest, AnOpenedProjectsCoversAndFolderGoIntoTheDocument)
{
    OpenedProject project;
    project.Data.FrontBack = QStringLiteral("art/front.jpg");
    project.Data.TopBottom = QStringLiteral("/abs/top.png");
    project.Data.OutputFolder = QStringLiteral("/out/");
    project.Data.SideAngle = 400.0f; // kept as stored
    project.Folder = QStringLiteral("/projects");
    doc.SetCover(1, {QStringLiteral("left.bmp"), QString()});
    OpenProjectInto(project, doc);
    EXPECT_EQ(doc.Cover(0).Path, QStringLiteral("art/front.jpg"));
    EXPECT_EQ(doc.Cover(0).Folder, QStringLiteral("/projects"));
    EXPECT_TRUE(doc.Cover(1).Path.isEmpty()); // the project names none there
    EXPECT_EQ(doc.Cover(2).Path, QStringLiteral("/abs/top.png"));
    EXPECT_EQ(doc.OutputFolder(), QStringLiteral("/out/"));
    EXPECT_EQ(doc.Params.SideAngle, 400.0f);

    doc.ResetProject(); // a new project names no covers
    for (int slot = 0; slot < CoverSourceCount; ++slot)
        EXPECT_TRUE(doc.Cover(slot).Path.isEmpty() && doc.Cover(slot).Folder.isEmpty()) << slot;
}

} // namespace
