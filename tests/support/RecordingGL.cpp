#include "support/RecordingGL.h"

#include <cstring>

namespace {

QString F(double v) { return QString::number(v, 'g', 7); }

} // namespace

QString GLEnumName(GLenum value)
{
    switch (value) {
#define NAME(e) \
    case e: return QStringLiteral(#e);
        NAME(GL_FOG) NAME(GL_DEPTH_TEST) NAME(GL_TEXTURE_2D) NAME(GL_COLOR_MATERIAL)
        NAME(GL_SMOOTH) NAME(GL_FOG_COLOR) NAME(GL_FOG_DENSITY) NAME(GL_FOG_HINT)
        NAME(GL_DONT_CARE) NAME(GL_FOG_START) NAME(GL_FOG_END) NAME(GL_FOG_MODE)
        NAME(GL_LINEAR) NAME(GL_EXP) NAME(GL_EXP2) NAME(GL_QUADS) NAME(GL_FRONT)
        NAME(GL_AMBIENT_AND_DIFFUSE) NAME(GL_PROJECTION) NAME(GL_MODELVIEW)
        NAME(GL_TEXTURE_WRAP_S) NAME(GL_TEXTURE_WRAP_T) NAME(GL_TEXTURE_MAG_FILTER)
        NAME(GL_TEXTURE_MIN_FILTER) NAME(GL_REPEAT) NAME(GL_RGBA) NAME(GL_UNSIGNED_BYTE)
        NAME(GL_VIEWPORT) NAME(GL_PACK_ALIGNMENT) NAME(GL_PACK_ROW_LENGTH)
        NAME(GL_PACK_SKIP_ROWS) NAME(GL_PACK_SKIP_PIXELS) NAME(GL_PROXY_TEXTURE_2D)
        NAME(GL_TEXTURE_WIDTH) NAME(GL_UNPACK_ALIGNMENT) NAME(GL_BLEND) NAME(GL_SRC_ALPHA)
        NAME(GL_ONE_MINUS_SRC_ALPHA) NAME(GL_LINEAR_MIPMAP_LINEAR) NAME(GL_EXTENSIONS) NAME(GL_RENDERER)
        NAME(GL_TEXTURE_MAX_ANISOTROPY_EXT) NAME(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT) NAME(GL_ALPHA)
        NAME(GL_CLAMP_TO_EDGE) NAME(GL_TEXTURE_MAX_LEVEL) NAME(GL_POLYGON_OFFSET_FILL)
        NAME(GL_RGBA8) NAME(GL_TEXTURE_IMMUTABLE_FORMAT) NAME(GL_VERSION)
#undef NAME
    default: return QString::number(value);
    }
}

QStringList RecordingGL::Matching(const QString& prefix) const
{
    QStringList out;
    for (const QString& c : Calls)
        if (c.startsWith(prefix))
            out << c;
    return out;
}

void RecordingGL::ClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    Calls << QStringLiteral("ClearColor(%1,%2,%3,%4)").arg(F(r), F(g), F(b), F(a));
}
void RecordingGL::ClearDepth(GLdouble depth) { Calls << QStringLiteral("ClearDepth(%1)").arg(F(depth)); }
void RecordingGL::ShadeModel(GLenum mode) { Calls << QStringLiteral("ShadeModel(%1)").arg(GLEnumName(mode)); }
void RecordingGL::Enable(GLenum cap) { Calls << QStringLiteral("Enable(%1)").arg(GLEnumName(cap)); }
void RecordingGL::Disable(GLenum cap) { Calls << QStringLiteral("Disable(%1)").arg(GLEnumName(cap)); }
void RecordingGL::Fogfv(GLenum pname, const GLfloat* p)
{
    Calls << QStringLiteral("Fogfv(%1,%2,%3,%4,%5)")
                 .arg(GLEnumName(pname), F(p[0]), F(p[1]), F(p[2]), F(p[3]));
}
void RecordingGL::Fogf(GLenum pname, GLfloat param)
{
    Calls << QStringLiteral("Fogf(%1,%2)").arg(GLEnumName(pname), F(param));
}
void RecordingGL::Fogi(GLenum pname, GLint param)
{
    Calls << QStringLiteral("Fogi(%1,%2)").arg(GLEnumName(pname), GLEnumName(static_cast<GLenum>(param)));
}
void RecordingGL::Hint(GLenum target, GLenum mode)
{
    Calls << QStringLiteral("Hint(%1,%2)").arg(GLEnumName(target), GLEnumName(mode));
}
void RecordingGL::Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    Calls << QStringLiteral("Color4f(%1,%2,%3,%4)").arg(F(r), F(g), F(b), F(a));
}
void RecordingGL::LoadIdentity() { Calls << QStringLiteral("LoadIdentity()"); }
void RecordingGL::Rotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    Calls << QStringLiteral("Rotatef(%1,%2,%3,%4)").arg(F(angle), F(x), F(y), F(z));
}
void RecordingGL::Scalef(GLfloat x, GLfloat y, GLfloat z)
{
    Calls << QStringLiteral("Scalef(%1,%2,%3)").arg(F(x), F(y), F(z));
}

