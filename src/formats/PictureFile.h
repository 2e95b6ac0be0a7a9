#pragma once
// A picture read from or written to a file whose extension names its kind
// (".bmp", ".jpg", ".png", ".gif" or ".tga", any letter case). Covers are read
// by content instead (CoverImage); these serve the tests, the benchmarks and
// pictures the program writes whole.
#include "formats/ImageCodec.h"
#include "formats/RgbaPicture.h"

#include <QString>

// Reads the file into `picture`. False for a missing file (the picture as it
// was) or an unknown extension or a Targa of a kind not read here (no pixels
// left). A damaged file, or one that cannot be read, throws ImageError, with
// no pixels left. `bitsPerPixel`, when given, gets the depth the file keeps
// its pixels at (24 or 32 for a Targa, 32 for the others) once it is read.
bool ReadPictureFile(const QString& fileName, RgbaPicture& picture, int* bitsPerPixel = nullptr);

// A decoder that asks for its buffer once it knows the picture's size.
using PictureDecoder = void (*)(const QString& fileName, const AllocateRgba& allocate);
// Runs `decode` with the picture's pixels as its buffer; if it throws, the
// picture is left without pixels (never half a picture) and it rethrows.
void DecodeIntoPicture(const QString& fileName, PictureDecoder decode, RgbaPicture& picture);

// Writes the picture in the kind its extension names; `quality` (1 to 100,
// clamped) is JPEG's and picks PNG's compression. False for an unknown
// extension, or a picture without pixels; a file that cannot be made throws
// ImageError. A bitmap or Targa whose bytes could not all be written answers
// false, as it always did.
bool WritePictureFile(const RgbaPicture& picture, const QString& fileName, int quality = 75);
