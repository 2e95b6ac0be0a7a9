#pragma once
// A GLApi that records every call as text ("Enable(GL_FOG)") instead of
// drawing, so tests can assert the exact calls and their order.
#include "render/GLApi.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <set>
#include <vector>

class RecordingGL final : public GLApi {
public:
    QStringList Calls;
    GLint ViewportValue[4] = {0, 0, 0, 0}; // answered for GetIntegerv(GL_VIEWPORT)
    GLuint NextTexture = 1;
    unsigned char ReadPixelsFill = 0; // byte written by ReadPixels
    GLint MaxTextureSize = 16384;     // proxy textures larger than this do not fit
    // The first pixel of each base level sent with its data, in order.
    std::vector<std::array<std::uint8_t, 4>> FirstPixelsSent;

    // Calls whose text starts with prefix.
    QStringList Matching(const QString& prefix) const;
    void Reset()
    {
        Calls.clear();
        FirstPixelsSent.clear();
    }

    void ClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) override;
    void ClearDepth(GLdouble depth) override;
    void ShadeModel(GLenum mode) override;
    void Enable(GLenum cap) override;
    void Disable(GLenum cap) override;
    void Fogfv(GLenum pname, const GLfloat* params) override;
    void Fogf(GLenum pname, GLfloat param) override;
    void Fogi(GLenum pname, GLint param) override;
    void Hint(GLenum target, GLenum mode) override;
    void Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) override;
    void LoadIdentity() override;
    void Rotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) override;
    void Translatef(GLfloat x, GLfloat y, GLfloat z) override;
    void Scalef(GLfloat x, GLfloat y, GLfloat z) override;
    void PushMatrix() override { Calls << QStringLiteral("PushMatrix()"); }
    void PopMatrix() override { Calls << QStringLiteral("PopMatrix()"); }
    void Clear(GLbitfield mask) override;
    void BindTexture(GLenum target, GLuint texture) override;
    void Begin(GLenum mode) override;
    void End() override;
    void TexCoord2f(GLfloat s, GLfloat t) override;
    void Vertex3f(GLfloat x, GLfloat y, GLfloat z) override;
    void ColorMaterial(GLenum face, GLenum mode) override;
    void Flush() override;
    void Finish() override;
    void Viewport(GLint x, GLint y, GLsizei w, GLsizei h) override;
    void MatrixMode(GLenum mode) override;
    void Perspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) override;
    void GenTextures(GLsizei n, GLuint* textures) override;
    void DeleteTextures(GLsizei n, const GLuint* textures) override;
    void TexParameteri(GLenum target, GLenum pname, GLint param) override;
    GLint Build2DMipmaps(GLenum target, GLint internalFormat, GLsizei w, GLsizei h, GLenum format,
                         GLenum type, const void* data) override;
    void TexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei w, GLsizei h,
                    GLint border, GLenum format, GLenum type, const void* data) override;
    void TexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h,
                       GLenum format, GLenum type, const void* data) override;
    void TexStorage2D(GLenum target, GLsizei levels, GLenum internalFormat, GLsizei w, GLsizei h) override;
    void GetTexParameteriv(GLenum target, GLenum pname, GLint* params) override;
    void GetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params) override;
    void GetIntegerv(GLenum pname, GLint* params) override;
    void PixelStorei(GLenum pname, GLint param) override;
    void ReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
                    void* pixels) override;
    void BlendFunc(GLenum sfactor, GLenum dfactor) override;
    void DepthMask(GLboolean flag) override;
    void PolygonOffset(GLfloat factor, GLfloat units) override;
    void ColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) override;
    void TexParameterf(GLenum target, GLenum pname, GLfloat param) override;
    void GetFloatv(GLenum pname, GLfloat* params) override;
    const char* GetString(GLenum name) override;
    void GetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels) override;
    void Frustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
                 GLdouble zFar) override;
    void TexEnvi(GLenum target, GLenum pname, GLint param) override;
    void TexEnvf(GLenum target, GLenum pname, GLfloat param) override;

    // Answered for GetString(GL_EXTENSIONS), GetString(GL_VERSION) and
    // GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT).
    const char* Extensions = "";
    const char* Version = "";
    GLfloat MaxAnisotropy = 0.0f;

private:
    GLint proxyWidth_ = 0;
    GLint textureWidth_ = 0, textureHeight_ = 0;
    GLuint boundTexture_ = 0;
    std::set<GLuint> immutable_; // names given storage by TexStorage2D
};

// Symbolic name of the GL enums the program uses ("GL_FOG"), else the number.
QString GLEnumName(GLenum value);
