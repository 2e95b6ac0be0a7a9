#pragma once
// What the image readers and writers share: the error type, the size limits,
// the destination a decoder writes into, and plain file access with RAII.
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

// A damaged or oversized picture, a codec failure or a file-system error;
// the text names the file.
class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decoded pictures are refused before any large allocation beyond these.
inline constexpr std::int64_t MaxImageSide = 16384;
// Bytes of the largest decoded RGBA picture: 1 GiB. Fuzzing lowers it, as it
// explores inputs, not memory (a tiny run-length file may claim, and fill, a
// picture up to the limit).
std::int64_t MaxImageBytes();
void LowerMaxImageBytes(std::int64_t bytes);

// "<file>: <reason>", the text of every ImageError about a file.
ImageError FileFailure(const QString& fileName, const QString& reason);

// Throws ImageError (naming `what`) unless a width x height RGBA picture is
// within the limits. Costs nothing: call it before allocating.
void CheckImageSize(std::int64_t width, std::int64_t height, const QString& what);

// A decoder calls this once, with the picture's size, before it writes any
// pixel; it gets back room for width x height RGBA pixels, bottom row first,
// rows of width x 4 bytes with no padding. It throws if the size is refused.
using AllocateRgba = std::function<std::uint8_t*(std::int64_t width, std::int64_t height)>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The C library's file, opened by a Unicode name. Throws ImageError with the
// system's reason when it cannot be opened.
FileHandle OpenFile(const QString& fileName, const char* mode);

// The whole file in memory; ImageError on any file-system error.
std::vector<std::uint8_t> ReadWholeFile(const QString& fileName);

// A file's first bytes, and the file open where they end, for a decoder that
// reads the rest as it goes. The same refusals as ReadWholeFile.
struct FileStart {
    FileHandle File;
    std::vector<std::uint8_t> Head; // at most the bytes asked for
    bool Whole = false;              // the head is the whole file
};
FileStart ReadFileStart(const QString& fileName, std::size_t bytes);

// Asks the system to back a large, fresh picture buffer with huge pages:
// filling it then takes a few hundred page faults instead of tens of
// thousands. Only a hint; does nothing for small buffers or where unknown.
void PreferHugePages(void* buffer, std::size_t bytes);

// Gives the memory of bytes [first, end) of a picture buffer back to the
// system, whole huge pages only; they read as zeros afterwards. For rows
// that are in the GL already and that nothing reads again.
void DiscardPictureBytes(const std::uint8_t* buffer, std::size_t first, std::size_t end);

// Room for a picture of that many bytes, left uninitialised, with that hint.
std::unique_ptr<std::uint8_t[]> AllocatePicture(std::size_t bytes);

// The system's text for the current errno.
QString SystemReason();
