#include "window/GLPanel.h"

#include "window/Application.h"

#include <gtest/gtest.h>

#include <QOpenGLContext>
#include <QSignalSpy>
#include <QTest>

#include <GL/gl.h>

#include <stdexcept>

namespace {

struct PanelTest : ::testing::Test {
    QStringList events;
    std::unique_ptr<GLPanel> panel;

    void Make()
    {
        panel = std::make_unique<GLPanel>();
        panel->OnGLInit = [this](GLPanel*) { events << QStringLiteral("init"); };
        panel->OnGLPrep = [this](GLPanel*) { events << QStringLiteral("prep"); };
        panel->OnResize = [this](GLPanel*) { events << QStringLiteral("resize"); };
        panel->OnGLDraw = [this](GLPanel*) {
            events << QStringLiteral("draw");
            glClearColor(0, 0, 1, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        };
        panel->resize(120, 80);
    }

    qsizetype Draws() const { return events.count(QStringLiteral("draw")); }

    // Shows the panel, then asks for frames one after another (a view that
    // keeps changing) until that many were drawn.
    void ShowAndWaitForFrames(int frames)
    {
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Draws() >= 1; }, 5000));
        while (Draws() < frames) {
            const qsizetype before = Draws();
            panel->RequestFrame();
            ASSERT_TRUE(QTest::qWaitFor([&] { return Draws() > before; }, 5000));
        }
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

TEST_F(PanelTest, SetActiveFalseFromAHandlerHoldsRequestedFrames)
{
    Make();
    panel->OnGLDraw = [this](GLPanel* p) {
        events << QStringLiteral("draw");
        if (events.count(QStringLiteral("draw")) == 3)
            p->SetActive(false);
    };
    ShowAndWaitForFrames(3);
    panel->RequestFrame();
    QTest::qWait(200);
    EXPECT_EQ(Draws(), 3);
    EXPECT_FALSE(panel->Active());
    EXPECT_TRUE(panel->FramePending());

    panel->RenderNow(); // still draws at once while held, and that was the booked frame
    EXPECT_EQ(Draws(), 4);
    EXPECT_FALSE(panel->FramePending());
    panel->RequestFrame();
    panel->SetActive(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Draws() == 5; }, 5000));
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
    panel->OnResize = [&](GLPanel* p) {
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
    panel->OnShowFPS = [&](GLPanel*, int fps) { reports.push_back(fps); };
    ShowAndWaitForFrames(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 3000));
    EXPECT_GT(reports.front(), 0);
    // Paced by the display: never more frames than the refresh allows (plus slack).
    EXPECT_LE(reports.front(), 1000);
}

} // namespace

namespace {

TEST_F(PanelTest, AHiddenPanelDrawsNoFrames)
{
    Make();
    ShowAndWaitForFrames(2);
    panel->hide();
    const qsizetype before = Draws();
    panel->RequestFrame();
    QTest::qWait(300);
    EXPECT_EQ(Draws(), before);
    panel->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Draws() > before; }, 3000));
}

TEST_F(PanelTest, AnIdlePanelDrawsNothingAfterItsFirstFrame)
{
    Make();
    ShowAndWaitForFrames(1);
    QTest::qWait(300);
    EXPECT_EQ(Draws(), 1) << events.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(panel->FramePending());
}

TEST_F(PanelTest, RequestsBeforeTheNextRefreshMakeOneFrame)
{
    Make();
    ShowAndWaitForFrames(1);
    for (int i = 0; i < 50; ++i)
        panel->RequestFrame();
    EXPECT_TRUE(panel->FramePending());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Draws() == 2; }, 3000));
    QTest::qWait(200);
    EXPECT_EQ(Draws(), 2);
}

