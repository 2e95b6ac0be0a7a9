// "Fit" in the window: the view's sliders move to the nearest fitted
// positions, the angles stay, and where a slider's range cannot hold the
// fitted value it stops at its end and the status bar says so.
#include "window/WindowFixture.h"

#include <QStatusBar>
#include <QToolButton>

namespace {

struct FitWindowTest : WindowFixture {
    QString Message() const { return form->statusBar()->currentMessage(); }

    void Fit()
    {
        form->statusBar()->clearMessage();
        ui::fitButton(*form)->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Message().isEmpty(); }, 10000));
    }
};

} // namespace

TEST_F(FitWindowTest, ABoxTheViewCutsOffIsMovedIntoTheResult)
{
    Start();
    ShowAndWaitForGL();
    ui::depthBar(*form)->setValue(10); // too near: the box is cut off
    const BoxParameters before = form->Params();
    Fit();
    EXPECT_EQ(Message(), QStringLiteral("Fit: the box fills the result with a margin of 8 %"));
    const BoxParameters after = form->Params();
    EXPECT_GT(ui::depthBar(*form)->value(), 20);
    EXPECT_EQ(after.Depth, static_cast<float>(ui::depthBar(*form)->value()));
    EXPECT_EQ(after.SideAngle, before.SideAngle);
    EXPECT_EQ(after.TiltAngle, before.TiltAngle);
    EXPECT_EQ(after.EyeAngle, before.EyeAngle);

    // Fitted once, a second fit finds it where it is.
    const int depth = ui::depthBar(*form)->value();
    Fit();
    EXPECT_NEAR(ui::depthBar(*form)->value(), depth, 1);
}

TEST_F(FitWindowTest, ASliderThatCannotHoldTheFitStopsAtItsEndAndSaysSo)
{
    Start();
    ShowAndWaitForGL();
    ui::widthBar(*form)->setValue(1);
    ui::heightBar(*form)->setValue(1);
    ui::thicknessBar(*form)->setValue(1);
    Fit();
    // So small a box would need the eye nearer than the depth slider goes.
    EXPECT_EQ(ui::depthBar(*form)->value(), ui::depthBar(*form)->minimum());
    EXPECT_TRUE(Message().startsWith(QStringLiteral("Fit: the nearest the sliders can hold; would need depth ")))
        << Message().toStdString();
    EXPECT_TRUE(Message().contains(QStringLiteral("(the slider ends at 2)"))) << Message().toStdString();
}
