#pragma once
// A GIF's frames as pictures, PSNR between two pictures, and ImageMagick's
// own 256-colour reduction of a picture to hold a GIF writer's colours to.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

struct GifFrames {
    std::vector<QImage> Pictures; // each frame alone, Format_RGB32
    std::vector<int> TableSizes;  // each frame's colour table
    std::vector<int> Delays;
};

inline GifFrames ReadGifFrames(const QString& path)
{
    GifFrames g;
    int error = 0;
    GifFileType* file = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!file) {
        ADD_FAILURE() << "not a GIF: " << path.toStdString();
        return g;
    }
    const std::unique_ptr<GifFileType, void (*)(GifFileType*)> close(
        file, [](GifFileType* f) { DGifCloseFile(f, nullptr); });
    EXPECT_EQ(DGifSlurp(file), GIF_OK);
    for (int i = 0; i < file->ImageCount; ++i) {
        const SavedImage& frame = file->SavedImages[i];
        const ColorMapObject* map =
            frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : file->SColorMap;
        const int w = frame.ImageDesc.Width, h = frame.ImageDesc.Height;
        QImage picture(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const GifColorType c = map->Colors[frame.RasterBits[y * w + x]];
                picture.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
            }
        g.Pictures.push_back(picture);
        g.TableSizes.push_back(map->ColorCount);
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(file, i, &control);
        g.Delays.push_back(control.DelayTime);
    }
    return g;
}

// Over red, green and blue, as ImageMagick's compare measures it; infinite
// for equal pictures.
inline double Psnr(const QImage& a, const QImage& b)
{
    EXPECT_EQ(a.size(), b.size());
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d[3] = {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

// The largest difference of any channel of any pixel.
inline int MostOff(const QImage& a, const QImage& b)
{
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q))});
        }
    return most;
}

// `convert PICTURE.png -colors 256 OUT.gif` decoded, or nothing when
// ImageMagick is not installed (scripts/install-deps.sh installs it).
inline std::optional<QImage> ImageMagickColours256(const QString& png)
{
    const QString convert = QStringLiteral("/usr/bin/convert");
    QProcess version;
    version.start(convert, {QStringLiteral("-version")});
    if (!version.waitForFinished(30000) || !version.readAllStandardOutput().contains("ImageMagick"))
        return std::nullopt;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("im.gif"));
    QProcess run;
    run.start(convert, {png, QStringLiteral("-colors"), QStringLiteral("256"), out});
    EXPECT_TRUE(run.waitForFinished(120000) && run.exitCode() == 0)
        << run.readAllStandardError().toStdString();
    const GifFrames frames = ReadGifFrames(out);
    if (frames.Pictures.size() != 1) {
        ADD_FAILURE() << "ImageMagick made no GIF of " << png.toStdString();
        return std::nullopt;
    }
    return frames.Pictures[0];
}
