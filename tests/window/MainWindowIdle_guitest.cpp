// The window draws a frame when what the view shows changes, and none otherwise.
#include "window/WindowFixture.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

#include <functional>

namespace {

struct IdleTest : WindowFixture {
    int draws = 0;

    // Counts every call of the view's draw handler from here on.
    void CountDraws()
    {
        const auto draw = ui::view(*form)->OnGLDraw;
        ui::view(*form)->OnGLDraw = [this, draw](GLPanel* p) {
            ++draws;
            draw(p);
        };
    }

    void StartCounting()
    {
        Start();
        CountDraws();
        ShowAndWaitForGL();
        Settle();
    }

    // Lets the frames booked so far be drawn.
    void Settle()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ui::view(*form)->FramePending(); }, 3000));
        QTest::qWait(50);
    }

    // The view shows the window's state: drawing it anew changes no pixel.
    void ExpectViewUpToDate(const char* what)
    {
        const QImage shown = ui::view(*form)->grabFramebuffer();
        EXPECT_EQ(shown, Frame()) << what;
    }

    void Drag(int dx, int dy)
    {
        const QPointF from(50, 50);
        const QPointF to = from + QPointF(dx, dy);
        QMouseEvent press(QEvent::MouseButtonPress, from, ui::view(*form)->mapToGlobal(from),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, to, ui::view(*form)->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, to, ui::view(*form)->mapToGlobal(to),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(ui::view(*form), &press);
        QApplication::sendEvent(ui::view(*form), &move);
        QApplication::sendEvent(ui::view(*form), &release);
    }

    void Wheel(QWidget* target, int delta)
    {
        QWheelEvent e(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    }

    static void SetApplicationState(Qt::ApplicationState state)
    {
        Q_EMIT qGuiApp->applicationStateChanged(state);
    }
};

TEST_F(IdleTest, AnIdleWindowDrawsNoFrames)
{
    StartCounting();
    const int before = draws;
    QTest::qWait(300);
    EXPECT_EQ(draws, before);
    EXPECT_FALSE(ui::view(*form)->FramePending());
}

struct Change {
    const char* what;
    std::function<void(IdleTest&)> apply;
    int frames = 1; // frames the change needs at least
};

TEST_F(IdleTest, EveryChangeThatShowsGetsItsFrameAndThenTheWindowIsIdleAgain)
{
    const QString project = Path("saved.pcf");
    const std::vector<Change> changes = {
        {"slider", [](IdleTest& t) { ui::widthBar(*t.form)->setValue(ui::widthBar(*t.form)->value() + 7); }},
        {"scroll arrow",
         [](IdleTest& t) { ui::turnBar(*t.form)->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"drag", [](IdleTest& t) { t.Drag(40, -20); }},
        {"wheel",
         [](IdleTest& t) {
             ui::depthBar(*t.form)->setFocus();
             ASSERT_TRUE(QTest::qWaitFor([&] { return ui::depthBar(*t.form)->hasFocus(); }, 2000));
             t.Wheel(ui::depthBar(*t.form), 360);
         }},
        {"eye", [](IdleTest& t) { ui::eyeAngleBox(*t.form)->stepUp(); }},
        {"colour",
         [](IdleTest& t) {
             t.prompts.Colors.push_back(QColor(20, 90, 160));
             QTest::mouseClick(ui::colorPanel(*t.form), Qt::LeftButton);
         }},
        {"fog",
         [](IdleTest& t) {
             ui::surroundingBox(*t.form)->setCurrentIndex(3);
             t.form->SurroundingChosen();
         }},
        {"box kind",
         [](IdleTest& t) {
             ui::formBox(*t.form)->setCurrentIndex(5);
             t.form->FormChosen();
         }},
        {"size class",
         [](IdleTest& t) {
             ui::sizeModeBox(*t.form)->setCurrentIndex(0);
             t.form->SizeModeChosen();
         }},
        {"output width", [](IdleTest& t) { ui::resultWidthBar(*t.form)->setValue(70); }},
        {"resize", [](IdleTest& t) { t.form->resize(t.form->size() + QSize(60, 40)); }},
        {"cover",
         [](IdleTest& t) {
             const QString file =
                 t.WritePicture("cover.bmp", QSize(40, 30), QColor(200, 0, 0), QColor(0, 0, 200));
             ASSERT_TRUE(t.form->SelectCoverImage(0, false, file));
         }},
        {"project open",
         [project](IdleTest& t) {
             ui::depthBar(*t.form)->setValue(60);
             ASSERT_TRUE(t.form->SaveProject(project));
             ui::depthBar(*t.form)->setValue(40);
             t.Settle();
             const int before = t.draws;
             ASSERT_TRUE(t.form->OpenProjectFile(project));
             ASSERT_TRUE(QTest::qWaitFor([&] { return t.draws > before; }, 3000));
             EXPECT_EQ(ui::depthBar(*t.form)->value(), 60);
         }},
        {"new",
         [](IdleTest& t) {
             t.prompts.Answers.push_back(QMessageBox::No);
             t.form->NewProjectClicked();
         }},
        {"angle wrapped by the document",
         [](IdleTest& t) {
             t.Drag(1000, 0); // far past 360 degrees: wrapped to 0 before any frame
             EXPECT_EQ(t.form->Params().SideAngle, 0.0f);
         }},
    };

    Start();
    CountDraws();
    ShowAndWaitForGL();
    form->activateWindow(); // the wheel moves the focused bar of the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        Settle();
        const int before = draws;
        change.apply(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return draws >= before + change.frames; }, 3000));
        Settle();
        ExpectViewUpToDate(change.what);
        // Drawn: the window is idle again.
        const int after = draws;
        QTest::qWait(150);
        EXPECT_EQ(draws, after);
    }
    EXPECT_EQ(form->Params().SideAngle, 0.0f); // the last change was wrapped
}

