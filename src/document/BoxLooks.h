#pragma once
// The studio looks drawn on top of the classic picture. Every value at its
// default is the classic picture, byte for byte.
#include <array>

namespace LookLimits {
inline constexpr int MinStrength = 0;
inline constexpr int MaxStrength = 100;
// What a bare --shadow / --reflection / --light (no value) asks for.
inline constexpr int DefaultShadow = 60;
inline constexpr int DefaultSoftness = 50;
inline constexpr int DefaultReflection = 30;
inline constexpr int DefaultLight = 50;
// Anti-aliasing samples per pixel: beyond what the GL multisamples, the
// picture is drawn larger and filtered down.
inline constexpr std::array<int, 6> SampleCounts = {1, 2, 4, 8, 16, 32};
// The lens as a full-frame camera's focal length, in millimetres. 0 keeps
// the classic field of view (45 degrees top to bottom, about 29 mm).
inline constexpr int ClassicLens = 0;
inline constexpr int MinLensMm = 24;
inline constexpr int MaxLensMm = 200;

inline constexpr bool IsSampleCount(int n)
{
    for (int count : SampleCounts)
        if (count == n)
            return true;
    return false;
}
} // namespace LookLimits

struct BoxLooks {
    int Shadow = 0;          // ground shadow strength 0..100; 0 draws none
    int ShadowSoftness = LookLimits::DefaultSoftness; // 0 (hard) .. 100 (soft)
    int Reflection = 0;      // floor reflection strength 0..100
    int Light = 0;           // directional light 0..100; 0 is the classic flat light
    bool SmoothTextures = false; // mipmapped, trilinear, anisotropic
    int Samples = 1;         // one of LookLimits::SampleCounts
    int LensMm = LookLimits::ClassicLens; // 0, or MinLensMm..MaxLensMm: the product keeps its size

    bool operator==(const BoxLooks&) const = default;

    // True when the picture is the classic one whatever the other values say.
    bool AllOff() const
    {
        return Shadow == 0 && Reflection == 0 && Light == 0 && !SmoothTextures && Samples == 1 &&
               LensMm == LookLimits::ClassicLens;
    }
};
