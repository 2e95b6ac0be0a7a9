#pragma once
// The zlib streams the PNG writer stores. A chosen level is libdeflate's
// single stream, for the smallest files. The command line's pictures take
// ISA-L's fastest level instead: about four times quicker for a few per cent
// more bytes, with large pictures cut into parts compressed on separate
// threads, each ending on a full flush so they join into one stream.
#include <cstddef>
#include <cstdint>
#include <vector>

// The level that asks for ISA-L's fast compression, in parts.
inline constexpr int FastDeflate = -1;

// The zlib stream (header, deflate data, Adler-32) of `data`: at libdeflate's
// `level` (0 to 12) on one thread, or for FastDeflate on up to `threads`
// threads. Throws std::bad_alloc when memory runs out.
std::vector<std::uint8_t> ZlibCompressInParts(const std::uint8_t* data, std::size_t size, int level,
                                              int threads);
