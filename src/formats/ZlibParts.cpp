#include "formats/ZlibParts.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <thread>

namespace {

// Below this much data a part is not worth a thread.
constexpr std::size_t MinPartBytes = std::size_t{1} << 20;
// ISA-L counts its input in 32 bits.
constexpr std::size_t MaxPartBytes = std::size_t{1} << 30;

void PutAdler32(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size)
{
    const std::uint32_t adler = libdeflate_adler32(1, data, size);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(adler >> shift));
}

std::vector<std::uint8_t> LibdeflateStream(const std::uint8_t* data, std::size_t size, int level)
{
    const std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
        libdeflate_alloc_compressor(std::clamp(level, 0, 12)), &libdeflate_free_compressor);
    if (!compressor)
        throw std::bad_alloc();
    // Compressed into a buffer left uninitialised (only the pages the stream
    // reaches are touched), then kept at its size.
    const std::size_t room = libdeflate_zlib_compress_bound(compressor.get(), size);
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(room);
    const std::size_t made = libdeflate_zlib_compress(compressor.get(), data, size, buffer.get(), room);
    if (made == 0)
        throw std::bad_alloc(); // the bound is always enough
    return std::vector<std::uint8_t>(buffer.get(), buffer.get() + made);
}

// One part as raw deflate. A part with more to follow ends on a full flush:
// byte-aligned after an empty stored block, referring to nothing before it,
// so the next part's blocks continue the stream.
std::vector<std::uint8_t> FastPart(const std::uint8_t* data, std::size_t size, bool last)
{
    const auto levelBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(ISAL_DEF_LVL1_DEFAULT);
    // At worst stored blocks: five bytes per 64 KB, and the flush's own.
    const std::size_t room = size + (size >> 12) + 64;
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(room);
    isal_zstream stream{}; // the init leaves the history size as it was: 0 is the default
    isal_deflate_stateless_init(&stream);
    stream.level = 1;
    stream.level_buf = levelBuffer.get();
    stream.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.end_of_stream = last ? 1 : 0;
    stream.flush = last ? NO_FLUSH : FULL_FLUSH;
    stream.next_in = const_cast<std::uint8_t*>(data);
    stream.avail_in = static_cast<std::uint32_t>(size);
    stream.next_out = buffer.get();
    stream.avail_out = static_cast<std::uint32_t>(room);
    if (isal_deflate_stateless(&stream) != COMP_OK || stream.avail_in != 0)
        throw std::bad_alloc(); // the room is always enough
    return std::vector<std::uint8_t>(buffer.get(), buffer.get() + stream.total_out);
}

std::vector<std::uint8_t> FastStream(const std::uint8_t* data, std::size_t size, int threads)
{
    const std::size_t parts = std::max(std::clamp<std::size_t>(size / MinPartBytes, 1, static_cast<std::size_t>(std::max(1, threads))),
                                       (size + MaxPartBytes - 1) / MaxPartBytes);
    std::vector<std::vector<std::uint8_t>> made(parts);
    std::vector<std::exception_ptr> failures(parts);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next++) < parts;) {
            try {
                const std::size_t begin = size * i / parts, end = size * (i + 1) / parts;
                made[i] = FastPart(data + begin, end - begin, i + 1 == parts);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    {
        std::vector<std::thread> helpers;
        for (std::size_t i = 1; i < std::min<std::size_t>(parts, static_cast<std::size_t>(std::max(1, threads))); ++i)
            helpers.emplace_back(work);
        work();
        for (std::thread& helper : helpers)
            helper.join();
    }
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);

    std::size_t total = 2 + 4;
    for (const auto& part : made)
        total += part.size();
    std::vector<std::uint8_t> out;
    out.reserve(total);
    // zlib's header: deflate with a 32 KB window, "fastest" as the level
    // hint, and check bits that make it a multiple of 31.
    out.push_back(0x78);
    out.push_back(0x01);
    for (const auto& part : made)
        out.insert(out.end(), part.begin(), part.end());
    PutAdler32(out, data, size);
    return out;
}

} // namespace

std::vector<std::uint8_t> ZlibCompressInParts(const std::uint8_t* data, std::size_t size, int level, int threads)
{
    if (level == FastDeflate)
        return FastStream(data, size, threads);
    return LibdeflateStream(data, size, level);
}
