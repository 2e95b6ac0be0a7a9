#pragma once
// The tagged values of a project file: a one-byte tag, then the payload,
// little-endian. The writer always picks the smallest form; the reader
// accepts every form an older or other writer may have used.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <utility>

namespace ValueTag {
inline constexpr std::uint8_t Int8 = 0x02;
inline constexpr std::uint8_t Int16 = 0x03;
inline constexpr std::uint8_t Int32 = 0x04;
inline constexpr std::uint8_t Extended = 0x05;
inline constexpr std::uint8_t String = 0x06;
inline constexpr std::uint8_t LongString = 0x0C;
inline constexpr std::uint8_t WideString = 0x12;
inline constexpr std::uint8_t Utf8String = 0x14;

// One of the tags above, the first byte of every value.
constexpr bool IsTag(std::uint8_t byte)
{
    return byte == Int8 || byte == Int16 || byte == Int32 || byte == Extended || byte == String ||
           byte == LongString || byte == WideString || byte == Utf8String;
}
} // namespace ValueTag

class ValueWriter {
public:
    void WriteInteger(std::int32_t value);
    // Pure 7-bit text as a short or long string, anything else as UTF-8.
    void WriteString(const QString& text);
    void WriteFloat(double value);

    const QByteArray& Bytes() const { return bytes_; }

private:
    void AppendLE(std::uint64_t value, int byteCount);

    QByteArray bytes_;
};

// Throws ProjectError: "Invalid property value" for a tag of the wrong kind,
// "Stream read error" when the data ends inside a value. Every length is
// checked against the bytes that remain before anything is allocated.
class ValueReader {
public:
    // Keeps its own (shared) copy, so a temporary buffer cannot dangle.
    explicit ValueReader(QByteArray data) : data_(std::move(data)) {}

    std::int32_t ReadInteger();
    QString ReadString();
    // Extended floats, and integers converted.
    double ReadFloat();
    // The next `count` bytes as they are, untagged.
    QByteArray ReadBytes(std::uint64_t count);

    qsizetype Position() const { return pos_; }

private:
    std::uint8_t ReadTag();
    std::int32_t ReadIntegerPayload(std::uint8_t tag);
    const std::uint8_t* Take(std::uint64_t count);
    std::uint64_t ReadLE(int byteCount);

    QByteArray data_;
    qsizetype pos_ = 0;
};

// Text of the 8-bit string tags. Older files carry the writer's ANSI code
// page, which we cannot know; Windows-1252 is what the program's users had.
QString DecodeWindows1252(QByteArrayView bytes);
