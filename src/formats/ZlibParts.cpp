#include "formats/ZlibParts.h"

#include "concurrency/ParallelWork.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

// Below this much data a part is not worth a thread.
constexpr std::size_t MinPartBytes = std::size_t{1} << 20;
// ISA-L counts its input in 32 bits.
constexpr std::size_t MaxPartBytes = std::size_t{1} << 30;
// A stored block holds at most this much.
constexpr std::size_t MaxStoredBlock = 65535;

std::string Reason(int status)
{
    switch (status) {
    case STATELESS_OVERFLOW: return "the output did not fit";
    case INVALID_FLUSH: return "invalid flush";
    case INVALID_PARAM: return "invalid parameter";
    case ISAL_INVALID_LEVEL: return "invalid level";
    case ISAL_INVALID_LEVEL_BUF: return "invalid level buffer";
    default: return "status " + std::to_string(status);
    }
}

std::size_t LevelBufferBytes(int isalLevel)
{
    switch (isalLevel) {
    case 1: return ISAL_DEF_LVL1_DEFAULT;
    case 2: return ISAL_DEF_LVL2_DEFAULT;
    default: return ISAL_DEF_LVL3_DEFAULT;
    }
}

// At worst stored blocks: five bytes per 64 KB, and the flush's own.
std::size_t Room(std::size_t size) { return size + (size >> 12) + 64; }

void PutHeader(std::vector<std::uint8_t>& out, int level)
{
    // Deflate with a 32 KB window, the level hint, and check bits that make
    // the pair a multiple of 31.
    const unsigned hint = level == 0 || level == FastDeflate ? 0 : level < 7 ? 2 : 3;
    const unsigned first = 0x78, second = hint << 6;
    out.push_back(static_cast<std::uint8_t>(first));
    out.push_back(static_cast<std::uint8_t>(second + (31 - (first * 256 + second) % 31) % 31));
}

void PutAdler32(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size)
{
    const std::uint32_t adler = isal_adler32(1, data, size);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(adler >> shift));
}

void PutStored(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(MaxStoredBlock, size - at);
        const bool final = at + n == size;
        const std::uint8_t head[5] = {static_cast<std::uint8_t>(final ? 1 : 0), static_cast<std::uint8_t>(n),
                                      static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(~n),
                                      static_cast<std::uint8_t>(~n >> 8)};
        out.insert(out.end(), head, head + 5);
        out.insert(out.end(), data + at, data + at + n);
        at += n;
    } while (at < size);
}

std::vector<std::uint8_t> Part(const std::uint8_t* data, std::size_t size, int isalLevel, bool last)
{
    const std::size_t room = Room(size);
    // Left uninitialised: only the pages the stream reaches are touched.
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(room);
    const std::size_t made = DeflatePiece(data, size, isalLevel, last, buffer.get(), room);
    return std::vector<std::uint8_t>(buffer.get(), buffer.get() + made);
}

std::vector<std::vector<std::uint8_t>> FastParts(const std::uint8_t* data, std::size_t size, int threads)
{
    const std::size_t parts = std::max(std::clamp<std::size_t>(size / MinPartBytes, 1, static_cast<std::size_t>(std::max(1, threads))),
                                       (size + MaxPartBytes - 1) / MaxPartBytes);
    std::vector<std::vector<std::uint8_t>> made(parts);
    // The parts, not the threads that make them, decide the bytes.
    ParallelRows(static_cast<int>(parts), threads, [&](int first, int end) {
        for (auto i = static_cast<std::size_t>(first); i < static_cast<std::size_t>(end); ++i) {
            const std::size_t begin = size * i / parts, stop = size * (i + 1) / parts;
            made[i] = Part(data + begin, stop - begin, 1, i + 1 == parts);
        }
    });
    return made;
}

} // namespace

std::size_t DeflatePiece(const std::uint8_t* data, std::size_t size, int isalLevel, bool last, std::uint8_t* out,
                         std::size_t room)
{
    isalLevel = std::clamp(isalLevel, 1, 3);
    const std::size_t levelBytes = LevelBufferBytes(isalLevel);
    const auto levelBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(levelBytes);
    isal_zstream stream{}; // the init leaves the history size as it was: 0 is the default
    isal_deflate_stateless_init(&stream);
    stream.level = static_cast<std::uint32_t>(isalLevel);
    stream.level_buf = levelBuffer.get();
    stream.level_buf_size = static_cast<std::uint32_t>(levelBytes);
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.end_of_stream = last ? 1 : 0;
    stream.flush = last ? NO_FLUSH : FULL_FLUSH;
    stream.next_in = const_cast<std::uint8_t*>(data);
    stream.avail_in = static_cast<std::uint32_t>(size);
    stream.next_out = out;
    stream.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(room, UINT32_MAX));
    const int status = isal_deflate_stateless(&stream);
    if (status != COMP_OK)
        throw CompressionError("the deflate compressor failed (" + Reason(status) + ")");
    if (stream.avail_in != 0)
        throw CompressionError("the deflate compressor left input behind");
    return stream.total_out;
}

std::vector<std::uint8_t> ZlibCompressInParts(const std::uint8_t* data, std::size_t size, int level, int threads)
{
    std::vector<std::vector<std::uint8_t>> parts;
    if (level == FastDeflate)
        parts = FastParts(data, size, threads);
    else if (level > 0) {
        std::size_t begin = 0;
        do {
            const std::size_t end = std::min(size, begin + MaxPartBytes);
            parts.push_back(Part(data + begin, end - begin, (std::min(level, 9) + 2) / 3, end == size));
            begin = end;
        } while (begin < size);
    }
    std::size_t total = 2 + 4 + (level == 0 ? size + (size / MaxStoredBlock + 1) * 5 : 0);
    for (const auto& part : parts)
        total += part.size();
    std::vector<std::uint8_t> out;
    out.reserve(total);
    PutHeader(out, level);
    if (level == 0 || (level < 0 && level != FastDeflate))
        PutStored(out, data, size);
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    PutAdler32(out, data, size);
    return out;
}
