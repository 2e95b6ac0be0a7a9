#include "raytrace/PathTracer.h"

#include "render/StudioLight.h"
#include "render/StudioLooks.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr int MaxBounces = 6;
// The fill has no size of its own in the studio: a broad one, so that it
// only lifts the shadowed sides.
constexpr float FillAngularRadius = 0.35f;

Vec3 Linear(float r, float g, float b)
{
    const auto one = [](float v) { return DecodeSrgb(static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f))); };
    return {one(r), one(g), one(b)};
}

Vec3 ConeDirection(Vec3 axis, float cosMax, float u, float v)
{
    const float cosT = 1.0f - u * (1.0f - cosMax);
    const float sinT = std::sqrt(std::max(0.0f, 1.0f - cosT * cosT));
    const float phi = 2.0f * Pi * v;
    return Frame(axis).ToWorld({sinT * std::cos(phi), sinT * std::sin(phi), cosT});
}

Vec3 CosineDirection(const Frame& frame, float u, float v)
{
    const float r = std::sqrt(u), phi = 2.0f * Pi * v;
    return frame.ToWorld({r * std::cos(phi), r * std::sin(phi), std::sqrt(std::max(0.0f, 1.0f - u))});
}

float PowerHeuristic(float a, float b)
{
    return a * a / (a * a + b * b);
}

} // namespace

PathTracer::PathTracer(const RayScene& scene, const std::vector<RayBox>& boxes, const BoxParameters& p,
                       const RaySettings& settings, int width, int height)
    : scene_(scene), boxes_(boxes), settings_(settings), camera_(width, height, scene.View().Camera.TanHalf)
{
    if (boxes.empty())
        throw std::invalid_argument("the ray tracer needs a box");
    for (const RayBox& box : boxes)
        coats_.emplace_back(box.Gloss);
    const StudioLight studio = StudioLightFor(p);
    environment_ = studio.EnvironmentRadiance;
    if (settings.Lights) {
        const auto add = [&](Vec3 direction, float radius, float radiance) {
            Light& light = lights_[lightCount_++];
            light.Direction = Normalized({direction.x, direction.y, direction.z});
            light.CosMax = std::cos(radius);
            light.SolidAngle = 2.0f * Pi * (1.0f - light.CosMax);
            light.Radiance = radiance;
        };
        add(studio.KeyDirection, studio.KeyAngularRadius, studio.KeyRadiance);
        add(studio.FillDirection, FillAngularRadius, studio.FillRadiance);
        float power = 0;
        for (int i = 0; i < lightCount_; ++i)
            power += lights_[i].Radiance * lights_[i].SolidAngle;
        for (int i = 0; i < lightCount_; ++i)
            lights_[i].Chance = lights_[i].Radiance * lights_[i].SolidAngle / power;
    }
    float white = environment_;
    for (int i = 0; i < lightCount_; ++i)
        white += Unshadowed(lights_[i], {0, 0, 1});
    exposure_ = settings.Exposure > 0 ? settings.Exposure : 1.0f / white;
    if (settings.FNumber > 0)
        OpenLens(scene, settings.FNumber);

    background_ = Linear(p.BackgroundRed, p.BackgroundGreen, p.BackgroundBlue);
    fogMode_ = p.FogMode;
    mirror_ = std::clamp(static_cast<float>(p.Looks.Reflection) / 100.0f, 0.0f, 1.0f);
    if (mirror_ > 0)
        mirrorFade_ = std::max(ReflectionFadeHeight(PoseOf(p, 0, &scene.Mesh())), 1e-6f);
    offset_ = 2e-4f * scene.Scale;
    // The floor only where the eye looks down onto it.
    floor_ = settings.Floor && Dot(Vec3{} - scene.FloorPoint, scene.FloorNormal) > offset_;
    float floorLight = environment_;
    for (int i = 0; i < lightCount_; ++i)
        floorLight += Unshadowed(lights_[i], scene.FloorNormal);
    // The floor reflects what makes it look the background's colour in the picture.
    const float scale = 1.0f / (exposure_ * floorLight);
    floorAlbedo_ = {std::min(background_.x * scale, 0.9f), std::min(background_.y * scale, 0.9f),
                    std::min(background_.z * scale, 0.9f)};

    const BackgroundQuad& quad = scene.View().Background;
    backHalfWidth_ = quad.HalfWidth;
    backHalfHeight_ = quad.HalfHeight;
    backZ_ = quad.Z;
}

