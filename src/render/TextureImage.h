#pragma once
// One picture as an RGBA buffer (bottom row first) that becomes a mipmapped
// OpenGL texture, and the read-back of the current viewport.
#include "formats/ImageCodec.h"
#include "render/BaseLevel.h"
#include "render/GLApi.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

class TextureImage {
public:
    explicit TextureImage(const QString& fileName = QString(), GLApi& gl = SystemGL());
    virtual ~TextureImage();
    TextureImage(const TextureImage&) = delete;
    TextureImage& operator=(const TextureImage&) = delete;

    // False for a missing file (object unchanged) or an unknown extension
    // (buffer already released). Damaged files throw ImageError.
    bool LoadFromFile(const QString& fileName);
    // Any QImage; it is read as 24-bit RGB. Always true.
    bool LoadFromBitmap(const QImage& bitmap);
    // The texture gets one level, the base level the GLU mipmap builder
    // would make from Pixels: the minification filter never samples more.
    void Upload();
    // Replaces Pixels by that base level, for a GL whose largest texture
    // side is maxTextureSize: the costly part of Upload, without GL, so it
    // can run on any thread. A later Upload then sends the buffer as it is.
    void PrepareBaseLevel(int maxTextureSize);
    // Sending a base level in parts while it is still being made: the
    // texture is made anew with room for width x height (false, and no
    // texture, when the GL would not take that size as it is), then rows
    // are filled in any order; it is complete once every row is sent.
    bool BeginUploadInParts(int width, int height);
    // The same texture made elsewhere (by BeginUploadInParts in a context
    // sharing this one's objects): this object owns it from now on. It must
    // hold no texture yet, as no GL call is made here.
    void AdoptEmptyTexture(GLuint name);
    void UploadRows(int firstRow, int rows, int width, const std::uint8_t* pixels);
    // Takes the other object's texture, in place of its own (deleted).
    void TakeTexture(TextureImage& other);
    void Bind();
    // The smooth-textures look: on, the levels under the base level are made
    // from what the texture holds (once) and it is sampled trilinear and,
    // where the GL offers it, anisotropic; off, it samples only the base
    // level again, as the classic picture does.
    void SetSmooth(bool on);
    bool Smooth() const { return smooth_; }
    void SetQuality(int quality);
    bool SaveToFile(const QString& fileName);
    bool CaptureToFile(const QString& fileName);
    // Fills the target with the viewport as an upright 24-bit picture.
    bool CaptureToBitmap(QImage& bitmap);

    GLuint TextureName = 0;
    int BitsPerPixel = 0;
    int Width = 0;
    int Height = 0;
    std::unique_ptr<std::uint8_t[]> Pixels; // Width x Height x 4 bytes, or none
    int Quality = 75;
    GLenum MinFilter = GL_LINEAR;
    GLenum MagFilter = GL_LINEAR;
    GLenum WrapS = GL_REPEAT;
    GLenum WrapT = GL_REPEAT;
    // Bytes of TGA pixel data being read; 64-bit so large headers cannot wrap.
    std::int64_t DataSize = 0;

    std::size_t PixelBytes() const;

    void FreeBuffers();
    void SwapRedBlue();
    void FillAlpha(std::uint8_t alpha);
    // Fills Pixels from packed 3-byte pixels; byte 3 is not written.
    void ExpandRGB(const std::uint8_t* source, bool swap);
    // Sets Width and Height and allocates Pixels, after checking the limits.
    void AllocatePixels(std::int64_t width, std::int64_t height, const QString& what);

    // Moves the other object's picture (buffer, size, depth) into this one.
    void TakePicture(TextureImage& other);

    // Upright 32-bit copy of Pixels (alpha kept), for the encoders.
    QImage ToImage() const;

private:
    bool ReadViewport();
    bool TextureFits(int width, int height);
    // The base level GLU would choose for this GL.
    PictureSize BaseLevelFor(int width, int height);
    // A fresh texture name, bound, with the object's wrap and filters.
    void NewTexture();
    using Decoder = void (*)(const QString& fileName, const AllocateRgba& allocate);

    bool LoadTga(const QString& fileName);
    bool LoadDecoded(const QString& fileName, Decoder decode);
    bool WriteBmp(const QString& fileName);
    bool WriteTga(const QString& fileName);

    GLApi& gl_;
    bool smooth_ = false;
    bool levelsMade_ = false; // the levels under the base are in the texture
};
