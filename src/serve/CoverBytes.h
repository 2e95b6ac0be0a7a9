#pragma once
// What an uploaded cover is, told from its bytes before anything decodes it:
// its kind and the pixels its header claims, so that an oversized picture is
// refused before a decoder allocates for it.
#include "formats/PictureKind.h"

#include <cstdint>
#include <string_view>

struct CoverHeader {
    PictureKind Kind = PictureKind::Unknown;
    std::int64_t Width = 0;
    std::int64_t Height = 0;
    bool SizeKnown = false; // the header was there and whole
};

// By signature; a Targa has none, so it is only taken as one when the
// sender said so (`declaredTga`: a .tga name or an image/x-tga type).
CoverHeader ReadCoverHeader(std::string_view bytes, bool declaredTga);
