#pragma once
// Writers of the result image. Each file is written beside its target under
// a temporary name and renamed into place, so a failed write never leaves a
// half-written picture or destroys an older file of the same name.
// Failures throw ImageError with a text that names the path (the encoders
// name `what` instead).
#include "textures/ImageCodec.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG File Interchange Format, quality 1..100 (clamped), 4:2:0 chroma.
QByteArray EncodeResultJpeg(const QImage& image, int quality,
                            const QString& what = QStringLiteral("JPEG image"));
// Uncompressed 24-bit device-independent bitmap: 54-byte header, rows
// bottom-up in blue-green-red order, each padded to a multiple of 4 bytes.
QByteArray EncodeResultBmp(const QImage& image, const QString& what = QStringLiteral("BMP image"));

void WriteResultJpeg(const QString& path, const QImage& image, int quality);
void WriteResultBmp(const QString& path, const QImage& image);

// Replaces path with data in one step (temporary file + rename).
void WriteFileInPlace(const QString& path, const QByteArray& data);
