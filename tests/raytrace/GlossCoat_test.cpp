// The covers' coat reflects no more light than reaches it, at every angle
// and roughness, and its sampling agrees with its evaluation.
#include "raytrace/GlossCoat.h"
#include "raytrace/RaySampler.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The hemispherical reflectance of the whole material (white base) for a
// view at cos theta = mu, by a fine grid over the cosine-weighted hemisphere.
double Reflectance(const GlossCoat& coat, Vec3 base, float mu)
{
    const Vec3 wo{std::sqrt(1 - mu * mu), 0, mu};
    constexpr int N = 250;
    double sum = 0;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            const float u = (i + 0.5f) / N, v = (j + 0.5f) / N;
            const float r = std::sqrt(u), phi = 2 * Pi * v;
            const Vec3 wi{r * std::cos(phi), r * std::sin(phi), std::sqrt(1 - u)};
            // Cosine sampling: f * cos / (cos / pi).
            sum += Luminance(coat.Evaluate(base, wo, wi).F) * Pi;
        }
    return sum / (N * N);
}

// The mean of the sampled weights: what one bounce carries on.
double SampledReflectance(const GlossCoat& coat, Vec3 base, float mu)
{
    const Vec3 wo{std::sqrt(1 - mu * mu), 0, mu};
    double sum = 0;
    constexpr int N = 40000;
    for (int i = 0; i < N; ++i) {
        RaySampler s(11, static_cast<std::uint32_t>(i), 0);
        const float u[3] = {s.Next(), s.Next(), s.Next()};
        const MaterialSample m = coat.Sample(base, wo, u);
        if (m.Valid)
            sum += Luminance(m.Weight);
    }
    return sum / N;
}

} // namespace

TEST(GlossCoatTest, AWhiteCoatedSurfaceReflectsAtMostWhatReachesItAtEveryAngleAndGloss)
{
    for (int gloss : {1, 30, 60, 100}) {
        const GlossCoat coat(gloss);
        ASSERT_TRUE(coat.HasCoat());
        for (float mu : {0.05f, 0.2f, 0.5f, 0.8f, 1.0f}) {
            const double total = Reflectance(coat, {1, 1, 1}, mu);
            EXPECT_LE(total, 1.01) << "gloss " << gloss << " mu " << mu;
            // Little is lost either: the base takes what the coat does not reflect.
            if (gloss < 100) { // a sharp coat's peak falls between the grid's cells
                EXPECT_GE(total, 0.85) << "gloss " << gloss << " mu " << mu;
            }
            // Reflected by the coat and passed on to the base never exceed one.
            EXPECT_LE(coat.CoatAlbedo(mu), 1.0f);
            EXPECT_GT(coat.CoatAlbedo(mu), 0.0f);
        }
    }
}

TEST(GlossCoatTest, SamplingCarriesWhatTheMaterialReflects)
{
    for (int gloss : {0, 20, 80, 100}) {
        const GlossCoat coat(gloss);
        for (float mu : {0.1f, 0.5f, 0.95f}) {
            const double sampled = SampledReflectance(coat, {1, 1, 1}, mu);
            EXPECT_LE(sampled, 1.02) << "gloss " << gloss << " mu " << mu;
            EXPECT_GE(sampled, 0.85) << "gloss " << gloss << " mu " << mu;
            if (gloss < 80) {
                EXPECT_NEAR(sampled, Reflectance(coat, {1, 1, 1}, mu), 0.03) << "gloss " << gloss << " mu " << mu;
            }
        }
    }
}

TEST(GlossCoatTest, NoGlossIsPlainLambertAndMoreGlossIsSharper)
{
    const GlossCoat plain(0);
    EXPECT_FALSE(plain.HasCoat());
    const Vec3 wo{0, 0, 1}, wi{0.6f, 0, 0.8f};
    EXPECT_NEAR(plain.Evaluate({0.5f, 0.5f, 0.5f}, wo, wi).F.x, 0.5f / Pi, 1e-6f);
    EXPECT_GT(GlossCoat(10).Roughness(), GlossCoat(90).Roughness());
    // The mirror direction of a grazing view: the sharp coat's peak is higher.
    const Vec3 view{0.8f, 0, 0.6f}, mirror{-0.8f, 0, 0.6f};
    EXPECT_GT(GlossCoat(100).CoatBrdf(view, mirror), 10 * GlossCoat(20).CoatBrdf(view, mirror));
}
