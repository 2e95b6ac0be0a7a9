#include "formats/PictureKind.h"

#include <QFile>

#include <cstring>

PictureKind SniffPictureKind(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return PictureKind::Unknown;
    const QByteArray head = file.read(8);
    const auto startsWith = [&](const char* bytes, qsizetype n) {
        return head.size() >= n && std::memcmp(head.constData(), bytes, static_cast<std::size_t>(n)) == 0;
    };
    if (startsWith("\xFF\xD8\xFF", 3))
        return PictureKind::Jpeg;
    if (startsWith("\x89PNG\r\n\x1A\n", 8))
        return PictureKind::Png;
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6))
        return PictureKind::Gif;
    // A Targa cannot start so: its second byte, the colour map type, is 0 or 1.
    if (startsWith("BM", 2))
        return PictureKind::Bmp;
    return PictureKind::Unknown;
}

PictureKind PictureKindOfName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : fileName.mid(dot).toLower();
    if (ext == QLatin1String(".jpg") || ext == QLatin1String(".jpeg"))
        return PictureKind::Jpeg;
    if (ext == QLatin1String(".png"))
        return PictureKind::Png;
    if (ext == QLatin1String(".gif"))
        return PictureKind::Gif;
    if (ext == QLatin1String(".bmp"))
        return PictureKind::Bmp;
    if (ext == QLatin1String(".tga"))
        return PictureKind::Tga;
    return PictureKind::Unknown;
}

PictureKind CoverPictureKind(const QString& fileName)
{
    const PictureKind sniffed = SniffPictureKind(fileName);
    return sniffed != PictureKind::Unknown ? sniffed : PictureKindOfName(fileName);
}

QString PictureKindName(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Jpeg: return QStringLiteral("JPEG");
    case PictureKind::Png: return QStringLiteral("PNG");
    case PictureKind::Gif: return QStringLiteral("GIF");
    case PictureKind::Bmp: return QStringLiteral("BMP");
    case PictureKind::Tga: return QStringLiteral("Targa");
    case PictureKind::Unknown: break;
    }
    return {};
}
