#include "render/GlbFile.h"

#include <stdexcept>

namespace {

void AppendWord(QByteArray& out, std::uint32_t v)
{
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
    out.append(bytes, 4);
}

qsizetype Padded(qsizetype n) { return (n + 3) & ~qsizetype{3}; }

} // namespace

std::uint32_t GlbBuffer::Append(const void* data, std::size_t bytes)
{
    bytes_.resize(Padded(bytes_.size()), '\0');
    const auto offset = static_cast<std::uint32_t>(bytes_.size());
    bytes_.append(static_cast<const char*>(data), static_cast<qsizetype>(bytes));
    return offset;
}

QByteArray PackGlb(const QByteArray& json, const QByteArray& binary)
{
    const qsizetype jsonLength = Padded(json.size());
    const qsizetype binLength = Padded(binary.size());
    const qsizetype total = 12 + 8 + jsonLength + (binary.isEmpty() ? 0 : 8 + binLength);
    // The header counts bytes in 32 bits.
    if (total > qsizetype{0xFFFFFFFF})
        throw std::length_error("the model is larger than a GLB file can hold (4 GiB)");
    QByteArray out;
    out.reserve(total);
    AppendWord(out, GlbMagic);
    AppendWord(out, 2);
    AppendWord(out, static_cast<std::uint32_t>(total));
    AppendWord(out, static_cast<std::uint32_t>(jsonLength));
    AppendWord(out, GlbJsonChunk);
    out.append(json);
    out.append(jsonLength - json.size(), ' ');
    if (!binary.isEmpty()) {
        AppendWord(out, static_cast<std::uint32_t>(binLength));
        AppendWord(out, GlbBinChunk);
        out.append(binary);
        out.append(binLength - binary.size(), '\0');
    }
    return out;
}
