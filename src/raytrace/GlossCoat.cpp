#include "raytrace/GlossCoat.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float Ior = 1.5f;

// Exact dielectric Fresnel reflectance, unpolarised, from outside.
float Fresnel(float cosI)
{
    cosI = std::clamp(cosI, 0.0f, 1.0f);
    const float sin2T = (1.0f - cosI * cosI) / (Ior * Ior);
    const float cosT = std::sqrt(std::max(0.0f, 1.0f - sin2T));
    const float rs = (cosI - Ior * cosT) / (cosI + Ior * cosT);
    const float rp = (Ior * cosI - cosT) / (Ior * cosI + cosT);
    return 0.5f * (rs * rs + rp * rp);
}

float GgxD(float cosH, float a)
{
    const float a2 = a * a;
    const float d = cosH * cosH * (a2 - 1.0f) + 1.0f;
    return a2 / (Pi * d * d);
}

float SmithG1(float cosV, float a)
{
    const float c2 = cosV * cosV;
    const float tan2 = std::max(0.0f, 1.0f - c2) / std::max(c2, 1e-12f);
    return 2.0f / (1.0f + std::sqrt(1.0f + a * a * tan2));
}

} // namespace

GlossCoat::GlossCoat(int gloss)
{
    gloss = std::clamp(gloss, 0, 100);
    if (gloss == 0)
        return;
    // Rough (alpha 0.5) to sharp (0.02), even steps in the square root.
    const float g = static_cast<float>(gloss) / 100.0f;
    const float r = 0.71f + (0.14f - 0.71f) * g;
    roughness_ = r * r;
    // The directional albedo by numeric integration over a fixed grid: the
    // same table for the same gloss on every run.
    constexpr int Steps = 96;
    float mean = 0;
    for (int i = 0; i < TableSize; ++i) {
        const float mu = (static_cast<float>(i) + 0.5f) / TableSize;
        const Vec3 wo{std::sqrt(1.0f - mu * mu), 0.0f, mu};
        double sum = 0;
        for (int a = 0; a < Steps; ++a)
            for (int b = 0; b < Steps; ++b) {
                const float u[3] = {0.5f, (static_cast<float>(a) + 0.5f) / Steps, (static_cast<float>(b) + 0.5f) / Steps};
                // Importance-sampled coat only.
                const float phi = 2.0f * Pi * u[1];
                const float a2 = roughness_ * roughness_;
                const float cos2 = (1.0f - u[2]) / (1.0f + (a2 - 1.0f) * u[2]);
                const float cosH = std::sqrt(cos2), sinH = std::sqrt(std::max(0.0f, 1.0f - cos2));
                const Vec3 h{sinH * std::cos(phi), sinH * std::sin(phi), cosH};
                const Vec3 wi = h * (2.0f * Dot(wo, h)) - wo;
                if (wi.z <= 0)
                    continue;
                const float pdf = CoatPdf(wo, wi);
                if (pdf > 0)
                    sum += CoatBrdf(wo, wi) * wi.z / pdf;
            }
        albedo_[static_cast<std::size_t>(i)] = std::min(1.0f, static_cast<float>(sum / (Steps * Steps)));
        mean += albedo_[static_cast<std::size_t>(i)] * mu;
    }
    meanAlbedo_ = std::min(0.99f, 2.0f * mean / TableSize);
}

const GlossCoat& GlossCoat::Plain()
{
    static const GlossCoat plain(0);
    return plain;
}

float GlossCoat::CoatAlbedo(float mu) const
{
    if (!HasCoat())
        return 0;
    const float x = std::clamp(mu, 0.0f, 1.0f) * TableSize - 0.5f;
    const int i = std::clamp(static_cast<int>(std::floor(x)), 0, TableSize - 2);
    const float f = std::clamp(x - static_cast<float>(i), 0.0f, 1.0f);
    return albedo_[static_cast<std::size_t>(i)] * (1 - f) + albedo_[static_cast<std::size_t>(i + 1)] * f;
}

float GlossCoat::CoatBrdf(Vec3 wo, Vec3 wi) const
{
    if (!HasCoat() || wo.z <= 0 || wi.z <= 0)
        return 0;
    const Vec3 h = Normalized(wo + wi);
    const float d = GgxD(h.z, roughness_);
    const float g = SmithG1(wo.z, roughness_) * SmithG1(wi.z, roughness_);
    return Fresnel(Dot(wi, h)) * d * g / (4.0f * wo.z * wi.z);
}

float GlossCoat::CoatPdf(Vec3 wo, Vec3 wi) const
{
    const Vec3 h = Normalized(wo + wi);
    const float oh = Dot(wo, h);
    if (oh <= 0)
        return 0;
    return GgxD(h.z, roughness_) * h.z / (4.0f * oh);
}

float GlossCoat::BaseScale(float muO, float muI) const
{
    if (!HasCoat())
        return 1;
    return (1.0f - CoatAlbedo(muO)) * (1.0f - CoatAlbedo(muI)) / (1.0f - meanAlbedo_);
}

float GlossCoat::CoatChance(Vec3 base, float mu) const
{
    if (!HasCoat())
        return 0;
    const float coat = CoatAlbedo(mu);
    const float under = (1.0f - coat) * std::max(Luminance(base), 0.05f);
    return std::clamp(coat / (coat + under), 0.1f, 0.9f);
}

MaterialValue GlossCoat::Evaluate(Vec3 base, Vec3 wo, Vec3 wi) const
{
    if (wo.z <= 0 || wi.z <= 0)
        return {};
    const float scale = BaseScale(wo.z, wi.z) / Pi;
    MaterialValue v;
    v.F = base * scale;
    const float chance = CoatChance(base, wo.z);
    v.Pdf = (1.0f - chance) * wi.z / Pi;
    if (HasCoat()) {
        const float coat = CoatBrdf(wo, wi);
        v.F += Vec3{coat, coat, coat};
        v.Pdf += chance * CoatPdf(wo, wi);
    }
    return v;
}

MaterialSample GlossCoat::Sample(Vec3 base, Vec3 wo, const float u[3]) const
{
    MaterialSample s;
    if (wo.z <= 0)
        return s;
    const float chance = CoatChance(base, wo.z);
    Vec3 wi;
    if (u[0] < chance) {
        const float phi = 2.0f * Pi * u[1];
        const float a2 = roughness_ * roughness_;
        const float cos2 = (1.0f - u[2]) / (1.0f + (a2 - 1.0f) * u[2]);
        const float cosH = std::sqrt(cos2), sinH = std::sqrt(std::max(0.0f, 1.0f - cos2));
        const Vec3 h{sinH * std::cos(phi), sinH * std::sin(phi), cosH};
        wi = h * (2.0f * Dot(wo, h)) - wo;
    } else {
        // Cosine-weighted, by the concentric-free polar map.
        const float r = std::sqrt(u[1]), phi = 2.0f * Pi * u[2];
        wi = {r * std::cos(phi), r * std::sin(phi), std::sqrt(std::max(0.0f, 1.0f - u[1]))};
    }
    if (wi.z <= 0)
        return s;
    const MaterialValue v = Evaluate(base, wo, wi);
    if (v.Pdf <= 0)
        return s;
    s.Direction = wi;
    s.Pdf = v.Pdf;
    s.Weight = v.F * (wi.z / v.Pdf);
    s.Valid = true;
    return s;
}
