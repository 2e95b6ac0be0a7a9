#pragma once
// Questions about what the current GL (or EGL) offers beyond OpenGL 1.1.
class GLApi;

// True when `name` is one whole word of the space-separated `list` (null: none).
bool HasExtensionName(const char* list, const char* name);

// True when the current context can make immutable texture storage
// (OpenGL 4.2, or ARB_texture_storage before it).
bool HasTextureStorage(GLApi& gl);
