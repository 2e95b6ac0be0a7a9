#include "render/GLTexture.h"

#include "concurrency/ParallelWork.h"
#include "formats/ImageCodec.h"
#include "render/GLExtensions.h"
#include "render/MipLevels.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

GLTexture::GLTexture(GLApi& gl) : gl_(&gl) {}

GLTexture::~GLTexture() { Delete(); }

GLTexture::GLTexture(GLTexture&& other) noexcept
    : MinFilter(other.MinFilter), MagFilter(other.MagFilter), WrapS(other.WrapS), WrapT(other.WrapT),
      gl_(other.gl_), name_(std::exchange(other.name_, 0)), smooth_(std::exchange(other.smooth_, false)),
      levelsMade_(std::exchange(other.levelsMade_, false))
{
}

GLTexture& GLTexture::operator=(GLTexture&& other) noexcept
{
    if (this == &other)
        return *this;
    Delete();
    MinFilter = other.MinFilter;
    MagFilter = other.MagFilter;
    WrapS = other.WrapS;
    WrapT = other.WrapT;
    gl_ = other.gl_;
    name_ = std::exchange(other.name_, 0);
    smooth_ = std::exchange(other.smooth_, false);
    levelsMade_ = std::exchange(other.levelsMade_, false);
    return *this;
}

void GLTexture::Delete()
{
    if (name_ != 0)
        gl_->DeleteTextures(1, &name_);
    name_ = 0;
}

GLuint GLTexture::Release()
{
    smooth_ = levelsMade_ = false;
    return std::exchange(name_, 0);
}

void GLTexture::NewTexture()
{
    smooth_ = levelsMade_ = false;
    Delete();
    gl_->GenTextures(1, &name_);
    gl_->BindTexture(GL_TEXTURE_2D, name_);
    gl_->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(WrapS));
    gl_->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(WrapT));
    gl_->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(MagFilter));
    gl_->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilter));
}

PictureSize GLTexture::BaseLevelFor(int width, int height)
{
    return BaseLevelSize(width, height, [this](int w, int h) { return TextureFits(w, h); });
}

void GLTexture::Upload(const RgbaPicture& picture)
{
    if (!picture.Pixels)
        return;
    NewTexture();
    const int width = picture.Width, height = picture.Height;
    if (width < 1 || height < 1)
        return; // GLU refuses an empty picture
    const PictureSize base = BaseLevelFor(width, height);
    if (base == PictureSize{width, height}) {
        gl_->TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                        picture.Pixels.get());
        return;
    }
    const auto level = AllocatePicture(static_cast<std::size_t>(base.Width) * base.Height * 4);
    ScaleToBaseLevel(picture.Pixels.get(), {width, height}, level.get(), base, WorkerThreads());
    gl_->TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, base.Width, base.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                    level.get());
}

bool GLTexture::BeginUploadInParts(int width, int height)
{
    Delete();
    if (width < 1 || height < 1 || !(BaseLevelFor(width, height) == PictureSize{width, height}))
        return false;
    NewTexture();
    // Mesa allocates and clears the storage glTexImage2D asks for under the
    // lock every context sharing the texture takes to draw: for a large
    // cover that stops the view for as long. Immutable storage is made
    // outside that lock.
    if (HasTextureStorage(*gl_))
        gl_->TexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
    else
        gl_->TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    return true;
}

void GLTexture::AdoptEmptyTexture(GLuint name)
{
    name_ = name;
    smooth_ = levelsMade_ = false;
}

void GLTexture::UploadRows(int firstRow, int rows, int width, const std::uint8_t* pixels)
{
    if (name_ == 0 || rows < 1)
        return;
    smooth_ = levelsMade_ = false; // the levels under it are out of date
    gl_->BindTexture(GL_TEXTURE_2D, name_);
    gl_->TexSubImage2D(GL_TEXTURE_2D, 0, 0, firstRow, width, rows, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

void GLTexture::SetSmooth(bool on)
{
    if (name_ == 0)
        return;
    gl_->BindTexture(GL_TEXTURE_2D, name_);
    const char* extensions = gl_->GetString(GL_EXTENSIONS);
    // A software rasteriser pays for anisotropic filtering on every pixel
    // (about twice the frame); trilinear alone already ends the moire there.
    const char* renderer = gl_->GetString(GL_RENDERER);
    const bool software = renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
                                       std::strstr(renderer, "swrast"));
    const bool anisotropic = !software && extensions &&
                             (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") ||
                              std::strstr(extensions, "GL_ARB_texture_filter_anisotropic"));
    if (!on) {
        gl_->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilter));
        if (anisotropic)
            gl_->TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
        smooth_ = false;
        return;
    }
    if (!levelsMade_) {
        GLint width = 0, height = 0;
        gl_->GetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        gl_->GetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        if (width < 1 || height < 1)
            return;
        // Read back from the GL: a cover's own buffer is gone once it is uploaded.
        std::vector<std::uint8_t> base;
        try {
            base.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        } catch (const std::bad_alloc&) {
            return; // stays sharp: better than no picture
        }
        gl_->PixelStorei(GL_PACK_ALIGNMENT, 4);
        gl_->GetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, base.data());
        // Storage sent in parts has its one level for good: the levels
        // under it go to a new texture holding the same base level.
        GLint immutable = GL_FALSE;
        gl_->GetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_IMMUTABLE_FORMAT, &immutable);
        if (immutable) {
            NewTexture();
            gl_->TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, base.data());
        }
        const std::vector<MipLevel> levels = LevelsUnder(base.data(), width, height, WorkerThreads());
        for (std::size_t i = 0; i < levels.size(); ++i)
            gl_->TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i + 1), GL_RGBA, levels[i].Width, levels[i].Height,
                           0, GL_RGBA, GL_UNSIGNED_BYTE, levels[i].Pixels.data());
        levelsMade_ = true;
    }
    gl_->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    if (anisotropic) {
        GLfloat most = 1.0f;
        gl_->GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
        gl_->TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min(most, 8.0f));
    }
    smooth_ = true;
}

// GLU's question: would the level below this size, and all under it, fit?
bool GLTexture::TextureFits(int width, int height)
{
    gl_->TexImage2D(GL_PROXY_TEXTURE_2D, 1, GL_RGBA, width > 1 ? width / 2 : width,
                   height > 1 ? height / 2 : height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint proxyWidth = 0;
    gl_->GetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &proxyWidth);
    return proxyWidth != 0;
}

void GLTexture::Bind()
{
    if (name_ != 0)
        gl_->BindTexture(GL_TEXTURE_2D, name_);
}

void PrepareBaseLevel(RgbaPicture& picture, int maxTextureSize)
{
    if (!picture.Pixels || picture.Width < 1 || picture.Height < 1)
        return;
    const PictureSize source{picture.Width, picture.Height};
    const PictureSize base = BaseLevelSize(source.Width, source.Height, maxTextureSize);
    if (base == source)
        return;
    RgbaPicture level;
    level.AllocatePixels(base.Width, base.Height, QStringLiteral("texture"));
    ScaleToBaseLevel(picture.Pixels.get(), source, level.Pixels.get(), base, WorkerThreads());
    picture = std::move(level);
}
