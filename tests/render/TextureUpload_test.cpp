// What the texture object sends to the GL, without a GL.
#include "render/TextureImage.h"

#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TextureUploadTest, AskedLikeGluAndHalvedUntilTheGLTakesIt)
{
    RecordingGL gl;
    gl.MaxTextureSize = 64;
    TextureImage texture(QString(), gl);
    texture.AllocatePixels(300, 20, QStringLiteral("test"));
    std::memset(texture.Pixels.get(), 7, texture.PixelBytes());
    texture.Upload();
    // 300 x 20 -> 256 x 16, then halved together twice; each question is
    // GLU's: does the level below fit?
    EXPECT_EQ(gl.Matching("TexImage2D"),
              (QStringList{"TexImage2D(GL_PROXY_TEXTURE_2D,1,GL_RGBA,128,8,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_PROXY_TEXTURE_2D,1,GL_RGBA,64,4,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_PROXY_TEXTURE_2D,1,GL_RGBA,32,2,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,64,4,0,GL_RGBA,GL_UNSIGNED_BYTE)"}));
    EXPECT_EQ(texture.Width, 300) << "the buffer survives the upload";
}

TEST(TextureUploadTest, PreparedBaseLevelIsSentAsItIsAndEmptyPicturesNotAtAll)
{
    RecordingGL gl;
    TextureImage texture(QString(), gl);
    texture.AllocatePixels(6, 3, QStringLiteral("test"));
    std::memset(texture.Pixels.get(), 200, texture.PixelBytes());
    texture.PrepareBaseLevel(16384);
    EXPECT_EQ(texture.Width, 8);
    EXPECT_EQ(texture.Height, 4);
    EXPECT_EQ(texture.Pixels[4 * 8 * 4 - 1], 200);
    texture.Upload();
    EXPECT_EQ(gl.Matching("TexImage2D(GL_TEXTURE_2D"),
              QStringList{"TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,8,4,0,GL_RGBA,GL_UNSIGNED_BYTE)"});

    gl.Reset();
    TextureImage empty(QString(), gl);
    empty.AllocatePixels(0, 5, QStringLiteral("test"));
    empty.Upload();
    EXPECT_TRUE(gl.Matching("TexImage2D").isEmpty());
    EXPECT_EQ(gl.Matching("GenTextures").size(), 1) << "a name is still made, as GLU's refusal left it";
}

TEST(TextureUploadTest, PartsOnlyForASizeTheGLTakesAsItIs)
{
    RecordingGL gl;
    gl.MaxTextureSize = 64;
    TextureImage texture(QString(), gl);
    EXPECT_TRUE(texture.BeginUploadInParts(64, 16));
    const std::uint8_t rows[64 * 4 * 2] = {};
    texture.UploadRows(14, 2, 64, rows);
    EXPECT_EQ(gl.Matching("TexImage2D(GL_TEXTURE_2D") + gl.Matching("TexSubImage2D"),
              (QStringList{"TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,64,16,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexSubImage2D(GL_TEXTURE_2D,0,0,14,64,2,GL_RGBA,GL_UNSIGNED_BYTE)"}));
    // Too large: the whole picture is needed to make the smaller level.
    EXPECT_FALSE(texture.BeginUploadInParts(128, 16));
    EXPECT_EQ(texture.TextureName, 0u);
}

} // namespace
