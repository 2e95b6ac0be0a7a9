#include "render/HeadlessContext.h"

#include "render/SceneDriver.h"
#include "support/GLPixels.h"

#include <gtest/gtest.h>

#include <EGL/egl.h>

#include <cstdlib>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Top half one colour, bottom half another, through the scissor box.
void PaintHalves(int width, int height, QRgb top, QRgb bottom)
{
    glDisable(GL_SCISSOR_TEST);
    glClearColor(qRed(bottom) / 255.0f, qGreen(bottom) / 255.0f, qBlue(bottom) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, height / 2, width, height - height / 2);
    glClearColor(qRed(top) / 255.0f, qGreen(top) / 255.0f, qBlue(top) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

const QRgb TopColor = qRgb(200, 30, 60);
const QRgb BottomColor = qRgb(20, 90, 240);

TEST(HeadlessContextTest, NeedsNoWindowSystem)
{
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    EXPECT_NO_THROW({
        HeadlessContext context(8, 8);
        EXPECT_NE(glGetString(GL_VERSION), nullptr);
    });
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
}

TEST(HeadlessContextTest, ReportsItsLimitsAndRendersAtTheAskedSize)
{
    HeadlessContext context(450, 300);
    EXPECT_EQ(context.Width(), 450);
    EXPECT_EQ(context.Height(), 300);
    EXPECT_EQ(context.Samples(), 1);
    EXPECT_GE(context.Limits().MaxRenderbufferSize, 450);
    EXPECT_GE(context.Limits().MaxViewportWidth, 450);
    EXPECT_GE(context.Limits().MaxViewportHeight, 300);
    EXPECT_GE(context.Limits().MaxSamples, 1);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 450);
    EXPECT_EQ(viewport[3], 300);
    // A compatibility profile: the fixed-function state the box drawing needs.
    glEnable(GL_FOG);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDisable(GL_FOG);
}

TEST(HeadlessContextTest, ReadBackIsBottomRowFirstAndImageIsUpright)
{
    HeadlessContext context(40, 20);
    PaintHalves(40, 20, TopColor, BottomColor);
    const std::vector<std::uint8_t> pixels = context.ReadPixels();
    ASSERT_EQ(pixels.size(), 40u * 20u * 4u);
    EXPECT_EQ((std::array{pixels[0], pixels[1], pixels[2], pixels[3]}),
              (std::array<std::uint8_t, 4>{20, 90, 240, 255}));
    const std::size_t last = pixels.size() - 4;
    EXPECT_EQ((std::array{pixels[last], pixels[last + 1], pixels[last + 2]}),
              (std::array<std::uint8_t, 3>{200, 30, 60}));

    const QImage image = context.ReadImage();
    EXPECT_EQ(image.pixel(5, 0), TopColor);
    EXPECT_EQ(image.pixel(5, 19), BottomColor);
}

TEST(HeadlessContextTest, FrameGrabReadsTheFramebufferUpright)
{
    HeadlessContext context(64, 48);
    SceneDriver().SetViewport(SystemGL(), 64, 48);
    PaintHalves(64, 48, TopColor, BottomColor);
    QImage grabbed;
    ASSERT_TRUE(GrabFrameToBitmap(grabbed));
    ASSERT_EQ(grabbed.size(), QSize(64, 48));
    EXPECT_EQ(grabbed.pixel(0, 0), TopColor);    // top row is the top, red stays red
    EXPECT_EQ(grabbed.pixel(63, 23), TopColor);
    EXPECT_EQ(grabbed.pixel(63, 24), BottomColor);
    EXPECT_EQ(grabbed.pixel(10, 47), BottomColor);
}

TEST(HeadlessContextTest, MultisamplingResolvesBeforeReadBack)
{
    HeadlessContext probe(4, 4);
    const int samples = std::min(4, probe.Limits().MaxSamples);
    if (samples < 2)
        GTEST_SKIP() << "this OpenGL has no multisampling";
    HeadlessContext context(64, 48, samples);
    EXPECT_EQ(context.Samples(), samples);
    SceneDriver().SetViewport(SystemGL(), 64, 48);
    PaintHalves(64, 48, TopColor, BottomColor);
    glEnable(GL_SCISSOR_TEST); // must not clip the resolve
    glScissor(0, 0, 1, 1);
    const QImage image = context.ReadImage();
    EXPECT_EQ(image.pixel(40, 2), TopColor);
    EXPECT_EQ(image.pixel(40, 45), BottomColor);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    glDisable(GL_SCISSOR_TEST);

    // The frame grab reads the resolved picture after Resolve.
    PaintHalves(64, 48, BottomColor, TopColor);
    context.Resolve();
    QImage grabbed;
    ASSERT_TRUE(GrabFrameToBitmap(grabbed));
    EXPECT_EQ(grabbed.pixel(0, 0), BottomColor);
    EXPECT_EQ(grabbed.pixel(0, 47), TopColor);
}

TEST(HeadlessContextTest, RefusesImpossibleRequestsWithAReason)
{
    const auto message = [](auto make) -> std::string {
        try {
            make();
        } catch (const HeadlessContextError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_NE(message([] { HeadlessContext c(0, 10); }).find("0 x 10"), std::string::npos);
    EXPECT_NE(message([] { HeadlessContext c(10, -3); }).find("10 x -3"), std::string::npos);
    EXPECT_NE(message([] { HeadlessContext c(10, 10, 0); }).find("sample"), std::string::npos);
    EXPECT_NE(message([] { HeadlessContext c(10, 10, 100000); }).find("at most"), std::string::npos);
    EXPECT_NE(message([] { HeadlessContext c(10, 1 << 30); }).find("at most"), std::string::npos);
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT) << "a failed start leaves nothing current";
}

TEST(HeadlessContextTest, ResizeKeepsTheOldBuffersWhenTheNewSizeIsRefused)
{
    HeadlessContext context(32, 32);
    PaintHalves(32, 32, TopColor, BottomColor);
    EXPECT_THROW(context.Resize(0, 32), HeadlessContextError);
    EXPECT_THROW(context.Resize(32, context.Limits().MaxRenderbufferSize + 1), HeadlessContextError);
    EXPECT_EQ(context.Width(), 32);
    EXPECT_EQ(context.ReadImage().pixel(3, 3), TopColor);

    context.Resize(100, 20);
    EXPECT_EQ(context.ReadImage().size(), QSize(100, 20));
    PaintHalves(100, 20, TopColor, BottomColor);
    EXPECT_EQ(context.ReadImage().pixel(99, 19), BottomColor);
}

TEST(HeadlessContextTest, ManyContextsComeAndGoAndTheCurrentOneIsPutBack)
{
    for (int i = 0; i < 30; ++i) {
        HeadlessContext context(16 + i, 16);
        PaintHalves(16 + i, 16, TopColor, BottomColor);
        ASSERT_EQ(context.ReadImage().pixel(0, 15), BottomColor) << "round " << i;
    }
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);

    HeadlessContext outer(8, 8);
    const EGLContext outerContext = eglGetCurrentContext();
    PaintHalves(8, 8, TopColor, TopColor);
    {
        HeadlessContext inner(8, 8);
        EXPECT_NE(eglGetCurrentContext(), outerContext);
        PaintHalves(8, 8, BottomColor, BottomColor);
        outer.MakeCurrent();
        EXPECT_EQ(outer.ReadImage().pixel(1, 1), TopColor); // each has its own buffers
        EXPECT_EQ(inner.ReadImage().pixel(1, 1), BottomColor);
        EXPECT_NE(eglGetCurrentContext(), outerContext); // reading made inner current again
    }
    EXPECT_EQ(eglGetCurrentContext(), outerContext);
    EXPECT_EQ(outer.ReadImage().pixel(1, 1), TopColor);
}

TEST(HeadlessContextTest, AContextMovesBetweenThreadsAndSeveralDrawAtOnce)
{
    HeadlessContext context(8, 8);
    PaintHalves(8, 8, TopColor, TopColor);
    context.Detach();
    std::thread([&] {
        // A fresh thread has OpenGL ES bound; the context must still be seen
        // as current here and really be let go of again.
        context.MakeCurrent();
        EXPECT_EQ(context.ReadImage().pixel(1, 1), TopColor);
        PaintHalves(8, 8, BottomColor, BottomColor);
        context.Detach();
    }).join();
    ASSERT_NO_THROW(context.MakeCurrent()); // refused while still bound to the other thread
    EXPECT_EQ(context.ReadImage().pixel(1, 1), BottomColor);

    // One context per thread, drawing side by side; each sees only its own.
    std::atomic<int> right{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t)
        workers.emplace_back([t, &right] {
            const QRgb colour = t == 0 ? TopColor : BottomColor;
            for (int round = 0; round < 10; ++round) {
                HeadlessContext own(10 + t, 10 + round);
                PaintHalves(10 + t, 10 + round, colour, colour);
                const QImage image = own.ReadImage();
                if (image.width() == 10 + t && image.pixel(2, 2) == colour)
                    ++right;
            }
            EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT); // nothing left bound to the thread
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(right.load(), 20);
    EXPECT_EQ(context.ReadImage().pixel(1, 1), BottomColor);
}

} // namespace
