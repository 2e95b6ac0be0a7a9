// What the texture object sends to the GL, without a GL.
#include "render/GLTexture.h"

#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <string>
#include <utility>

namespace {

TEST(TextureUploadTest, AskedLikeGluAndHalvedUntilTheGLTakesIt)
{
    RecordingGL gl;
    gl.MaxTextureSize = 64;
    GLTexture texture(gl);
    RgbaPicture picture;
    picture.AllocatePixels(300, 20, QStringLiteral("test"));
    std::memset(picture.Pixels.get(), 7, picture.PixelBytes());
    texture.Upload(picture);
    // 300 x 20 -> 256 x 16, then halved together twice; each question is
    // GLU's: does the level below fit?
    EXPECT_EQ(gl.Matching("TexImage2D"),
              (QStringList{"TexImage2D(GL_PROXY_TEXTURE_2D,1,GL_RGBA,128,8,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_PROXY_TEXTURE_2D,1,GL_RGBA,64,4,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_PROXY_TEXTURE_2D,1,GL_RGBA,32,2,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,64,4,0,GL_RGBA,GL_UNSIGNED_BYTE)"}));
    EXPECT_EQ(picture.Width, 300) << "the picture survives the upload";
    EXPECT_EQ(picture.Pixels[300 * 20 * 4 - 1], 7);
}

TEST(TextureUploadTest, PreparedBaseLevelIsSentAsItIsAndEmptyPicturesNotAtAll)
{
    RecordingGL gl;
    GLTexture texture(gl);
    RgbaPicture picture;
    picture.AllocatePixels(6, 3, QStringLiteral("test"));
    std::memset(picture.Pixels.get(), 200, picture.PixelBytes());
    PrepareBaseLevel(picture, 16384);
    EXPECT_EQ(picture.Width, 8);
    EXPECT_EQ(picture.Height, 4);
    EXPECT_EQ(picture.Pixels[4 * 8 * 4 - 1], 200);
    EXPECT_TRUE(gl.Calls.isEmpty()) << "the base level is made without the GL";
    texture.Upload(picture);
    EXPECT_EQ(gl.Matching("TexImage2D(GL_TEXTURE_2D"),
              QStringList{"TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,8,4,0,GL_RGBA,GL_UNSIGNED_BYTE)"});

    gl.Reset();
    GLTexture empty(gl);
    RgbaPicture nothing;
    nothing.AllocatePixels(0, 5, QStringLiteral("test"));
    empty.Upload(nothing);
    EXPECT_TRUE(gl.Matching("TexImage2D").isEmpty());
    EXPECT_EQ(gl.Matching("GenTextures").size(), 1) << "a name is still made, as GLU's refusal left it";

    gl.Reset();
    empty.Upload(RgbaPicture());
    EXPECT_TRUE(gl.Calls.isEmpty()) << "a picture without pixels leaves the texture as it was";
}

TEST(TextureUploadTest, PartsOnlyForASizeTheGLTakesAsItIs)
{
    RecordingGL gl;
    gl.MaxTextureSize = 64;
    GLTexture texture(gl);
    EXPECT_TRUE(texture.BeginUploadInParts(64, 16));
    const std::uint8_t rows[64 * 4 * 2] = {};
    texture.UploadRows(14, 2, 64, rows);
    EXPECT_EQ(gl.Matching("TexImage2D(GL_TEXTURE_2D") + gl.Matching("TexSubImage2D"),
              (QStringList{"TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,64,16,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexSubImage2D(GL_TEXTURE_2D,0,0,14,64,2,GL_RGBA,GL_UNSIGNED_BYTE)"}));
    // Too large: the whole picture is needed to make the smaller level.
    EXPECT_FALSE(texture.BeginUploadInParts(128, 16));
    EXPECT_EQ(texture.Name(), 0u);
}

// Immutable storage is made outside the lock the view's drawing needs: a
// texture sent in parts gets it wherever the GL has it, and the smooth look
// then moves its base level to a texture that can take the levels under it.
TEST(TextureUploadTest, PartsGetImmutableStorageWhereTheGLHasIt)
{
    struct Case {
        const char* Version;
        const char* Extensions;
        bool Storage;
    };
    for (const Case& c : {Case{"4.5 (Compatibility Profile) Mesa 22.3.6", "", true},
                          Case{"4.2", "", true},
                          Case{"4.1 Mesa", "GL_ARB_texture_storage_multisample", false},
                          Case{"3.3", "GL_EXT_x GL_ARB_texture_storage", true},
                          Case{"", "", false}}) {
        SCOPED_TRACE(std::string(c.Version) + " / " + c.Extensions);
        RecordingGL gl;
        gl.Version = c.Version;
        gl.Extensions = c.Extensions;
        GLTexture texture(gl);
        ASSERT_TRUE(texture.BeginUploadInParts(64, 16));
        EXPECT_EQ(gl.Matching("TexStorage2D"),
                  c.Storage ? QStringList{"TexStorage2D(GL_TEXTURE_2D,1,GL_RGBA8,64,16)"} : QStringList{});
        EXPECT_EQ(gl.Matching("TexImage2D(GL_TEXTURE_2D").size(), c.Storage ? 0 : 1);
    }

    RecordingGL gl;
    gl.Version = "4.5";
    GLTexture texture(gl);
    ASSERT_TRUE(texture.BeginUploadInParts(8, 4));
    gl.Reset();
    texture.SetSmooth(true);
    EXPECT_TRUE(texture.Smooth());
    EXPECT_EQ(texture.Name(), 2u) << "a new texture for the levels";
    EXPECT_EQ(gl.Matching("DeleteTextures"), QStringList{"DeleteTextures(1,1)"});
    EXPECT_EQ(gl.Matching("TexImage2D(GL_TEXTURE_2D"),
              (QStringList{"TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,8,4,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_TEXTURE_2D,1,GL_RGBA,4,2,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_TEXTURE_2D,2,GL_RGBA,2,1,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_TEXTURE_2D,3,GL_RGBA,1,1,0,GL_RGBA,GL_UNSIGNED_BYTE)"}));
    // Made once: off and on again keeps the name and sends nothing.
    texture.SetSmooth(false);
    gl.Reset();
    texture.SetSmooth(true);
    EXPECT_EQ(texture.Name(), 2u);
    EXPECT_TRUE(gl.Matching("TexImage2D").isEmpty());
}

// The texture object owns its name: it deletes it once, whoever holds it last.
TEST(TextureUploadTest, TheNameIsDeletedOnceByItsLastOwner)
{
    RecordingGL gl;
    RgbaPicture picture = PictureOfImage(QImage(4, 4, QImage::Format_RGB888));
    {
        GLTexture first(gl);
        first.Upload(picture); // name 1
        GLTexture second(std::move(first));
        EXPECT_EQ(first.Name(), 0u);
        EXPECT_EQ(second.Name(), 1u);
        GLTexture third(gl);
        third.Upload(picture); // name 2
        gl.Reset();
        third = std::move(second);
        EXPECT_EQ(gl.Calls, QStringList{"DeleteTextures(1,2)"}) << "its own texture goes";
        EXPECT_EQ(third.Name(), 1u);
        gl.Reset();
    }
    EXPECT_EQ(gl.Calls, QStringList{"DeleteTextures(1,1)"});

    // Given up, a name is deleted by nobody: it went with its context or
    // to another owner.
    gl.Reset();
    GLuint released = 0;
    {
        GLTexture texture(gl);
        texture.Upload(picture);
        released = texture.Release();
        EXPECT_EQ(texture.Name(), 0u);
        texture.Bind();
    }
    EXPECT_EQ(released, 3u);
    EXPECT_TRUE(gl.Matching("DeleteTextures").isEmpty());
    EXPECT_EQ(gl.Matching("BindTexture").size(), 1) << "bound once, when it was made";
}

} // namespace
