#pragma once
// A zlib stream compressed in parts on several threads, for a picture whose
// encoding is the last thing a render waits for. Each part is libdeflate's
// own raw deflate; every part but the last is then made to end the way a
// sync flush ends (its final-block mark cleared, an empty stored block
// after it), so the parts join into one stream any inflater reads.
#include <cstddef>
#include <cstdint>
#include <vector>

// The zlib stream (header, deflate data, Adler-32) of `data` at libdeflate's
// `level`, using up to `threads` threads; with one thread or little data it
// is the single stream libdeflate makes. Throws std::bad_alloc when memory
// runs out.
std::vector<std::uint8_t> ZlibCompressInParts(const std::uint8_t* data, std::size_t size, int level,
                                              int threads);
