#pragma once
// The geometry behind the studio looks, without GL: where the box stands on
// its floor, how bright each face is, the blurred footprint that becomes the
// ground shadow and the mirrored faces of the reflection. The "world" is the
// frame after the view's offsets and before the box's own turns. A pose is
// seen from its floor's frame, where the floor is horizontal: the world
// itself for a level floor, or the world turned by a tilt of the floor
// (see StudioLooksFloor.h).
#include "document/BoxParameters.h"
#include "render/SceneMath.h"

#include <array>
#include <cstdint>
#include <vector>

struct ProductMesh;

struct BoxPose {
    Mat3 Box;       // side angle, tilt and turn: box frame to floor frame
    Mat3 Eye;       // floor frame to eye (rotation only)
    Vec3 Camera;    // the eye's position in the floor frame
    Vec3 Half;      // half extents in the box frame
    float FloorY = 0; // the lowest corner's: the box stands on its floor
    float TopY = 0;   // the highest corner
    // Corners in the world, index bits: x (1), y (2), z (4) on the plus side.
    std::array<Vec3, 8> Corners{};
    // A shape drawn as a mesh: its vertices in the world, whose lowest and
    // highest give FloorY and TopY and whose outline is the shadow's
    // footprint. Empty for the classic block (its Corners are all that count).
    std::vector<Vec3> Points;
    // The studio's key light (StudioLight.h): its direction in the eye's
    // frame and its angular radius, which softens the shadow.
    Vec3 Key;
    float KeyRadius = 0;
    // A bundle's boxes each cast their own outline: where each one's points
    // end in Points. Empty: one outline of all of them.
    std::vector<std::size_t> OutlineEnds;

    // Shadow and reflection only make sense when the eye is above the floor.
    bool EyeAboveFloor() const { return Camera.y > FloorY; }
};

// The floor tilts about the box's x axis turned by the side angle, as the
// box's own tilt does; 0 is the level floor of the world, exactly. With a
// mesh that is not empty, the box stands on the mesh's lowest point.
BoxPose PoseOf(const BoxParameters& p, float floorTilt = 0, const ProductMesh* mesh = nullptr);

// The rotation from the frame of a floor with this tilt to the world.
Mat3 FloorToWorld(const BoxParameters& p, float floorTilt);

// True when the frame draws anything beyond the classic picture (the sample
// count only matters to the captured result).
bool DrawsLooks(const BoxLooks& looks);

// Brightness 0..MostBrightness of a face with this outward normal (box
// frame) under the studio's key light: 1 when light is 0, above 1 for a face
// turned to the light (drawn with LitTexturing.h, as GL clamps colours at 1).
inline constexpr float MostBrightness = 2.0f;
float FaceBrightness(const BoxPose& pose, Vec3 normal, int light);

// The box's shadow on its floor, thrown away from the key light, as alpha
// over a square of Size x Size texels spanning [MinX, MaxX] x [MinZ, MaxZ] of
// the floor (row 0 at MinZ). Darkest and sharpest where the box touches the
// floor, softer further from there (StudioShadow.cpp). Strength 0..100 sets
// the darkest alpha, softness 0..100 the blur.
struct ShadowMask {
    int Size = 0;
    float MinX = 0, MaxX = 0, MinZ = 0, MaxZ = 0;
    std::vector<std::uint8_t> Alpha;
};
ShadowMask MakeShadowMask(const BoxPose& pose, int strength, int softness, int size = 128);

// One vertex of the reflection: world position, texture coordinate, alpha.
struct MirrorVertex {
    Vec3 Position;
    float S = 0, T = 0;
    float Alpha = 0;
};

// The height above the floor at which the reflection has faded out: both
// engines fade it alike, from full strength at the floor.
float ReflectionFadeHeight(const BoxPose& pose);

// The faded reflection as quads (four vertices each) of a grid per face,
// only faces turned to the eye and only quads not fully faded.
struct MirrorFace {
    int Face = 0; // index into the box's faces
    int Slot = 0;
    float Brightness = 1;
    std::vector<MirrorVertex> Quads;
};

// A face of the box: its slot and corners (texture coordinate, then -1/+1
// per half extent), each seen unmirrored from outside.
struct FaceCorner {
    float s, t;
    float x, y, z;
};
struct BoxFace {
    int Slot;
    FaceCorner Corners[4];
};
extern const BoxFace BoxFaces[6];
// The face's outward normal in the box frame: the axis its corners share.
Vec3 FaceNormal(const BoxFace& face);

// overlap raises the mirror image by that much (world units), so that it
// reaches under the box's edge rather than leave a crack where the
// rasteriser rounds the two edges apart; the box hides what it overlaps.
std::vector<MirrorFace> MirrorFaces(const BoxPose& pose, int faceCount, int strength, int light,
                                    int grid = 8, float overlap = 0);

// A quarter of a pixel at the box's distance, in world units, for a
// projection with this focal factor (the matrix's [1][1]) and viewport
// height; 0 when either is unknown.
float QuarterPixel(const BoxPose& pose, float focal, int viewportHeight);
