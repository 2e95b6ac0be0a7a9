#pragma once
// Anti-aliasing at any sample count: the GL's own multisampling as far as it
// goes, beyond that the picture drawn larger and box-filtered down, in tiles
// the GL can hold. The window's written result and the command line use the
// same plan and the same code, so they give the same pixels.
#include "render/GLApi.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

class SampleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SamplePlan {
    int Factor = 1;      // drawn this many times larger per side
    int Multisample = 1; // GL samples per drawn pixel
    int Samples() const { return Factor * Factor * Multisample; }
    // One plain frame: nothing to plan.
    bool Single() const { return Factor == 1 && Multisample == 1; }
};

// At least `samples` per pixel: the GL alone when it offers that many
// (maxMultisample, GL_MAX_SAMPLES), else the smallest drawing factor whose
// square, times a multisample count (a power of two) the GL has, reaches it.
SamplePlan PlanSamples(int samples, int maxMultisample);

// A part of the output, in output pixels, bottom row first.
struct SampleTile {
    int X = 0, Y = 0, Width = 0, Height = 0;
};
// Tiles covering the output whose drawn size (output x factor) stays within
// maxSide per side and maxTileSamples samples (colour and depth memory).
std::vector<SampleTile> PlanTiles(QSize output, const SamplePlan& plan, int maxSide,
                                  std::int64_t maxTileSamples);

// Averages factor x factor blocks of an RGBA picture (width x height, bottom
// row first) into out, whose rows are outStride pixels apart; rounded.
void BoxDownsample(const std::uint8_t* big, int width, int height, int factor, std::uint8_t* out,
                   int outStride, int workers = 1);

// GL_MAX_SAMPLES of the current context (0 when it has no multisampling).
int CurrentMaxSamples();

// Draws the picture of the output size with the plan in the current
// context, into buffers of its own (what was bound, the viewport and the
// projection are put back), and returns it upright. drawFrame draws one
// frame with the viewport and projection set for the part being drawn.
// Throws SampleError when the GL cannot make the buffers.
// maxTileSamples bounds one tile's buffers (2^25 samples, 256 MiB, by default).
QImage RenderWithSamples(GLApi& gl, QSize output, const SamplePlan& plan,
                         const std::function<void()>& drawFrame,
                         std::int64_t maxTileSamples = std::int64_t{1} << 25);
