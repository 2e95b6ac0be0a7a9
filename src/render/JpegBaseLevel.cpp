#include "render/JpegBaseLevel.h"

#include "formats/JpegCodec.h"
#include "formats/JpegRows.h"
#include "render/RowRing.h"
#include "concurrency/ParallelWork.h"

#include <algorithm>
#include <vector>

namespace {

// One scaler keeps pace with the decoder on a shared machine; a second
// only helps on an idle one.
constexpr int ScalingThreads = 1;

// Kept as it is, shrunk past a small GL's limit, or on one thread: the
// whole picture first.
void DecodeWhole(const QString& fileName, DecodedBaseLevel& result)
{
    std::unique_ptr<std::uint8_t[]> full;
    DecodeJpeg(fileName, [&](std::int64_t w, std::int64_t h) {
        CheckImageSize(w, h, fileName);
        full = AllocatePicture(static_cast<std::size_t>(w * h * 4));
        return full.get();
    });
    if (result.Base == result.Original) {
        result.Pixels = std::move(full);
        return;
    }
    result.Pixels = AllocatePicture(static_cast<std::size_t>(result.Base.Width) * result.Base.Height * 4);
    ScaleToBaseLevel(full.get(), result.Original, result.Pixels.get(), result.Base, WorkerThreads());
}

} // namespace

DecodedBaseLevel DecodeJpegBaseLevel(const QString& fileName, int maxTextureSize, BaseLevelProgress* progress)
{
    JpegRowReader reader(fileName);
    DecodedBaseLevel result;
    result.Original = {reader.Width(), reader.Height()};
    if (result.Original.Width < 1 || result.Original.Height < 1)
        return result; // no pixels, and nothing the full decoder calls damaged
    result.Base = BaseLevelSize(result.Original.Width, result.Original.Height, maxTextureSize);
    const BaseLevelScaler scaler(result.Original, result.Base);
    // Streaming takes a thread to decode and one to scale; on one thread
    // the whole picture is decoded first.
    bool streams = result.Base != result.Original && WorkerThreads() > 1;
    for (int row = 0; streams && row < result.Base.Height; ++row)
        streams = scaler.LastSourceRow(row) - scaler.FirstSourceRow(row) < RowRing::MaxRowsPerOutputRow;
    if (!streams) {
        DecodeWhole(fileName, result);
        return result;
    }

    result.Pixels = AllocatePicture(static_cast<std::size_t>(result.Base.Width) * result.Base.Height * 4);
    RowRing ring(scaler, result.Pixels.get(), progress);
    std::vector<RunAside> scaling;
    for (int i = 0; i < ScalingThreads; ++i)
        scaling.emplace_back([&ring] { ring.Scale(); });
    // The decoder waits for its scalers: without threads beside this one,
    // the whole picture first.
    if (!std::all_of(scaling.begin(), scaling.end(), [](const RunAside& s) { return s.HasThread(); })) {
        ring.Stop();
        for (RunAside& scaled : scaling)
            scaled.Wait();
        DecodeWhole(fileName, result);
        return result;
    }
    if (progress)
        progress->Started(result.Original, result.Base, result.Pixels.get());
    bool decoded = false;
    try {
        decoded = reader.ReadRows([&ring](int top) { return ring.Slot(top); },
                                  [&ring](int top, const std::uint8_t* row) { ring.Decoded(top, row); },
                                  [progress] { return progress && progress->Cancelled(); });
    } catch (...) {
        ring.Stop(); // the scalers end before the rows they read go
        throw;
    }
    if (!decoded)
        ring.Stop();
    for (RunAside& scaled : scaling)
        scaled.Wait();
    if (!decoded)
        throw FileFailure(fileName, QStringLiteral("reading was stopped: the picture is no longer wanted"));
    return result;
}
