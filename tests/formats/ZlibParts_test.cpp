// A fast zlib stream compressed in parts is one stream any inflater reads
// back whole, for every kind of data and part count, including parts stored
// uncompressed; a chosen level gives the same stream whatever the threads,
// and a failing compressor is reported as such.
#include "formats/ZlibParts.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
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

TEST(ZlibPartsTest, FastPartsJoinIntoOneStreamThatInflatesToTheData)
{
    for (const int kind : {0, 1, 2, 3}) {
        for (const std::size_t size : {std::size_t{0}, std::size_t{1000}, std::size_t{3} << 20,
                                       (std::size_t{5} << 20) + 7}) {
            const std::vector<std::uint8_t> data = Data(kind, size);
            const std::vector<std::uint8_t> whole = ZlibCompressInParts(data.data(), size, FastDeflate, 1);
            for (const int threads : {1, 2, 3, 4}) {
                SCOPED_TRACE(testing::Message() << "kind " << kind << " size " << size << " threads " << threads);
                const std::vector<std::uint8_t> stream = ZlibCompressInParts(data.data(), size, FastDeflate, threads);
                uLong used = 0;
                EXPECT_EQ(Inflated(stream, size, used), data);
                EXPECT_EQ(used, stream.size()) << "nothing after the stream's end";
                EXPECT_EQ(ZlibCompressInParts(data.data(), size, FastDeflate, threads), stream) << "reproducible";
                if (threads > 1 && size >= (std::size_t{2} << 20)) {
                    EXPECT_NE(stream, whole) << "made in parts";
                }
                // The joins cost a handful of bytes and what the parts cannot share.
                EXPECT_LT(stream.size(), whole.size() + whole.size() / 50 + 64);
            }
        }
    }
}

TEST(ZlibPartsTest, ALevelIsOneStreamWhateverTheThreads)
{
    const std::vector<std::uint8_t> data = Data(2, std::size_t{3} << 20);
    std::size_t packed = data.size();
    for (const int level : {0, 1, 4, 9}) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        const std::vector<std::uint8_t> stream = ZlibCompressInParts(data.data(), data.size(), level, 1);
        uLong used = 0;
        EXPECT_EQ(Inflated(stream, data.size(), used), data);
        EXPECT_EQ(used, stream.size());
        EXPECT_EQ(ZlibCompressInParts(data.data(), data.size(), level, 4), stream);
        EXPECT_EQ((stream[0] * 256 + stream[1]) % 31, 0) << "a valid zlib header";
        if (level == 0) {
            EXPECT_GT(stream.size(), data.size()) << "stored";
        } else {
            EXPECT_LT(stream.size(), data.size() * 3 / 4);
            EXPECT_LE(stream.size(), packed + packed / 50) << "more effort, no larger file";
            packed = stream.size();
        }
    }
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535}, std::size_t{65536}}) {
        const std::vector<std::uint8_t> small = Data(0, size);
        uLong used = 0;
        EXPECT_EQ(Inflated(ZlibCompressInParts(small.data(), size, 0, 1), size, used), small) << size;
        EXPECT_EQ(Inflated(ZlibCompressInParts(small.data(), size, 6, 1), size, used), small) << size;
    }
}

TEST(ZlibPartsTest, AFailingCompressorIsReportedAsSuchNotAsMemory)
{
    const std::vector<std::uint8_t> data = Data(0, 100000);
    std::vector<std::uint8_t> out(64);
    try {
        DeflatePiece(data.data(), data.size(), 1, true, out.data(), out.size());
        ADD_FAILURE() << "no error";
    } catch (const CompressionError& e) {
        EXPECT_STREQ(e.what(), "the deflate compressor failed (the output did not fit)");
    } catch (const std::bad_alloc&) {
        ADD_FAILURE() << "reported as lack of memory";
    }
    out.resize(data.size() + 1000);
    EXPECT_GT(DeflatePiece(data.data(), data.size(), 3, true, out.data(), out.size()), data.size() / 2);
}

} // namespace
