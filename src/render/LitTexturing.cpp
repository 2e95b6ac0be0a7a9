#include "render/LitTexturing.h"

void BeginLitTexturing(GLApi& gl)
{
    gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    gl.TexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    gl.TexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
    gl.TexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 2.0f);
}

void EndLitTexturing(GLApi& gl)
{
    gl.TexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
    gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}
