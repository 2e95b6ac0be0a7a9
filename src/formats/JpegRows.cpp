#include "formats/JpegRows.h"

#include "formats/ColourProfile.h"

#include "formats/JpegCodec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace {

// TurboJPEG's limit for progressive files: crafted ones take minutes.
constexpr int MaxScans = 500;
// A file's first bytes, read before the decoder starts: room for the header
// of nearly every JPEG, metadata included.
constexpr std::size_t HeadBytes = 256 * 1024;

ImageError Damaged(const QString& fileName, const char* reason)
{
    return FileFailure(fileName, QStringLiteral("the JPEG data is damaged or not supported (%1)")
                                     .arg(QString::fromLocal8Bit(reason)));
}

// libjpeg reports errors by calling back; they end up here with the text
// TurboJPEG would give and a jump back to the decoder.
struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char text[JMSG_LENGTH_MAX];
};

[[noreturn]] void Fail(j_common_ptr info)
{
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    (*info->err->format_message)(info, trap->text);
    std::longjmp(trap->back, 1);
}

// Every warning counts as damage: they all mean corrupt or missing data.
void Warn(j_common_ptr info, int level)
{
    if (level < 0)
        Fail(info);
}

void LimitScans(j_common_ptr info)
{
    auto* decoder = reinterpret_cast<j_decompress_ptr>(info);
    if (decoder->input_scan_number > MaxScans) {
        auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
        std::snprintf(trap->text, sizeof trap->text, "Progressive JPEG image has more than %d scans", MaxScans);
        std::longjmp(trap->back, 1);
    }
}

// Same conversion as the full-size decoder: the stored inks, inverted.
void CmykRowToRgba(std::uint8_t* pixels, int count)
{
    for (int i = 0; i < count; ++i, pixels += 4) {
        const unsigned k = pixels[3];
        pixels[0] = static_cast<std::uint8_t>(pixels[0] * k / 255);
        pixels[1] = static_cast<std::uint8_t>(pixels[1] * k / 255);
        pixels[2] = static_cast<std::uint8_t>(pixels[2] * k / 255);
        pixels[3] = 255;
    }
}

// The decoder's input: the bytes read before, then the rest of the file as
// the decoder asks for it, in small pieces. At the file's end, a read error
// included, it gets what libjpeg's memory source gives at the end of its
// buffer: a warning (which fails the decode) and an end marker.
struct FileSource {
    jpeg_source_mgr manager; // first: libjpeg sees only this
    std::FILE* rest;         // null: the bytes before are all there is
    int readError;           // errno of a failed read, or 0
    JOCTET piece[65536];
};

boolean FillFromFile(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<FileSource*>(info->src);
    std::size_t got = 0;
    if (source->rest) {
        got = std::fread(source->piece, 1, sizeof source->piece, source->rest);
        if (got == 0 && std::ferror(source->rest) && !source->readError)
            source->readError = errno ? errno : EIO;
    }
    if (got == 0) {
        static const JOCTET end[2] = {0xFF, JPEG_EOI};
        WARNMS(info, JWRN_JPEG_EOF);
        source->manager.next_input_byte = end;
        source->manager.bytes_in_buffer = sizeof end;
        return TRUE;
    }
    source->manager.next_input_byte = source->piece;
    source->manager.bytes_in_buffer = got;
    return TRUE;
}

