#include "formats/JpegBaseLevel.h"

#include "formats/JpegCodec.h"
#include "concurrency/ParallelWork.h"

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csetjmp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace {

// Rows kept between the decoder and the scaler, and the most source rows
// one output row may need for the pair to stream through them.
constexpr int RingRows = 128;
constexpr int MaxRowsPerOutputRow = 16;
// One scaler keeps pace with the decoder on a shared machine; a second
// only helps on an idle one.
constexpr int ScalingThreads = 1;
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

// The rows handed from the decoding thread to the scaling thread. Source
// rows are counted from the top as they are decoded; `rows` is indexed
// bottom first, as the scaler reads them. Both sides hand over rows in
// batches: a wake-up per row would cost more than the rows.
class RowRing {
public:
    RowRing(const BaseLevelScaler& scaler, std::uint8_t* out, BaseLevelProgress* progress)
        : scaler_(scaler), out_(out), progress_(progress), height_(scaler.Source().Height),
          rowBytes_(static_cast<std::size_t>(scaler.Source().Width) * 4),
          ring_(std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes_ * RingRows)),
          rows_(static_cast<std::size_t>(height_), nullptr)
    {
        nextRow_ = scaler_.Target().Height - 1;
        oldestNeeded_ = height_ - 1 - scaler_.LastSourceRow(nextRow_);
    }

    // Room for source row `top`, once the scaler has let go of what was there.
    std::uint8_t* Slot(int top)
    {
        if (top >= freeBelow_) {
            Publish(top);
            std::unique_lock lock(mutex_);
            decoderWaits_ = true;
            changed_.wait(lock, [&] { return top < oldestNeeded_ + RingRows || stopped_; });
            decoderWaits_ = false;
            freeBelow_ = oldestNeeded_ + RingRows;
        }
        return ring_.get() + static_cast<std::size_t>(top % RingRows) * rowBytes_;
    }

    void Decoded(int top, const std::uint8_t* row)
    {
        rows_[static_cast<std::size_t>(height_ - 1 - top)] = row;
        if ((top + 1) % Batch == 0 || top + 1 == height_)
            Publish(top + 1);
    }

    // Ends the scaler early (the decoder failed) or lets it finish.
    void Stop()
    {
        {
            const std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
    }

    // A scaling thread: output rows from the top down, each as soon as the
    // source rows it reads are in. Several threads share the rows in short
    // runs, so a core the decoder leaves free is used.
    void Scale()
    {
        const std::size_t outBytes = static_cast<std::size_t>(scaler_.Target().Width) * 4;
        BaseLevelScaler::RowCache cache;
        for (;;) {
            int top = 0, end = 0; // this run: output rows top down to end + 1
            {
                std::unique_lock lock(mutex_);
                const auto ready = [&] {
                    return nextRow_ < 0 || stopped_ || height_ - 1 - scaler_.FirstSourceRow(nextRow_) < decoded_;
                };
                if (!ready()) {
                    ++scalersWaiting_;
                    changed_.wait(lock, ready);
                    --scalersWaiting_;
                }
                if (nextRow_ < 0 || stopped_)
                    return;
                top = nextRow_;
                end = top;
                while (end >= 0 && top - end < RunRows && height_ - 1 - scaler_.FirstSourceRow(end) < decoded_)
                    --end;
                nextRow_ = end;
                running_.push_back(top);
            }
            for (int row = top; row > end; --row)
                scaler_.ScaleRow(row, rows_.data(),
                                 progress_ ? progress_->RowToMake(row) : out_ + static_cast<std::size_t>(row) * outBytes,
                                 cache);
            bool wake = false;
            {
                const std::lock_guard lock(mutex_);
                running_.erase(std::find(running_.begin(), running_.end(), top));
                // The oldest row still wanted is that of the highest output
                // row not yet done.
                int highest = nextRow_;
                for (const int r : running_)
                    highest = std::max(highest, r);
                if (highest >= 0)
                    oldestNeeded_ = height_ - 1 - scaler_.LastSourceRow(highest);
                if (progress_) // every row above the highest unfinished one is done
                    progress_->FinalFrom(highest + 1);
                wake = decoderWaits_;
            }
            if (wake)
                changed_.notify_all();
        }
    }

private:
    static constexpr int Batch = 16;
    static constexpr int RunRows = 8;

    void Publish(int decoded)
    {
        bool wake = false;
        {
            const std::lock_guard lock(mutex_);
            decoded_ = std::max(decoded_, decoded);
            wake = scalersWaiting_ > 0;
        }
        if (wake)
            changed_.notify_all();
    }

    const BaseLevelScaler& scaler_;
    std::uint8_t* out_;
    BaseLevelProgress* progress_;
    int height_;
    std::size_t rowBytes_;
    std::unique_ptr<std::uint8_t[]> ring_; // not zeroed: the decoder writes each row before it is read
    std::vector<const std::uint8_t*> rows_; // written before the rows are published
    int freeBelow_ = 0;                     // the decoder's own view of the room
    std::mutex mutex_;
    std::condition_variable changed_;
    int decoded_ = 0;
    int oldestNeeded_ = 0;
    bool decoderWaits_ = false;
    int scalersWaiting_ = 0;
    int nextRow_ = 0;          // the next output row to hand out
    std::vector<int> running_; // the first rows of the runs being scaled
    bool stopped_ = false;
};

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
    PictureSize size; // as the header said
    bool cmyk;
    RowRing* ring;
    const BaseLevelProgress* progress; // may cancel the decode
    ErrorTrap trap;
};

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
    jpeg_read_header(&info, TRUE);
    info.out_color_space = job.cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    if (static_cast<int>(info.output_width) != job.size.Width ||
        static_cast<int>(info.output_height) != job.size.Height ||
        info.output_components != 4) {
        std::snprintf(job.trap.text, sizeof job.trap.text, "the picture's layout is not what its header says");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        if (job.progress && job.progress->Cancelled())
            return false;
        const int top = static_cast<int>(info.output_scanline);
        JSAMPROW row = job.ring->Slot(top);
        jpeg_read_scanlines(&info, &row, 1);
        if (job.cmyk)
            CmykRowToRgba(row, static_cast<int>(info.output_width));
        job.ring->Decoded(top, row);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

void BaseLevelProgress::Started(PictureSize original, PictureSize size, std::uint8_t* pixels)
{
    original_ = original;
    size_ = size;
    rowBytes_ = static_cast<std::size_t>(size.Width) * 4;
    // A ring smaller than a few rows would hardly ever be free again.
    ringRows_ = static_cast<int>(std::max<std::size_t>(16, ringBytes_ / std::max<std::size_t>(rowBytes_, 1)));
    if (ringBytes_ > 0 && size.Height > ringRows_) {
        ring_ = std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes_ * static_cast<std::size_t>(ringRows_));
        ringHolds_.assign(static_cast<std::size_t>(ringRows_), -1);
        rows_.assign(static_cast<std::size_t>(size.Height), nullptr);
    }
    final_.store(size.Height, std::memory_order_relaxed); // no row yet
    pixels_.store(pixels, std::memory_order_release);
}

