#pragma once
// The product's shape beyond the classic sharp block. Every value at its
// default is the classic box, so the classic picture and project bytes stay
// exactly as they were.

namespace ShapeLimits {
// Edge radius in the units the size labels show (a half extent times 100);
// the drawing clamps it to the thinnest half extent.
inline constexpr float MinEdgeRadius = 0.0f;
inline constexpr float MaxEdgeRadius = 100.0f;
} // namespace ShapeLimits

struct BoxShape {
    float EdgeRadius = 0.0f; // 0: the classic sharp edges
    bool BookPages = false;  // the book kinds drawn with page block, boards and hinge

    bool operator==(const BoxShape&) const = default;

    bool AllOff() const { return EdgeRadius <= 0.0f && !BookPages; }
};
