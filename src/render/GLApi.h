#pragma once
// The slice of OpenGL 1.1 + GLU the program uses, behind one small interface:
// the real one forwards to the driver, tests put in a recorder and assert the
// exact calls without any context.
#include <GL/gl.h>

class GLApi {
public:
    virtual ~GLApi() = default;

    virtual void ClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) = 0;
    virtual void ClearDepth(GLdouble depth) = 0;
    virtual void ShadeModel(GLenum mode) = 0;
    virtual void Enable(GLenum cap) = 0;
    virtual void Disable(GLenum cap) = 0;
    virtual void Fogfv(GLenum pname, const GLfloat* params) = 0;
    virtual void Fogf(GLenum pname, GLfloat param) = 0;
    virtual void Fogi(GLenum pname, GLint param) = 0;
    virtual void Hint(GLenum target, GLenum mode) = 0;
    virtual void Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) = 0;
    virtual void LoadIdentity() = 0;
    virtual void Rotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) = 0;
    virtual void Translatef(GLfloat x, GLfloat y, GLfloat z) = 0;
    virtual void Scalef(GLfloat x, GLfloat y, GLfloat z) = 0;
    virtual void PushMatrix() = 0;
    virtual void PopMatrix() = 0;
    virtual void Clear(GLbitfield mask) = 0;
    virtual void BindTexture(GLenum target, GLuint texture) = 0;
    virtual void Begin(GLenum mode) = 0;
    virtual void End() = 0;
    virtual void TexCoord2f(GLfloat s, GLfloat t) = 0;
    virtual void Vertex3f(GLfloat x, GLfloat y, GLfloat z) = 0;
    virtual void ColorMaterial(GLenum face, GLenum mode) = 0;
    virtual void Flush() = 0;
    virtual void Finish() = 0;
    virtual void Viewport(GLint x, GLint y, GLsizei w, GLsizei h) = 0;
    virtual void MatrixMode(GLenum mode) = 0;
    virtual void Perspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) = 0;
    virtual void GenTextures(GLsizei n, GLuint* textures) = 0;
    virtual void DeleteTextures(GLsizei n, const GLuint* textures) = 0;
    virtual void TexParameteri(GLenum target, GLenum pname, GLint param) = 0;
    virtual GLint Build2DMipmaps(GLenum target, GLint internalFormat, GLsizei w, GLsizei h,
                                 GLenum format, GLenum type, const void* data) = 0;
    virtual void TexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei w, GLsizei h,
                            GLint border, GLenum format, GLenum type, const void* data) = 0;
    virtual void TexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h,
                               GLenum format, GLenum type, const void* data) = 0;
    // OpenGL 4.2 (or ARB_texture_storage): only where HasTextureStorage says so.
    virtual void TexStorage2D(GLenum target, GLsizei levels, GLenum internalFormat, GLsizei w, GLsizei h) = 0;
    virtual void GetTexParameteriv(GLenum target, GLenum pname, GLint* params) = 0;
    virtual void GetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params) = 0;
    virtual void GetIntegerv(GLenum pname, GLint* params) = 0;
    virtual void PixelStorei(GLenum pname, GLint param) = 0;
    virtual void ReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
                            void* pixels) = 0;

    // For the studio looks only: the classic frame never calls these.
    virtual void BlendFunc(GLenum sfactor, GLenum dfactor) = 0;
    virtual void DepthMask(GLboolean flag) = 0;
    virtual void PolygonOffset(GLfloat factor, GLfloat units) = 0;
    virtual void ColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) = 0;
    virtual void TexParameterf(GLenum target, GLenum pname, GLfloat param) = 0;
    virtual void GetFloatv(GLenum pname, GLfloat* params) = 0;
    // Null when there is no context.
    virtual const char* GetString(GLenum name) = 0;
    virtual void GetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels) = 0;
    virtual void Frustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                         GLdouble zNear, GLdouble zFar) = 0;
    virtual void TexEnvi(GLenum target, GLenum pname, GLint param) = 0;
    virtual void TexEnvf(GLenum target, GLenum pname, GLfloat param) = 0;
};

// Forwards to the OpenGL driver of whatever context is current.
GLApi& SystemGL();
