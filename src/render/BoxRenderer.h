#pragma once
// The live picture: the textured box in front of a flat background, with
// optional fog. Written against BoxParameters and the slot textures so
// that the window, the result writer and the command line draw alike.
#include "document/BoxParameters.h"
#include "render/BoxSides.h"
#include "render/EyeLift.h"
#include "render/GLApi.h"
#include "render/Scene.h"
#include "render/SceneDriver.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>

class GLTexture;
struct BoxPose;
struct FloorChoice;
struct GroupScene;
struct MeshPart;
struct ProductMesh;

// Slot order as in SlotIndex (BoxSides.h).
using SlotThumbnails = std::array<const QImage*, SlotCount>;

// The window's two flags that stop drawing, and how to let messages run
// while another application is active.
struct DrawFlags {
    bool AppActive = true;
    bool SuspendDraw = false;
    std::function<void()> PumpMessages;
};


class BoxRenderer {
public:
    explicit BoxRenderer(GLApi& gl = SystemGL()) : gl_(gl) {}

    // Driver defaults, then the fog constants and the current fog mode.
    void InitGL(SceneDriver& driver, const BoxParameters& params);
    // Rebuilds the slots' textures in the context just made.
    void PrepareGL(const SlotTextures& textures, const SlotThumbnails& thumbnails);
    // One frame of exactly these parameters.
    void DrawFrame(const BoxParameters& params, const SlotTextures& textures, const DrawFlags& flags);
    // The GL side of the fog-mode setter: 1 linear, 2 exp2, 3 exp, else nothing.
    void SetFogMode(std::uint8_t mode);

    // While a group is set, every frame draws it instead of one box: the
    // frame's parameters give the view, looks, background and fog (see
    // GroupView), the group its boxes and their covers; the textures passed
    // to DrawFrame are not used. Null: one box again. The group must outlive
    // its frames.
    void SetGroup(const GroupScene* group) { group_ = group; }

    // Frees the renderer's own textures (the shadow's, the page edges'); needs
    // the context current. Without it the textures go with their context.
    void ReleaseGL();

private:
    // A pose (only with looks) gives the faces their light.
    void DrawFaces(const BoxParameters& params, const SlotTextures& textures, const BoxPose* pose);
    // The same for a shape drawn as a mesh: light per vertex from its smooth
    // normal (BoxRendererMesh.cpp).
    void DrawMesh(const BoxParameters& params, const ProductMesh& mesh, const SlotTextures& textures,
                  const BoxPose* pose);
    void DrawMirroredMesh(const BoxParameters& params, const BoxPose& pose, const ProductMesh& mesh,
                          const FloorChoice& floor, const SlotTextures& textures, float overlap);
    // Binds what covers the part; false for a plain part, drawn without texture.
    bool BindSurface(const MeshPart& part, const SlotTextures& textures);
    void DrawBackground(const BoxParameters& params);
    // Shadow and reflection on the chosen floor (the pose is seen from it),
    // blended over the background.
    void DrawFloor(const BoxParameters& params, const BoxPose& pose, const FloorChoice& floor,
                   const SlotTextures& textures, const ProductMesh* mesh);
    // The model-view of the world the box stands in, before its own turns.
    void PlaceWorld(const ScenePose& view);

    // The covers of a mesh part: its box's in a group, else the frame's.
    const SlotTextures& PartCovers(const MeshPart& part, const SlotTextures& textures) const;

    GLApi& gl_;
    const GroupScene* group_ = nullptr;
    GLuint shadowTexture_ = 0;
    GLuint pageEdgesTexture_ = 0; // MakePageEdgePicture, made when first needed
};

// Slots in order: the thumbnail goes into the texture, then uploads.
void RebuildSlotTextures(const SlotTextures& textures, const SlotThumbnails& thumbnails);

// Makes each slot's texture follow the smooth-textures look; a texture
// that never was smooth is not touched while the look is off.
void ApplyTextureLook(const BoxLooks& looks, const SlotTextures& textures);
