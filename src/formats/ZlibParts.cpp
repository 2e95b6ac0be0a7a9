#include "formats/ZlibParts.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <thread>

namespace {

// Below this much data a part is not worth a thread.
constexpr std::size_t MinPartBytes = std::size_t{1} << 20;
// Finding where a part's last block starts means inflating it, which costs
// about this share of compressing it: such parts are made smaller so that
// all the threads finish together.
constexpr double ScanCost = 0.2;

using Compressor = std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)>;

Compressor MakeCompressor(int level)
{
    Compressor compressor(libdeflate_alloc_compressor(std::clamp(level, 0, 12)), &libdeflate_free_compressor);
    if (!compressor)
        throw std::bad_alloc();
    return compressor;
}

// Compressed into a buffer left uninitialised (only the pages the stream
// reaches are touched), then kept at its size.
template <typename Compress, typename Bound>
std::vector<std::uint8_t> Compressed(const std::uint8_t* data, std::size_t size, int level, Compress compress,
                                     Bound bound)
{
    const Compressor compressor = MakeCompressor(level);
    const std::size_t room = bound(compressor.get(), size);
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(room);
    const std::size_t made = compress(compressor.get(), data, size, buffer.get(), room);
    if (made == 0)
        throw std::bad_alloc(); // the bound is always enough
    return std::vector<std::uint8_t>(buffer.get(), buffer.get() + made);
}

std::vector<std::uint8_t> RawDeflate(const std::uint8_t* data, std::size_t size, int level)
{
    return Compressed(data, size, level, libdeflate_deflate_compress, libdeflate_deflate_compress_bound);
}

// Where the final block's header starts and where its data ends, in bits,
// found by inflating the part block by block; nothing when it does not
// inflate as one whole stream.
struct FinalBlock {
    std::size_t Header, End;
};

std::optional<FinalBlock> FindFinalBlock(const std::vector<std::uint8_t>& deflate)
{
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) // raw deflate
        return std::nullopt;
    std::vector<std::uint8_t> sink(std::size_t{1} << 16); // the output is not kept
    stream.next_in = const_cast<Bytef*>(deflate.data());
    stream.avail_in = static_cast<uInt>(deflate.size());
    std::size_t header = 0;
    std::optional<FinalBlock> found;
    for (;;) {
        stream.next_out = sink.data();
        stream.avail_out = static_cast<uInt>(sink.size());
        const int result = inflate(&stream, Z_BLOCK);
        if (result != Z_OK)
            break; // damaged, or past the end without stopping there
        // The bit just after what inflate has taken: the low three bits of
        // data_type count the bits of the last byte it has not used.
        const std::size_t at = (deflate.size() - stream.avail_in) * 8 - (stream.data_type & 7);
        if (stream.data_type & 128) { // just after a block
            if (stream.data_type & 64) { // the final one: before inflate skips to the byte
                found = FinalBlock{header, at};
                break;
            }
            header = at; // the next block's header starts here
        } else if (stream.avail_in == 0 && stream.avail_out != 0) {
            break; // ran out inside a block
        }
    }
    inflateEnd(&stream);
    return found;
}

// Clears the final mark and appends an empty stored block, which ends on a
// byte: the next part's blocks follow it.
bool MakeJoinable(std::vector<std::uint8_t>& deflate)
{
    const std::optional<FinalBlock> last = FindFinalBlock(deflate);
    if (!last)
        return false;
    deflate[last->Header / 8] &= static_cast<std::uint8_t>(~(1u << (last->Header % 8)));
    // The stored block's three header bits (not final, type 0) are zeros,
    // then zeros up to the byte, then its length 0 and the length's complement.
    const std::size_t headerEnd = last->End + 3;
    deflate.resize((headerEnd + 7) / 8, 0);
    deflate[last->End / 8] &= static_cast<std::uint8_t>((1u << (last->End % 8)) - 1);
    std::fill(deflate.begin() + static_cast<std::ptrdiff_t>(last->End / 8 + 1), deflate.end(), 0);
    deflate.insert(deflate.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

std::vector<std::uint8_t> WholeStream(const std::uint8_t* data, std::size_t size, int level)
{
    return Compressed(data, size, level, libdeflate_zlib_compress, libdeflate_zlib_compress_bound);
}

} // namespace

std::vector<std::uint8_t> ZlibCompressInParts(const std::uint8_t* data, std::size_t size, int level, int threads)
{
    const std::size_t parts = std::clamp<std::size_t>(size / MinPartBytes, 1, static_cast<std::size_t>(std::max(1, threads)));
    if (parts == 1)
        return WholeStream(data, size, level);

    // Every part but the last also has its last block found: they get less.
    const double joined = 1.0 / (1.0 + ScanCost);
    const double unit = static_cast<double>(size) / ((parts - 1) * joined + 1.0);
    std::vector<std::size_t> begins(parts + 1, size);
    begins[0] = 0;
    for (std::size_t i = 1; i < parts; ++i)
        begins[i] = std::min(size, begins[i - 1] + static_cast<std::size_t>(unit * joined));

    std::vector<std::vector<std::uint8_t>> made(parts);
    std::vector<char> joinable(parts, 1);
    std::vector<std::exception_ptr> failures(parts);
    const auto work = [&](std::size_t i) {
        try {
            made[i] = RawDeflate(data + begins[i], begins[i + 1] - begins[i], level);
            if (i + 1 < parts)
                joinable[i] = MakeJoinable(made[i]);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    };
    {
        std::vector<std::thread> helpers;
        for (std::size_t i = 0; i + 1 < parts; ++i)
            helpers.emplace_back(work, i);
        work(parts - 1);
        for (std::thread& helper : helpers)
            helper.join();
    }
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    if (std::find(joinable.begin(), joinable.end(), 0) != joinable.end())
        return WholeStream(data, size, level); // libdeflate's own stream, never a broken one

    // zlib's header: deflate with a 32 KB window, the level hint libdeflate
    // gives for this level, and the check bits that make it a multiple of 31.
    const unsigned hint = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = (0x78u << 8) | (hint << 6);
    header += 31 - header % 31;
    std::size_t total = 2 + 4;
    for (const auto& part : made)
        total += part.size();
    std::vector<std::uint8_t> out;
    out.reserve(total);
    out.push_back(static_cast<std::uint8_t>(header >> 8));
    out.push_back(static_cast<std::uint8_t>(header & 0xFF));
    for (const auto& part : made)
        out.insert(out.end(), part.begin(), part.end());
    const std::uint32_t adler = libdeflate_adler32(1, data, size);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(adler >> shift));
    return out;
}
