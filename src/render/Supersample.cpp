#include "render/Supersample.h"

#include "concurrency/ParallelWork.h"
#include "render/SceneDriver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr double FieldOfView = 45.0, Near = 0.1, Far = 100.0; // as SceneDriver::SetViewport

int NextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

int CeilDiv(std::int64_t a, std::int64_t b) { return static_cast<int>((a + b - 1) / b); }

// Colour and depth, multisampled or not, plus a plain colour buffer to
// resolve into; freed with the object.
class TileBuffers {
public:
    TileBuffers(int width, int height, int samples)
    {
        while (glGetError() != GL_NO_ERROR) {
        }
        const auto storage = [&](GLenum format, int count) {
            if (count > 1)
                glRenderbufferStorageMultisample(GL_RENDERBUFFER, count, format, width, height);
            else
                glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
        };
        glGenFramebuffers(2, fbo_);
        glGenRenderbuffers(3, rb_);
        glBindRenderbuffer(GL_RENDERBUFFER, rb_[0]);
        storage(GL_RGBA8, samples);
        glBindRenderbuffer(GL_RENDERBUFFER, rb_[1]);
        storage(GL_DEPTH_COMPONENT24, samples);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb_[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb_[1]);
        GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        multisampled_ = samples > 1;
        if (multisampled_) {
            glBindRenderbuffer(GL_RENDERBUFFER, rb_[2]);
            storage(GL_RGBA8, 1);
            glBindFramebuffer(GL_FRAMEBUFFER, fbo_[1]);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb_[2]);
            if (status == GL_FRAMEBUFFER_COMPLETE)
                status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        }
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        const GLenum error = glGetError();
        if (status != GL_FRAMEBUFFER_COMPLETE || error != GL_NO_ERROR)
            throw SampleError("the GL could not make buffers of " + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels with " + std::to_string(samples) +
                              " sample(s)");
    }
    ~TileBuffers()
    {
        glDeleteFramebuffers(2, fbo_);
        glDeleteRenderbuffers(3, rb_);
    }
    TileBuffers(const TileBuffers&) = delete;
    TileBuffers& operator=(const TileBuffers&) = delete;

    void BindForDrawing()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_[0]);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    }
    // The drawn part, resolved when multisampled, read bottom row first.
    void Read(int width, int height, std::uint8_t* pixels)
    {
        if (multisampled_) {
            glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_[0]);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_[1]);
            glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_[1]);
        }
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }

private:
    GLuint fbo_[2] = {0, 0};
    GLuint rb_[3] = {0, 0, 0};
    bool multisampled_ = false;
};

// What was bound before, put back however the drawing ends.
struct BindingKeeper {
    GLint draw = 0, read = 0, drawBuffer = 0, readBuffer = 0;
    GLint viewport[4] = {0, 0, 0, 0};
    GLboolean scissor = GL_FALSE;
    BindingKeeper()
    {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
        glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
        glGetIntegerv(GL_READ_BUFFER, &readBuffer);
        glGetIntegerv(GL_VIEWPORT, viewport);
        scissor = glIsEnabled(GL_SCISSOR_TEST);
        glDisable(GL_SCISSOR_TEST);
    }
    ~BindingKeeper()
    {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
        glDrawBuffer(static_cast<GLenum>(drawBuffer));
        glReadBuffer(static_cast<GLenum>(readBuffer));
        if (scissor)
            glEnable(GL_SCISSOR_TEST);
    }
};

void DownsampleRows(const std::uint8_t* big, int width, int factor, std::uint8_t* out, int outStride,
                    int outWidth, int firstRow, int endRow)
{
    const int n = factor * factor;
    const std::size_t bigRow = static_cast<std::size_t>(width) * 4;
    for (int y = firstRow; y < endRow; ++y) {
        std::uint8_t* o = out + static_cast<std::size_t>(y) * outStride * 4;
        for (int x = 0; x < outWidth; ++x, o += 4) {
            unsigned sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < factor; ++j) {
                const std::uint8_t* p = big + static_cast<std::size_t>(y * factor + j) * bigRow +
                                        static_cast<std::size_t>(x * factor) * 4;
                for (int i = 0; i < factor; ++i, p += 4)
                    for (int c = 0; c < 4; ++c)
                        sum[c] += p[c];
            }
            for (int c = 0; c < 4; ++c)
                o[c] = static_cast<std::uint8_t>((sum[c] + static_cast<unsigned>(n / 2)) / static_cast<unsigned>(n));
        }
    }
}

} // namespace

SamplePlan PlanSamples(int samples, int maxMultisample)
{
    if (samples <= 1)
        return {};
    if (samples <= maxMultisample)
        return {1, samples};
    for (int factor = 2;; ++factor) {
        int multisample = NextPowerOfTwo(CeilDiv(samples, factor * factor));
        if (multisample <= 1)
            return {factor, 1};
        if (multisample <= maxMultisample)
            return {factor, multisample};
    }
}

