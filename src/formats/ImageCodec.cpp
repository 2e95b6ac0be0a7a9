#include "formats/ImageCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

ImageError FileFailure(const QString& fileName, const QString& reason)
{
    return ImageError(
        QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(fileName), reason).toStdString());
}

namespace {
std::atomic<std::int64_t> maxImageBytes{std::int64_t{1} << 30};
} // namespace

std::int64_t MaxImageBytes()
{
    return maxImageBytes.load(std::memory_order_relaxed);
}

void LowerMaxImageBytes(std::int64_t bytes)
{
    if (bytes < MaxImageBytes())
        maxImageBytes.store(bytes, std::memory_order_relaxed);
}

void CheckImageSize(std::int64_t width, std::int64_t height, const QString& what)
{
    if (width < 0 || height < 0 || width > MaxImageSide || height > MaxImageSide ||
        width * height * 4 > MaxImageBytes())
        throw FileFailure(what, QStringLiteral("a picture of %1 x %2 pixels is larger than this "
                                               "program handles (at most %3 pixels a side)")
                                    .arg(width)
                                    .arg(height)
                                    .arg(MaxImageSide));
}

#ifdef __linux__
namespace {

// The whole huge pages within [start, start + bytes); empty when there are none.
std::pair<std::uintptr_t, std::uintptr_t> HugePagesWithin(std::uintptr_t start, std::size_t bytes)
{
    constexpr std::uintptr_t huge = std::uintptr_t{2} << 20;
    return {(start + huge - 1) & ~(huge - 1), (start + bytes) & ~(huge - 1)};
}

} // namespace
#endif

void PreferHugePages(void* buffer, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const auto [first, last] = HugePagesWithin(reinterpret_cast<std::uintptr_t>(buffer), bytes);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)buffer;
    (void)bytes;
#endif
}

void DiscardPictureBytes(const std::uint8_t* buffer, std::size_t first, std::size_t end)
{
#if defined(__linux__) && defined(MADV_DONTNEED)
    if (end <= first)
        return;
    const auto [from, to] = HugePagesWithin(reinterpret_cast<std::uintptr_t>(buffer) + first, end - first);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
#else
    (void)buffer;
    (void)first;
    (void)end;
#endif
}

std::unique_ptr<std::uint8_t[]> AllocatePicture(std::size_t bytes)
{
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
    PreferHugePages(buffer.get(), bytes);
    return buffer;
}

QString SystemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

FileHandle OpenFile(const QString& fileName, const char* mode)
{
#ifdef _WIN32
    FileHandle file(_wfopen(reinterpret_cast<const wchar_t*>(fileName.utf16()),
                            QString::fromLatin1(mode).toStdWString().c_str()));
#else
    FileHandle file(std::fopen(QFile::encodeName(fileName).constData(), mode));
#endif
    if (!file)
        throw FileFailure(fileName, QStringLiteral("cannot be opened (%1)").arg(SystemReason()));
    return file;
}

namespace {

// No picture within the limits needs a larger file.
std::int64_t FileLimit()
{
    return MaxImageBytes() + (std::int64_t{1} << 20);
}

ImageError TooLarge(const QString& fileName)
{
    return FileFailure(fileName, QStringLiteral("the file is larger than a picture this program handles can be"));
}

// The file's size as it was when asked (0 when unknown), refused before
// anything is read when it is over the limit. Only a hint: the file may
// change while it is read.
std::int64_t SizeHint(const QString& fileName)
{
    const QFileInfo info(fileName);
    const std::int64_t hint = info.isFile() ? info.size() : 0;
    if (hint > FileLimit())
        throw TooLarge(fileName);
    return hint;
}

} // namespace

std::vector<std::uint8_t> ReadWholeFile(const QString& fileName)
{
    const FileHandle file = OpenFile(fileName, "rb");
    const std::int64_t hint = SizeHint(fileName);
    constexpr std::size_t step = 65536;
    // One byte more than the hint: a file that still has its size then ends
    // in the first read, without growing (copying) the buffer to find that out.
    std::vector<std::uint8_t> data(hint > 0 ? static_cast<std::size_t>(hint) + 1 : step);
    std::size_t used = 0;
    for (;;) {
        used += std::fread(data.data() + used, 1, data.size() - used, file.get());
        if (used < data.size())
            break;
        if (static_cast<std::int64_t>(used) > FileLimit())
            throw TooLarge(fileName);
        data.resize(data.size() + step);
    }
    data.resize(used);
    if (std::ferror(file.get()))
        throw FileFailure(fileName, QStringLiteral("cannot be read (%1)").arg(SystemReason()));
    return data;
}

FileStart ReadFileStart(const QString& fileName, std::size_t bytes)
{
    FileStart start;
    start.File = OpenFile(fileName, "rb");
    SizeHint(fileName); // refuses a file over the limit
    start.Head.resize(bytes);
    const std::size_t used = std::fread(start.Head.data(), 1, bytes, start.File.get());
    if (std::ferror(start.File.get()))
        throw FileFailure(fileName, QStringLiteral("cannot be read (%1)").arg(SystemReason()));
    start.Head.resize(used);
    if (used < bytes) {
        start.Whole = true;
    } else {
        const int next = std::fgetc(start.File.get());
        start.Whole = next == EOF;
        if (!start.Whole)
            std::ungetc(next, start.File.get());
    }
    return start;
}
