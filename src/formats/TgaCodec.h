#pragma once
// Reader of Targa pictures for covers: uncompressed and run-length; true
// colour of 15, 16, 24 and 32 bits, grey of 8 bits (16 with alpha), and
// colour-mapped of 8 or 16 bits with 15-, 16-, 24- or 32-bit map entries;
// rows from the bottom or the top, left to right or right to left.
// The plain picture files' own TGA reader (ReadPictureFile) stays as narrow
// as it always was; this one is what a cover slot reads.
#include "formats/ImageCodec.h"

#include <cstddef>
#include <cstdint>

// Decodes the whole file to RGBA, bottom row first. Alpha is the file's for
// 32-bit, grey-with-alpha and 16-bit pixels whose descriptor announces an
// alpha bit (and for map entries of those depths); 255 otherwise. The size is
// checked before the pixels are allocated; a damaged, cut-short or unknown
// file throws ImageError naming the file.
void DecodeTga(const QString& fileName, const AllocateRgba& allocate);

// The same on bytes in memory; `what` names them in errors.
void DecodeTga(const std::uint8_t* data, std::size_t size, const QString& what,
               const AllocateRgba& allocate);
