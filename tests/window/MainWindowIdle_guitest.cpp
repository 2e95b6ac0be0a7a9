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
        const auto draw = form->view->OnGLDraw;
        form->view->OnGLDraw = [this, draw](GLPanel* p) {
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
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->view->FramePending(); }, 3000));
        QTest::qWait(50);
    }

    // The view shows the window's state: drawing it anew changes no pixel.
    void ExpectViewUpToDate(const char* what)
    {
        const QImage shown = form->view->grabFramebuffer();
        EXPECT_EQ(shown, Frame()) << what;
    }

    void Drag(int dx, int dy)
    {
        const QPointF from(50, 50);
        const QPointF to = from + QPointF(dx, dy);
        QMouseEvent press(QEvent::MouseButtonPress, from, form->view->mapToGlobal(from),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, to, form->view->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, to, form->view->mapToGlobal(to),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(form->view, &press);
        QApplication::sendEvent(form->view, &move);
        QApplication::sendEvent(form->view, &release);
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
    EXPECT_FALSE(form->view->FramePending());
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
        {"slider", [](IdleTest& t) { t.form->widthBar->setValue(t.form->widthBar->value() + 7); }},
        {"scroll arrow",
         [](IdleTest& t) { t.form->turnBar->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"drag", [](IdleTest& t) { t.Drag(40, -20); }},
        {"wheel",
         [](IdleTest& t) {
             t.form->depthBar->setFocus();
             ASSERT_TRUE(QTest::qWaitFor([&] { return t.form->depthBar->hasFocus(); }, 2000));
             t.Wheel(t.form->depthBar, 360);
         }},
        {"eye", [](IdleTest& t) { t.form->eyeAngleBox->stepUp(); }},
        {"colour",
         [](IdleTest& t) {
             t.prompts.Colors.push_back(QColor(20, 90, 160));
             QTest::mouseClick(t.form->colorPanel, Qt::LeftButton);
         }},
        {"fog",
         [](IdleTest& t) {
             t.form->surroundingBox->setCurrentIndex(3);
             t.form->SurroundingChosen();
         }},
        {"box kind",
         [](IdleTest& t) {
             t.form->formBox->setCurrentIndex(5);
             t.form->FormChosen();
         }},
        {"size class",
         [](IdleTest& t) {
             t.form->sizeModeBox->setCurrentIndex(0);
             t.form->SizeModeChosen();
         }},
        {"output width", [](IdleTest& t) { t.form->resultWidthBar->setValue(70); }},
        {"resize", [](IdleTest& t) { t.form->resize(t.form->size() + QSize(60, 40)); }},
        {"cover",
         [](IdleTest& t) {
             const QString file =
                 t.WritePicture("cover.bmp", QSize(40, 30), QColor(200, 0, 0), QColor(0, 0, 200));
             ASSERT_TRUE(t.form->SelectCoverImage(0, false, file));
         }},
        {"project open",
         [project](IdleTest& t) {
             t.form->depthBar->setValue(60);
             ASSERT_TRUE(t.form->SaveProject(project));
             t.form->depthBar->setValue(40);
             t.Settle();
             const int before = t.draws;
             ASSERT_TRUE(t.form->OpenProjectFile(project));
             ASSERT_TRUE(QTest::qWaitFor([&] { return t.draws > before; }, 3000));
             EXPECT_EQ(t.form->depthBar->value(), 60);
         }},
        {"new",
         [](IdleTest& t) {
             t.prompts.Answers.push_back(QMessageBox::No);
             t.form->NewProjectClicked();
         }},
        {"angle wrapped by the draw",
         [](IdleTest& t) {
             t.Drag(1000, 0); // far past 360 degrees: drawn once so, then wrapped to 0
             EXPECT_GE(t.form->Params().SideAngle, 360.0f);
         },
         2},
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
    form->depthBar->setValue(form->depthBar->value() + 9);
    form->turnBar->triggerAction(QAbstractSlider::SliderSingleStepAdd); // draws at once when active
    Drag(30, 30);
    prompts.Colors.push_back(QColor(0, 200, 0));
    form->PickBackground();
    QTest::qWait(300);
    EXPECT_EQ(draws, before);

    SetApplicationState(Qt::ApplicationActive);
    EXPECT_TRUE(QTest::qWaitFor([&] { return draws > before; }, 3000));
    Settle();
    EXPECT_EQ(form->view->grabFramebuffer().pixelColor(1, 1), QColor(0, 200, 0));
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
    EXPECT_FALSE(form->view->Active());
}

TEST_F(IdleTest, AFrameSkippedWhileDrawingIsSuspendedIsDrawnWhenItResumes)
{
    StartCounting();
    form->SuspendDraw = true; // as while a project is read and a message is shown
    form->depthBar->setValue(form->depthBar->value() + 5);
    QTest::qWait(100);
    form->SuspendDraw = false;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form->view->grabFramebuffer() == Frame(); }, 3000));
    Settle();
    const int after = draws;
    QTest::qWait(300);
    EXPECT_EQ(draws, after); // no retries once it is drawn
}

} // namespace
