#pragma once
// How the project's final picture is made: the raster of the live view
// (the classic picture) or the ray tracer, with its passes, the covers'
// gloss and whether its grain is filtered away. The live view is always the raster; this is what "Write", "Save
// image as" and the command line's picture use. Every value at its default
// is the classic picture and the classic project bytes.

namespace EngineLimits {
// Enough for a clean product picture; the ray tracer's own default.
inline constexpr int DefaultPasses = 24;
inline constexpr int MinPasses = 1;
inline constexpr int MaxPasses = 100000;
inline constexpr int MinGloss = 0;
inline constexpr int MaxGloss = 100;
// The ray tracer's depth of field: the lens opened to an f-number, focused
// on the product's front face; 0 keeps everything sharp.
inline constexpr double NoDepthOfField = 0;
inline constexpr double MinFNumber = 1.0;
inline constexpr double MaxFNumber = 32.0;
} // namespace EngineLimits

struct BoxEngine {
    bool RayTraced = false;
    int Passes = EngineLimits::DefaultPasses;
    int Gloss = 0; // clear coat on the covers, 0 (none) .. 100 (sharp)
    bool Denoise = true; // the ray tracer's picture denoised; the raster has no grain
    double FNumber = EngineLimits::NoDepthOfField; // or MinFNumber..MaxFNumber, in tenths

    bool operator==(const BoxEngine&) const = default;
};
