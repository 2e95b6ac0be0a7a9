// The cover Targa reader on files made here: every kind it reads must give
// the same picture, and damage must be named before anything is allocated.
#include "formats/TgaCodec.h"
#include "render/CoverImage.h"
#include "support/TargaFiles.h"
#include "support/TempFiles.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace {

using namespace targa_files;

struct Decoded {
    QByteArray pixels;
    std::int64_t width = -1, height = -1;
    int allocations = 0;
};

Decoded Decode(const QByteArray& file)
{
    Decoded d;
    std::vector<std::uint8_t> room;
    DecodeTga(reinterpret_cast<const std::uint8_t*>(file.constData()), static_cast<std::size_t>(file.size()),
              QStringLiteral("test.tga"), [&](std::int64_t w, std::int64_t h) {
                  ++d.allocations;
                  d.width = w;
                  d.height = h;
                  room.assign(static_cast<std::size_t>(w * h * 4), 0xAB);
                  return room.data();
              });
    d.pixels = QByteArray(reinterpret_cast<const char*>(room.data()), static_cast<qsizetype>(room.size()));
    return d;
}

// Every true-colour and grey layout, stored plainly and run-length encoded,
// from either corner: the same picture.
TEST(TgaCodec, TrueColourInEveryLayoutGivesTheSamePicture)
{
    for (const bool rle : {false, true})
        for (const bool topDown : {false, true})
            for (const bool rightToLeft : {false, true})
                for (const int depth : {24, 32}) {
                    Tga t;
                    t.depth = depth;
                    t.type = rle ? 10 : 2;
                    t.descriptor = (topDown ? 0x20 : 0) | (rightToLeft ? 0x10 : 0) | (depth == 32 ? 8 : 0);
                    QByteArray pixels = FilePixels(topDown, rightToLeft, [&](int x, int y) {
                        return depth == 24 ? Bgr(x, y) : Bgr(x, y) + char(x * 60);
                    });
                    t.pixels = rle ? RunLength(pixels, depth / 8) : pixels;
                    const Decoded d = Decode(t.Bytes());
                    const std::string what = "depth " + std::to_string(depth) + (rle ? " rle" : "") +
                                             (topDown ? " top-down" : "") + (rightToLeft ? " right-to-left" : "");
                    EXPECT_EQ(d.width, W) << what;
                    EXPECT_EQ(d.height, H) << what;
                    QByteArray want = Expected();
                    if (depth == 32) // 32-bit keeps the file's alpha
                        for (int y = 0; y < H; ++y)
                            for (int x = 0; x < W; ++x)
                                want[((H - 1 - y) * W + x) * 4 + 3] = static_cast<char>(x * 60);
                    EXPECT_EQ(d.pixels, want) << what;
                }
}

TEST(TgaCodec, RunsRepeatOnePixelAndMayCrossRows)
{
    Tga t;
    t.type = 10;
    t.width = 3;
    t.height = 2;
    // Five pixels of one colour across the row end, then one raw pixel.
    t.pixels = QByteArray("\x84\x01\x02\x03\x00\x04\x05\x06", 8);
    const Decoded d = Decode(t.Bytes());
    // Bottom row first in the file and in the buffer.
    EXPECT_EQ(d.pixels, QByteArray("\x03\x02\x01\xFF\x03\x02\x01\xFF\x03\x02\x01\xFF"
                                   "\x03\x02\x01\xFF\x03\x02\x01\xFF\x06\x05\x04\xFF", 24));

    // A last packet longer than the picture is cut to it.
    t.pixels = QByteArray("\xFF\x01\x02\x03", 4);
    EXPECT_EQ(Decode(t.Bytes()).pixels, QByteArray("\x03\x02\x01\xFF", 4).repeated(6));
}

TEST(TgaCodec, SixteenBitColoursWidenAndUseTheAlphaBitOnlyWhenAnnounced)
{
    Tga t;
    t.depth = 16;
    t.width = 3;
    t.height = 1;
    // 0x7C00 red, 0x03E0 green, 0x801F blue with the attribute bit.
    t.pixels = QByteArray("\x00\x7C\xE0\x03\x1F\x80", 6);
    EXPECT_EQ(Decode(t.Bytes()).pixels, QByteArray("\xFF\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00\xFF\xFF", 12));
    t.descriptor = 1; // one alpha bit: the first two are transparent
    EXPECT_EQ(Decode(t.Bytes()).pixels, QByteArray("\xFF\x00\x00\x00\x00\xFF\x00\x00\x00\x00\xFF\xFF", 12));
    t.depth = 15; // no attribute bit at all
    EXPECT_EQ(Decode(t.Bytes()).pixels, QByteArray("\xFF\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00\xFF\xFF", 12));
    // 5 bits of 16 widen evenly: 16 becomes 132.
    t.pixels = QByteArray("\x10\x00\x00\x00\x00\x00", 6);
    EXPECT_EQ(static_cast<std::uint8_t>(Decode(t.Bytes()).pixels[2]), 132);
}

