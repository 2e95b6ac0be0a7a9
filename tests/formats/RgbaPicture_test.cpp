// The picture in memory: bottom row first, moved and never copied, and
// refused sizes that leave it as it was.
#include "formats/ImageCodec.h"
#include "formats/RgbaPicture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

namespace {

static_assert(!std::is_copy_constructible_v<RgbaPicture> && !std::is_copy_assignable_v<RgbaPicture>);
static_assert(std::is_nothrow_move_constructible_v<RgbaPicture> && std::is_nothrow_move_assignable_v<RgbaPicture>);

TEST(RgbaPictureTest, APictureMovedFromIsEmpty)
{
    RgbaPicture picture;
    picture.AllocatePixels(3, 2, QStringLiteral("test"));
    const std::uint8_t* buffer = picture.Pixels.get();

    RgbaPicture moved(std::move(picture));
    EXPECT_EQ(moved.Pixels.get(), buffer);
    EXPECT_EQ(moved.Width, 3);
    EXPECT_EQ(moved.Height, 2);
    EXPECT_FALSE(picture.Pixels);
    EXPECT_EQ(picture.Width, 0);
    EXPECT_EQ(picture.Height, 0);
    EXPECT_EQ(picture.PixelBytes(), 0u);

    RgbaPicture assigned;
    assigned.AllocatePixels(1, 1, QStringLiteral("test"));
    assigned = std::move(moved);
    EXPECT_EQ(assigned.Pixels.get(), buffer);
    EXPECT_EQ(assigned.PixelBytes(), 3u * 2 * 4);
    EXPECT_EQ(moved.Width, 0);
    EXPECT_FALSE(moved.Pixels);
}

TEST(RgbaPictureTest, ARefusedSizeLeavesThePictureAsItWas)
{
    RgbaPicture picture;
    picture.AllocatePixels(2, 2, QStringLiteral("test"));
    picture.Pixels[0] = 42;
    const std::uint8_t* buffer = picture.Pixels.get();
    for (const auto& size : {std::pair<std::int64_t, std::int64_t>{MaxImageSide + 1, 1}, {-1, 5}}) {
        EXPECT_THROW(picture.AllocatePixels(size.first, size.second, QStringLiteral("test")), ImageError);
        EXPECT_EQ(picture.Width, 2);
        EXPECT_EQ(picture.Height, 2);
        EXPECT_EQ(picture.Pixels.get(), buffer);
        EXPECT_EQ(picture.Pixels[0], 42);
    }
}

// A QImage is top row first; the picture keeps the bottom row first, and
// opaque whatever the image's alpha. UprightImage turns it back.
TEST(RgbaPictureTest, ImagesComeInBottomRowFirstAndGoBackUpright)
{
    QImage image(2, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            image.setPixel(x, y, qRgba(10 * x, 50 * y, 7, 100));
    const RgbaPicture picture = PictureOfImage(image);
    ASSERT_EQ(picture.Width, 2);
    ASSERT_EQ(picture.Height, 3);
    const std::uint8_t* bottomRight = picture.Pixels.get() + 4; // image row 2, x 1
    EXPECT_EQ(bottomRight[0], 10);
    EXPECT_EQ(bottomRight[1], 100);
    EXPECT_EQ(bottomRight[2], 7);
    EXPECT_EQ(bottomRight[3], 255);

    const QImage upright = UprightImage(picture);
    ASSERT_EQ(upright.size(), image.size());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(upright.pixel(x, y), qRgba(10 * x, 50 * y, 7, 255)) << x << ", " << y;
    EXPECT_TRUE(UprightImage(RgbaPicture()).isNull());
}

} // namespace
