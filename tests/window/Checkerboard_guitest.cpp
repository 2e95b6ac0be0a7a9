// Transparency on screen: the picture over a light and grey checkerboard;
// a picture without alpha is shown as it is.
#include "window/Checkerboard.h"

#include <gtest/gtest.h>

#include <QColor>

namespace {

TEST(Checkerboard, TransparentPartsShowTheSquaresAndOpaqueOnesThePicture)
{
    QImage opaque(20, 20, QImage::Format_RGB888);
    opaque.fill(QColor(10, 90, 200));
    EXPECT_EQ(OverCheckerboard(opaque), opaque);

    QImage picture(2 * CheckerCell, 2 * CheckerCell, QImage::Format_RGBA8888);
    picture.fill(Qt::transparent);
    picture.setPixelColor(CheckerCell + 3, CheckerCell + 3, QColor(10, 90, 200));      // opaque
    picture.setPixelColor(CheckerCell + 4, CheckerCell + 4, QColor(255, 0, 0, 128));   // half
    const QImage shown = OverCheckerboard(picture);
    ASSERT_EQ(shown.size(), picture.size());
    EXPECT_FALSE(shown.hasAlphaChannel());
    const struct {
        QPoint At;
        QColor Shown;
    } cases[] = {
        {{0, 0}, QColor(255, 255, 255)},
        {{CheckerCell, 0}, QColor(204, 204, 204)},
        {{0, CheckerCell}, QColor(204, 204, 204)},
        {{CheckerCell + 3, CheckerCell + 3}, QColor(10, 90, 200)},
        {{CheckerCell + 4, CheckerCell + 4}, QColor(255, 127, 127)},
    };
    for (const auto& c : cases) {
        const QColor got = shown.pixelColor(c.At);
        EXPECT_NEAR(got.red(), c.Shown.red(), 1) << c.At.x() << "," << c.At.y();
        EXPECT_NEAR(got.green(), c.Shown.green(), 1) << c.At.x() << "," << c.At.y();
        EXPECT_NEAR(got.blue(), c.Shown.blue(), 1) << c.At.x() << "," << c.At.y();
    }
}

} // namespace
