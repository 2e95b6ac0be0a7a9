#include "render/GLApi.h"

#include <GL/glu.h>

namespace {

class DriverGL final : public GLApi {
public:
    void ClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) override { glClearColor(r, g, b, a); }
    void ClearDepth(GLdouble depth) override { glClearDepth(depth); }
    void ShadeModel(GLenum mode) override { glShadeModel(mode); }
    void Enable(GLenum cap) override { glEnable(cap); }
    void Disable(GLenum cap) override { glDisable(cap); }
    void Fogfv(GLenum pname, const GLfloat* params) override { glFogfv(pname, params); }
    void Fogf(GLenum pname, GLfloat param) override { glFogf(pname, param); }
    void Fogi(GLenum pname, GLint param) override { glFogi(pname, param); }
    void Hint(GLenum target, GLenum mode) override { glHint(target, mode); }
    void Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) override { glColor4f(r, g, b, a); }
    void LoadIdentity() override { glLoadIdentity(); }
    void Rotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) override { glRotatef(angle, x, y, z); }
    void Translatef(GLfloat x, GLfloat y, GLfloat z) override { glTranslatef(x, y, z); }
    void Scalef(GLfloat x, GLfloat y, GLfloat z) override { glScalef(x, y, z); }
    void PushMatrix() override { glPushMatrix(); }
    void PopMatrix() override { glPopMatrix(); }
    void Clear(GLbitfield mask) override { glClear(mask); }
    void BindTexture(GLenum target, GLuint texture) override { glBindTexture(target, texture); }
    void Begin(GLenum mode) override { glBegin(mode); }
    void End() override { glEnd(); }
    void TexCoord2f(GLfloat s, GLfloat t) override { glTexCoord2f(s, t); }
    void Vertex3f(GLfloat x, GLfloat y, GLfloat z) override { glVertex3f(x, y, z); }
    void ColorMaterial(GLenum face, GLenum mode) override { glColorMaterial(face, mode); }
    void Flush() override { glFlush(); }
    void Finish() override { glFinish(); }
    void Viewport(GLint x, GLint y, GLsizei w, GLsizei h) override { glViewport(x, y, w, h); }
    void MatrixMode(GLenum mode) override { glMatrixMode(mode); }
    void Perspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) override
    {
        gluPerspective(fovy, aspect, zNear, zFar);
    }
    void GenTextures(GLsizei n, GLuint* textures) override { glGenTextures(n, textures); }
    void DeleteTextures(GLsizei n, const GLuint* textures) override { glDeleteTextures(n, textures); }
    void TexParameteri(GLenum target, GLenum pname, GLint param) override
    {
        glTexParameteri(target, pname, param);
    }
    GLint Build2DMipmaps(GLenum target, GLint internalFormat, GLsizei w, GLsizei h, GLenum format,
                         GLenum type, const void* data) override
    {
        // GLU reads the context's version first and crashes without one.
        if (!glGetString(GL_VERSION))
            return GLU_INVALID_OPERATION;
        return gluBuild2DMipmaps(target, internalFormat, w, h, format, type, data);
    }
    void TexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei w, GLsizei h,
                    GLint border, GLenum format, GLenum type, const void* data) override
    {
        glTexImage2D(target, level, internalFormat, w, h, border, format, type, data);
    }
    void TexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h,
                       GLenum format, GLenum type, const void* data) override
    {
        glTexSubImage2D(target, level, x, y, w, h, format, type, data);
    }
    void TexStorage2D(GLenum target, GLsizei levels, GLenum internalFormat, GLsizei w, GLsizei h) override
    {
        glTexStorage2D(target, levels, internalFormat, w, h);
    }
    void GetTexParameteriv(GLenum target, GLenum pname, GLint* params) override
    {
        glGetTexParameteriv(target, pname, params);
    }
    void GetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params) override
    {
        glGetTexLevelParameteriv(target, level, pname, params);
    }
    void GetIntegerv(GLenum pname, GLint* params) override { glGetIntegerv(pname, params); }
    void PixelStorei(GLenum pname, GLint param) override { glPixelStorei(pname, param); }
    void ReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
                    void* pixels) override
    {
        glReadPixels(x, y, w, h, format, type, pixels);
    }
    void BlendFunc(GLenum sfactor, GLenum dfactor) override { glBlendFunc(sfactor, dfactor); }
    void DepthMask(GLboolean flag) override { glDepthMask(flag); }
    void PolygonOffset(GLfloat factor, GLfloat units) override { glPolygonOffset(factor, units); }
    void ColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) override { glColorMask(r, g, b, a); }
    void TexParameterf(GLenum target, GLenum pname, GLfloat param) override
    {
        glTexParameterf(target, pname, param);
    }
    void GetFloatv(GLenum pname, GLfloat* params) override { glGetFloatv(pname, params); }
    const char* GetString(GLenum name) override { return reinterpret_cast<const char*>(glGetString(name)); }
    void GetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels) override
    {
        glGetTexImage(target, level, format, type, pixels);
    }
    void Frustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
                 GLdouble zFar) override
    {
        glFrustum(left, right, bottom, top, zNear, zFar);
    }
    void TexEnvi(GLenum target, GLenum pname, GLint param) override { glTexEnvi(target, pname, param); }
    void TexEnvf(GLenum target, GLenum pname, GLfloat param) override { glTexEnvf(target, pname, param); }
};

} // namespace

GLApi& SystemGL()
{
    static DriverGL gl;
    return gl;
}
