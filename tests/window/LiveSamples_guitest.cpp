// The view draws with the looks' samples, as Write does; one sample is the
// classic frame, pixel for pixel.
#include "support/ResultFiles.h"
#include "window/WindowFixture.h"

#include <QSet>

namespace {

int Colours(const QImage& image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            seen.insert(image.pixel(x, y));
    return static_cast<int>(seen.size());
}

struct LiveSamplesTest : WindowFixture {
    void SetUp() override
    {
        Start();
        ShowAndWaitForGL();
        ui::resultWidthBar(*form)->setValue(180);
        ui::resultHeightBar(*form)->setValue(150);
        form->Document().TurnTo(35.0f, -20.0f); // slanted edges everywhere
        ASSERT_TRUE(QTest::qWaitFor([&] { return ui::view(*form)->PixelSize() == QSize(180, 150); }, 5000));
    }

    void SetSamples(int samples)
    {
        BoxLooks looks = form->Params().Looks;
        looks.Samples = samples;
        form->Document().SetLooks(looks);
    }

    // What the panel's framebuffer holds after the next frame: no drawing of its own.
    QImage Shown()
    {
        ui::view(*form)->RenderNow();
        QImage bitmap;
        EXPECT_TRUE(ui::view(*form)->ReadFrame([&] { EXPECT_TRUE(GrabFrameToBitmap(bitmap)); }));
        return bitmap.convertToFormat(QImage::Format_RGB888);
    }

    // What Write writes with `samples`.
    QImage Written(int samples)
    {
        QImage bitmap;
        EXPECT_TRUE(ui::view(*form)->ReadFrame([&] {
            form->ApplyOutputViewport();
            EXPECT_TRUE(form->GrabResult(bitmap, samples));
        }));
        return bitmap.convertToFormat(QImage::Format_RGB888);
    }
};

TEST_F(LiveSamplesTest, TheViewShowsWhatWriteWritesAtEveryCount)
{
    const QImage classic = Shown();
    ASSERT_EQ(classic.size(), QSize(180, 150));
    EXPECT_EQ(MaxPixelDifference(classic, Written(1)), 0);

    // 4: the GL's own multisampling; 16 and 32: beyond it on a software GL.
    for (const int samples : {4, 16, 32}) {
        SCOPED_TRACE(samples);
        SetSamples(samples); // in force with the next frame, no restart
        const QImage smooth = Shown();
        EXPECT_GT(Colours(smooth), 2 * Colours(classic) + 8); // the edges are blended
        EXPECT_LE(MaxPixelDifference(smooth, Written(samples)), 2);
        EXPECT_EQ(smooth.pixel(0, 0), classic.pixel(0, 0)); // the background stays itself
    }

    // Back to one sample: the classic frame, byte for byte.
    SetSamples(1);
    EXPECT_EQ(MaxPixelDifference(Shown(), classic), 0);
}

TEST_F(LiveSamplesTest, APlainCaptureOfASampledViewLeavesTheViewAsItWas)
{
    const QImage classic = Shown();
    SetSamples(4);
    const QImage smooth = Shown();
    ASSERT_GT(MaxPixelDifference(smooth, classic), 0);

    // The dialog's "1 (off)" while the view shows 4 samples.
    EXPECT_EQ(MaxPixelDifference(Written(1), classic), 0);
    QImage held;
    ASSERT_TRUE(ui::view(*form)->ReadFrame([&] { EXPECT_TRUE(GrabFrameToBitmap(held)); }));
    EXPECT_EQ(MaxPixelDifference(held.convertToFormat(QImage::Format_RGB888), smooth), 0);
}

} // namespace
