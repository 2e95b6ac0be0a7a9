#pragma once
// A JPEG read row by row from the top, each row handed on as soon as it is
// decoded, so the whole picture never has to be in memory. The file is read
// as the decoder goes: its first bytes for the header, the rest in pieces.
// Same refusals and texts as DecodeJpeg.
#include "formats/ImageCodec.h"

#include <cstdint>
#include <functional>
#include <memory>

class JpegRowReader {
public:
    // Reads the header. Throws ImageError for a file that cannot be read, a
    // header DecodeJpeg refuses or a picture too large; a header that reads
    // as a picture without pixels is told apart by DecodeJpeg's own texts,
    // and when those find nothing wrong, Width or Height is 0.
    explicit JpegRowReader(const QString& fileName);
    ~JpegRowReader();
    JpegRowReader(const JpegRowReader&) = delete;
    JpegRowReader& operator=(const JpegRowReader&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Where row `top` (counted from the top) is to be decoded: Width x 4
    // bytes. It may wait until there is room.
    using RowPlace = std::function<std::uint8_t*(int top)>;
    // Row `top` is decoded there: RGBA, CMYK turned into RGB with alpha 255.
    using RowDone = std::function<void(int top, std::uint8_t* row)>;
    // Asked before each row: true ends the decode early.
    using Stop = std::function<bool()>;

    // Decodes every row, top down, once. False when `stop` ended it (also
    // when the file then turns out damaged); ImageError for a damaged file
    // or a read error.
    bool ReadRows(const RowPlace& place, const RowDone& done, const Stop& stop);

private:
    QString fileName_;
    FileStart start_;
    int width_ = 0;
    int height_ = 0;
    bool cmyk_ = false;
};