TEST_F(IdleTest, BehindAnotherApplicationNoFramesAreDrawnAndTheReturnDrawsTheView)
{
    StartCounting();
    SetApplicationState(Qt::ApplicationActive);
    Settle();
    SetApplicationState(Qt::ApplicationInactive);
    Settle();
    const int before = draws;
    ui::depthBar(*form)->setValue(ui::depthBar(*form)->value() + 9);
    ui::turnBar(*form)->triggerAction(QAbstractSlider::SliderSingleStepAdd); // draws at once when active
    Drag(30, 30);
    prompts.Colors.push_back(QColor(0, 200, 0));
    form->PickBackground();
    QTest::qWait(300);
    EXPECT_EQ(draws, before);

    SetApplicationState(Qt::ApplicationActive);
    EXPECT_TRUE(QTest::qWaitFor([&] { return draws > before; }, 3000));
    Settle();
    EXPECT_EQ(ui::view(*form)->grabFramebuffer().pixelColor(1, 1), QColor(0, 200, 0));
    ExpectViewUpToDate("back in front");
}

TEST_F(IdleTest, AClosedWindowStaysStillWhenTheApplicationComesBack)
{
    StartCounting();
    SetApplicationState(Qt::ApplicationInactive);
    form->close();
    const int before = draws;
    SetApplicationState(Qt::ApplicationActive);
    QTest::qWait(200);
    EXPECT_EQ(draws, before);
    EXPECT_FALSE(ui::view(*form)->Active());
}

TEST_F(IdleTest, AFrameSkippedWhileDrawingIsSuspendedIsDrawnWhenItResumes)
{
    StartCounting();
    form->SuspendDrawing(true); // as while a project is read and a message is shown
    ui::depthBar(*form)->setValue(ui::depthBar(*form)->value() + 5);
    QTest::qWait(100);
    form->SuspendDrawing(false);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ui::view(*form)->grabFramebuffer() == Frame(); }, 3000));
    Settle();
    const int after = draws;
    QTest::qWait(300);
    EXPECT_EQ(draws, after); // no retries once it is drawn
}

// Each change gives exactly one frame: the document tells the view once,
// and nothing the drawing does asks for another.
TEST_F(IdleTest, OneDragStepOrOneSliderStepDrawsExactlyOneFrame)
{
    Start();
    CountDraws();
    ShowAndWaitForGL();
    const std::vector<Change> steps = {
        {"drag step", [](IdleTest& t) { t.Drag(30, 10); }},
        {"drag step past a full turn", [](IdleTest& t) { t.Drag(1000, 0); }},
        {"scroll arrow", [](IdleTest& t) { ui::turnBar(*t.form)->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"trough click", [](IdleTest& t) { ui::depthBar(*t.form)->triggerAction(QAbstractSlider::SliderPageStepSub); }},
        {"slider value", [](IdleTest& t) { ui::widthBar(*t.form)->setValue(ui::widthBar(*t.form)->value() + 3); }},
        {"look step", [](IdleTest& t) { ui::shadowBar(*t.form)->triggerAction(QAbstractSlider::SliderPageStepAdd); }},
    };
    for (const Change& step : steps) {
        SCOPED_TRACE(step.what);
        Settle();
        QTest::qWait(50); // long after the last frame: the next is drawn at once
        const int before = draws;
        step.apply(*this);
        Settle();
        QTest::qWait(100);
        EXPECT_EQ(draws, before + 1);
        ExpectViewUpToDate(step.what);
    }
    EXPECT_EQ(form->Params().SideAngle, 0.0f);
    EXPECT_EQ(form->StatusText(0), QStringLiteral("Side angle = 0"));
}

} // namespace
