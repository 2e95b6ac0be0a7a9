#include "render/SceneDriver.h"

#include "support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

TEST(SceneDriverTest, ConstructionTouchesNoGL)
{
    const SceneDriver driver;
    EXPECT_FALSE(driver.Initialised);
}

TEST(SceneDriverTest, InitSetsExactlyTheFiveDefaultStatesInOrder)
{
    RecordingGL gl;
    SceneDriver driver;
    driver.Init(gl);
    EXPECT_TRUE(driver.Initialised);
    EXPECT_EQ(gl.Calls, (QStringList{"ClearColor(0,0,0,0)", "ClearDepth(1)", "ShadeModel(GL_SMOOTH)",
                                     "Enable(GL_DEPTH_TEST)", "Enable(GL_TEXTURE_2D)"}));
}

TEST(SceneDriverTest, ViewportSetsPerspectiveAndLeavesModelView)
{
    RecordingGL gl;
    SceneDriver driver;
    driver.SetViewport(gl, 300, 300);
    EXPECT_EQ(gl.Calls, (QStringList{"Viewport(0,0,300,300)", "MatrixMode(GL_PROJECTION)",
                                     "LoadIdentity()", "Perspective(45,1,0.1,100)",
                                     "MatrixMode(GL_MODELVIEW)"}));
}

TEST(SceneDriverTest, ViewportHeightZeroCountsAsOneAndWidthZeroPassesThrough)
{
    RecordingGL gl;
    SceneDriver driver;
    driver.SetViewport(gl, 640, 0);
    EXPECT_EQ(gl.Calls.at(0), "Viewport(0,0,640,1)");
    EXPECT_EQ(gl.Calls.at(3), "Perspective(45,640,0.1,100)");

    gl.Reset();
    driver.SetViewport(gl, 0, 480);
    EXPECT_EQ(gl.Calls.at(0), "Viewport(0,0,0,480)");
    EXPECT_EQ(gl.Calls.at(3), "Perspective(45,0,0.1,100)");

    gl.Reset();
    driver.SetViewport(gl, 450, 300); // aspect from floating point, not integer division
    EXPECT_EQ(gl.Calls.at(3), "Perspective(45,1.5,0.1,100)");
}

TEST(GrabFrameTest, CopiesTheViewportIntoA24BitBitmapWithoutADriver)
{
    RecordingGL gl;
    gl.ViewportValue[2] = 4;
    gl.ViewportValue[3] = 2;
    gl.ReadPixelsFill = 0x7F;
    QImage bitmap;
    ASSERT_TRUE(GrabFrameToBitmap(bitmap, gl));
    EXPECT_EQ(bitmap.size(), QSize(4, 2));
    EXPECT_EQ(bitmap.format(), QImage::Format_RGB888);
    EXPECT_EQ(bitmap.pixel(3, 1), qRgb(0x7F, 0x7F, 0x7F));
    EXPECT_EQ(gl.Matching("ReadPixels"), QStringList{"ReadPixels(0,0,4,2,GL_RGBA,GL_UNSIGNED_BYTE)"});
}

TEST(GrabFrameTest, FailsAndKeepsTheBitmapWhenNoPictureCanBeHad)
{
    QImage bitmap(3, 3, QImage::Format_RGB888);
    bitmap.fill(Qt::red);

    RecordingGL empty; // viewport of 0 x 0
    EXPECT_FALSE(GrabFrameToBitmap(bitmap, empty));
    EXPECT_EQ(bitmap.size(), QSize(3, 3));

    RecordingGL huge; // far beyond what any picture may take
    huge.ViewportValue[2] = 100000;
    huge.ViewportValue[3] = 100000;
    EXPECT_FALSE(GrabFrameToBitmap(bitmap, huge));
    EXPECT_TRUE(huge.Matching("ReadPixels").isEmpty());
    EXPECT_EQ(bitmap.pixel(1, 1), qRgb(255, 0, 0));
}

} // namespace
