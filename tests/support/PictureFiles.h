#pragma once
// Shared by the picture file tests: a temporary folder, raw file bytes, and
// pictures painted straight into an RgbaPicture buffer.
#include "formats/PictureFile.h"
#include "support/TempFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>

class PictureFiles : public TempFiles {
public:
    // Fills the buffer pixel by pixel; x and y count from the bottom left.
    using Painter = std::function<void(int x, int y, std::uint8_t* rgba)>;
    static void Paint(RgbaPicture& picture, int width, int height, const Painter& paint)
    {
        picture.AllocatePixels(width, height, QStringLiteral("test picture"));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                paint(x, y, picture.Pixels.get() + (static_cast<std::size_t>(y) * width + x) * 4);
    }

    // Every channel of every pixel differs from its neighbours.
    static void PaintBusy(RgbaPicture& picture, int width, int height)
    {
        Paint(picture, width, height, [](int x, int y, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(x * 37 + y * 11);
            p[1] = static_cast<std::uint8_t>(x * 5 + y * 73);
            p[2] = static_cast<std::uint8_t>(x * x + y);
            p[3] = static_cast<std::uint8_t>(x + y * 3);
        });
    }

    static QByteArray Buffer(const RgbaPicture& picture)
    {
        return QByteArray(reinterpret_cast<const char*>(picture.Pixels.get()),
                          static_cast<qsizetype>(picture.PixelBytes()));
    }

    // The buffer with every alpha byte set to 255, as a decoded file gives it.
    static QByteArray Opaque(const RgbaPicture& picture)
    {
        QByteArray bytes = Buffer(picture);
        for (qsizetype i = 3; i < bytes.size(); i += 4)
            bytes[i] = static_cast<char>(255);
        return bytes;
    }

    // Largest difference of any colour channel between two RGBA buffers.
    static int MaxColourDifference(const QByteArray& a, const QByteArray& b)
    {
        EXPECT_EQ(a.size(), b.size());
        int worst = 0;
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            if (i % 4 != 3)
                worst = std::max(worst, std::abs(static_cast<std::uint8_t>(a[i]) -
                                                 static_cast<std::uint8_t>(b[i])));
        return worst;
    }

    // Open file descriptors of this process, to see that files get closed.
    static int OpenFiles() { return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).count()); }

    // Loads and expects an ImageError whose text names the file; the buffer is
    // then empty and no file stays open.
    void ExpectImageError(const QString& path, const char* textPart = nullptr)
    {
        RgbaPicture picture;
        const int before = OpenFiles();
        try {
            ReadPictureFile(path, picture);
            ADD_FAILURE() << "no ImageError for " << path.toStdString();
        } catch (const ImageError& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(QDir::toNativeSeparators(path).toStdString()), std::string::npos)
                << text;
            if (textPart) {
                EXPECT_NE(text.find(textPart), std::string::npos) << text;
            }
        }
        EXPECT_FALSE(picture.Pixels);
        EXPECT_EQ(OpenFiles(), before);
    }
};
