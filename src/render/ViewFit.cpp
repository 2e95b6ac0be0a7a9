#include "render/ViewFit.h"

#include "render/Scene.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <cstdio>
#include <cstdlib>

namespace {

// The scene's perspective.
const float FocalY = static_cast<float>(1.0 / SceneLens::TanHalfFov());
constexpr int Measurements = 24;
constexpr float CloseEnough = 0.001f; // a tenth of a percent of the picture
constexpr float FirstReach = 4.0f;
constexpr float WidestReach = 256.0f;
// The eye never comes nearer than this to the box's centre, nor farther
// than the far plane (100) allows for a box and its floor behind it.
constexpr float NearestDistance = 0.12f;
constexpr float FarthestDistance = 90.0f;

// The view's offsets as one move of the world in the eye's frame (the
// frame's eye angle turns them), and back.
Vec3 EyeTranslation(const BoxParameters& p)
{
    return ViewPoseOf(p).Translation();
}

void SetEyeTranslation(BoxParameters& p, Vec3 t)
{
    SetViewShift(p, Transposed(ViewPoseOf(p).Eye()) * t);
}

bool Clipped(const FrameBounds& b, float reach)
{
    const float edge = reach * 0.999f;
    return b.Left <= -edge || b.Right >= edge || b.Bottom <= -edge || b.Top >= edge;
}

float Aim(int marginPercent)
{
    return 2.0f * (1.0f - 2.0f * static_cast<float>(marginPercent) / 100.0f);
}

} // namespace

void FrameBounds::Add(const FrameBounds& o)
{
    if (o.Empty)
        return;
    if (Empty) {
        *this = o;
        return;
    }
    Left = std::min(Left, o.Left);
    Right = std::max(Right, o.Right);
    Bottom = std::min(Bottom, o.Bottom);
    Top = std::max(Top, o.Top);
}

float FitError(const FrameBounds& b, int marginPercent)
{
    const float margin = static_cast<float>(marginPercent) / 100.0f;
    // Each side's margin in parts of the picture.
    const float left = (b.Left + 1.0f) / 2.0f, right = (1.0f - b.Right) / 2.0f;
    const float bottom = (b.Bottom + 1.0f) / 2.0f, top = (1.0f - b.Top) / 2.0f;
    const bool wide = b.Right - b.Left >= b.Top - b.Bottom;
    const float tightA = wide ? left : bottom, tightB = wide ? right : top;
    const float otherA = wide ? bottom : left, otherB = wide ? top : right;
    return std::max({std::abs(tightA - margin), std::abs(tightB - margin), std::abs(otherA - otherB) / 2.0f});
}

namespace {

// One measured view: the world's move in the eye's frame and where the
// drawing lay.
struct Measured {
    Vec3 Move;
    FrameBounds Bounds;
};

// A side of the drawing (its extreme point) as the eye sees it: across,
// its coordinate along the side's axis, and deep, its depth coordinate, both
// in the eye's frame before the move (the point lies at across + move,
// deep + move.z).
struct SidePoint {
    float Across = 0, Deep = 0;
};

// From two views the side's point is the one both measurements agree on
// (v = focal * (across + m) / -(deep + mz) in each); from one, or when the
// two cannot tell, it is taken to lie at the depth of the box's centre.
SidePoint SideOf(float focal, float v1, float m1, float mz1, const Measured* earlier, float v0, float m0, float mz0)
{
    // focal * across + v * deep = -v * mz - focal * m
    if (earlier && std::abs(v1 - v0) > 1e-4f) {
        const float c1 = -v1 * mz1 - focal * m1, c0 = -v0 * mz0 - focal * m0;
        const float deep = (c1 - c0) / (v1 - v0);
        const float across = (c1 - v1 * deep) / focal;
        if (-(deep + mz1) > 0.05f) // in front of the eye
            return {across, deep};
    }
    return {v1 * -mz1 / focal - m1, 0.0f};
}

// The move along one axis and in depth that puts both sides of that axis at
// -aim..aim: focal * (across + m) = +-aim * -(deep + mz).
bool SolveAxis(float focal, float aim, SidePoint low, SidePoint high, float& m, float& mz)
{
    // focal * m - aim * mz = aim * low.Deep - focal * low.Across
    // focal * m + aim * mz = -aim * high.Deep - focal * high.Across
    const float a = aim * low.Deep - focal * low.Across;
    const float b = -aim * high.Deep - focal * high.Across;
    m = (a + b) / (2.0f * focal);
    mz = (b - a) / (2.0f * aim);
    return -(std::max(low.Deep, high.Deep) + mz) > 0.05f;
}

// The move along an axis that centres its two sides at this depth move.
float Centre(SidePoint low, SidePoint high, float mz)
{
    const float dl = -(low.Deep + mz), dh = -(high.Deep + mz);
    return -(low.Across / dl + high.Across / dh) / (1.0f / dl + 1.0f / dh);
}

} // namespace

