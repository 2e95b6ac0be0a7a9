#pragma once
// The tracer's picture cleaned of its grain: an edge-avoiding a-trous
// wavelet filter (a small B-spline kernel spread wider at each of a few
// levels), guided by what the eye's rays first met. The light is filtered
// apart from the surface colour (the picture divided by the albedo, then
// multiplied by it again), so a cover's print keeps every pixel of its
// sharpness whatever the filter's reach; normals and depth keep the
// product's edges, and each pixel's own spread keeps shadow rims and
// highlights: a neighbour only counts while it differs by no more than
// the noise explains. Rows are spread over the thread pool; each pixel
// depends on the inputs alone, so any number of threads gives the same
// bytes.
#include <cstddef>
#include <vector>

// What the eye's rays first met in a pixel, the mean over its paths.
struct DenoiseGuides {
    std::vector<float> Albedo; // linear RGB per pixel, premultiplied as the picture
    std::vector<float> Normal; // xyz per pixel, towards the eye (not unit: a mean)
    std::vector<float> Depth;  // eye depth per pixel
    std::vector<float> Print;  // RGB per pixel: the albedo over the pixel's area, which the light is multiplied by
};

struct DenoiseInput {
    int Width = 0, Height = 0;
    const std::vector<float>* Colour = nullptr;   // linear premultiplied RGBA, the passes' mean
    const DenoiseGuides* Guides = nullptr;
    const std::vector<float>* Variance = nullptr; // of each pixel's mean luminance
};

// Linear premultiplied RGBA, filtered. An empty or mismatched input comes
// back as its colour.
std::vector<float> Denoise(const DenoiseInput& input);

namespace DenoiseTuning {
// The filter's levels, each a 3 x 3 kernel with its taps twice as far apart
// as the last's: its reach is 2^Levels - 1 pixels each way.
inline constexpr int Levels = 5;
// How far apart two pixels' light may be, in the noise's standard deviations.
inline constexpr float ColourSigma = 4.0f;
// Below this the albedo does not divide the light (black print).
inline constexpr float LeastAlbedo = 0.01f;
// How far apart two albedos may be (summed over the channels) before the
// light of one says little of the other's.
inline constexpr float AlbedoSigma = 1.0f;
// How far the depth may stray from the pixel's slope, in slopes.
inline constexpr float DepthSigma = 1.0f;
// How sharply the normals part: the cosine to the power 2^this.
inline constexpr int NormalPowerSquarings = 6;
} // namespace DenoiseTuning
