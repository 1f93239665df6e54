// WIN_gl_proc: OpenGL entry points by name, and the real ARB spellings of EXT entry points.
#include "platform/WIN_gl_proc.h"

#include <SDL.h>
#include <cstring>

void* WIN_gl_get_proc_address(const char* name) { return SDL_GL_GetProcAddress(name); }

namespace {

struct arb_alias {
    const char* ext_name;
    const char* arb_name;
    const char* extension;
};

// EXT entry points that an ARB extension promoted under an ARB name of its own. Names that have no such
// twin (the framebuffer-object calls, separate blending, ...) must never be asked for with "ARB".
const arb_alias aliases[] = {
    {"glProgramParameteriEXT", "glProgramParameteriARB", "GL_ARB_geometry_shader4"},
    {"glFramebufferTextureEXT", "glFramebufferTextureARB", "GL_ARB_geometry_shader4"},
    {"glFramebufferTextureLayerEXT", "glFramebufferTextureLayerARB", "GL_ARB_geometry_shader4"},
    {"glFramebufferTextureFaceEXT", "glFramebufferTextureFaceARB", "GL_ARB_geometry_shader4"},
    {"glDrawArraysInstancedEXT", "glDrawArraysInstancedARB", "GL_ARB_draw_instanced"},
    {"glDrawElementsInstancedEXT", "glDrawElementsInstancedARB", "GL_ARB_draw_instanced"},
    {"glPointParameterfEXT", "glPointParameterfARB", "GL_ARB_point_parameters"},
    {"glPointParameterfvEXT", "glPointParameterfvARB", "GL_ARB_point_parameters"},
};

// The extension list names `ext` as a whole word.
bool advertises(const char* extensions, const char* ext) {
    if (!extensions)
        return false;
    size_t n = std::strlen(ext);
    for (const char* p = std::strstr(extensions, ext); p; p = std::strstr(p + 1, ext)) {
        bool starts = p == extensions || p[-1] == ' ';
        bool ends = p[n] == '\0' || p[n] == ' ';
        if (starts && ends)
            return true;
    }
    return false;
}

} // namespace

const char* WIN_gl_arb_name(const char* name, const char* extensions) {
    for (const auto& a : aliases)
        if (std::strcmp(name, a.ext_name) == 0)
            return advertises(extensions, a.extension) ? a.arb_name : nullptr;
    return nullptr;
}