float PathTracer::Unshadowed(const Light& light, Vec3 normal) const
{
    return light.Radiance * light.SolidAngle / Pi * std::max(0.0f, Dot(light.Direction, normal));
}

PathTracer::Surface PathTracer::SurfaceAt(const RayHit& hit) const
{
    const MeshPart& part = scene_.Part(hit.Part);
    // A bundle's part is its box's; anything else the first box's.
    const std::size_t box = part.Group > 0 && static_cast<std::size_t>(part.Group) < boxes_.size()
                                ? static_cast<std::size_t>(part.Group)
                                : 0;
    const GlossCoat* coat = &coats_[box];
    if (settings_.WhiteCovers)
        return {{1, 1, 1}, coat};
    const RayCovers& covers = boxes_[box].Covers;
    switch (part.Surface) {
    case MeshSurface::Cover: {
        const bool turned = part.Side == BoxSide::Bottom && covers.HasOwn(BoxSide::Bottom);
        const CoverTexels* texels = covers.OfSide(part.Side);
        if (!texels)
            return {{1, 1, 1}, coat};
        return {turned ? texels->Sample(1.0f - hit.S, 1.0f - hit.T) : texels->Sample(hit.S, hit.T), coat};
    }
    case MeshSurface::PageEdges:
        return {covers.PageEdges ? covers.PageEdges->Sample(hit.S, hit.T) : Vec3{1, 1, 1}, nullptr};
    case MeshSurface::Plain: return {Linear(part.Red, part.Green, part.Blue), nullptr};
    }
    return {{1, 1, 1}, nullptr};
}

bool PathTracer::FloorBlocks(Vec3 at, Vec3 direction) const
{
    return floor_ && Dot(direction, scene_.FloorNormal) < 0 &&
           Dot(at - scene_.FloorPoint, scene_.FloorNormal) > -offset_;
}

bool PathTracer::FloorHit(Vec3 origin, Vec3 direction, float& distance) const
{
    const float facing = Dot(direction, scene_.FloorNormal);
    if (!floor_ || facing >= 0)
        return false;
    distance = Dot(scene_.FloorPoint - origin, scene_.FloorNormal) / facing;
    return distance > 0;
}

Vec3 PathTracer::Sky(Vec3 direction, float materialPdf, bool specular) const
{
    Vec3 light{environment_, environment_, environment_};
    for (int i = 0; i < lightCount_; ++i) {
        const Light& l = lights_[i];
        if (Dot(direction, l.Direction) < l.CosMax)
            continue;
        const float weight = specular ? 1.0f : PowerHeuristic(materialPdf, l.Chance / l.SolidAngle);
        light += Vec3{l.Radiance, l.Radiance, l.Radiance} * weight;
    }
    return light;
}

Vec3 PathTracer::DirectLight(Vec3 at, const Frame& frame, Vec3 wo, const Surface& surface, RaySampler& sampler) const
{
    float u = 0, v = 0;
    sampler.Next2(u, v);
    const float pick = sampler.Next();
    if (lightCount_ == 0)
        return {};
    const int index = lightCount_ > 1 && pick >= lights_[0].Chance ? 1 : 0;
    const Light& light = lights_[index];
    const Vec3 direction = ConeDirection(light.Direction, light.CosMax, u, v);
    const Vec3 wi = frame.ToLocal(direction);
    if (wi.z <= 0)
        return {};
    const GlossCoat& material = surface.Coat ? *surface.Coat : GlossCoat::Plain();
    const MaterialValue value = material.Evaluate(surface.Albedo, wo, wi);
    if (value.Pdf <= 0 && MaxOf(value.F) <= 0)
        return {};
    if (FloorBlocks(at, direction) || scene_.Occluded(at, direction, 0, 1e30f))
        return {};
    const float lightPdf = light.Chance / light.SolidAngle;
    const float weight = PowerHeuristic(lightPdf, value.Pdf);
    return value.F * (light.Radiance * wi.z * weight / lightPdf);
}

