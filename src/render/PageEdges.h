#pragma once
// The paper a book's page block shows on its three open sides, drawn by the
// program (no file): the texture of every MeshSurface::PageEdges part.
// BoxRenderer makes it once per context, the first time a mesh needs it.
#include "formats/RgbaPicture.h"

RgbaPicture PageEdgesPicture();
