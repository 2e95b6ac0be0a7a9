// Large cover textures are made on a thread of their own, in a context that
// shares its objects with the view's: the view's context then fills and
// reads them as its own, and a maker that goes away early leaves nothing
// running.
#include "render/GLTexture.h"
#include "window/TextureMaker.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

struct TextureMakerTest : ::testing::Test {
    QOffscreenSurface surface;
    QOpenGLContext view;

    void SetUp() override
    {
        surface.create();
        ASSERT_TRUE(view.create());
        ASSERT_TRUE(view.makeCurrent(&surface));
    }
    void TearDown() override { view.doneCurrent(); }

    // The name `done` was called with, once it was.
    static std::optional<unsigned> Made(TextureMaker& maker, int width, int height)
    {
        std::optional<unsigned> name;
        maker.Make(width, height, [&](unsigned made) { name = made; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return name.has_value(); }, 30000));
        return name;
    }
};

TEST_F(TextureMakerTest, TheViewFillsAndReadsATextureMadeOnTheMakersThread)
{
    std::unique_ptr<TextureMaker> maker = TextureMaker::Start(&view);
    ASSERT_TRUE(maker) << "threaded GL is available under Xvfb";
    const std::optional<unsigned> name = Made(*maker, 256, 128);
    ASSERT_TRUE(name && *name != 0);
    ASSERT_TRUE(view.makeCurrent(&surface));
    EXPECT_TRUE(glIsTexture(*name));

    GLTexture texture;
    texture.AdoptEmptyTexture(*name);
    std::vector<std::uint8_t> rows(256 * 128 * 4);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<std::uint8_t>(i * 7 + i / 1024);
    texture.UploadRows(0, 64, 256, rows.data());
    texture.UploadRows(64, 64, 256, rows.data() + 64 * 256 * 4);
    std::vector<std::uint8_t> back(rows.size(), 0);
    glBindTexture(GL_TEXTURE_2D, *name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, rows);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(static_cast<GLenum>(filter), texture.MinFilter) << "a new texture's parameters";
    // The texture object deletes it with the view's context current.
}

TEST_F(TextureMakerTest, ASizeTheGLWillNotTakeAsItIsGivesNoTexture)
{
    std::unique_ptr<TextureMaker> maker = TextureMaker::Start(&view);
    ASSERT_TRUE(maker);
    EXPECT_EQ(Made(*maker, 300, 100), 0u) << "not a base level: the window scales it itself";
    EXPECT_EQ(Made(*maker, 64, 64).value_or(0) != 0, true) << "and the maker goes on";
}

TEST_F(TextureMakerTest, AMakerThatGoesAwayWithWorkLeftCallsNothingAndStops)
{
    std::unique_ptr<TextureMaker> maker = TextureMaker::Start(&view);
    ASSERT_TRUE(maker);
    int calls = 0;
    for (int i = 0; i < 4; ++i)
        maker->Make(2048, 2048, [&](unsigned) { ++calls; });
    maker.reset(); // waits for the texture being made; the rest are not made
    QTest::qWait(50);
    EXPECT_EQ(calls, 0);
}

} // namespace
