// A large cover's texture is made the way the window's texture maker makes
// it: its storage in a second context sharing the view's objects, on a
// thread of its own. The view's context then sends the rows and draws with it.
#include "render/GLExtensions.h"
#include "render/GLTexture.h"
#include "render/HeadlessContext.h"
#include "render/PartialUpload.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace {

constexpr int Side = 32;

// The texture over the whole viewport; the colour at a quarter and at three
// quarters of the width, half way up.
std::array<std::array<std::uint8_t, 4>, 2> DrawnQuarters(HeadlessContext& context, GLTexture& texture)
{
    glViewport(0, 0, Side, Side);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    texture.Bind();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(1, 0), glVertex2f(1, -1);
    glTexCoord2f(1, 1), glVertex2f(1, 1);
    glTexCoord2f(0, 1), glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    const std::vector<std::uint8_t> pixels = context.ReadPixels();
    std::array<std::array<std::uint8_t, 4>, 2> at{};
    for (int i = 0; i < 2; ++i) {
        const std::size_t offset = (static_cast<std::size_t>(Side / 2) * Side + Side / 4 + i * Side / 2) * 4;
        for (int c = 0; c < 4; ++c)
            at[i][c] = pixels[offset + c];
    }
    return at;
}

TEST(SharedTextureTest, StorageMadeInASharingContextShowsItsPictureInTheView)
{
    HeadlessContext view(Side, Side);
    const int w = 256, h = 128; // drawn smaller: the smooth look's levels are sampled too
    RgbaPicture picture;
    picture.AllocatePixels(w, h, QStringLiteral("test"));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = picture.Pixels.get() + (static_cast<std::size_t>(y) * w + x) * 4;
            const bool left = x < w / 2;
            p[0] = left ? 230 : 10, p[1] = 10, p[2] = left ? 10 : 230, p[3] = 255;
        }

    GLuint name = 0;
    GLint immutable = GL_FALSE;
    bool storage = false;
    std::thread maker([&] {
        HeadlessContext aside(1, 1, 1, &view);
        GLTexture texture;
        storage = HasTextureStorage(SystemGL());
        if (texture.BeginUploadInParts(w, h)) {
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_IMMUTABLE_FORMAT, &immutable);
            glFinish();
            name = texture.Release();
        }
    });
    maker.join();
    ASSERT_NE(name, 0u);
    EXPECT_EQ(immutable == GL_TRUE, storage);

    GLTexture cover;
    PartialUpload upload(cover, false);
    upload.BeginWith(name, {w, h});
    upload.Finish(picture);
    for (const bool smooth : {false, true, false}) {
        SCOPED_TRACE(smooth ? "smooth" : "sharp");
        cover.SetSmooth(smooth);
        const auto at = DrawnQuarters(view, cover);
        EXPECT_EQ(at[0], (std::array<std::uint8_t, 4>{230, 10, 10, 255}));
        EXPECT_EQ(at[1], (std::array<std::uint8_t, 4>{10, 10, 230, 255}));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
