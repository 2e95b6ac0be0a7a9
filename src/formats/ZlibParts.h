#pragma once
// The zlib streams the PNG writer stores, all made with ISA-L: measured on a
// 1800 x 1800 box shot, its fastest level took a sixth of the time of
// libdeflate's fastest for a file 1 to 4 per cent larger, and its higher
// levels were still faster than any of libdeflate's. The command line's
// pictures take the fastest level, large ones cut into parts compressed on
// separate threads, each ending on a full flush so they join into one stream.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

// The level that asks for the fast compression in parts.
inline constexpr int FastDeflate = -1;

// The compressor refused its input or ran out of room: a fault of ours, not
// of the picture or the memory.
class CompressionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The zlib stream (header, deflate data, Adler-32) of `data`. `level` 0
// stores the data as it is; 1..9 ask for more effort (ISA-L's levels 1..3);
// FastDeflate compresses on up to `threads` threads. Throws std::bad_alloc
// when memory runs out and CompressionError when the compressor fails.
std::vector<std::uint8_t> ZlibCompressInParts(const std::uint8_t* data, std::size_t size, int level,
                                              int threads);

// One piece of raw deflate at ISA-L's `isalLevel` (1..3) into `out`, ending
// the stream when `last`, else on a full flush; returns the bytes written.
// Throws CompressionError (with ISA-L's reason) when it does not fit in
// `room` or the compressor fails.
std::size_t DeflatePiece(const std::uint8_t* data, std::size_t size, int isalLevel, bool last, std::uint8_t* out,
                         std::size_t room);