Vec3 PathTracer::ProductRadiance(const RayHit& first, Vec3 direction, RaySampler& sampler) const
{
    Vec3 radiance, throughput{1, 1, 1};
    RayHit hit = first;
    bool onFloor = false;
    Vec3 floorAt;
    for (int bounce = 0; bounce < MaxBounces; ++bounce) {
        const Surface surface = onFloor ? Surface{floorAlbedo_, nullptr} : SurfaceAt(hit);
        const Vec3 normal = onFloor ? scene_.FloorNormal : hit.Normal;
        const Vec3 geometric = onFloor ? scene_.FloorNormal : hit.GeometricNormal;
        const Vec3 at = (onFloor ? floorAt : hit.Position) + geometric * offset_;
        const Frame frame(normal);
        const Vec3 wo = frame.ToLocal(-direction);
        if (wo.z <= 0)
            break;
        radiance += throughput * DirectLight(at, frame, wo, surface, sampler);
        float u[3] = {sampler.Next(), 0, 0};
        sampler.Next2(u[1], u[2]);
        const GlossCoat& material = surface.Coat ? *surface.Coat : GlossCoat::Plain();
        const MaterialSample s = material.Sample(surface.Albedo, wo, u);
        if (!s.Valid)
            break;
        throughput = throughput * s.Weight;
        direction = frame.ToWorld(s.Direction);
        if (bounce >= 2) {
            const float keep = std::min(0.95f, MaxOf(throughput));
            if (sampler.Next() >= keep)
                break;
            throughput = throughput * (1.0f / keep);
        }
        float floorDistance = 0;
        const bool floorAhead = FloorHit(at, direction, floorDistance);
        if (scene_.Intersect(at, direction, 0, floorAhead ? floorDistance : 1e30f, hit)) {
            onFloor = false;
            continue;
        }
        if (floorAhead) {
            onFloor = true;
            floorAt = at + direction * floorDistance;
            continue;
        }
        radiance += throughput * Sky(direction, s.Pdf, false);
        break;
    }
    return radiance;
}

Vec3 PathTracer::Fogged(Vec3 colour, float depth) const
{
    float f = 1;
    switch (fogMode_) {
    case 1: f = (5.0f - depth) / 4.0f; break;
    case 2: f = std::exp(-(0.35f * depth) * (0.35f * depth)); break;
    case 3: f = std::exp(-0.35f * depth); break;
    default: return colour;
    }
    f = std::clamp(f, 0.0f, 1.0f);
    const float fog = 0.01f / 12.92f; // the raster's fog colour, in linear light
    return colour * f + Vec3{fog, fog, fog} * (1.0f - f);
}

RaySample PathTracer::Catcher(Vec3 origin, Vec3 eye, float distance, RaySampler& sampler, RayGuide* guide) const
{
    const Vec3 n = scene_.FloorNormal;
    const Vec3 at = origin + eye * distance + n * offset_;
    const Frame frame(n);
    // What reaches this point of the floor, against what would without the product.
    Vec3 reaching;
    float open = environment_;
    for (int i = 0; i < lightCount_; ++i) {
        const Light& light = lights_[i];
        const float full = Unshadowed(light, n);
        open += full;
        float u = 0, v = 0;
        sampler.Next2(u, v);
        const Vec3 direction = ConeDirection(light.Direction, light.CosMax, u, v);
        if (full > 0 && Dot(direction, n) > 0 && !scene_.Occluded(at, direction, 0, 1e30f))
            reaching += Vec3{full, full, full};
    }
    float u = 0, v = 0;
    sampler.Next2(u, v);
    const Vec3 around = CosineDirection(frame, u, v);
    RayHit hit;
    if (scene_.Intersect(at, around, 0, 1e30f, hit))
        reaching += ProductRadiance(hit, around, sampler);
    else
        reaching += Vec3{environment_, environment_, environment_};
    const Vec3 kept = reaching * (1.0f / open);

    Vec3 mirrored, mirroredAlbedo;
    float mirroredAlpha = 0;
    if (mirror_ > 0) {
        const Vec3 d = Normalized(eye);
        const Vec3 r = d - n * (2.0f * Dot(d, n));
        if (scene_.Intersect(at, r, 0, 1e30f, hit)) {
            // Faded with the height of what it shows, to what the floor shows without it.
            const float height = Dot(at + r * hit.Distance - scene_.FloorPoint, scene_.FloorNormal);
            const float shown = std::clamp(1.0f - height / mirrorFade_, 0.0f, 1.0f);
            const Vec3 left = settings_.Transparent ? Vec3{} : background_;
            if (guide)
                mirroredAlbedo = SurfaceAt(hit).Albedo * shown + left * (1.0f - shown);
            mirrored = Fogged(ProductRadiance(hit, r, sampler) * exposure_, distance * Length(eye) + hit.Distance) * shown +
                       left * (1.0f - shown);
            mirroredAlpha = settings_.Transparent ? shown : 1.0f;
        } else if (!settings_.Transparent) {
            mirrored = background_;
            mirroredAlbedo = background_;
            mirroredAlpha = 1;
        }
    }
    RaySample out;
    if (settings_.Transparent) {
        out.Colour = mirrored * mirror_;
        out.Alpha = (1.0f - mirror_) * std::clamp(1.0f - Luminance(kept), 0.0f, 1.0f) + mirror_ * mirroredAlpha;
    } else {
        out.Colour = background_ * kept * (1.0f - mirror_) + mirrored * mirror_;
        out.Alpha = 1;
    }
    if (guide) {
        // Transparent, the floor itself shows no colour: only what it mirrors.
        guide->Albedo = (settings_.Transparent ? Vec3{} : background_ * (1.0f - mirror_)) + mirroredAlbedo * mirror_;
        guide->Normal = n;
        guide->Depth = distance;
        guide->Print = guide->Albedo;
    }
    return out;
}

