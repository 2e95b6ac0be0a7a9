// A zlib stream compressed in parts is one stream any inflater reads back
// whole: every kind of data, part count and level, including parts
// libdeflate stores uncompressed.
#include "formats/ZlibParts.h"

#include <libdeflate.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> Inflated(const std::vector<std::uint8_t>& stream, std::size_t expected, uLong& used)
{
    std::vector<std::uint8_t> out(expected + 1);
    uLongf outSize = out.size();
    used = stream.size();
    EXPECT_EQ(uncompress2(out.data(), &outSize, stream.data(), &used), Z_OK);
    out.resize(outSize);
    return out;
}

std::vector<std::uint8_t> Data(int kind, std::size_t size)
{
    std::vector<std::uint8_t> data(size);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        noise = noise * 1664525u + 1013904223u;
        switch (kind) {
        case 0: data[i] = static_cast<std::uint8_t>(noise >> 24); break;       // incompressible: stored blocks
        case 1: data[i] = 0; break;                                            // one long match
        case 2: data[i] = static_cast<std::uint8_t>(i / 5000 + (noise >> 29)); break; // a photograph's rows
        default: data[i] = static_cast<std::uint8_t>((i / 300000) % 2 ? noise >> 24 : i % 7); // alternating
        }
    }
    return data;
}

TEST(ZlibPartsTest, PartsJoinIntoOneStreamThatInflatesToTheData)
{
    for (const int kind : {0, 1, 2, 3}) {
        for (const std::size_t size : {std::size_t{3} << 20, (std::size_t{5} << 20) + 7}) {
            const std::vector<std::uint8_t> data = Data(kind, size);
            const std::uint8_t* d = data.data();
            for (const int level : {0, 1, 4, 9}) {
                const std::vector<std::uint8_t> whole = ZlibCompressInParts(d, size, level, 1);
                for (const int threads : {2, 3, 4}) {
                    SCOPED_TRACE(testing::Message() << "kind " << kind << " size " << size << " level " << level
                                                    << " threads " << threads);
                    const std::vector<std::uint8_t> stream = ZlibCompressInParts(d, size, level, threads);
                    uLong used = 0;
                    EXPECT_EQ(Inflated(stream, size, used), data);
                    EXPECT_EQ(used, stream.size()) << "nothing after the stream's end";
                    EXPECT_NE(stream, whole) << "made in parts, not by the fallback";
                    // The joins cost a handful of bytes and what the parts cannot share.
                    EXPECT_LT(stream.size(), whole.size() + whole.size() / 50 + 64);
                }
            }
        }
    }
}

TEST(ZlibPartsTest, OneThreadOrLittleDataIsLibdeflatesOwnStream)
{
    const std::vector<std::uint8_t> data = Data(2, std::size_t{3} << 20);
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(4);
    std::vector<std::uint8_t> own(libdeflate_zlib_compress_bound(compressor, data.size()));
    own.resize(libdeflate_zlib_compress(compressor, data.data(), data.size(), own.data(), own.size()));
    const std::size_t small = 300000;
    std::vector<std::uint8_t> ownSmall(libdeflate_zlib_compress_bound(compressor, small));
    ownSmall.resize(libdeflate_zlib_compress(compressor, data.data(), small, ownSmall.data(), ownSmall.size()));
    libdeflate_free_compressor(compressor);
    EXPECT_EQ(ZlibCompressInParts(data.data(), data.size(), 4, 1), own);
    EXPECT_EQ(ZlibCompressInParts(data.data(), small, 4, 4), ownSmall);
}

} // namespace
