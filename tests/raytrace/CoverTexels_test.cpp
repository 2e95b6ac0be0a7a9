// Covers as the ray tracer reads them: sRGB decoded to linear light,
// sampled bilinearly as the raster's textures are, each side's slot chosen
// as SideTexture chooses it.
#include "raytrace/CoverTexels.h"
#include "render/CoverImage.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const CoverTexels> TwoByOne(std::uint8_t left, std::uint8_t right)
{
    RgbaPicture p;
    p.AllocatePixels(2, 1, QStringLiteral("test"));
    for (int i = 0; i < 4; ++i) {
        p.Pixels[static_cast<std::size_t>(i)] = left;
        p.Pixels[static_cast<std::size_t>(4 + i)] = right;
    }
    return std::make_shared<const CoverTexels>(std::move(p));
}

} // namespace

TEST(CoverTexelsTest, SrgbRoundTripsEveryByteAndMidGreyIsAFifthOfTheLight)
{
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(EncodeSrgb(DecodeSrgb(b)), b) << b;
    EXPECT_NEAR(DecodeSrgb(128), 0.2158f, 1e-3f);
    EXPECT_EQ(EncodeSrgb(-1.0f), 0);
    EXPECT_EQ(EncodeSrgb(7.0f), 255);
    EXPECT_EQ(EncodeSrgb(std::nanf("")), 0);
}

TEST(CoverTexelsTest, SamplesBilinearlyInLinearLightBetweenTexelCentres)
{
    const auto texels = TwoByOne(0, 255);
    EXPECT_NEAR(texels->Sample(0.25f, 0.5f).x, 0.0f, 1e-6f); // a texel's centre is its own colour
    EXPECT_NEAR(texels->Sample(0.75f, 0.5f).x, 1.0f, 1e-6f);
    // Halfway between them: half the light (not half the byte).
    EXPECT_NEAR(texels->Sample(0.5f, 0.5f).x, 0.5f, 1e-6f);
    // Repeating, as GL_REPEAT does: past the right edge blends back to the left.
    EXPECT_NEAR(texels->Sample(1.0f, 0.5f).x, 0.5f, 1e-6f);
}

TEST(CoverTexelsTest, ASideShowsItsOwnPictureElseItsPairsAndPlaceholdersFillTheClassicSlots)
{
    RayCovers covers = PlaceholderCovers();
    for (int i = 0; i < ClassicSlotCount; ++i)
        ASSERT_TRUE(covers.Slots[static_cast<std::size_t>(i)]);
    EXPECT_EQ(covers.OfSide(BoxSide::Back), covers.Slots[SlotIndex::FrontBack].get());
    EXPECT_FALSE(covers.HasOwn(BoxSide::Back));
    const QRgb front = PlaceholderColor(SlotIndex::FrontBack);
    EXPECT_NEAR(covers.OfSide(BoxSide::Front)->Sample(0.3f, 0.6f).x, DecodeSrgb(qRed(front)), 1e-6f);

    covers.Slots[SlotIndex::Back] = TwoByOne(10, 10);
    EXPECT_EQ(covers.OfSide(BoxSide::Back), covers.Slots[SlotIndex::Back].get());
    EXPECT_EQ(covers.OfSide(BoxSide::Front), covers.Slots[SlotIndex::FrontBack].get());
    ASSERT_TRUE(covers.PageEdges);
    EXPECT_GT(covers.PageEdges->Width(), 1);
}
