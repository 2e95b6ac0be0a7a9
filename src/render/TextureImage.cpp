#include "render/TextureImage.h"

#include "render/BaseLevel.h"
#include "render/MipLevels.h"
#include "concurrency/ParallelWork.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

TextureImage::TextureImage(const QString& fileName, GLApi& gl) : gl_(gl)
{
    if (!fileName.isEmpty())
        LoadFromFile(fileName);
}

TextureImage::~TextureImage()
{
    FreeBuffers();
    if (TextureName != 0)
        gl_.DeleteTextures(1, &TextureName);
}

std::size_t TextureImage::PixelBytes() const
{
    if (!Pixels || Width <= 0 || Height <= 0)
        return 0;
    return static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height) * 4;
}

void TextureImage::FreeBuffers() { Pixels.reset(); }

void TextureImage::AllocatePixels(std::int64_t width, std::int64_t height, const QString& what)
{
    CheckImageSize(width, height, what);
    Width = static_cast<int>(width);
    Height = static_cast<int>(height);
    const auto bytes = static_cast<std::size_t>(width * height * 4);
    Pixels.reset(new (std::nothrow) std::uint8_t[bytes == 0 ? 1 : bytes]);
    if (Pixels)
        PreferHugePages(Pixels.get(), bytes);
    if (!Pixels)
        throw ImageError(QStringLiteral("%1: not enough memory for %2 x %3 pixels")
                             .arg(what)
                             .arg(width)
                             .arg(height)
                             .toStdString());
}

void TextureImage::TakePicture(TextureImage& other)
{
    Pixels = std::move(other.Pixels);
    Width = other.Width;
    Height = other.Height;
    BitsPerPixel = other.BitsPerPixel;
}

void TextureImage::SwapRedBlue()
{
    const std::size_t n = PixelBytes();
    std::uint8_t* p = Pixels.get();
    for (std::size_t i = 0; i < n; i += 4)
        std::swap(p[i], p[i + 2]);
}

void TextureImage::FillAlpha(std::uint8_t alpha)
{
    const std::size_t n = PixelBytes();
    std::uint8_t* p = Pixels.get();
    for (std::size_t i = 3; i < n; i += 4)
        p[i] = alpha;
}

void TextureImage::ExpandRGB(const std::uint8_t* source, bool swap)
{
    const std::size_t count = PixelBytes() / 4;
    std::uint8_t* out = Pixels.get();
    for (std::size_t i = 0; i < count; ++i, source += 3, out += 4) {
        out[0] = swap ? source[2] : source[0];
        out[1] = source[1];
        out[2] = swap ? source[0] : source[2];
    }
}

bool TextureImage::LoadFromBitmap(const QImage& bitmap)
{
    FreeBuffers();
    const QImage rgb = bitmap.format() == QImage::Format_RGB888
                           ? bitmap
                           : bitmap.convertToFormat(QImage::Format_RGB888);
    AllocatePixels(rgb.width(), rgb.height(), QStringLiteral("bitmap"));
    BitsPerPixel = rgb.depth();
    // QImage rows are top first and padded; the buffer wants the bottom row first.
    for (int y = 0; y < Height; ++y) {
        const std::uint8_t* src = rgb.constScanLine(Height - 1 - y);
        std::uint8_t* dst = Pixels.get() + static_cast<std::size_t>(y) * Width * 4;
        for (int x = 0; x < Width; ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    FillAlpha(255);
    return true;
}

void TextureImage::NewTexture()
{
    smooth_ = levelsMade_ = false;
    if (TextureName != 0)
        gl_.DeleteTextures(1, &TextureName);
    gl_.GenTextures(1, &TextureName);
    gl_.BindTexture(GL_TEXTURE_2D, TextureName);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(WrapS));
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(WrapT));
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(MagFilter));
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilter));
}

PictureSize TextureImage::BaseLevelFor(int width, int height)
{
    return BaseLevelSize(width, height, [this](int w, int h) { return TextureFits(w, h); });
}

void TextureImage::Upload()
{
    if (!Pixels)
        return;
    NewTexture();
    if (Width < 1 || Height < 1)
        return; // GLU refuses an empty picture
    const PictureSize base = BaseLevelFor(Width, Height);
    if (base == PictureSize{Width, Height}) {
        gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, Width, Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, Pixels.get());
        return;
    }
    const auto level = AllocatePicture(static_cast<std::size_t>(base.Width) * base.Height * 4);
    ScaleToBaseLevel(Pixels.get(), {Width, Height}, level.get(), base, WorkerThreads());
    gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, base.Width, base.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                   level.get());
}

bool TextureImage::BeginUploadInParts(int width, int height)
{
    if (TextureName != 0) {
        gl_.DeleteTextures(1, &TextureName);
        TextureName = 0;
    }
    if (width < 1 || height < 1 || !(BaseLevelFor(width, height) == PictureSize{width, height}))
        return false;
    NewTexture();
    gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    return true;
}

void TextureImage::AdoptEmptyTexture(GLuint name)
{
    TextureName = name;
    smooth_ = levelsMade_ = false;
}

