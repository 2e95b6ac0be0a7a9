#pragma once
// Writes the rendered picture in the format its name asks for. The picture
// goes to a temporary file beside the target first and is then renamed, so a
// failed or interrupted run never leaves half a picture under the name.
#include "engine/RenderOptions.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

// `picture` is upright RGBA. With `keepAlpha` (PNG and TGA only) the alpha
// channel is written; otherwise the picture is stored opaque: 24-bit BMP and
// TGA, RGB PNG, JPEG at `quality`. `dotsPerInch` (JPEG, PNG, BMP; a TGA has
// no field for it and is refused) records the print resolution; without it
// the bytes are as they always were. A PNG may be compressed by up to
// `threads` threads: for a picture the process is only waiting for, not one
// written while the next is drawn. `beforeReplace` sees the written file
// before it takes the name (see WriteFileAtomically). Throws
// JobError naming `fileName`.
// The bytes WritePicture writes, in memory; `what` names the picture in errors.
QByteArray EncodePicture(const QImage& picture, OutputFormat format, int quality, bool keepAlpha,
                         std::optional<int> dotsPerInch, int threads, const QString& what);

void WritePicture(const QImage& picture, const QString& fileName, OutputFormat format,
                  int quality, bool keepAlpha, std::optional<int> dotsPerInch = std::nullopt, int threads = 1,
                  const std::function<void(const QString& temporary)>& beforeReplace = {});
