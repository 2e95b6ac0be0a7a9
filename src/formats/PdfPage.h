#pragma once
// A printer's PDF: its first page, measured and drawn by Poppler. A cover
// wrap comes as one page holding back, spine and front side by side.
#include <QImage>
#include <QSizeF>
#include <QString>

// The first page's size in millimetres (its crop box, turned as the page
// says). Throws ImageError naming the file when it is no PDF Poppler can
// read, is locked by a password, or has no page.
QSizeF PdfPageSizeMm(const QString& fileName);

// The first page drawn at `dotsPerInch`, opaque over white, as RGB32.
// Throws ImageError as PdfPageSizeMm does, and when the picture would pass
// the decoders' size limits.
QImage PdfFirstPage(const QString& fileName, double dotsPerInch);
