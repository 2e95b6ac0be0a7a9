#include "render/GLExtensions.h"

#include "render/GLApi.h"

#include <cstdio>
#include <cstring>

bool HasExtensionName(const char* list, const char* name)
{
    if (!list)
        return false;
    const std::size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        const bool startOk = p == list || p[-1] == ' ';
        const bool endOk = p[n] == '\0' || p[n] == ' ';
        if (startOk && endOk)
            return true;
    }
    return false;
}

bool HasTextureStorage(GLApi& gl)
{
    int major = 0, minor = 0;
    const char* version = gl.GetString(GL_VERSION);
    if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2 && (major > 4 || (major == 4 && minor >= 2)))
        return true;
    return HasExtensionName(gl.GetString(GL_EXTENSIONS), "GL_ARB_texture_storage");
}
