// TMAN_interim: a stand-in for the texture manager's scratch loads and binding, until the manager lands.
#include "ui/TMAN_interim.h"

#include <GL/gl.h>

#include <map>
#include <vector>

#include "ui/OGL_state.h"
#include "ui/OGL_texture_unit.h"

namespace {
std::vector<uint8_t> scratch_bytes(2048 * 2048 * 4);
TMAN_scratch_image scratch{scratch_bytes.data(), 0, 0, scratch_bytes.size()};
std::map<int, GLuint> names;
} // namespace

TMAN_scratch_image& TMAN_scratch() { return scratch; }

int TMAN_load_bitmap(int, int ref, uint32_t flags, int, const std::string&) {
    GLuint& name = names[ref];
    if (!name)
        glGenTextures(1, &name);
    OGL_bind_texture_unit(static_cast<int>(name), 0, 0, GL_TEXTURE_2D);
    const GLenum format = (flags & 0xF) == 3 ? GL_ALPHA : (flags & 0xF) == 1 ? GL_RGB : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), scratch.width, scratch.height, 0, format,
                 GL_UNSIGNED_BYTE, scratch.pixels);
    const GLint nearest = (flags & 0x40) ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, nearest);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, (flags & 0xC00) ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (flags & 0x400) ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    return ref;
}

void TMAN_bind_ref(int ref, int unit, int mode) {
    auto it = names.find(ref);
    OGL_bind_texture_unit(it == names.end() ? 3 : static_cast<int>(it->second), unit, mode, GL_TEXTURE_2D);
}
