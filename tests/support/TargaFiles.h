#pragma once
// Targa files made here, as writers lay them out, and the reference picture
// they all hold, for the Targa reader's tests.
#include <QByteArray>

#include <cstdint>
#include <functional>

namespace targa_files {

constexpr int W = 5, H = 3;

// The reference picture, RGBA with (0, 0) at the top left.
inline std::uint8_t Channel(int x, int y, int c)
{
    const int values[4] = {x * 50, y * 80 + 10, 100 + x * 10 + y, 255};
    return static_cast<std::uint8_t>(values[c]);
}

// What a reader must give: bottom row first.
inline QByteArray Expected(bool keepAlpha = false, std::uint8_t alpha = 255)
{
    QByteArray out;
    for (int y = H - 1; y >= 0; --y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 4; ++c)
                out.append(static_cast<char>(c == 3 && keepAlpha ? alpha : Channel(x, y, c)));
    return out;
}

// A Targa file as a writer would lay it out.
struct Tga {
    int type = 2;
    int depth = 24;
    int width = W;
    int height = H;
    int descriptor = 0;
    QByteArray id;
    int mapType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapBits = 0;
    QByteArray map;
    QByteArray pixels;

    QByteArray Bytes() const
    {
        QByteArray h(18, '\0');
        h[0] = static_cast<char>(id.size());
        h[1] = static_cast<char>(mapType);
        h[2] = static_cast<char>(type);
        h[3] = static_cast<char>(mapFirst & 0xFF);
        h[4] = static_cast<char>(mapFirst >> 8);
        h[5] = static_cast<char>(mapLength & 0xFF);
        h[6] = static_cast<char>(mapLength >> 8);
        h[7] = static_cast<char>(mapBits);
        h[12] = static_cast<char>(width & 0xFF);
        h[13] = static_cast<char>(width >> 8);
        h[14] = static_cast<char>(height & 0xFF);
        h[15] = static_cast<char>(height >> 8);
        h[16] = static_cast<char>(depth);
        h[17] = static_cast<char>(descriptor);
        return h + id + map + pixels;
    }
};

// The reference picture's pixels in file order, each made by `pixel`.
template <typename Pixel>
inline QByteArray FilePixels(bool topDown, bool rightToLeft, Pixel pixel)
{
    QByteArray out;
    for (int r = 0; r < H; ++r)
        for (int c = 0; c < W; ++c) {
            const int y = topDown ? r : H - 1 - r;
            const int x = rightToLeft ? W - 1 - c : c;
            out.append(pixel(x, y));
        }
    return out;
}

inline QByteArray Bgr(int x, int y) { return QByteArray{} + char(Channel(x, y, 2)) + char(Channel(x, y, 1)) + char(Channel(x, y, 0)); }

// Runs of equal pixels become run packets, the rest raw packets; at most
// 128 pixels a packet, across rows as writers may do.
inline QByteArray RunLength(const QByteArray& pixels, int bytes)
{
    const qsizetype count = pixels.size() / bytes;
    const auto at = [&](qsizetype i) { return pixels.mid(i * bytes, bytes); };
    QByteArray out;
    qsizetype i = 0;
    while (i < count) {
        qsizetype same = 1;
        while (i + same < count && same < 128 && at(i + same) == at(i))
            ++same;
        if (same > 1) {
            out.append(static_cast<char>(0x80 | (same - 1)));
            out.append(at(i));
            i += same;
            continue;
        }
        qsizetype raw = 1;
        while (i + raw < count && raw < 128 && (i + raw + 1 >= count || at(i + raw) != at(i + raw + 1)))
            ++raw;
        out.append(static_cast<char>(raw - 1));
        out.append(pixels.mid(i * bytes, raw * bytes));
        i += raw;
    }
    return out;
}

} // namespace targa_files
