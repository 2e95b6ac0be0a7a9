#include "raytrace/RayRender.h"

#include "concurrency/ParallelWork.h"
#include "raytrace/HighlightRolloff.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t GuideFloats = 10;

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
      budget_(size.width(), size.height(), PassesBeforeStopping(settings_),
              settings_.Denoise ? PixelBudget::DenoisedTolerance : PixelBudget::Tolerance)
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
    const std::size_t pixels = static_cast<std::size_t>(size_.width()) * static_cast<std::size_t>(size_.height());
    sum_.assign(pixels * 4, 0.0f);
    if (settings_.Denoise)
        guideSum_.assign(pixels * GuideFloats, 0.0f);
}

RayRender::~RayRender() = default;

void RayRender::Pass()
{
    const int width = size_.width(), height = size_.height();
    const auto pass = static_cast<std::uint32_t>(passes_);
    float* const guides = guideSum_.empty() ? nullptr : guideSum_.data();
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
                RayGuide guide;
                RaySample s = tracer_->Pixel(x, y, pass, guides ? &guide : nullptr);
                // A stray path's spike is no use to anyone: finite only.
                if (!std::isfinite(s.Colour.x + s.Colour.y + s.Colour.z + s.Alpha))
                    s = {};
                float* px = row + static_cast<std::size_t>(x) * 4;
                px[0] += s.Colour.x;
                px[1] += s.Colour.y;
                px[2] += s.Colour.z;
                px[3] += s.Alpha;
                budget_.Add(pixel, s);
                if (guides) {
                    float* g = guides + pixel * GuideFloats;
                    const float values[GuideFloats] = {guide.Albedo.x, guide.Albedo.y, guide.Albedo.z, guide.Normal.x,
                                                       guide.Normal.y, guide.Normal.z, guide.Depth,  guide.Print.x,
                                                       guide.Print.y,  guide.Print.z};
                    for (std::size_t k = 0; k < GuideFloats; ++k)
                        g[k] += values[k];
                }
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
    return Encoded(Linear(), size_);
}

DenoiseGuides RayRender::Guides() const
{
    DenoiseGuides g;
    if (guideSum_.empty())
        return g;
    const std::size_t pixels = sum_.size() / 4;
    g.Albedo.resize(pixels * 3);
    g.Normal.resize(pixels * 3);
    g.Depth.resize(pixels);
    g.Print.resize(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) {
        const int n = budget_.Samples(i);
        const float scale = n > 0 ? 1.0f / static_cast<float>(n) : 0.0f;
        const float* s = guideSum_.data() + i * GuideFloats;
        for (std::size_t k = 0; k < 3; ++k) {
            g.Albedo[i * 3 + k] = s[k] * scale;
            g.Normal[i * 3 + k] = s[3 + k] * scale;
            g.Print[i * 3 + k] = s[7 + k] * scale;
        }
        g.Depth[i] = s[6] * scale;
    }
    return g;
}

std::vector<float> RayRender::ResultLinear() const
{
    std::vector<float> mean = Linear();
    if (guideSum_.empty() || passes_ == 0)
        return mean;
    const DenoiseGuides guides = Guides();
    std::vector<float> variance(mean.size() / 4);
    for (std::size_t i = 0; i < variance.size(); ++i)
        variance[i] = budget_.MeanVariance(i, mean.data() + i * 4);
    DenoiseInput input;
    input.Width = size_.width();
    input.Height = size_.height();
    input.Colour = &mean;
    input.Guides = &guides;
    input.Variance = &variance;
    return Denoise(input);
}

QImage RayRender::Result() const
{
    return Encoded(ResultLinear(), size_);
}

QImage Encoded(const std::vector<float>& mean, QSize size)
{
    QImage image(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y) {
        std::uint8_t* out = image.scanLine(y);
        const float* in = mean.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width()) * 4;
        for (int x = 0; x < size.width(); ++x, out += 4, in += 4) {
            const float alpha = std::clamp(in[3], 0.0f, 1.0f);
            const float unmix = alpha > 0 ? 1.0f / alpha : 0.0f;
            float rgb[3] = {in[0] * unmix, in[1] * unmix, in[2] * unmix};
            RollOffHighlights(rgb[0], rgb[1], rgb[2]);
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>(EncodeSrgb(rgb[c]));
            out[3] = static_cast<std::uint8_t>(std::lround(alpha * 255.0f));
        }
    }
    return image;
}
