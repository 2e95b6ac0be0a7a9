#pragma once
// The covers' material: a diffuse base under an optional clear coat. The coat
// is a rough dielectric (GGX microfacets with Fresnel, index 1.5); what it
// reflects the base never receives, so a white coated cover reflects no more
// than it is lit with (the base is scaled by one minus the coat's
// directional albedo on the way in and out, normalised by its mean).
// Directions are in the surface's local frame, z along the normal.
#include "raytrace/RayMath.h"

#include <array>

struct MaterialSample {
    Vec3 Direction;
    Vec3 Weight;      // f * cos / pdf
    float Pdf = 0;  // solid angle
    bool Valid = false;
};

struct MaterialValue {
    Vec3 F;           // the BRDF
    float Pdf = 0;  // of Sample() choosing that direction
};

class GlossCoat {
public:
    // gloss 0..100: 0 is no coat (plain diffuse), 1 a very rough coat, 100 a sharp one.
    explicit GlossCoat(int gloss);
    // The uncoated diffuse material.
    static const GlossCoat& Plain();

    bool HasCoat() const { return roughness_ > 0; }
    float Roughness() const { return roughness_; }
    // The coat's directional albedo for a view at cos theta = mu.
    float CoatAlbedo(float mu) const;

    MaterialValue Evaluate(Vec3 base, Vec3 wo, Vec3 wi) const;
    // u: three uniform numbers in [0, 1).
    MaterialSample Sample(Vec3 base, Vec3 wo, const float u[3]) const;

    // The coat alone (no base), for the tests and for the table.
    float CoatBrdf(Vec3 wo, Vec3 wi) const;

private:
    float CoatPdf(Vec3 wo, Vec3 wi) const;
    float CoatChance(Vec3 base, float mu) const;
    float BaseScale(float muO, float muI) const;

    float roughness_ = 0; // GGX alpha; 0 without a coat
    static constexpr int TableSize = 32;
    std::array<float, TableSize> albedo_{};
    float meanAlbedo_ = 0;
};