TEST(TgaCodec, GreyPicturesPlainAndRunLength)
{
    for (const bool rle : {false, true})
        for (const int depth : {8, 16}) {
            Tga t;
            t.type = rle ? 11 : 3;
            t.depth = depth;
            t.descriptor = 0x20;
            const QByteArray pixels = FilePixels(true, false, [&](int x, int y) {
                QByteArray p(1, static_cast<char>(x * 40 + y));
                if (depth == 16)
                    p.append(static_cast<char>(y * 100));
                return p;
            });
            t.pixels = rle ? RunLength(pixels, depth / 8) : pixels;
            const Decoded d = Decode(t.Bytes());
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const char* p = d.pixels.constData() + ((H - 1 - y) * W + x) * 4;
                    const auto grey = static_cast<char>(x * 40 + y);
                    EXPECT_EQ(QByteArray(p, 4), QByteArray() + grey + grey + grey +
                                                    static_cast<char>(depth == 16 ? y * 100 : 255))
                        << depth << (rle ? " rle" : "") << " at " << x << "," << y;
                }
        }
}

TEST(TgaCodec, ColourMappedPicturesLookTheirIndexesUp)
{
    // One map entry per pixel of the reference picture, numbered from 10.
    const auto mapped = [](int type, int depth, int mapBits) {
        Tga t;
        t.type = type;
        t.depth = depth;
        t.mapType = 1;
        t.mapFirst = 10;
        t.mapLength = W * H;
        t.mapBits = mapBits;
        t.id = "made by a test";
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                t.map += mapBits == 24 ? Bgr(x, y) : Bgr(x, y) + char(255);
        const QByteArray indexes = FilePixels(false, false, [&](int x, int y) {
            const int index = 10 + y * W + x;
            QByteArray p(1, static_cast<char>(index));
            if (depth == 16)
                p.append('\0');
            return p;
        });
        t.pixels = type == 9 ? RunLength(indexes, depth / 8) : indexes;
        return t;
    };
    EXPECT_EQ(Decode(mapped(1, 8, 24).Bytes()).pixels, Expected());
    EXPECT_EQ(Decode(mapped(1, 16, 32).Bytes()).pixels, Expected());
    EXPECT_EQ(Decode(mapped(9, 8, 24).Bytes()).pixels, Expected());

    // 16-bit map entries.
    Tga small = mapped(1, 8, 24);
    small.mapBits = 16;
    small.mapLength = 2;
    small.map = QByteArray("\x00\x7C\xFF\x7F", 4); // red, white
    small.width = 2;
    small.height = 1;
    small.pixels = QByteArray("\x0B\x0A", 2);
    EXPECT_EQ(Decode(small.Bytes()).pixels, QByteArray("\xFF\xFF\xFF\xFF\xFF\x00\x00\xFF", 8));

    // A true-colour picture may carry a map, which is skipped.
    Tga withMap;
    withMap.mapType = 1;
    withMap.mapLength = 3;
    withMap.mapBits = 24;
    withMap.map = QByteArray(9, '\x7F');
    withMap.pixels = FilePixels(false, false, Bgr);
    EXPECT_EQ(Decode(withMap.Bytes()).pixels, Expected());
}

// Damage is refused with the name and a reason; what the header alone gives
// away is refused before any room is asked for.
TEST(TgaCodec, DamagedFilesAreRefusedBeforeAllocating)
{
    Tga good;
    good.pixels = FilePixels(false, false, Bgr);
    const auto with = [&](auto change) {
        Tga t = good;
        change(t);
        return t.Bytes();
    };
    const struct {
        const char* what;
        QByteArray file;
        const char* reason;
    } cases[] = {
        {"header cut short", good.Bytes().left(17), "cut short (in the header)"},
        {"no image", with([](Tga& t) { t.type = 0; }), "holds no picture"},
        {"unknown type", with([](Tga& t) { t.type = 32; }), "image type 32"},
        {"type 4", with([](Tga& t) { t.type = 4; }), "image type 4"},
        {"odd depth", with([](Tga& t) { t.depth = 12; }), "12 bits per pixel"},
        {"grey of 24 bits", with([](Tga& t) { t.type = 3; }), "24 bits per pixel"},
        {"map type 2", with([](Tga& t) { t.mapType = 2; }), "colour map type 2"},
        {"mapped without map", with([](Tga& t) { t.type = 1; t.depth = 8; }), "without a colour map"},
        {"map of 8-bit entries",
         with([](Tga& t) { t.type = 1; t.depth = 8; t.mapType = 1; t.mapLength = 2; t.mapBits = 8; }),
         "entries of 8 bits"},
        {"no width", with([](Tga& t) { t.width = 0; }), "no pixels"},
        {"ID cut short", with([](Tga& t) { t.id = QByteArray(10, 'i'); t.pixels.clear(); }).left(22),
         "(in the image ID)"},
        {"map cut short", with([](Tga& t) { t.mapType = 1; t.mapLength = 300; t.mapBits = 24; }),
         "(in the colour map)"},
        {"pixels cut short", good.Bytes().chopped(1), "44 present"},
        {"huge and nearly empty", with([](Tga& t) { t.width = t.height = 65535; t.type = 10; }),
         "65535 x 65535"},
        {"run-length claims too much",
         with([](Tga& t) { t.type = 10; t.width = t.height = 16000; t.pixels = QByteArray(100, '\xFF'); }),
         "at least 8000000 bytes expected"},
    };
    for (const auto& c : cases) {
        int allocations = 0;
        try {
            DecodeTga(reinterpret_cast<const std::uint8_t*>(c.file.constData()),
                      static_cast<std::size_t>(c.file.size()), QStringLiteral("broken.tga"),
                      [&](std::int64_t, std::int64_t) -> std::uint8_t* {
                          ++allocations;
                          return nullptr;
                      });
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const ImageError& e) {
            const std::string text = e.what();
            EXPECT_EQ(text.rfind("broken.tga: ", 0), 0u) << c.what << ": " << text;
            EXPECT_NE(text.find(c.reason), std::string::npos) << c.what << ": " << text;
        }
        EXPECT_EQ(allocations, 0) << c.what;
    }
}

