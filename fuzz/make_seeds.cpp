// Writes small valid pictures of every format as seed corpora:
//   make_seeds FOLDER  ->  FOLDER/TgaReader/*, FOLDER/TgaCodec/*, FOLDER/ImageLoad/* and
//   FOLDER/JpegBaseLevel/*
// ImageLoad seeds start with the byte that picks their extension.
#include "FuzzSupport.h"
#include "formats/PictureFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>

namespace {

const char* const Extensions[] = {".bmp", ".jpg", ".png", ".gif", ".tga"};

void Paint(RgbaPicture& picture, int width, int height, int seed)
{
    picture.AllocatePixels(width, height, QStringLiteral("seed"));
    for (int i = 0; i < width * height; ++i) {
        std::uint8_t* p = picture.Pixels.get() + static_cast<std::size_t>(i) * 4;
        p[0] = static_cast<std::uint8_t>(i * 37 + seed);
        p[1] = static_cast<std::uint8_t>(i * 11 + seed * 5);
        p[2] = static_cast<std::uint8_t>((i / width) * 50);
        p[3] = static_cast<std::uint8_t>(i * 3);
    }
}

bool Copy(const QString& from, const QString& to, int selector)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes = in.readAll();
    if (selector >= 0)
        bytes.prepend(static_cast<char>(selector));
    return out.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    const QString pictures = root.filePath(QStringLiteral("pictures"));
    const QString tga = root.filePath(QStringLiteral("TgaReader"));
    const QString load = root.filePath(QStringLiteral("ImageLoad"));
    const QString jpeg = root.filePath(QStringLiteral("JpegBaseLevel"));
    const QString coverTga = root.filePath(QStringLiteral("TgaCodec"));
    for (const QString& folder : {pictures, tga, load, jpeg, coverTga})
        if (!QDir().mkpath(folder))
            return 1;

    RgbaPicture picture;
    QStringList written;
    const int sizes[][2] = {{1, 1}, {7, 5}, {16, 16}, {3, 40}};
    int n = 0;
    for (const auto& size : sizes) {
        Paint(picture, size[0], size[1], n);
        const int quality = 20 + 25 * n;
        for (const char* ext : Extensions) {
            const QString name = QDir(pictures).filePath(QStringLiteral("own%1%2").arg(n).arg(ext));
            if (!WritePictureFile(picture, name, quality))
                return 1;
            written << name;
        }
        ++n;
    }
    // Layouts our writers do not make: 24-bit and palette BMPs, grey and alpha
    // PNGs, a grey JPEG, and a 24-bit TGA.
    Paint(picture, 9, 6, 3);
    const QImage upright = UprightImage(picture);
    const struct {
        QImage::Format format;
        const char* name;
    } variants[] = {{QImage::Format_RGB888, "qt24.bmp"},
                    {QImage::Format_Indexed8, "qt8.bmp"},
                    {QImage::Format_Mono, "qt1.bmp"},
                    {QImage::Format_Grayscale8, "grey.png"},
                    {QImage::Format_ARGB32, "alpha.png"},
                    {QImage::Format_Grayscale16, "grey16.png"},
                    {QImage::Format_Grayscale8, "grey.jpg"}};
    for (const auto& v : variants) {
        const QString name = QDir(pictures).filePath(QString::fromLatin1(v.name));
        if (upright.convertToFormat(v.format).save(name))
            written << name;
        else
            std::fprintf(stderr, "skipped %s (no writer)\n", v.name);
    }
    QFile tga24(QDir(pictures).filePath(QStringLiteral("rgb24.tga")));
    if (!tga24.open(QIODevice::WriteOnly))
        return 1;
    const char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0};
    tga24.write(header, sizeof header);
    tga24.write(QByteArray(3 * 2 * 3, '\x40'));
    tga24.close();
    written << tga24.fileName();

    // Kinds only the cover reader takes: run-length true colour from the top,
    // grey, and a run-length colour-mapped picture with an ID.
    const QByteArray coverSeeds[] = {
        QByteArray("\0\0\x0A\0\0\0\0\0\0\0\0\0\x04\0\x02\0\x20\x28", 18) +
            QByteArray("\x83\x10\x20\x30\xFF\x03\x01\x02\x03\x04\x05\x06\x07\x08"
                       "\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10", 22),
        QByteArray("\0\0\x03\0\0\0\0\0\0\0\0\0\x03\0\x02\0\x08\0", 18) + QByteArray("\x10\x40\x80\xC0\xE0\xFF", 6),
        QByteArray("\x02\x01\x09\x00\x00\x02\x00\x18\0\0\0\0\x03\0\x02\0\x08\0", 18) + "id" +
            QByteArray("\x10\x20\x30\xA0\xB0\xC0", 6) + QByteArray("\x82\x00\x02\x01\x00\x01", 6),
    };
    int coverSeed = 0;
    for (const QByteArray& bytes : coverSeeds) {
        QFile seed(QDir(coverTga).filePath(QStringLiteral("cover%1.tga").arg(coverSeed++)));
        if (!seed.open(QIODevice::WriteOnly) || seed.write(bytes) != bytes.size())
            return 1;
    }

    for (const QString& name : written) {
        const QString file = QFileInfo(name).fileName();
        const QString ext = QFileInfo(name).suffix().toLower();
        int selector = -1;
        for (int i = 0; i < 5; ++i)
            if (QLatin1String(Extensions[i]).mid(1) == ext)
                selector = i;
        if (selector < 0 || !Copy(name, QDir(load).filePath(file), selector))
            return 1;
        if (ext == QLatin1String("tga") && (!Copy(name, QDir(tga).filePath(file), -1) ||
                                            !Copy(name, QDir(coverTga).filePath(file), -1)))
            return 1;
        if (ext == QLatin1String("jpg") && !Copy(name, QDir(jpeg).filePath(file), 0))
            return 1;
    }
    std::printf("%lld seeds in %s and %s\n", static_cast<long long>(written.size()),
                qPrintable(load), qPrintable(tga));
    return 0;
}
