#include "formats/ValueStream.h"

#include "formats/Extended80.h"
#include "formats/ProjectError.h"

#include <array>
#include <limits>

namespace {

[[noreturn]] void ThrowInvalidValue()
{
    throw ProjectError(ProjectError::Kind::InvalidPropertyValue, InvalidPropertyValueText());
}

[[noreturn]] void ThrowReadError()
{
    throw ProjectError(ProjectError::Kind::StreamRead, StreamReadErrorText());
}

bool IsPlainAscii(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() > 0x7F)
            return false;
    }
    return true;
}

// 0x80..0x9F of Windows-1252; the five unassigned bytes map to the C1
// control of the same number, as Windows itself does.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString DecodeWindows1252(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text.append(QChar(b >= 0x80 && b <= 0x9F ? Cp1252High[b - 0x80] : char16_t(b)));
    }
    return text;
}

void ValueWriter::AppendLE(std::uint64_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i)
        bytes_.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void ValueWriter::WriteInteger(std::int32_t value)
{
    const auto raw = static_cast<std::uint64_t>(static_cast<std::uint32_t>(value));
    if (value >= -128 && value <= 127) {
        bytes_.append(static_cast<char>(ValueTag::Int8));
        AppendLE(raw, 1);
    } else if (value >= -32768 && value <= 32767) {
        bytes_.append(static_cast<char>(ValueTag::Int16));
        AppendLE(raw, 2);
    } else {
        bytes_.append(static_cast<char>(ValueTag::Int32));
        AppendLE(raw, 4);
    }
}

void ValueWriter::WriteString(const QString& text)
{
    const bool ascii = IsPlainAscii(text);
    const QByteArray payload = ascii ? text.toLatin1() : text.toUtf8();
    if (static_cast<std::uint64_t>(payload.size()) > std::numeric_limits<std::uint32_t>::max())
        throw ProjectError(ProjectError::Kind::CannotCreate,
                           QStringLiteral("Text too long for a project file"));
    const auto length = static_cast<std::uint64_t>(payload.size());
    if (!ascii) {
        bytes_.append(static_cast<char>(ValueTag::Utf8String));
        AppendLE(length, 4);
    } else if (length <= 255) {
        bytes_.append(static_cast<char>(ValueTag::String));
        AppendLE(length, 1);
    } else {
        bytes_.append(static_cast<char>(ValueTag::LongString));
        AppendLE(length, 4);
    }
    bytes_.append(payload);
}

void ValueWriter::WriteFloat(double value)
{
    bytes_.append(static_cast<char>(ValueTag::Extended));
    const Extended80 ext = ToExtended80(value);
    bytes_.append(reinterpret_cast<const char*>(ext.data()), static_cast<qsizetype>(ext.size()));
}

const std::uint8_t* ValueReader::Take(std::uint64_t count)
{
    const auto remaining = static_cast<std::uint64_t>(data_.size() - pos_);
    if (count > remaining)
        ThrowReadError();
    const auto* start = reinterpret_cast<const std::uint8_t*>(data_.constData()) + pos_;
    pos_ += static_cast<qsizetype>(count);
    return start;
}

std::uint64_t ValueReader::ReadLE(int byteCount)
{
    const std::uint8_t* p = Take(static_cast<std::uint64_t>(byteCount));
    std::uint64_t value = 0;
    for (int i = byteCount - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

QByteArray ValueReader::ReadBytes(std::uint64_t count)
{
    const auto* p = Take(count);
    return QByteArray(reinterpret_cast<const char*>(p), static_cast<qsizetype>(count));
}

std::uint8_t ValueReader::ReadTag()
{
    return *Take(1);
}

std::int32_t ValueReader::ReadIntegerPayload(std::uint8_t tag)
{
    switch (tag) {
    case ValueTag::Int8: return static_cast<std::int8_t>(ReadLE(1));
    case ValueTag::Int16: return static_cast<std::int16_t>(ReadLE(2));
    case ValueTag::Int32: return static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLE(4)));
    default: ThrowInvalidValue();
    }
}

std::int32_t ValueReader::ReadInteger()
{
    return ReadIntegerPayload(ReadTag());
}

double ValueReader::ReadFloat()
{
    const std::uint8_t tag = ReadTag();
    if (tag != ValueTag::Extended)
        return static_cast<double>(ReadIntegerPayload(tag));
    Extended80 ext{};
    const std::uint8_t* p = Take(ext.size());
    std::copy(p, p + ext.size(), ext.begin());
    return FromExtended80(ext);
}

QString ValueReader::ReadString()
{
    const std::uint8_t tag = ReadTag();
    switch (tag) {
    // The 8-bit forms are read as Windows-1252 (see DecodeWindows1252).
    case ValueTag::String: {
        const std::uint64_t length = ReadLE(1);
        const auto* p = Take(length);
        return DecodeWindows1252(QByteArrayView(p, static_cast<qsizetype>(length)));
    }
    case ValueTag::LongString: {
        const std::uint64_t length = ReadLE(4);
        const auto* p = Take(length);
        return DecodeWindows1252(QByteArrayView(p, static_cast<qsizetype>(length)));
    }
    case ValueTag::Utf8String: {
        const std::uint64_t length = ReadLE(4);
        const auto* p = Take(length);
        return QString::fromUtf8(QByteArrayView(p, static_cast<qsizetype>(length)));
    }
    case ValueTag::WideString: {
        const std::uint64_t count = ReadLE(4);
        const auto* p = Take(count * 2); // 64-bit: no wrap-around
        QString text(static_cast<qsizetype>(count), Qt::Uninitialized);
        for (std::uint64_t i = 0; i < count; ++i)
            text[static_cast<qsizetype>(i)] =
                QChar(static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
        return text;
    }
    default: ThrowInvalidValue();
    }
}