std::uint8_t* BaseLevelProgress::RowToMake(int row)
{
    std::uint8_t* const inPlace = pixels_.load(std::memory_order_relaxed) + static_cast<std::size_t>(row) * rowBytes_;
    if (!ring_)
        return inPlace;
    std::unique_lock lock(making_);
    const auto place = static_cast<std::size_t>(row % ringRows_);
    // Rows are made top down: what the place holds is a higher row, free
    // again once the reader has sent it.
    const int held = ringHolds_[place];
    // Sequentially consistent with SentFrom: one of the two sees the other.
    const auto free = [&] { return held < 0 || held >= sentFrom_.load(); };
    // A reader that is sending rows is usually only a moment behind; one
    // that has not begun (its GL is still being made) may be long.
    if (!free() && sentFrom_.load() != INT_MAX && !readerGone_.load()) {
        waiting_.store(true);
        sent_.wait_for(lock, std::chrono::milliseconds(50), [&] { return free() || readerGone_.load(); });
        waiting_.store(false);
    }
    std::uint8_t* at = inPlace;
    if (free()) {
        ringHolds_[place] = row;
        at = ring_.get() + place * rowBytes_;
    }
    rows_[static_cast<std::size_t>(row)] = at;
    return at;
}

void BaseLevelProgress::FinalFrom(int row)
{
    if (watcher_)
        for (int r = final_.load(std::memory_order_relaxed) - 1; r >= row; --r)
            watcher_(r, Row(r));
    final_.store(row, std::memory_order_release);
}

void BaseLevelProgress::SentFrom(int row) const
{
    sentFrom_.store(row);
    if (waiting_.load()) {
        const std::lock_guard lock(making_);
        sent_.notify_all();
    }
}

void BaseLevelProgress::ReaderGone()
{
    readerGone_.store(true);
    const std::lock_guard lock(making_);
    sent_.notify_all();
}

const std::uint8_t* BaseLevelProgress::Row(int row) const
{
    if (!rows_.empty())
        return rows_[static_cast<std::size_t>(row)];
    return Pixels() + static_cast<std::size_t>(row) * rowBytes_;
}

