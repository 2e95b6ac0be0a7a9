#include "gl/ui/TGLPanel.h"

#include "app/ui/Application.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <GL/gl.h>

#include <stdexcept>

namespace {

struct PanelTest : ::testing::Test {
    QStringList events;
    std::unique_ptr<TGLPanel> panel;

    void Make(TPFDFlags flags = {GLf_DOUBLEBUFFER, GLf_DRAW_TO_WINDOW, GLf_SUPPORT_OPENGL})
    {
        panel = std::make_unique<TGLPanel>();
        panel->SetGLFlags(flags);
        panel->OnGLInit = [this](TGLPanel*) { events << QStringLiteral("init"); };
        panel->OnGLPrep = [this](TGLPanel*) { events << QStringLiteral("prep"); };
        panel->OnResize = [this](TGLPanel*) { events << QStringLiteral("resize"); };
        panel->OnGLDraw = [this](TGLPanel*) {
            events << QStringLiteral("draw");
            glClearColor(0, 0, 1, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        };
        panel->resize(120, 80);
    }

    void ShowAndWaitForFrames(int frames)
    {
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return events.count(QStringLiteral("draw")) >= frames; }, 5000));
    }
};

TEST_F(PanelTest, FirstPaintRaisesInitPrepResizeOnceBeforeAnyDraw)
{
    Make();
    EXPECT_TRUE(panel->FirstPaintPending());
    ShowAndWaitForFrames(3);
    EXPECT_FALSE(panel->FirstPaintPending());
    ASSERT_GE(events.size(), 4);
    EXPECT_EQ(events.mid(0, 4), (QStringList{"init", "prep", "resize", "draw"}));
    EXPECT_EQ(events.count("init"), 1);
    EXPECT_EQ(events.count("prep"), 1);
    EXPECT_EQ(events.count("resize"), 1);
    EXPECT_GT(panel->BufferSwaps(), 0);
}

TEST_F(PanelTest, NoBufferSwapWithoutTheDoubleBufferFlag)
{
    Make({GLf_DRAW_TO_WINDOW, GLf_SUPPORT_OPENGL});
    ShowAndWaitForFrames(3);
    EXPECT_EQ(panel->BufferSwaps(), 0);
}

TEST_F(PanelTest, SetActiveFalseFromAHandlerEndsTheLoop)
{
    Make();
    panel->OnGLDraw = [this](TGLPanel* p) {
        events << QStringLiteral("draw");
        if (events.count(QStringLiteral("draw")) == 3)
            p->SetActive(false);
    };
    ShowAndWaitForFrames(3);
    QTest::qWait(200);
    EXPECT_EQ(events.count("draw"), 3);
    EXPECT_FALSE(panel->Active());

    panel->RenderNow(); // still draws at once while the loop is off
    EXPECT_EQ(events.count("draw"), 4);
    panel->SetActive(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.count(QStringLiteral("draw")) >= 6; }, 5000));
}

TEST_F(PanelTest, ResizeResetsTheFrameCountAndRaisesOnResize)
{
    Make();
    ShowAndWaitForFrames(5);
    panel->SetActive(false);
    EXPECT_GT(panel->FramesDrawn(), 0);
    events.clear();
    bool timerStoppedDuringResize = false;
    int framesDuringResize = -1;
    panel->OnResize = [&](TGLPanel* p) {
        events << QStringLiteral("resize");
        timerStoppedDuringResize = !p->FpsTimer().isActive();
        framesDuringResize = p->FramesDrawn();
    };
    panel->resize(200, 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.count(QStringLiteral("resize")) == 1; }, 3000));
    EXPECT_EQ(framesDuringResize, 0);
    EXPECT_TRUE(timerStoppedDuringResize); // the one-second interval starts again
    EXPECT_TRUE(panel->FpsTimer().isActive());
}

TEST_F(PanelTest, FpsReportCountsFramesOfTheLastSecond)
{
    Make();
    std::vector<int> reports;
    panel->OnShowFPS = [&](TGLPanel*, int fps) { reports.push_back(fps); };
    ShowAndWaitForFrames(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 3000));
    EXPECT_GT(reports.front(), 0);
    // Paced by the display: never more frames than the refresh allows (plus slack).
    EXPECT_LE(reports.front(), 1000);
}

TEST_F(PanelTest, UnchangedFlagsDoNotMarkTheFormatChanged)
{
    Make();
    panel->SetGLFlags({GLf_DOUBLEBUFFER, GLf_DRAW_TO_WINDOW, GLf_SUPPORT_OPENGL});
    EXPECT_FALSE(panel->PixelFormat().PixelFormatChanged);
    panel->SetGLFlags({GLf_DOUBLEBUFFER, GLf_DRAW_TO_WINDOW, GLf_SUPPORT_OPENGL, GLf_STEREO});
    EXPECT_TRUE(panel->PixelFormat().PixelFormatChanged);
}

} // namespace

namespace {

TEST_F(PanelTest, AHiddenPanelDrawsNoFrames)
{
    Make();
    ShowAndWaitForFrames(2);
    panel->hide();
    const int before = static_cast<int>(events.count(QStringLiteral("draw")));
    QTest::qWait(300);
    EXPECT_EQ(events.count(QStringLiteral("draw")), before);
    panel->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.count(QStringLiteral("draw")) > before; }, 3000));
}

} // namespace

namespace {

TEST_F(PanelTest, AFrameWhoseHandlerThrowsDoesNotStopTheView)
{
    auto* app = static_cast<CubiformApplication*>(QCoreApplication::instance());
    const auto previous = app->OnUnexpectedError;
    QStringList shown;
    app->OnUnexpectedError = [&](const QString& text) { shown << text; };
    Make();
    panel->OnGLDraw = [this](TGLPanel*) {
        events << QStringLiteral("draw");
        if (events.count(QStringLiteral("draw")) == 3)
            throw std::runtime_error("out of memory");
    };
    ShowAndWaitForFrames(6);
    EXPECT_EQ(shown, QStringList{"out of memory"});
    panel->SetActive(false);
    const auto before = events.count(QStringLiteral("draw"));
    panel->RenderNow();
    EXPECT_EQ(events.count(QStringLiteral("draw")), before + 1);
    app->OnUnexpectedError = previous;
}

} // namespace
