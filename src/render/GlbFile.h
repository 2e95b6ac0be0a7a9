#pragma once
// The binary glTF container: a 12-byte header, the JSON chunk padded with
// spaces and the binary chunk padded with zeros, each to 4 bytes, as the
// format requires.
#include <QByteArray>

#include <cstdint>

inline constexpr std::uint32_t GlbMagic = 0x46546C67; // "glTF"
inline constexpr std::uint32_t GlbJsonChunk = 0x4E4F534A; // "JSON"
inline constexpr std::uint32_t GlbBinChunk = 0x004E4942;  // "BIN\0"

// A buffer of a GLB's binary chunk being filled: every piece starts on a
// 4-byte boundary, so any accessor's component type is aligned in it.
class GlbBuffer {
public:
    // Appends the bytes; returns their offset.
    std::uint32_t Append(const void* data, std::size_t bytes);
    const QByteArray& Bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

// The whole file. An empty `binary` leaves the binary chunk out.
QByteArray PackGlb(const QByteArray& json, const QByteArray& binary);
