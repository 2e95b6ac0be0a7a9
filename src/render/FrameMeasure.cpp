#include "render/FrameMeasure.h"

#include "render/Scene.h"
#include "render/SceneDriver.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A pixel counts where a person sees it: the picture's alpha, as
// CombineTransparent finds it from the share of background in the pair, is
// at least about 3%. A shadow's invisible tail (alpha 1 to 7 of 255) would
// otherwise push the product off centre.
constexpr long VisibleAlpha = 8;

bool Drawn(const unsigned char* black, const unsigned char* white)
{
    const int difference = (white[0] - black[0]) + (white[1] - black[1]) + (white[2] - black[2]);
    const double share = std::clamp(difference / (3.0 * 255.0), 0.0, 1.0);
    return std::lround((1.0 - share) * 255.0) >= VisibleAlpha;
}

} // namespace

FrameBounds DrawnBounds(const unsigned char* overBlack, const unsigned char* overWhite, int width, int height,
                        float reach)
{
    int left = width, right = -1, bottom = height, top = -1;
    for (int y = 0; y < height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
        for (int x = 0; x < width; ++x) {
            const std::size_t at = row + static_cast<std::size_t>(x) * 4;
            if (!Drawn(overBlack + at, overWhite + at))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::min(bottom, y);
            top = std::max(top, y);
        }
    }
    FrameBounds b;
    if (right < 0)
        return b;
    // Pixel edges, not centres: the bounds a pixel's worth of picture covers.
    const auto across = [reach](int edge, int size) { return (2.0f * static_cast<float>(edge) / static_cast<float>(size) - 1.0f) * reach; };
    b.Empty = false;
    b.Left = across(left, width);
    b.Right = across(right + 1, width);
    b.Bottom = across(bottom, height);
    b.Top = across(top + 1, height);
    return b;
}

FrameBounds MeasureFrameBounds(BoxRenderer& renderer, const SlotTextures& textures, const BoxParameters& view,
                               float reach, const MeasureSetup& setup, GLApi& gl)
{
    const int pictureW = std::max(1, setup.Picture.width()), pictureH = std::max(1, setup.Picture.height());
    const int roomW = std::max(1, setup.Room.width()), roomH = std::max(1, setup.Room.height());
    const double fit = std::min({1.0, static_cast<double>(setup.LongSide) / std::max(pictureW, pictureH),
                                 static_cast<double>(roomW) / pictureW, static_cast<double>(roomH) / pictureH});
    const int w = std::max(1, static_cast<int>(pictureW * fit)), h = std::max(1, static_cast<int>(pictureH * fit));

    // The scene's perspective, reaching `reach` times as far.
    const double aspect = static_cast<double>(pictureW) / pictureH;
    const double top = SceneLens::Near * SceneLens::TanHalfFov() * reach;
    gl.Viewport(0, 0, w, h);
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadIdentity();
    gl.Frustum(-top * aspect, top * aspect, -top, top, SceneLens::Near, SceneLens::Far);
    gl.MatrixMode(GL_MODELVIEW);

    std::vector<unsigned char> pixels[2];
    const DrawFlags flags;
    for (int pass = 0; pass < 2; ++pass) {
        const float shade = pass == 0 ? 0.0f : 1.0f;
        BoxParameters p = view;
        p.BackgroundRed = p.BackgroundGreen = p.BackgroundBlue = shade;
        // Where the background quad does not reach, the clear colour stands in for it.
        gl.ClearColor(shade, shade, shade, 1.0f);
        renderer.DrawFrame(p, textures, flags);
        pixels[pass].resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
        gl.ReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels[pass].data()); // rows of 4-byte pixels: aligned
    }
    gl.ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    SceneDriver().SetViewport(gl, roomW, roomH);
    return DrawnBounds(pixels[0].data(), pixels[1].data(), w, h, reach);
}

FitOutcome FitDrawnView(BoxRenderer& renderer, const SlotTextures& textures, const BoxParameters& start,
                        const FitRequest& fit, const MeasureSetup& setup, GLApi& gl)
{
    const MeasureFrame measure = [&](const BoxParameters& view, float reach) {
        if (fit.Angles.empty())
            return MeasureFrameBounds(renderer, textures, view, reach, setup, gl);
        FrameBounds all;
        for (const auto& [side, tilt] : fit.Angles) {
            BoxParameters frame = view;
            frame.SideAngle = side;
            frame.TiltAngle = tilt;
            all.Add(MeasureFrameBounds(renderer, textures, frame, reach, setup, gl));
        }
        return all;
    };
    const double aspect = static_cast<double>(std::max(1, setup.Picture.width())) / std::max(1, setup.Picture.height());
    return FitView(start, fit.MarginPercent, aspect, measure);
}
