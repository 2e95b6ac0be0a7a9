#pragma once
// GL clamps a vertex colour at 1, so a colour alone can only darken a cover.
// While lit, the texture is multiplied by twice the colour: a face's
// brightness b (0..MostBrightness) is drawn as the colour b / 2.
#include "render/GLApi.h"

void BeginLitTexturing(GLApi& gl);
// Back to the plain modulation the classic frame uses.
void EndLitTexturing(GLApi& gl);

// The colour that gives this brightness: halved on a texture while lit; a
// surface without texture gets the colour itself, which cannot pass 1.
inline float LitColour(float brightness, bool textured)
{
    return textured ? 0.5f * brightness : (brightness < 1.0f ? brightness : 1.0f);
}
