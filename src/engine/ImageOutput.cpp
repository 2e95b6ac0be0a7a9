#include "engine/ImageOutput.h"

#include "formats/AtomicFile.h"
#include "formats/PictureWriter.h"

#include <new>

QByteArray EncodePicture(const QImage& picture, OutputFormat format, int quality, bool keepAlpha,
                         std::optional<int> dotsPerInch, int threads, const QString& what)
{
    if (dotsPerInch && format == OutputFormat::Tga)
        throw UsageError(DpiFormatText());
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        throw BadInput(QStringLiteral("%1: not enough memory to write the picture").arg(what));
    try {
        const RgbaRows rows = RgbaRows::Of(rgba);
        switch (format) {
        case OutputFormat::Jpeg: return EncodeJpeg(rows, quality, what, dotsPerInch);
        case OutputFormat::Png: return EncodePng(rows, keepAlpha, PngOutputLevel, what, dotsPerInch, threads);
        case OutputFormat::Bmp: return EncodeBmp(rows, BmpLayout::Bgr24, what, dotsPerInch);
        case OutputFormat::Tga: return EncodeTga(rows, keepAlpha ? TgaLayout::Bgra32 : TgaLayout::Bgr24, what);
        }
        return {};
    } catch (const ImageError& e) {
        throw BadInput(QString::fromStdString(e.what()));
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1: not enough memory to write the picture").arg(what));
    }
}

void WritePicture(const QImage& picture, const QString& fileName, OutputFormat format, int quality,
                  bool keepAlpha, std::optional<int> dotsPerInch, int threads,
                  const std::function<void(const QString& temporary)>& beforeReplace)
{
    const QByteArray bytes = EncodePicture(picture, format, quality, keepAlpha, dotsPerInch, threads, fileName);
    try {
        WriteFileAtomically(fileName, bytes, beforeReplace);
    } catch (const ImageError& e) {
        throw BadInput(QString::fromStdString(e.what()));
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1: not enough memory to write the picture").arg(fileName));
    }
}
