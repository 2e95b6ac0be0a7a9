// A base level sent in parts while it is still being made ends as the same
// texture as one sent whole.
#include "render/JpegBaseLevel.h"
#include "render/HeadlessContext.h"
#include "render/PartialUpload.h"
#include "render/GLExtensions.h"
#include "render/GLTexture.h"
#include "support/JpegBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <future>
#include <vector>

namespace {

std::vector<std::uint8_t> TextureBytes(const GLTexture& texture, PictureSize size, int level = 0)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.Width) * size.Height * 4);
    glBindTexture(GL_TEXTURE_2D, texture.Name());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

TEST(UploadInPartsTest, RowsSentAsTheyComeMakeTheWholeTexture)
{
    HeadlessContext context(16, 16);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cover.jpg"));
    {
        const int w = 1201, h = 1801;
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<std::uint8_t>((i * 7919) % 251);
        const QByteArray jpeg = EncodeJpeg(rgb.data(), w, h, TJPF_RGB, TJSAMP_420, 90);
        std::ofstream(path.toStdString(), std::ios::binary).write(jpeg.constData(), jpeg.size());
    }

    // Once with the rows in the picture, once made in a small ring the
    // sending hands back.
    for (const bool ring : {false, true}) {
        SCOPED_TRACE(ring ? "ring" : "in place");
        BaseLevelProgress progress;
        if (ring)
            progress.RecycleRows(std::size_t{64} * 1024 * 4);
        auto job = std::async(std::launch::async, [&] { return DecodeJpegBaseLevel(path, 16384, &progress); });
        GLTexture parts;
        PartialUpload upload(parts, ring);
        bool sentEarly = false;
        while (job.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
            upload.Follow(progress, 100);
            sentEarly = sentEarly || upload.Taken();
        }
        DecodedBaseLevel level = job.get();
        ASSERT_TRUE(sentEarly) << "the rows were reported before the picture was done";
        EXPECT_EQ(level.Base, (PictureSize{1024, 2048}));
        RgbaPicture picture;
        picture.Width = level.Base.Width;
        picture.Height = level.Base.Height;
        picture.Pixels = std::move(level.Pixels);
        if (ring)
            upload.Finish(progress);
        else
            upload.Finish(picture);

        // The whole level, decoded again in one piece.
        const DecodedBaseLevel again = DecodeJpegBaseLevel(path, 16384);
        RgbaPicture wholePicture;
        wholePicture.AllocatePixels(again.Base.Width, again.Base.Height, QStringLiteral("test"));
        std::memcpy(wholePicture.Pixels.get(), again.Pixels.get(), wholePicture.PixelBytes());
        GLTexture whole;
        whole.Upload(wholePicture);
        EXPECT_TRUE(TextureBytes(parts, level.Base) == TextureBytes(whole, level.Base));
    }
}

// Where the GL has it, the parts go to immutable storage (made outside the
// lock the view's drawing needs); the texture holds the same bytes as one
// sent whole, and the smooth look gives both the same levels.
TEST(UploadInPartsTest, ImmutableStorageHoldsTheSameLevelsAsAWholeUpload)
{
    HeadlessContext context(16, 16);
    const int w = 64, h = 32;
    RgbaPicture picture;
    picture.AllocatePixels(w, h, QStringLiteral("test"));
    for (std::size_t i = 0; i < picture.PixelBytes(); ++i)
        picture.Pixels[i] = static_cast<std::uint8_t>((i * 7919) % 251);

    GLTexture parts;
    ASSERT_TRUE(parts.BeginUploadInParts(w, h));
    GLint immutable = GL_FALSE;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_IMMUTABLE_FORMAT, &immutable);
    EXPECT_EQ(immutable == GL_TRUE, HasTextureStorage(SystemGL()));
    // Bottom half first, as the rows come.
    const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
    parts.UploadRows(h / 2, h / 2, w, picture.Pixels.get() + rowBytes * (h / 2));
    parts.UploadRows(0, h / 2, w, picture.Pixels.get());
    GLTexture whole;
    whole.Upload(picture);
    EXPECT_TRUE(TextureBytes(parts, {w, h}) == TextureBytes(whole, {w, h}));

    parts.SetSmooth(true);
    whole.SetSmooth(true);
    EXPECT_TRUE(parts.Smooth());
    for (int level = 0; level <= 6; ++level) {
        SCOPED_TRACE(level);
        const PictureSize size{std::max(1, w >> level), std::max(1, h >> level)};
        EXPECT_TRUE(TextureBytes(parts, size, level) == TextureBytes(whole, size, level));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
