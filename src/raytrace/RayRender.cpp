#include "raytrace/RayRender.h"

#include "concurrency/ParallelWork.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace {

int PassesBeforeStopping(const RaySettings& s)
{
    // Enough samples for the spread to mean something; without adaptive
    // sampling, never.
    return s.Adaptive ? std::max(4, s.Passes / 8) : RayLimits::MaxPasses + 1;
}

RaySettings WithPasses(RaySettings s)
{
    if (s.Passes <= 0)
        s.Passes = RayLimits::DefaultPasses;
    return s;
}

} // namespace

RayRender::RayRender(const BoxParameters& p, RayCovers covers, const RaySettings& settings, QSize size)
    : RayRender(OneBoxProduct(p, std::move(covers), settings.Gloss), settings, size)
{
}

RayRender::RayRender(RayProduct product, const RaySettings& settings, QSize size)
    : product_(std::move(product)), settings_(WithPasses(settings)), size_(size),
      budget_(size.width(), size.height(), PassesBeforeStopping(settings_))
{
    if (product_.Boxes.empty())
        product_.Boxes.push_back({product_.View, PlaceholderCovers(), settings_.Gloss});
    const BoxParameters view = product_.SceneView();
    ProductMesh mesh = product_.Mesh();
    // The picture's aspect, as the ray camera takes it.
    const float aspect = static_cast<float>(std::max(size_.width(), 1)) / static_cast<float>(std::max(size_.height(), 1));
    const Scene scene = SceneOf(view, aspect, &mesh);
    scene_ = std::make_unique<RayScene>(scene, std::move(mesh));
    tracer_ = std::make_unique<PathTracer>(*scene_, product_.Boxes, view, settings_, size_.width(), size_.height());
    sum_.assign(static_cast<std::size_t>(size_.width()) * static_cast<std::size_t>(size_.height()) * 4, 0.0f);
}

RayRender::~RayRender() = default;

void RayRender::Pass()
{
    const int width = size_.width(), height = size_.height();
    const auto pass = static_cast<std::uint32_t>(passes_);
    // Many small shares: rows through the product cost far more than the rest.
    const int shares = std::min(height, std::max(1, WorkerThreads()) * 16);
    ParallelRows(height, shares, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            if (stop_ && stop_->load(std::memory_order_relaxed))
                return;
            float* row = sum_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
            const std::size_t rowStart = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
            for (int x = 0; x < width; ++x) {
                const std::size_t pixel = rowStart + static_cast<std::size_t>(x);
                if (!budget_.Running(pixel))
                    continue;
                RaySample s = tracer_->Pixel(x, y, pass);
                // A stray path's spike is no use to anyone: finite only.
                if (!std::isfinite(s.Colour.x + s.Colour.y + s.Colour.z + s.Alpha))
                    s = {};
                float* px = row + static_cast<std::size_t>(x) * 4;
                px[0] += s.Colour.x;
                px[1] += s.Colour.y;
                px[2] += s.Colour.z;
                px[3] += s.Alpha;
                budget_.Add(pixel, s);
            }
        }
    });
    ++passes_;
    budget_.Settle(sum_);
}

int RayRender::Run(const Progress& progress)
{
    QElapsedTimer timer;
    timer.start();
    while (passes_ < settings_.Passes) {
        Pass();
        if (stop_ && stop_->load())
            break;
        if (budget_.RunningCount() == 0)
            passes_ = settings_.Passes;
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        if (progress && !progress(passes_, settings_.Passes, seconds))
            break;
        if (settings_.TimeLimit > 0 && seconds >= settings_.TimeLimit)
            break;
    }
    return passes_;
}

std::vector<float> RayRender::Linear() const
{
    std::vector<float> mean(sum_.size());
    for (std::size_t i = 0; i < sum_.size(); i += 4) {
        const int n = budget_.Samples(i / 4);
        const float scale = n > 0 ? 1.0f / static_cast<float>(n) : 0.0f;
        for (std::size_t c = 0; c < 4; ++c)
            mean[i + c] = sum_[i + c] * scale;
    }
    return mean;
}

QImage RayRender::Picture() const
{
    const std::vector<float> mean = Linear();
    QImage image(size_, QImage::Format_RGBA8888);
    for (int y = 0; y < size_.height(); ++y) {
        std::uint8_t* out = image.scanLine(y);
        const float* in = mean.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size_.width()) * 4;
        for (int x = 0; x < size_.width(); ++x, out += 4, in += 4) {
            const float alpha = std::clamp(in[3], 0.0f, 1.0f);
            const float unmix = alpha > 0 ? 1.0f / alpha : 0.0f;
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>(EncodeSrgb(in[c] * unmix));
            out[3] = static_cast<std::uint8_t>(std::lround(alpha * 255.0f));
        }
    }
    return image;
}
