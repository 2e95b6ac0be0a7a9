// The texture's base level against the real GLU mipmap builder, bit for bit.
#include "render/BaseLevel.h"
#include "render/BaseLevelSimd.h"

#include "formats/ImageCodec.h"
#include "render/HeadlessContext.h"
#include "render/GLTexture.h"

#include <gtest/gtest.h>

#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Noise(PictureSize size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size.Width) * size.Height * 4);
    for (std::uint8_t& byte : pixels)
        byte = static_cast<std::uint8_t>(random());
    // Some flat runs as well: rounding at 255 and 0 shows there.
    for (std::size_t i = 0; i < pixels.size() / 3; ++i)
        pixels[i] = i % 8 < 4 ? 255 : 0;
    return pixels;
}

struct Level {
    PictureSize Size;
    std::vector<std::uint8_t> Pixels;
};

// Level 0 of the texture bound now.
Level BoundLevelZero()
{
    Level level;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &level.Size.Width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &level.Size.Height);
    level.Pixels.resize(static_cast<std::size_t>(level.Size.Width) * level.Size.Height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.Pixels.data());
    return level;
}

Level GluLevelZero(const std::vector<std::uint8_t>& pixels, PictureSize size)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    EXPECT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, size.Width, size.Height, GL_RGBA,
                                GL_UNSIGNED_BYTE, pixels.data()),
              0);
    Level level = BoundLevelZero();
    glDeleteTextures(1, &name);
    return level;
}

std::string FirstDifference(const Level& want, const Level& got)
{
    if (!(want.Size == got.Size))
        return "size " + std::to_string(got.Size.Width) + "x" + std::to_string(got.Size.Height) +
               ", GLU made " + std::to_string(want.Size.Width) + "x" + std::to_string(want.Size.Height);
    for (std::size_t i = 0; i < want.Pixels.size(); ++i)
        if (want.Pixels[i] != got.Pixels[i]) {
            const std::size_t pixel = i / 4;
            return "pixel (" + std::to_string(pixel % static_cast<std::size_t>(want.Size.Width)) + ", " +
                   std::to_string(pixel / static_cast<std::size_t>(want.Size.Width)) + ") channel " +
                   std::to_string(i % 4) + ": " + std::to_string(got.Pixels[i]) + ", GLU made " +
                   std::to_string(want.Pixels[i]);
        }
    return {};
}

class BaseLevelTest : public ::testing::TestWithParam<PictureSize> {
protected:
    HeadlessContext context{16, 16};
};

// Every way the builder can take: scaled down, scaled up, one axis only,
// a single row or column, sizes it keeps, and sizes beyond the GL's largest
// texture (both sides halved, in one case down to its plain halving).
// 1500 x 1500 and 700 x 1400 shrink both ways by less than two: footprints
// of two and three rows and columns.
INSTANTIATE_TEST_SUITE_P(
    Sizes, BaseLevelTest,
    ::testing::Values(PictureSize{37, 23}, PictureSize{301, 7}, PictureSize{5, 300},
                      PictureSize{3, 5}, PictureSize{2, 3}, PictureSize{7, 6}, PictureSize{1, 37},
                      PictureSize{41, 1}, PictureSize{1, 1}, PictureSize{64, 32}, PictureSize{64, 45},
                      PictureSize{90, 64}, PictureSize{1201, 801}, PictureSize{6000 / 4, 4000 / 4},
                      PictureSize{250, 190}, PictureSize{500, 300}, PictureSize{8000 / 4, 6000 / 4},
                      PictureSize{40000, 23}, PictureSize{32768, 2},
                      PictureSize{1500, 1500}, PictureSize{700, 1400},
                      // Source columns nearly two to one: groups of fewer than
                      // sixteen columns, and a row's last columns past them.
                      PictureSize{1999, 37}, PictureSize{47, 1999}),
    [](const ::testing::TestParamInfo<PictureSize>& sizeInfo) {
        return std::to_string(sizeInfo.param.Width) + "x" + std::to_string(sizeInfo.param.Height);
    });

TEST_P(BaseLevelTest, MatchesTheGluBuilderBitForBit)
{
    const PictureSize size = GetParam();
    const std::vector<std::uint8_t> pixels = Noise(size, static_cast<unsigned>(size.Width * 7919 + size.Height));
    const Level glu = GluLevelZero(pixels, size);

    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    Level ours{BaseLevelSize(size.Width, size.Height, maxSide), {}};
    ours.Pixels.resize(static_cast<std::size_t>(ours.Size.Width) * ours.Size.Height * 4);
    // Every instruction set the rescaler was built for that this processor
    // runs, one after another in this run.
    const std::vector<std::int64_t> targets = baselevel::CompiledTargets();
    for (const std::int64_t target : targets) {
        baselevel::UseTarget(target);
        std::fill(ours.Pixels.begin(), ours.Pixels.end(), 0x55);
        ScaleToBaseLevel(pixels.data(), size, ours.Pixels.data(), ours.Size, 3);
        EXPECT_EQ(FirstDifference(glu, ours), "") << "in memory, " << baselevel::TargetName(target);
    }
    baselevel::UseTarget(0);

    // The texture's own upload, straight and after the off-thread step
    // (it holds no picture beyond the reader's limit).
    if (size.Width > MaxImageSide || size.Height > MaxImageSide)
        return;
    for (const bool prepared : {false, true}) {
        RgbaPicture picture;
        picture.AllocatePixels(size.Width, size.Height, QStringLiteral("test"));
        std::memcpy(picture.Pixels.get(), pixels.data(), pixels.size());
        if (prepared)
            PrepareBaseLevel(picture, maxSide);
        GLTexture texture;
        texture.Upload(picture);
        EXPECT_EQ(FirstDifference(glu, BoundLevelZero()), "") << (prepared ? "prepared" : "uploaded");
        GLint levelOne = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &levelOne);
        EXPECT_EQ(levelOne, 0) << "only the base level is sent";
    }
}

TEST(BaseLevelSizeTest, PowersAsGluChoosesThem)
{
    const std::pair<int, int> cases[] = {{1, 1},   {2, 2},    {3, 4},       {5, 4},       {6, 8},
                                         {7, 8},   {12, 16},  {13, 16},     {17, 16},     {100, 128},
                                         {80, 64}, {4000, 4096}, {6000, 4096}, {8000, 8192}, {16384, 16384}};
    for (const auto& [side, power] : cases)
        EXPECT_EQ(GluNearestPower(side), power) << side;
    EXPECT_EQ(BaseLevelSize(6000, 4000, 16384), (PictureSize{4096, 4096}));
    EXPECT_EQ(BaseLevelSize(40000, 3, 16384), (PictureSize{16384, 2}));
    EXPECT_EQ(BaseLevelSize(9000, 100, 4096), (PictureSize{4096, 64}));
}

} // namespace