FitOutcome FitView(const BoxParameters& start, int marginPercent, double aspect, const MeasureFrame& measure)
{
    FitOutcome outcome;
    outcome.View = start;
    outcome.Error = std::numeric_limits<float>::infinity();
    const float aim = Aim(marginPercent) / 2.0f; // each side's place, -aim..aim
    const float focalX = FocalY / static_cast<float>(aspect);
    BoxParameters view = start;
    float reach = FirstReach;
    bool recentred = false;
    bool zoomed = false;
    std::optional<Measured> earlier;
    for (int round = 0; round < Measurements; ++round) {
        const FrameBounds b = measure(view, reach);
        if (b.Empty && reach < 1.0f) {
            if (reach > 1.0f / WidestReach) {
                reach /= 4.0f; // maybe too small to cover a pixel: look closer
                continue;
            }
            reach = WidestReach; // nothing there either
        }
        if (b.Empty || (Clipped(b, reach) && reach < WidestReach)) {
            if (reach < WidestReach) {
                reach *= 4.0f; // cut off or out of sight: look wider
                continue;
            }
            if (!zoomed) {
                zoomed = true;
                reach = 0.25f;
                continue;
            }
            if (recentred)
                break;
            // Nothing even in the widest look (behind the eye, say): start
            // again from the box's centre straight ahead.
            recentred = true;
            earlier.reset();
            SetEyeTranslation(view, {0.0f, 0.0f, -FocalY * 2.0f});
            reach = FirstReach;
            continue;
        }
        const float error = FitError(b, marginPercent);
        if (error < outcome.Error) {
            outcome.View = view;
            outcome.Error = error;
            outcome.Found = true;
        }
        if (error <= CloseEnough)
            break;

        // Each side's extreme point from this view and the one before (a
        // secant step: a floor reaching out toward the eye grows faster
        // than the box as the eye comes nearer), then the move that puts
        // the tight axis's sides at the margin and centres the other.
        const Measured now{EyeTranslation(view), b};
        const Measured* before = earlier ? &*earlier : nullptr;
        const FrameBounds& p = before ? before->Bounds : b;
        const Vec3 pm = before ? before->Move : now.Move;
        const Vec3 m = now.Move;
        const SidePoint left = SideOf(focalX, b.Left, m.x, m.z, before, p.Left, pm.x, pm.z);
        const SidePoint right = SideOf(focalX, b.Right, m.x, m.z, before, p.Right, pm.x, pm.z);
        const SidePoint bottom = SideOf(FocalY, b.Bottom, m.y, m.z, before, p.Bottom, pm.y, pm.z);
        const SidePoint top = SideOf(FocalY, b.Top, m.y, m.z, before, p.Top, pm.y, pm.z);
        Vec3 byWidth, byHeight;
        const bool wideOk = SolveAxis(focalX, aim, left, right, byWidth.x, byWidth.z);
        const bool tallOk = SolveAxis(FocalY, aim, bottom, top, byHeight.y, byHeight.z);
        Vec3 t;
        if (wideOk || tallOk) {
            // The axis that needs the eye farther is the tight one; the
            // other then fits inside its margin.
            const bool wide = wideOk && (!tallOk || byWidth.z <= byHeight.z);
            t.z = wide ? byWidth.z : byHeight.z;
            t.x = wide ? byWidth.x : Centre(left, right, t.z);
            t.y = wide ? Centre(bottom, top, t.z) : byHeight.y;
        } else {
            t = m; // no sound step: as if flat at the box's centre
            const float distance = std::max(-t.z, NearestDistance);
            t.x -= (b.Left + b.Right) / 2.0f * distance / focalX;
            t.y -= (b.Bottom + b.Top) / 2.0f * distance / FocalY;
            t.z = -distance * std::max(b.Right - b.Left, b.Top - b.Bottom) / (2.0f * aim);
        }
        t.z = -std::clamp(-t.z, NearestDistance, FarthestDistance);
        earlier = now;
        SetEyeTranslation(view, t);
        // Where it should now lie, and a little more.
        reach = std::max(1.02f, 1.1f * aim);
    }
    if (!outcome.Found)
        outcome.Error = 0;
    return outcome;
}
