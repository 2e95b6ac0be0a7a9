#pragma once
// One sample of a pixel: the product's light transport in the studio of
// StudioLightFor (a soft key light and a dim fill, both far off discs, over
// an even environment) with the floor the box stands on. Seen directly, the
// floor is a shadow catcher: it shows the background colour darkened by
// what the product takes of its light (or, transparent, that as alpha), and
// mirrors the product as the reflection look asks.
#include "document/BoxParameters.h"
#include "raytrace/CoverTexels.h"
#include "raytrace/GlossCoat.h"
#include "raytrace/RayProduct.h"
#include "raytrace/RayScene.h"
#include "raytrace/RaySampler.h"
#include "raytrace/ThinLens.h"

#include <cstdint>
#include <vector>

struct RaySettings {
    int Passes = 0;            // 0: DefaultPasses
    std::uint32_t Seed = 1;
    int Gloss = 0;             // 0..100, the one box's (a RayProduct's boxes carry their own)
    bool Transparent = false;
    double TimeLimit = 0;      // seconds; 0: none
    bool Adaptive = true;      // converged pixels stop before the last pass
    // For testing the light transport on its own.
    bool Floor = true;
    bool Lights = true;        // key and fill; the environment always
    bool WhiteCovers = false;  // every surface a white diffuse one
    float Exposure = 0;        // 0: a white face to the eye under the key shows white
    bool Denoise = false;      // RayRender::Result filters the grain (Denoiser); the engine's default is on
    float FNumber = 0;         // depth of field: the lens open at f/FNumber; 0 a pinhole
};

// Premultiplied, linear light.
struct RaySample {
    Vec3 Colour;
    float Alpha = 0;
};

// What the eye's ray first met, for the denoiser: the colour of the surface
// (premultiplied as the sample; a mirroring floor's mixes in the product it
// mirrors), its normal towards the eye and its eye depth; and the colour
// over the pixel's area, the print read at four points of the face the ray
// met, so its edges come out as finely as four times the passes would
// draw them.
struct RayGuide {
    Vec3 Albedo;
    Vec3 Normal{0, 0, 1};
    float Depth = 0;
    Vec3 Print;
};

class PathTracer {
public:
    // `boxes` give the covers and coat of the scene's parts by their Group;
    // `p` is the scene's view (RayProduct::SceneView).
    PathTracer(const RayScene& scene, const std::vector<RayBox>& boxes, const BoxParameters& p,
               const RaySettings& settings, int width, int height);

    // `guide`, when given, is told what the eye's ray met; it takes no
    // numbers of the pixel's, so the sample is the same without it.
    RaySample Pixel(int x, int y, std::uint32_t pass, RayGuide* guide = nullptr) const;

    float Exposure() const { return exposure_; }

private:
    struct Light {
        Vec3 Direction;
        float CosMax = 1, SolidAngle = 0, Radiance = 0, Chance = 0;
    };
    struct Surface {
        Vec3 Albedo;
        const GlossCoat* Coat = nullptr; // none: plain diffuse
    };

    Surface SurfaceAt(const RayHit& hit) const;
    // The albedo over the pixel's area, read at four points of the face the
    // eye's ray at (x + jx, y + jy) hit, in the pass's share of the pixel's
    // area sequence.
    Vec3 PrintOverPixel(const RayHit& hit, Vec3 albedo, int x, int y, float jx, float jy, std::uint32_t pass) const;
    // The radiance leaving a product surface back along `direction` (camera units).
    Vec3 ProductRadiance(const RayHit& hit, Vec3 direction, RaySampler& sampler) const;
    // Light arriving from a direction that leaves the scene.
    Vec3 Sky(Vec3 direction, float materialPdf, bool specular) const;
    Vec3 DirectLight(Vec3 at, const Frame& frame, Vec3 wo, const Surface& surface, RaySampler& sampler) const;
    bool FloorBlocks(Vec3 at, Vec3 direction) const;
    bool FloorHit(Vec3 origin, Vec3 direction, float& distance) const;
    RaySample Catcher(Vec3 origin, Vec3 eyeDirection, float distance, RaySampler& sampler, RayGuide* guide) const;
    // Where the eye's ray through picture point (px, py) starts and which way
    // it goes: from the pinhole, or through a point of the open lens towards
    // where the pinhole's ray meets the plane in focus.
    void EyeRay(float px, float py, RaySampler& sampler, Vec3& origin, Vec3& direction) const;
    // The lens at f/fNumber, focused on the product's front.
    void OpenLens(const RayScene& scene, float fNumber);
    Vec3 Fogged(Vec3 colour, float depth) const;
    // What a light adds to a surface facing `normal`, unshadowed (radiance per albedo).
    float Unshadowed(const Light& light, Vec3 normal) const;

    const RayScene& scene_;
    const std::vector<RayBox>& boxes_;
    RaySettings settings_;
    RayCamera camera_;
    std::vector<GlossCoat> coats_; // per box
    Light lights_[2];
    int lightCount_ = 0;
    float environment_ = 0;
    float exposure_ = 1;
    float mirror_ = 0;      // the floor's mirror share
    float mirrorFade_ = 1;  // the height above the floor where the reflection is gone, as the raster's
    bool floor_ = false;
    Vec3 floorAlbedo_;
    Vec3 background_;         // linear
    std::uint8_t fogMode_ = 0;
    float offset_ = 1e-4f;
    ThinLens lens_; // a pinhole unless the settings open it
    // The background quad's reach in the eye frame.
    float backHalfWidth_ = 30, backHalfHeight_ = 30, backZ_ = -60;
};
