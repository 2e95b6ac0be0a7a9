// What the window's handlers record reaches the GL with the next frame, with
// the same result as if it had been applied at once.
#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>

namespace {

using GLChangesTest = WindowFixture;

// Only "Natural view", "dimmed light" and "Dark" set the GL's fog mode; "Clear
// view" and typed text keep the one set last. Several choices between two
// frames must end in the mode the last of those three set.
TEST_F(GLChangesTest, FogChoicesBetweenFramesEndInTheLastModeSet)
{
    Start();
    ShowAndWaitForGL();
    QComboBox* fog = ui::surroundingBox(*form);
    fog->setCurrentIndex(1);
    const QImage natural = Frame();
    fog->setCurrentIndex(3);
    const QImage dark = Frame();
    ASSERT_NE(natural, dark);

    // Natural, then dark, then clear, then text naming no item: all before one frame.
    fog->setCurrentIndex(1);
    fog->setCurrentIndex(3);
    fog->setCurrentIndex(0);
    fog->setEditText(QStringLiteral("haze"));
    ASSERT_EQ(form->Params().FogMode, 255);
    EXPECT_EQ(Frame(), dark);

    fog->setCurrentIndex(1);
    fog->setCurrentIndex(0);
    fog->setEditText(QStringLiteral("mist"));
    EXPECT_EQ(Frame(), natural);
}

// A cover that waits for its texture gives way to "New project": the next
// frame shows the placeholders, and the slot's picture is gone with it.
TEST_F(GLChangesTest, NewProjectOvertakesACoverWaitingForItsTexture)
{
    Start();
    ShowAndWaitForGL();
    const QImage placeholders = Frame();
    PickCover(FrontBack, WritePicture("front.bmp", {64, 48}, Qt::red, Qt::blue));
    const QImage withCover = Frame();
    ASSERT_NE(withCover, placeholders);

    PickCover(FrontBack, WritePicture("other.bmp", {64, 48}, Qt::green, Qt::yellow));
    prompts.Answers.push_back(QMessageBox::No);
    form->NewProjectClicked(); // no frame between the load and New
    EXPECT_TRUE(form->Document().Cover(FrontBack).Path.isEmpty());
    EXPECT_EQ(Frame(), placeholders);

    // And a cover picked after New shows as usual.
    PickCover(FrontBack, Path("front.bmp"));
    EXPECT_EQ(Frame(), withCover);
}

} // namespace

