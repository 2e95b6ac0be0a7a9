#pragma once
// The encoders of every picture the program writes: the window's result
// ("Save image as"), the command line's output and WritePictureFile's
// pictures. Each turns pixels into the bytes of a whole file; writing them is
// WriteFileAtomically's job (output/AtomicFile.h).
// Failures throw ImageError naming `what` (normally the file's path).
#include "formats/ImageCodec.h"
#include "formats/ZlibParts.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

// Pixels as the encoders read them: red, green, blue, alpha, a byte each;
// `Stride` bytes from one row to the one below it, negative for a buffer
// that keeps its bottom row first.
struct RgbaRows {
    const std::uint8_t* Top = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;

    const std::uint8_t* Row(int y) const { return Top + y * Stride; }

    // A Format_RGBA8888 (or RGBX8888) picture; see AsRgba.
    static RgbaRows Of(const QImage& rgba);
    // Width x height x 4 bytes, bottom row first, rows unpadded.
    static RgbaRows BottomUp(const std::uint8_t* pixels, int width, int height);
};

// Any picture as Format_RGBA8888 (no copy when it is one already). Throws
// when there is no picture, it is beyond the size limits or memory runs out.
QImage AsRgba(const QImage& image, const QString& what);

// The print resolution a picture may record, in dots per inch. Without one
// every encoder writes exactly the bytes it always did. 1..65535 fits every
// format's field; other values throw.
using DotsPerInch = std::optional<int>;
// Whole pixels per metre, as PNG and BMP store it: 300 dpi gives 11811.
std::uint32_t PixelsPerMetre(int dotsPerInch);

// JPEG File Interchange Format, baseline, 4:2:0 chroma, quality clamped to
// 1..100; alpha is ignored. A resolution goes into the JFIF density (dots
// per inch); without one it stays "no unit, 1:1".
QByteArray EncodeJpeg(const RgbaRows& picture, int quality, const QString& what, DotsPerInch dpi = {});

// 8-bit RGB (alpha dropped) or, with keepAlpha, RGBA PNG marked sRGB.
// `level` is 0 (stored) .. 9, or FastDeflate; with that a
// large picture is compressed by up to `threads` threads (the same pixels, a
// file a few bytes larger). A resolution adds a pHYs chunk (pixels per metre).
QByteArray EncodePng(const RgbaRows& picture, bool keepAlpha, int level, const QString& what,
                     DotsPerInch dpi = {}, int threads = 1);
// The command line's effort: ISA-L's fastest level, for photographs within
// a few per cent of the smallest file in a fraction of the time, so that a
// batch spends far less on compressing its pictures than on drawing them.
inline constexpr int PngOutputLevel = FastDeflate;

// Uncompressed device-independent bitmap with a 54-byte header, rows bottom
// first in blue-green-red order.
enum class BmpLayout {
    Bgr24,  // rows padded to 4 bytes, 96 dots per inch: the result's bitmap
    Bgra32, // alpha kept, no resolution: WritePictureFile's bitmap
};
// A given resolution replaces the layout's in the header (pixels per metre).
QByteArray EncodeBmp(const RgbaRows& picture, BmpLayout layout, const QString& what, DotsPerInch dpi = {});

// Uncompressed true-colour Targa, rows bottom first in blue-green-red order.
enum class TgaLayout {
    Bgr24,
    Bgra32,            // alpha kept, 8 alpha bits in the descriptor
    Bgra32Unannounced, // alpha kept, descriptor 0: as WritePictureFile always wrote it
};
QByteArray EncodeTga(const RgbaRows& picture, TgaLayout layout, const QString& what);
