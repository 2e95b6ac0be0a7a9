#pragma once
// One OpenGL texture that shows a picture: made from the picture's base
// level (the one level the classic picture samples), or sent in parts while
// that level is being made. The object owns the texture name; the GL context
// it was made in must be current whenever it makes, binds or deletes one.
#include "formats/RgbaPicture.h"
#include "render/BaseLevel.h"
#include "render/GLApi.h"

#include <cstdint>

class GLTexture {
public:
    explicit GLTexture(GLApi& gl = SystemGL());
    ~GLTexture(); // deletes its texture
    GLTexture(const GLTexture&) = delete;
    GLTexture& operator=(const GLTexture&) = delete;
    // The other object's texture, in place of this one's (deleted); the other
    // holds none afterwards.
    GLTexture(GLTexture&& other) noexcept;
    GLTexture& operator=(GLTexture&& other) noexcept;

    // A new texture with one level, the base level the GLU mipmap builder
    // would make from the picture: the minification filter never samples
    // more. Nothing at all for a picture without pixels.
    void Upload(const RgbaPicture& picture);
    // Sending a base level in parts while it is still being made: the
    // texture is made anew with room for width x height (false, and no
    // texture, when the GL would not take that size as it is), then rows
    // are filled in any order; it is complete once every row is sent. The
    // room is immutable storage where the GL has it.
    bool BeginUploadInParts(int width, int height);
    // The same texture made elsewhere (by BeginUploadInParts in a context
    // sharing this one's objects): this object owns it from now on. It must
    // hold no texture yet, as no GL call is made here.
    void AdoptEmptyTexture(GLuint name);
    void UploadRows(int firstRow, int rows, int width, const std::uint8_t* pixels);
    void Bind();
    // The smooth-textures look: on, the levels under the base level are made
    // from what the texture holds (once) and it is sampled trilinear and,
    // where the GL offers it, anisotropic; off, it samples only the base
    // level again, as the classic picture does. A texture sent in parts
    // may get a new name the first time it is made smooth.
    void SetSmooth(bool on);
    bool Smooth() const { return smooth_; }

    GLuint Name() const { return name_; }
    // Gives the name up without deleting it: to a context that takes the
    // texture over, or because the texture goes with its context.
    GLuint Release();

    // What a new texture is made with.
    GLenum MinFilter = GL_LINEAR;
    GLenum MagFilter = GL_LINEAR;
    GLenum WrapS = GL_REPEAT;
    GLenum WrapT = GL_REPEAT;

private:
    bool TextureFits(int width, int height);
    // The base level GLU would choose for this GL.
    PictureSize BaseLevelFor(int width, int height);
    // A fresh texture name, bound, with the object's wrap and filters.
    void NewTexture();
    void Delete();

    GLApi* gl_;
    GLuint name_ = 0;
    bool smooth_ = false;
    bool levelsMade_ = false; // the levels under the base are in the texture
};

// Replaces the picture by its texture's base level for a GL whose largest
// texture side is maxTextureSize: the costly part of Upload, without GL, so
// it can run on any thread. Upload then sends the picture as it is. Throws
// ImageError with the picture as it was when memory runs out.
void PrepareBaseLevel(RgbaPicture& picture, int maxTextureSize);
