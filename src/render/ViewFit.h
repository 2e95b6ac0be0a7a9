#pragma once
// Framing that fits: the view moved (its depth and its two offsets, never
// its angles) so that everything a frame draws, shadow and reflection
// included, sits in the picture with a margin on its tightest side and is
// centred on the other. The product is measured as drawn, whatever its
// shape, so the solver only sees where a frame's drawing lies.
#include "document/BoxParameters.h"

#include <functional>
#include <utility>
#include <vector>

namespace FitLimits {
// Percent of the picture's width (left and right) and height (top and bottom).
inline constexpr int MinMargin = 0;
inline constexpr int MaxMargin = 45;
inline constexpr int DefaultMargin = 8;
} // namespace FitLimits

struct FitRequest {
    int MarginPercent = FitLimits::DefaultMargin;
    // The side and tilt angles of every frame one framing must hold (a
    // turntable's); empty: the view's own.
    std::vector<std::pair<float, float>> Angles;
};

// Where a frame's drawing lies in the picture's normalised coordinates
// (-1..1 across the real picture, x right, y up); it may reach beyond.
struct FrameBounds {
    bool Empty = true;
    float Left = 0, Right = 0, Bottom = 0, Top = 0;

    void Add(const FrameBounds& other);
};

// One measurement of a view. The measured picture reaches `reach` times
// as far as the real one on every side (1: the real picture), so that a
// product the view cuts off is still seen whole.
using MeasureFrame = std::function<FrameBounds(const BoxParameters& view, float reach)>;

struct FitOutcome {
    BoxParameters View;
    bool Found = false; // false: nothing was drawn in any view tried; View is the start
    float Error = 0;    // of the last measurement, in parts of the picture
};

// aspect: the picture's width / height. Stops within a tenth of a percent
// of the picture or after a few rounds, keeping the best view measured.
FitOutcome FitView(const BoxParameters& start, int marginPercent, double aspect, const MeasureFrame& measure);

// How far a measurement lies from a centred frame with the margin on its
// tightest side, in parts of the picture (0: exactly there).
float FitError(const FrameBounds& bounds, int marginPercent);