void SkipInFile(j_decompress_ptr info, long count)
{
    jpeg_source_mgr& manager = *info->src;
    if (count <= 0)
        return;
    while (count > static_cast<long>(manager.bytes_in_buffer)) {
        count -= static_cast<long>(manager.bytes_in_buffer);
        FillFromFile(info);
    }
    manager.next_input_byte += count;
    manager.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void NoSourceStep(j_decompress_ptr) {}

struct DecodeJob {
    const std::vector<std::uint8_t>* data; // the file, or its start when `source.rest` is set
    FileSource source;
    int width, height; // as the header said
    bool cmyk;
    const JpegRowReader::RowPlace* place;
    const JpegRowReader::RowDone* done;
    const JpegRowReader::Stop* stop;
    bool stopped;
    ErrorTrap trap;
    std::unique_ptr<SrgbConversion> toSrgb; // from the file's profile, when it needs one
};

// The conversion the file's profile asks for; made between libjpeg's calls,
// so no jump back passes over it.
std::unique_ptr<SrgbConversion> ConversionOf(jpeg_decompress_struct& info, bool cmyk)
{
    JOCTET* bytes = nullptr;
    unsigned int length = 0;
    if (!jpeg_read_icc_profile(&info, &bytes, &length))
        return nullptr;
    const std::vector<std::uint8_t> profile(bytes, bytes + length);
    std::free(bytes);
    using Input = SrgbConversion::Input;
    return SrgbConversion::For(profile, cmyk ? (info.saw_Adobe_marker ? Input::InvertedCmyk : Input::Cmyk) : Input::Rgba);
}

// Plain C state only between setjmp and the calls that may jump back to it.
bool RunDecoder(DecodeJob& job, jpeg_decompress_struct& info)
{
    jpeg_progress_mgr progress{};
    info.err = jpeg_std_error(&job.trap.manager);
    job.trap.manager.error_exit = Fail;
    job.trap.manager.emit_message = Warn;
    if (setjmp(job.trap.back))
        return false;
    jpeg_create_decompress(&info);
    progress.progress_monitor = LimitScans;
    info.progress = &progress;
    job.source.manager.next_input_byte = job.data->data();
    job.source.manager.bytes_in_buffer = job.data->size();
    job.source.manager.init_source = NoSourceStep;
    job.source.manager.fill_input_buffer = FillFromFile;
    job.source.manager.skip_input_data = SkipInFile;
    job.source.manager.resync_to_restart = jpeg_resync_to_restart;
    job.source.manager.term_source = NoSourceStep;
    info.src = &job.source.manager;
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    job.toSrgb = ConversionOf(info, job.cmyk);
    info.out_color_space = job.cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    if (static_cast<int>(info.output_width) != job.width || static_cast<int>(info.output_height) != job.height ||
        info.output_components != 4) {
        std::snprintf(job.trap.text, sizeof job.trap.text, "the picture's layout is not what its header says");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        if ((*job.stop)()) {
            job.stopped = true;
            return false;
        }
        const int top = static_cast<int>(info.output_scanline);
        JSAMPROW row = (*job.place)(top);
        jpeg_read_scanlines(&info, &row, 1);
        if (job.toSrgb)
            job.toSrgb->Convert(row, info.output_width);
        else if (job.cmyk)
            CmykRowToRgba(row, static_cast<int>(info.output_width));
        (*job.done)(top, row);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

JpegRowReader::JpegRowReader(const QString& fileName)
    : fileName_(fileName),
      // The file's start, where the header nearly always is; the decoder
      // reads the rest as it goes, so a cover costs no buffer of its size
      // and decoding begins without waiting for the whole file.
      start_(ReadFileStart(fileName, HeadBytes))
{
    // The header as the full-size decoder reads it: same size checks, same
    // refusals, same texts.
    int subsampling = 0, colorspace = 0;
    {
        const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
        const auto readHeader = [&](const std::vector<std::uint8_t>& bytes) {
            return handle && tjDecompressHeader3(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                                                 &width_, &height_, &subsampling, &colorspace) == 0;
        };
        bool read = readHeader(start_.Head);
        if (!start_.Whole && (!read || width_ < 1 || height_ < 1)) {
            // A header past the start (large metadata) reads as damaged or
            // empty there: the whole file, as before.
            start_.File.reset();
            start_.Head = ReadWholeFile(fileName);
            start_.Whole = true;
            read = readHeader(start_.Head);
        }
        if (!read)
            throw Damaged(fileName, tjGetErrorStr2(handle.get()));
    }
    CheckImageSize(width_, height_, fileName);
    cmyk_ = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    if (width_ < 1 || height_ < 1) {
        // Some damaged headers read as a picture without pixels: the full
        // decoder tells what is wrong with them.
        std::vector<std::uint8_t> none(4);
        DecodeJpeg(fileName, [&](std::int64_t w, std::int64_t h) {
            CheckImageSize(w, h, fileName);
            none.resize(static_cast<std::size_t>(std::max<std::int64_t>(1, w * h * 4)));
            return none.data();
        });
        width_ = std::max(width_, 0);
        height_ = std::max(height_, 0);
    }
}

JpegRowReader::~JpegRowReader() = default;

bool JpegRowReader::ReadRows(const RowPlace& place, const RowDone& done, const Stop& stop)
{
    auto job = std::make_unique<DecodeJob>();
    job->data = &start_.Head;
    job->source.rest = start_.Whole ? nullptr : start_.File.get();
    job->width = width_;
    job->height = height_;
    job->cmyk = cmyk_;
    job->place = &place;
    job->done = &done;
    job->stop = &stop;
    jpeg_decompress_struct info{};
    const bool decoded = RunDecoder(*job, info);
    jpeg_destroy_decompress(&info);
    if (decoded)
        return true;
    if (job->stopped || stop())
        return false;
    if (job->source.readError)
        throw FileFailure(fileName_, QStringLiteral("cannot be read (%1)")
                                         .arg(QString::fromLocal8Bit(std::strerror(job->source.readError))));
    throw Damaged(fileName_, job->trap.text);
}
