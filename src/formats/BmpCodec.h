#pragma once
// Reader of device-independent bitmap files: core (OS/2) and Windows headers
// up to version 5; 1, 4 and 8 bits with a colour table, 16, 24 and 32 bits,
// bit-field masks, RLE4 and RLE8; bottom-up and top-down rows.
#include "formats/ImageCodec.h"

// Decodes the whole file. The size is checked from the header before the
// pixels are allocated; a file shorter than its header promises, or a header
// this reader does not know, throws ImageError.
void DecodeBmp(const QString& fileName, const AllocateRgba& allocate);