std::vector<SampleTile> PlanTiles(QSize output, const SamplePlan& plan, int maxSide, std::int64_t maxTileSamples)
{
    const int f = plan.Factor;
    const std::int64_t perPixel = std::int64_t{f} * f * plan.Multisample;
    const int widest = std::max(1, maxSide / f);
    int columns = CeilDiv(output.width(), widest);
    int rows = CeilDiv(output.height(), widest);
    // Split the longer side of the tiles further until one fits the budget.
    const auto tileW = [&] { return CeilDiv(output.width(), columns); };
    const auto tileH = [&] { return CeilDiv(output.height(), rows); };
    while (std::int64_t{tileW()} * tileH() * perPixel > maxTileSamples && (tileW() > 1 || tileH() > 1)) {
        if (tileH() >= tileW())
            ++rows;
        else
            ++columns;
    }
    std::vector<SampleTile> tiles;
    const int w = tileW(), h = tileH();
    for (int y = 0; y < output.height(); y += h)
        for (int x = 0; x < output.width(); x += w)
            tiles.push_back({x, y, std::min(w, output.width() - x), std::min(h, output.height() - y)});
    return tiles;
}

void BoxDownsample(const std::uint8_t* big, int width, int height, int factor, std::uint8_t* out, int outStride,
                   int workers)
{
    const int outWidth = width / factor, outHeight = height / factor;
    const int threads = outWidth * outHeight >= 64 * 1024 ? workers : 1;
    ParallelRows(outHeight, threads, [&](int first, int end) {
        DownsampleRows(big, width, factor, out, outStride, outWidth, first, end);
    });
}

int CurrentMaxSamples()
{
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    return glGetError() == GL_NO_ERROR ? most : 0;
}

QImage RenderWithSamples(GLApi& gl, QSize output, const SamplePlan& plan, const std::function<void()>& drawFrame,
                         std::int64_t maxTileSamples)
{
    GLint renderbufferSide = 0, viewportDims[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbufferSide);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewportDims);
    const int maxSide = std::min({renderbufferSide, viewportDims[0], viewportDims[1]});
    if (output.isEmpty() || maxSide < plan.Factor)
        throw SampleError("the GL cannot draw a picture of this size");
    const std::vector<SampleTile> tiles = PlanTiles(output, plan, maxSide, maxTileSamples);
    const int f = plan.Factor;

    QImage picture(output, QImage::Format_RGBA8888);
    std::vector<std::uint8_t> result, big;
    try {
        result.resize(static_cast<std::size_t>(output.width()) * output.height() * 4);
        big.resize(static_cast<std::size_t>(tiles[0].Width) * f * tiles[0].Height * f * 4);
    } catch (const std::bad_alloc&) {
        throw SampleError("not enough memory for the picture");
    }
    if (picture.isNull())
        throw SampleError("not enough memory for the picture");

    {
        BindingKeeper keep;
        TileBuffers buffers(tiles[0].Width * f, tiles[0].Height * f, plan.Multisample);
        const double aspect = static_cast<double>(output.width()) / static_cast<double>(output.height());
        const double top = Near * std::tan(FieldOfView / 2.0 * 3.14159265358979323846 / 180.0);
        for (const SampleTile& tile : tiles) {
            const int w = tile.Width * f, h = tile.Height * f;
            buffers.BindForDrawing();
            gl.Viewport(0, 0, w, h);
            gl.MatrixMode(GL_PROJECTION);
            gl.LoadIdentity();
            if (tiles.size() == 1) {
                gl.Perspective(FieldOfView, static_cast<double>(w) / static_cast<double>(h), Near, Far);
            } else {
                // This tile's share of the whole view's frustum.
                const auto at = [](double edge, int pixel, int total) { return -edge + 2.0 * edge * pixel / total; };
                gl.Frustum(at(top * aspect, tile.X, output.width()), at(top * aspect, tile.X + tile.Width, output.width()),
                           at(top, tile.Y, output.height()), at(top, tile.Y + tile.Height, output.height()), Near, Far);
            }
            gl.MatrixMode(GL_MODELVIEW);
            drawFrame();
            buffers.Read(w, h, big.data());
            BoxDownsample(big.data(), w, h, f,
                          result.data() + (static_cast<std::size_t>(tile.Y) * output.width() + tile.X) * 4,
                          output.width(), std::min(2, WorkerThreads()));
        }
    }
    // Back to the view the caller had.
    SceneDriver().SetViewport(gl, output.width(), output.height());

    const std::size_t row = static_cast<std::size_t>(output.width()) * 4;
    for (int y = 0; y < output.height(); ++y)
        std::memcpy(picture.scanLine(y), result.data() + static_cast<std::size_t>(output.height() - 1 - y) * row, row);
    return picture;
}
