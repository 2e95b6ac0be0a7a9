// A base level sent in parts while it is still being made ends as the same
// texture as one sent whole.
#include "gl/HeadlessContext.h"
#include "textures/JpegBaseLevel.h"
#include "textures/TGLBMP.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <cstring>
#include <fstream>
#include <future>
#include <vector>

namespace {

std::vector<std::uint8_t> TextureBytes(const TGLBMP& texture, PictureSize size)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.Width) * size.Height * 4);
    glBindTexture(GL_TEXTURE_2D, texture.TextureName);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
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
        tjhandle handle = tjInitCompress();
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        ASSERT_EQ(tjCompress2(handle, rgb.data(), w, 0, h, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90, 0), 0);
        std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(jpeg),
                                                                  static_cast<std::streamsize>(size));
        tjFree(jpeg);
        tjDestroy(handle);
    }

    BaseLevelProgress progress;
    auto job = std::async(std::launch::async, [&] { return DecodeJpegBaseLevel(path, 16384, &progress); });
    TGLBMP parts;
    bool begun = false;
    int sentFrom = 0, sends = 0;
    const auto send = [&](PictureSize size, const std::uint8_t* pixels, int from) {
        if (from < sentFrom) {
            parts.UploadRows(from, sentFrom - from, size.Width, pixels + static_cast<std::size_t>(from) * size.Width * 4);
            sentFrom = from;
            ++sends;
        }
    };
    while (job.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        if (const std::uint8_t* pixels = progress.Pixels()) {
            if (!begun) {
                begun = true;
                ASSERT_TRUE(parts.BeginUploadInParts(progress.Size().Width, progress.Size().Height));
                sentFrom = progress.Size().Height;
            }
            send(progress.Size(), pixels, progress.Final());
        }
    const DecodedBaseLevel level = job.get();
    ASSERT_TRUE(begun) << "the rows were reported before the picture was done";
    EXPECT_EQ(level.Base, (PictureSize{1024, 2048}));
    send(level.Base, level.Pixels.get(), 0);

    TGLBMP whole;
    whole.AllocatePixels(level.Base.Width, level.Base.Height, QStringLiteral("test"));
    std::memcpy(whole.Pixels.get(), level.Pixels.get(), whole.PixelBytes());
    whole.Upload();
    EXPECT_TRUE(TextureBytes(parts, level.Base) == TextureBytes(whole, level.Base)) << sends << " sends";
}

} // namespace