void RecordingGL::Translatef(GLfloat x, GLfloat y, GLfloat z)
{
    Calls << QStringLiteral("Translatef(%1,%2,%3)").arg(F(x), F(y), F(z));
}
void RecordingGL::Clear(GLbitfield mask) { Calls << QStringLiteral("Clear(%1)").arg(mask); }
void RecordingGL::BindTexture(GLenum target, GLuint texture)
{
    Calls << QStringLiteral("BindTexture(%1,%2)").arg(GLEnumName(target)).arg(texture);
    boundTexture_ = texture;
}
void RecordingGL::Begin(GLenum mode) { Calls << QStringLiteral("Begin(%1)").arg(GLEnumName(mode)); }
void RecordingGL::End() { Calls << QStringLiteral("End()"); }
void RecordingGL::TexCoord2f(GLfloat s, GLfloat t)
{
    Calls << QStringLiteral("TexCoord2f(%1,%2)").arg(F(s), F(t));
}
void RecordingGL::Vertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Calls << QStringLiteral("Vertex3f(%1,%2,%3)").arg(F(x), F(y), F(z));
}
void RecordingGL::ColorMaterial(GLenum face, GLenum mode)
{
    Calls << QStringLiteral("ColorMaterial(%1,%2)").arg(GLEnumName(face), GLEnumName(mode));
}
void RecordingGL::Flush() { Calls << QStringLiteral("Flush()"); }
void RecordingGL::Finish() { Calls << QStringLiteral("Finish()"); }
void RecordingGL::Viewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    Calls << QStringLiteral("Viewport(%1,%2,%3,%4)").arg(x).arg(y).arg(w).arg(h);
    ViewportValue[0] = x;
    ViewportValue[1] = y;
    ViewportValue[2] = w;
    ViewportValue[3] = h;
}
void RecordingGL::MatrixMode(GLenum mode) { Calls << QStringLiteral("MatrixMode(%1)").arg(GLEnumName(mode)); }
void RecordingGL::Perspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    Calls << QStringLiteral("Perspective(%1,%2,%3,%4)").arg(F(fovy), F(aspect), F(zNear), F(zFar));
}
void RecordingGL::GenTextures(GLsizei n, GLuint* textures)
{
    for (GLsizei i = 0; i < n; ++i)
        textures[i] = NextTexture++;
    Calls << QStringLiteral("GenTextures(%1)").arg(n);
}
void RecordingGL::DeleteTextures(GLsizei n, const GLuint* textures)
{
    Calls << QStringLiteral("DeleteTextures(%1,%2)").arg(n).arg(n > 0 ? textures[0] : 0);
}
void RecordingGL::TexParameteri(GLenum target, GLenum pname, GLint param)
{
    Calls << QStringLiteral("TexParameteri(%1,%2,%3)")
                 .arg(GLEnumName(target), GLEnumName(pname), GLEnumName(static_cast<GLenum>(param)));
}
GLint RecordingGL::Build2DMipmaps(GLenum target, GLint internalFormat, GLsizei w, GLsizei h,
                                  GLenum format, GLenum type, const void*)
{
    Calls << QStringLiteral("Build2DMipmaps(%1,%2,%3,%4,%5,%6)")
                 .arg(GLEnumName(target), GLEnumName(static_cast<GLenum>(internalFormat)))
                 .arg(w)
                 .arg(h)
                 .arg(GLEnumName(format), GLEnumName(type));
    return 0;
}
void RecordingGL::TexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei w, GLsizei h,
                             GLint border, GLenum format, GLenum type, const void* data)
{
    Calls << QStringLiteral("TexImage2D(%1,%2,%3,%4,%5,%6,%7,%8)")
                 .arg(GLEnumName(target))
                 .arg(level)
                 .arg(GLEnumName(static_cast<GLenum>(internalFormat)))
                 .arg(w)
                 .arg(h)
                 .arg(border)
                 .arg(GLEnumName(format), GLEnumName(type));
    if (target == GL_TEXTURE_2D && level == 0 && data && w > 0 && h > 0) {
        const auto* first = static_cast<const std::uint8_t*>(data);
        FirstPixelsSent.push_back({first[0], first[1], first[2], first[3]});
    }
    if (target == GL_TEXTURE_2D && level == 0) {
        textureWidth_ = w;
        textureHeight_ = h;
    }
    if (target == GL_PROXY_TEXTURE_2D) // answered like a GL with MaxTextureSize
        proxyWidth_ = (w << level) <= MaxTextureSize && (h << level) <= MaxTextureSize ? w : 0;
}
void RecordingGL::TexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h,
                                GLenum format, GLenum type, const void*)
{
    Calls << QStringLiteral("TexSubImage2D(%1,%2,%3,%4,%5,%6,%7,%8)")
                 .arg(GLEnumName(target))
                 .arg(level)
                 .arg(x)
                 .arg(y)
                 .arg(w)
                 .arg(h)
                 .arg(GLEnumName(format), GLEnumName(type));
}
void RecordingGL::TexStorage2D(GLenum target, GLsizei levels, GLenum internalFormat, GLsizei w, GLsizei h)
{
    Calls << QStringLiteral("TexStorage2D(%1,%2,%3,%4,%5)")
                 .arg(GLEnumName(target))
                 .arg(levels)
                 .arg(GLEnumName(internalFormat))
                 .arg(w)
                 .arg(h);
    immutable_.insert(boundTexture_);
    textureWidth_ = w;
    textureHeight_ = h;
}
void RecordingGL::GetTexParameteriv(GLenum target, GLenum pname, GLint* params)
{
    Calls << QStringLiteral("GetTexParameteriv(%1,%2)").arg(GLEnumName(target), GLEnumName(pname));
    *params = pname == GL_TEXTURE_IMMUTABLE_FORMAT && immutable_.count(boundTexture_) ? GL_TRUE : GL_FALSE;
}
void RecordingGL::GetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params)
{
    Calls << QStringLiteral("GetTexLevelParameteriv(%1,%2,%3)").arg(GLEnumName(target)).arg(level).arg(GLEnumName(pname));
    *params = target == GL_PROXY_TEXTURE_2D && pname == GL_TEXTURE_WIDTH ? proxyWidth_ : 0;
    if (target == GL_TEXTURE_2D && level == 0) // the last base level sent
        *params = pname == GL_TEXTURE_WIDTH ? textureWidth_ : pname == GL_TEXTURE_HEIGHT ? textureHeight_ : 0;
}
void RecordingGL::GetIntegerv(GLenum pname, GLint* params)
{
    Calls << QStringLiteral("GetIntegerv(%1)").arg(GLEnumName(pname));
    if (pname == GL_VIEWPORT)
        std::memcpy(params, ViewportValue, sizeof ViewportValue);
}
void RecordingGL::PixelStorei(GLenum pname, GLint param)
{
    Calls << QStringLiteral("PixelStorei(%1,%2)").arg(GLEnumName(pname)).arg(param);
}
void RecordingGL::ReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
                             void* pixels)
{
    Calls << QStringLiteral("ReadPixels(%1,%2,%3,%4,%5,%6)")
                 .arg(x)
                 .arg(y)
                 .arg(w)
                 .arg(h)
                 .arg(GLEnumName(format), GLEnumName(type));
    std::memset(pixels, ReadPixelsFill, static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
}
void RecordingGL::BlendFunc(GLenum sfactor, GLenum dfactor)
{
    Calls << QStringLiteral("BlendFunc(%1,%2)").arg(GLEnumName(sfactor), GLEnumName(dfactor));
}
void RecordingGL::DepthMask(GLboolean flag) { Calls << QStringLiteral("DepthMask(%1)").arg(flag); }
void RecordingGL::PolygonOffset(GLfloat factor, GLfloat units)
{
    Calls << QStringLiteral("PolygonOffset(%1,%2)").arg(factor).arg(units);
}
void RecordingGL::ColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a)
{
    Calls << QStringLiteral("ColorMask(%1,%2,%3,%4)").arg(r).arg(g).arg(b).arg(a);
}
void RecordingGL::TexParameterf(GLenum target, GLenum pname, GLfloat param)
{
    Calls << QStringLiteral("TexParameterf(%1,%2,%3)").arg(GLEnumName(target), GLEnumName(pname), F(param));
}
void RecordingGL::GetFloatv(GLenum pname, GLfloat* params)
{
    Calls << QStringLiteral("GetFloatv(%1)").arg(GLEnumName(pname));
    if (pname == GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT)
        *params = MaxAnisotropy;
}
const char* RecordingGL::GetString(GLenum name)
{
    Calls << QStringLiteral("GetString(%1)").arg(GLEnumName(name));
    return name == GL_EXTENSIONS ? Extensions : name == GL_VERSION ? Version : "";
}
void RecordingGL::GetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels)
{
    Calls << QStringLiteral("GetTexImage(%1,%2,%3,%4)").arg(GLEnumName(target)).arg(level).arg(GLEnumName(format), GLEnumName(type));
    (void)pixels; // the size asked for before is 0 x 0: nothing to fill
}
void RecordingGL::Frustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
                          GLdouble zFar)
{
    Calls << QStringLiteral("Frustum(%1,%2,%3,%4,%5,%6)").arg(F(left), F(right), F(bottom), F(top), F(zNear), F(zFar));
}
void RecordingGL::TexEnvi(GLenum target, GLenum pname, GLint param)
{
    Calls << QStringLiteral("TexEnvi(%1,%2,%3)").arg(GLEnumName(target), GLEnumName(pname), GLEnumName(static_cast<GLenum>(param)));
}
void RecordingGL::TexEnvf(GLenum target, GLenum pname, GLfloat param)
{
    Calls << QStringLiteral("TexEnvf(%1,%2,%3)").arg(GLEnumName(target), GLEnumName(pname), F(param));
}
