#include "formats/ImageCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

void CheckImageSize(std::int64_t width, std::int64_t height, const QString& what)
{
    if (width < 0 || height < 0 || width > MaxImageSide || height > MaxImageSide ||
        width * height * 4 > MaxImageBytes)
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

std::vector<std::uint8_t> ReadWholeFile(const QString& fileName)
{
    const FileHandle file = OpenFile(fileName, "rb");
    // No picture within the limits needs a larger file: refuse it before
    // reading. The size is only a hint; the file may change while it is read.
    constexpr std::int64_t limit = MaxImageBytes + (std::int64_t{1} << 20);
    const QFileInfo info(fileName);
    const std::int64_t hint = info.isFile() ? info.size() : 0;
    const auto tooLarge = [&] {
        return FileFailure(fileName, QStringLiteral("the file is larger than a picture this program "
                                                    "handles can be"));
    };
    if (hint > limit)
        throw tooLarge();
    constexpr std::size_t step = 65536;
    // One byte more than the hint: a file that still has its size then ends
    // in the first read, without growing (copying) the buffer to find that out.
    std::vector<std::uint8_t> data(hint > 0 ? static_cast<std::size_t>(hint) + 1 : step);
    std::size_t used = 0;
    for (;;) {
        used += std::fread(data.data() + used, 1, data.size() - used, file.get());
        if (used < data.size())
            break;
        if (static_cast<std::int64_t>(used) > limit)
            throw tooLarge();
        data.resize(data.size() + step);
    }
    data.resize(used);
    if (std::ferror(file.get()))
        throw FileFailure(fileName, QStringLiteral("cannot be read (%1)").arg(SystemReason()));
    return data;
}