Vec3 PathTracer::PrintOverPixel(const RayHit& hit, Vec3 albedo, int x, int y, float jx, float jy,
                                std::uint32_t pass) const
{
    // The pixel's own points of the area sequence (RaySampler's), taken
    // four a pass: over the passes they are its first 4 x passes, which
    // spread over the pixel as evenly as that many passes would.
    constexpr double Ax = 0.7548776662466927, Ay = 0.5698402909980532;
    constexpr int Points = 4;
    Vec3 sum;
    for (int k = 0; k < Points; ++k) {
        const double ahead = 3.0 * static_cast<double>(pass) + static_cast<double>(k);
        const double vx = static_cast<double>(jx) + Ax * ahead, vy = static_cast<double>(jy) + Ay * ahead;
        const auto gx = static_cast<float>(vx - std::floor(vx)), gy = static_cast<float>(vy - std::floor(vy));
        RayHit near = hit;
        const Vec3 eye = camera_.Direction(static_cast<float>(x) + gx, static_cast<float>(y) + gy);
        if (scene_.TexturePointNear(hit, {}, eye, near.S, near.T))
            sum += SurfaceAt(near).Albedo;
        // Off the face (at its edge, a rare pixel): what the ray there meets.
        else if (scene_.Intersect({}, eye, RayCamera::Near, RayCamera::Far, near))
            sum += SurfaceAt(near).Albedo;
        else
            sum += albedo;
    }
    return sum * (1.0f / Points);
}

RaySample PathTracer::Pixel(int x, int y, std::uint32_t pass, RayGuide* guide) const
{
    RaySampler sampler(settings_.Seed, static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(camera_.Width) +
                                           static_cast<std::uint32_t>(x),
                       pass);
    float jx = 0, jy = 0;
    sampler.Next2(jx, jy);
    Vec3 origin, eye;
    EyeRay(static_cast<float>(x) + jx, static_cast<float>(y) + jy, sampler, origin, eye);
    RayHit hit;
    float floorDistance = 0;
    const bool floorAhead = FloorHit(origin, eye, floorDistance) && floorDistance >= RayCamera::Near &&
                            floorDistance <= RayCamera::Far;
    if (scene_.Intersect(origin, eye, RayCamera::Near, floorAhead ? floorDistance : RayCamera::Far, hit)) {
        if (guide) {
            const Vec3 albedo = SurfaceAt(hit).Albedo;
            // Through an open lens the print blurs as the passes go: each pass's own.
            *guide = {albedo, hit.Normal, hit.Distance,
                      lens_.Radius > 0 ? albedo : PrintOverPixel(hit, albedo, x, y, jx, jy, pass)};
        }
        const Vec3 d = Normalized(eye);
        return {Fogged(ProductRadiance(hit, d, sampler) * exposure_, hit.Distance), 1.0f};
    }
    if (floorAhead)
        return Catcher(origin, eye, floorDistance, sampler, guide);
    if (guide)
        *guide = {{}, {0, 0, 1}, RayCamera::Far, {}};
    if (settings_.Transparent)
        return {};
    // The flat background where its quad reaches, else the clear colour.
    const float t = -backZ_;
    const Vec3 on = origin + eye * t;
    if (t <= RayCamera::Far && std::fabs(on.x) <= backHalfWidth_ && std::fabs(on.y) <= backHalfHeight_) {
        if (guide)
            *guide = {background_, {0, 0, 1}, t, background_};
        return {background_, 1.0f};
    }
    return {{}, 1.0f};
}