TEST_F(PanelTest, ARequestFromTheDrawHandlerBooksOneMoreFrame)
{
    Make();
    int again = 2; // a handler that changes what it shows, twice
    panel->OnGLDraw = [&](GLPanel* p) {
        events << QStringLiteral("draw");
        if (again > 0) {
            --again;
            p->RequestFrame();
        }
    };
    ShowAndWaitForFrames(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Draws() == 3; }, 3000));
    QTest::qWait(200);
    EXPECT_EQ(Draws(), 3);
}

TEST_F(PanelTest, RenderNowDrawsTheBookedFrame)
{
    Make();
    ShowAndWaitForFrames(1);
    panel->RequestFrame();
    panel->RenderNow();
    EXPECT_EQ(Draws(), 2);
    EXPECT_FALSE(panel->FramePending());
    QTest::qWait(200);
    EXPECT_EQ(Draws(), 2);
}

TEST_F(PanelTest, ARequestBeforeTheFirstPaintIsThatPaint)
{
    Make();
    panel->RequestFrame();
    ShowAndWaitForFrames(1);
    QTest::qWait(200);
    EXPECT_EQ(Draws(), 1);
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
    panel->OnGLDraw = [this](GLPanel*) {
        events << QStringLiteral("draw");
        if (events.count(QStringLiteral("draw")) == 3)
            throw std::runtime_error("out of memory");
    };
    ShowAndWaitForFrames(6); // frames 4 to 6 are drawn as requested after the failed one
    EXPECT_EQ(shown, QStringList{"out of memory"});
    panel->SetActive(false);
    const auto before = Draws();
    panel->RenderNow();
    EXPECT_EQ(Draws(), before + 1);
    app->OnUnexpectedError = previous;
}

} // namespace

namespace {

// The owner's GL work runs only in the panel's callbacks, with its context current.
TEST_F(PanelTest, ChangesReadsAndReleaseRunInsideTheContext)
{
    Make();
    QOpenGLContext* seen = nullptr;
    int changes = 0;
    panel->OnGLChanges = [&](GLPanel* p) {
        events << QStringLiteral("changes");
        seen = QOpenGLContext::currentContext();
        EXPECT_EQ(seen, p->context());
        ++changes;
    };
    int releases = 0;
    panel->OnGLRelease = [&](GLPanel* p) {
        EXPECT_EQ(QOpenGLContext::currentContext(), p->context());
        ++releases;
    };
    // Nothing to read from or release before there is a context.
    EXPECT_FALSE(panel->ReadFrame([] { ADD_FAILURE(); }));
    panel->RequestChanges();
    QTest::qWait(20);
    EXPECT_EQ(changes, 0);

    ShowAndWaitForFrames(2);
    // Every frame applies the changes first.
    const qsizetype draw = events.lastIndexOf(QStringLiteral("draw"));
    ASSERT_GT(draw, 0);
    EXPECT_EQ(events[draw - 1], "changes");

    // Asked on their own, the changes come without a frame, once per request burst.
    const int drawn = panel->FramesDrawn();
    const int before = changes;
    panel->RequestChanges();
    panel->RequestChanges();
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes > before; }, 2000));
    QTest::qWait(20);
    EXPECT_EQ(changes, before + 1);
    EXPECT_EQ(panel->FramesDrawn(), drawn);

    // The capture reads the frame last drawn: the draw's blue.
    std::uint8_t pixel[4] = {};
    EXPECT_TRUE(panel->ReadFrame([&] { glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel); }));
    EXPECT_EQ(pixel[2], 255);
    EXPECT_EQ(pixel[0], 0);

    EXPECT_TRUE(panel->ReleaseGL());
    EXPECT_EQ(releases, 1);
    // After the release: no second one, no reads, no changes, no frames.
    EXPECT_FALSE(panel->ReleaseGL());
    EXPECT_FALSE(panel->ReadFrame([] { ADD_FAILURE(); }));
    const int afterRelease = changes;
    panel->RequestChanges();
    panel->RenderNow();
    QTest::qWait(20);
    EXPECT_EQ(changes, afterRelease);
    EXPECT_EQ(releases, 1);
}

} // namespace