void TextureImage::UploadRows(int firstRow, int rows, int width, const std::uint8_t* pixels)
{
    if (TextureName == 0 || rows < 1)
        return;
    smooth_ = levelsMade_ = false; // the levels under it are out of date
    gl_.BindTexture(GL_TEXTURE_2D, TextureName);
    gl_.TexSubImage2D(GL_TEXTURE_2D, 0, 0, firstRow, width, rows, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

void TextureImage::TakeTexture(TextureImage& other)
{
    if (TextureName != 0)
        gl_.DeleteTextures(1, &TextureName);
    TextureName = std::exchange(other.TextureName, 0);
    smooth_ = std::exchange(other.smooth_, false);
    levelsMade_ = std::exchange(other.levelsMade_, false);
}

void TextureImage::SetSmooth(bool on)
{
    if (TextureName == 0)
        return;
    gl_.BindTexture(GL_TEXTURE_2D, TextureName);
    const char* extensions = gl_.GetString(GL_EXTENSIONS);
    // A software rasteriser pays for anisotropic filtering on every pixel
    // (about twice the frame); trilinear alone already ends the moire there.
    const char* renderer = gl_.GetString(GL_RENDERER);
    const bool software = renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
                                       std::strstr(renderer, "swrast"));
    const bool anisotropic = !software && extensions &&
                             (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") ||
                              std::strstr(extensions, "GL_ARB_texture_filter_anisotropic"));
    if (!on) {
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilter));
        if (anisotropic)
            gl_.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
        smooth_ = false;
        return;
    }
    if (!levelsMade_) {
        GLint width = 0, height = 0;
        gl_.GetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        gl_.GetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        if (width < 1 || height < 1)
            return;
        // Read back from the GL: a cover's own buffer is gone once it is uploaded.
        std::vector<std::uint8_t> base;
        try {
            base.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        } catch (const std::bad_alloc&) {
            return; // stays sharp: better than no picture
        }
        gl_.PixelStorei(GL_PACK_ALIGNMENT, 4);
        gl_.GetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, base.data());
        const std::vector<MipLevel> levels = LevelsUnder(base.data(), width, height, WorkerThreads());
        for (std::size_t i = 0; i < levels.size(); ++i)
            gl_.TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i + 1), GL_RGBA, levels[i].Width, levels[i].Height,
                           0, GL_RGBA, GL_UNSIGNED_BYTE, levels[i].Pixels.data());
        levelsMade_ = true;
    }
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    if (anisotropic) {
        GLfloat most = 1.0f;
        gl_.GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
        gl_.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min(most, 8.0f));
    }
    smooth_ = true;
}

// GLU's question: would the level below this size, and all under it, fit?
bool TextureImage::TextureFits(int width, int height)
{
    gl_.TexImage2D(GL_PROXY_TEXTURE_2D, 1, GL_RGBA, width > 1 ? width / 2 : width,
                   height > 1 ? height / 2 : height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint proxyWidth = 0;
    gl_.GetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &proxyWidth);
    return proxyWidth != 0;
}

void TextureImage::PrepareBaseLevel(int maxTextureSize)
{
    if (!Pixels || Width < 1 || Height < 1)
        return;
    const PictureSize base = BaseLevelSize(Width, Height, maxTextureSize);
    if (base == PictureSize{Width, Height})
        return;
    std::unique_ptr<std::uint8_t[]> full = std::move(Pixels);
    const PictureSize source{Width, Height};
    try {
        AllocatePixels(base.Width, base.Height, QStringLiteral("texture"));
    } catch (...) {
        Pixels = std::move(full);
        Width = source.Width;
        Height = source.Height;
        throw;
    }
    ScaleToBaseLevel(full.get(), source, Pixels.get(), base, WorkerThreads());
}

void TextureImage::Bind()
{
    if (TextureName != 0)
        gl_.BindTexture(GL_TEXTURE_2D, TextureName);
}

void TextureImage::SetQuality(int quality)
{
    Quality = quality > 100 ? 100 : (quality < 1 ? 1 : quality);
}

bool TextureImage::ReadViewport()
{
    GLint viewport[4] = {0, 0, 0, 0};
    gl_.GetIntegerv(GL_VIEWPORT, viewport);
    BitsPerPixel = 32;
    FreeBuffers();
    try {
        AllocatePixels(viewport[2], viewport[3], QStringLiteral("viewport"));
    } catch (const ImageError&) {
        Width = Height = 0;
        return false;
    }
    gl_.Finish();
    gl_.PixelStorei(GL_PACK_ALIGNMENT, 4);
    gl_.PixelStorei(GL_PACK_ROW_LENGTH, 0);
    gl_.PixelStorei(GL_PACK_SKIP_ROWS, 0);
    gl_.PixelStorei(GL_PACK_SKIP_PIXELS, 0);
    // From window position (0, 0): the viewport's own origin is not applied.
    gl_.ReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, Pixels.get());
    return true;
}

QImage TextureImage::ToImage() const
{
    if (!Pixels || Width <= 0 || Height <= 0)
        return QImage();
    QImage image(Width, Height, QImage::Format_RGBA8888);
    if (image.isNull())
        return image;
    const std::size_t row = static_cast<std::size_t>(Width) * 4;
    for (int y = 0; y < Height; ++y)
        std::memcpy(image.scanLine(y), Pixels.get() + static_cast<std::size_t>(Height - 1 - y) * row, row);
    return image;
}

bool TextureImage::CaptureToFile(const QString& fileName)
{
    if (!ReadViewport())
        return false;
    return fileName.isEmpty() ? true : SaveToFile(fileName);
}

bool TextureImage::CaptureToBitmap(QImage& bitmap)
{
    if (!ReadViewport())
        return false;
    const QImage upright = ToImage();
    if (upright.isNull())
        return false;
    QImage rgb = upright.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        return false;
    bitmap = std::move(rgb);
    return true;
}
