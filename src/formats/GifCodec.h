#pragma once
// GIF pictures through giflib.
#include "formats/ImageCodec.h"

// Decodes the first picture of the file onto its logical screen: the screen
// (grown where the picture reaches beyond it) is filled with the background
// colour and the picture is drawn at its position. Transparent pixels keep
// their palette colour. Throws ImageError with giflib's error text.
void DecodeGif(const QString& fileName, const AllocateRgba& allocate);

// Writes RGBA pixels (bottom row first, alpha ignored) as a GIF89a file with a
// palette of up to 256 colours chosen by giflib's quantizer. The colour of the
// top-left pixel becomes the screen's background and the transparent colour.
// Throws ImageError.
void EncodeGif(const QString& fileName, const std::uint8_t* rgba, int width, int height);
