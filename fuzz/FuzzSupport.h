#pragma once
// What the fuzz targets share: a lower ceiling for decoded pictures, a GLApi
// that does nothing (loading and saving never call it), and a scratch file per
// process for the input bytes.
#include "formats/ImageCodec.h"
#include "render/GLApi.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

// Fuzzing explores inputs, not memory: a tiny run-length file may claim, and
// fill, a picture up to the ceiling, so every run keeps it at 64 MiB.
static const struct LowerImageCeiling {
    LowerImageCeiling() { LowerMaxImageBytes(std::int64_t{64} << 20); }
} lowerImageCeiling;

class NullGL final : public GLApi {
public:
    void ClearColor(GLfloat, GLfloat, GLfloat, GLfloat) override {}
    void ClearDepth(GLdouble) override {}
    void ShadeModel(GLenum) override {}
    void Enable(GLenum) override {}
    void Disable(GLenum) override {}
    void Fogfv(GLenum, const GLfloat*) override {}
    void Fogf(GLenum, GLfloat) override {}
    void Fogi(GLenum, GLint) override {}
    void Hint(GLenum, GLenum) override {}
    void Color4f(GLfloat, GLfloat, GLfloat, GLfloat) override {}
    void LoadIdentity() override {}
    void Rotatef(GLfloat, GLfloat, GLfloat, GLfloat) override {}
    void Translatef(GLfloat, GLfloat, GLfloat) override {}
    void Scalef(GLfloat, GLfloat, GLfloat) override {}
    void PushMatrix() override {}
    void PopMatrix() override {}
    void TexStorage2D(GLenum, GLsizei, GLenum, GLsizei, GLsizei) override {}
    void GetTexParameteriv(GLenum, GLenum, GLint* params) override { *params = 0; }
    void Clear(GLbitfield) override {}
    void BindTexture(GLenum, GLuint) override {}
    void Begin(GLenum) override {}
    void End() override {}
    void TexCoord2f(GLfloat, GLfloat) override {}
    void Vertex3f(GLfloat, GLfloat, GLfloat) override {}
    void ColorMaterial(GLenum, GLenum) override {}
    void Flush() override {}
    void Finish() override {}
    void Viewport(GLint, GLint, GLsizei, GLsizei) override {}
    void MatrixMode(GLenum) override {}
    void Perspective(GLdouble, GLdouble, GLdouble, GLdouble) override {}
    void GenTextures(GLsizei, GLuint*) override {}
    void DeleteTextures(GLsizei, const GLuint*) override {}
    void TexParameteri(GLenum, GLenum, GLint) override {}
    GLint Build2DMipmaps(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*) override
    {
        return 0;
    }
    void TexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*) override {}
    void TexSubImage2D(GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*) override {}
    void GetTexLevelParameteriv(GLenum, GLint, GLenum, GLint* params) override { *params = 0; }
    void GetIntegerv(GLenum, GLint*) override {}
    void PixelStorei(GLenum, GLint) override {}
    void ReadPixels(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) override {}
    void BlendFunc(GLenum, GLenum) override {}
    void DepthMask(GLboolean) override {}
    void ColorMask(GLboolean, GLboolean, GLboolean, GLboolean) override {}
    void TexParameterf(GLenum, GLenum, GLfloat) override {}
    void GetFloatv(GLenum, GLfloat*) override {}
    const char* GetString(GLenum) override { return nullptr; }
    void GetTexImage(GLenum, GLint, GLenum, GLenum, void*) override {}
    void Frustum(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) override {}
    void PolygonOffset(GLfloat, GLfloat) override {}
    void TexEnvi(GLenum, GLenum, GLint) override {}
    void TexEnvf(GLenum, GLenum, GLfloat) override {}
};

// A file in the temporary folder named after this process, removed at exit.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& suffix)
        : path_(std::filesystem::temp_directory_path() /
                ("cubiform-fuzz-" + std::to_string(getpid()) + suffix))
    {
    }
    ~ScratchFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    QString Name() const { return QString::fromStdString(path_.string()); }

    void Write(const std::uint8_t* data, std::size_t size) const
    {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
            __builtin_trap(); // the fuzzer's own scratch space failed
    }

private:
    std::filesystem::path path_;
};