void BaseLevelProgress::Gather()
{
    std::uint8_t* const pixels = pixels_.load(std::memory_order_acquire);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        std::uint8_t* const place = pixels + row * rowBytes_;
        if (rows_[row] && rows_[row] != place)
            std::memcpy(place, rows_[row], rowBytes_);
        rows_[row] = place;
    }
}

DecodedBaseLevel DecodeJpegBaseLevel(const QString& fileName, int maxTextureSize,
                                     BaseLevelProgress* progress)
{
    // The file's start, where the header nearly always is; the decoder
    // reads the rest as it goes, so a cover costs no buffer of its size
    // and decoding begins without waiting for the whole file.
    FileStart start = ReadFileStart(fileName, HeadBytes);
    // The header as the full-size decoder reads it: same size checks, same
    // refusals, same texts.
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    {
        const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
        const auto readHeader = [&](const std::vector<std::uint8_t>& bytes) {
            return handle && tjDecompressHeader3(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                                                 &width, &height, &subsampling, &colorspace) == 0;
        };
        bool read = readHeader(start.Head);
        if (!start.Whole && (!read || width < 1 || height < 1)) {
            // A header past the start (large metadata) reads as damaged or
            // empty there: the whole file, as before.
            start.File.reset();
            start.Head = ReadWholeFile(fileName);
            start.Whole = true;
            read = readHeader(start.Head);
        }
        if (!read)
            throw Damaged(fileName, tjGetErrorStr2(handle.get()));
    }
    CheckImageSize(width, height, fileName);
    DecodedBaseLevel result;
    result.Original = {width, height};
    if (width < 1 || height < 1) {
        // Some damaged headers read as a picture without pixels: the full
        // decoder tells what is wrong with them.
        std::vector<std::uint8_t> none(4);
        DecodeJpeg(fileName, [&](std::int64_t w, std::int64_t h) {
            CheckImageSize(w, h, fileName);
            none.resize(static_cast<std::size_t>(std::max<std::int64_t>(1, w * h * 4)));
            return none.data();
        });
        return result;
    }
    result.Base = BaseLevelSize(width, height, maxTextureSize);
    const BaseLevelScaler scaler(result.Original, result.Base);
    // Streaming takes a thread to decode and one to scale; on one thread
    // the whole picture is decoded first.
    bool streams = result.Base != result.Original && WorkerThreads() > 1;
    for (int row = 0; streams && row < result.Base.Height; ++row)
        streams = scaler.LastSourceRow(row) - scaler.FirstSourceRow(row) < MaxRowsPerOutputRow;
    if (!streams) {
        // Kept as it is, shrunk past a small GL's limit, or on one thread:
        // whole picture first.
        std::unique_ptr<std::uint8_t[]> full;
        DecodeJpeg(fileName, [&](std::int64_t w, std::int64_t h) {
            CheckImageSize(w, h, fileName);
            full = AllocatePicture(static_cast<std::size_t>(w * h * 4));
            return full.get();
        });
        if (result.Base == result.Original) {
            result.Pixels = std::move(full);
            return result;
        }
        result.Pixels = AllocatePicture(static_cast<std::size_t>(result.Base.Width) * result.Base.Height * 4);
        ScaleToBaseLevel(full.get(), result.Original, result.Pixels.get(), result.Base, WorkerThreads());
        return result;
    }

    result.Pixels = AllocatePicture(static_cast<std::size_t>(result.Base.Width) * result.Base.Height * 4);
    if (progress)
        progress->Started(result.Original, result.Base, result.Pixels.get());
    RowRing ring(scaler, result.Pixels.get(), progress);
    auto job = std::make_unique<DecodeJob>();
    job->data = &start.Head;
    job->source.rest = start.Whole ? nullptr : start.File.get();
    job->size = result.Original;
    job->cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    job->ring = &ring;
    job->progress = progress;
    jpeg_decompress_struct info{};
    bool decoded = false;
    {
        std::vector<RunAside> scaling;
        for (int i = 0; i < ScalingThreads; ++i)
            scaling.emplace_back([&ring] { ring.Scale(); });
        decoded = RunDecoder(*job, info);
        if (!decoded)
            ring.Stop();
        for (RunAside& scaled : scaling)
            scaled.Wait();
    }
    jpeg_destroy_decompress(&info);
    if (!decoded && progress && progress->Cancelled())
        throw FileFailure(fileName, QStringLiteral("reading was stopped: the picture is no longer wanted"));
    if (!decoded && job->source.readError)
        throw FileFailure(fileName, QStringLiteral("cannot be read (%1)")
                                        .arg(QString::fromLocal8Bit(std::strerror(job->source.readError))));
    if (!decoded)
        throw Damaged(fileName, job->trap.text);
    return result;
}
