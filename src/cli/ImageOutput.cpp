#include "cli/ImageOutput.h"

#include "formats/AtomicFile.h"
#include "formats/PictureWriter.h"

#include <new>

void WritePicture(const QImage& picture, const QString& fileName, OutputFormat format, int quality,
                  bool keepAlpha, std::optional<int> dotsPerInch, int threads,
                  const std::function<void(const QString& temporary)>& beforeReplace)
{
    if (dotsPerInch && format == OutputFormat::Tga)
        throw UsageError(DpiFormatText());
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        throw BadInput(QStringLiteral("%1: not enough memory to write the picture").arg(fileName));
    try {
        const RgbaRows rows = RgbaRows::Of(rgba);
        QByteArray bytes;
        switch (format) {
        case OutputFormat::Jpeg: bytes = EncodeJpeg(rows, quality, fileName, dotsPerInch); break;
        case OutputFormat::Png: bytes = EncodePng(rows, keepAlpha, PngOutputLevel, fileName, dotsPerInch, threads); break;
        case OutputFormat::Bmp: bytes = EncodeBmp(rows, BmpLayout::Bgr24, fileName, dotsPerInch); break;
        case OutputFormat::Tga:
            bytes = EncodeTga(rows, keepAlpha ? TgaLayout::Bgra32 : TgaLayout::Bgr24, fileName);
            break;
        }
        WriteFileAtomically(fileName, bytes, beforeReplace);
    } catch (const ImageError& e) {
        throw BadInput(QString::fromStdString(e.what()));
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1: not enough memory to write the picture").arg(fileName));
    }
}
