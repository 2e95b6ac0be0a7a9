#pragma once
// The pictures a 3D model file embeds: PNG or JPEG bytes, as glTF allows.
#include <QByteArray>
#include <QImage>
#include <QString>

struct ModelPicture {
    QByteArray Bytes;    // a whole PNG or JPEG file
    QByteArray MimeType; // "image/png" or "image/jpeg"
};

// True for a JPEG every viewer shows as this program does: 8-bit Huffman
// (baseline or progressive), grey or three components, and no Exif turn
// (browsers apply it, this program never did). Such a file is embedded as
// its own bytes.
bool IsPlainJpeg(const QByteArray& bytes);

// An upright picture as an opaque PNG.
ModelPicture PngModelPicture(const QImage& picture);

// A cover as the render shows it: its own bytes when they are a plain JPEG
// (the picture must still decode), else a PNG of the decoded picture with
// transparent parts laid over white. For bytes that came without a file
// (an upload), `decoded` is the caller's decoding of them.
ModelPicture ModelPictureOf(const QByteArray& fileBytes, const QImage& decoded);

// The same for a cover file. Throws ImageError naming the file when it is
// missing, of another kind or damaged.
ModelPicture ModelPictureOfFile(const QString& fileName);