TEST(TgaCodec, DamageFoundWhileReadingIsAnErrorToo)
{
    Tga t;
    t.type = 10;
    t.pixels = QByteArray("\x80\x01\x02\x03\x81\x04\x05\x06", 8);
    t.width = 3;
    t.height = 1;
    EXPECT_NO_THROW(Decode(t.Bytes())); // 1 + 2 pixels, complete
    t.width = 4;
    EXPECT_THROW(Decode(t.Bytes()), ImageError); // the fourth pixel's packet is missing

    Tga mapped;
    mapped.type = 1;
    mapped.depth = 8;
    mapped.mapType = 1;
    mapped.mapFirst = 4;
    mapped.mapLength = 2;
    mapped.mapBits = 24;
    mapped.map = QByteArray(6, '\x40');
    mapped.width = 3;
    mapped.height = 1;
    mapped.pixels = QByteArray("\x04\x05\x06", 3);
    try {
        Decode(mapped.Bytes());
        ADD_FAILURE() << "an index past the map was accepted";
    } catch (const ImageError& e) {
        EXPECT_NE(std::string(e.what()).find("colour 6, outside the colour map"), std::string::npos) << e.what();
    }
    mapped.pixels = QByteArray("\x04\x05\x03", 3); // below the first entry
    EXPECT_THROW(Decode(mapped.Bytes()), ImageError);
}

using TgaCovers = TempFiles;

// A Targa cover comes out exactly as the same picture in BMP; a fourth byte
// the descriptor names no alpha is no alpha (alpha itself: CoverContent_test).
TEST_F(TgaCovers, ATargaCoverMatchesTheSamePictureAsBitmap)
{
    QImage picture(W, H, QImage::Format_RGB888);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            picture.setPixel(x, y, qRgb(Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2)));
    ASSERT_TRUE(picture.save(Path("c.bmp"), "BMP"));
    Tga t;
    t.type = 10;
    t.depth = 32;
    t.descriptor = 0x20;
    t.pixels = RunLength(FilePixels(true, false, [](int x, int y) { return Bgr(x, y) + char(x * 9); }), 4);
    Write(Path("c.TGA"), t.Bytes());

    EXPECT_TRUE(IsCoverImageFile(Path("c.TGA")));
    const auto bmp = DecodeCoverImage(Path("c.bmp"), QSize(40, 40));
    const auto tga = DecodeCoverImage(Path("c.TGA"), QSize(40, 40));
    ASSERT_TRUE(bmp && tga);
    ASSERT_EQ(tga->Picture->Width, bmp->Picture->Width);
    ASSERT_EQ(tga->Picture->Height, bmp->Picture->Height);
    const auto bytes = static_cast<qsizetype>(bmp->Picture->PixelBytes());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(tga->Picture->Pixels.get()), bytes),
              QByteArray(reinterpret_cast<const char*>(bmp->Picture->Pixels.get()), bytes));
    EXPECT_EQ(tga->Thumbnail, bmp->Thumbnail);

    QImage bitmap;
    ASSERT_TRUE(ReadImageToBitmap(Path("c.TGA"), bitmap));
    EXPECT_EQ(bitmap, picture);

    Write(Path("d.tga"), t.Bytes().chopped(3));
    try {
        DecodeCoverImage(Path("d.tga"), QSize(40, 40));
        ADD_FAILURE() << "a cut-short cover was accepted";
    } catch (const ImageError& e) {
        EXPECT_NE(std::string(e.what()).find("d.tga: "), std::string::npos) << e.what();
    }
}

} // namespace
