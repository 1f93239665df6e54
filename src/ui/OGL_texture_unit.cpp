// OGL_texture_unit: texture binding per unit and the texture-environment (combiner) modes.
#include "ui/OGL_texture_unit.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "base/DREF_registry.h"
#include "ui/OGL_extensions.h"

namespace {

constexpr int cached_units = 16;
constexpr int placeholder_name = 3;
constexpr int atlas_name = 1021;

// Per-unit bound name and mode (-1: not yet set), and "perf/kill_tex". Main thread only.
struct unit_cache {
    int name[cached_units];
    int mode[cached_units];
    DREF_var* kill_tex = nullptr; // "perf/kill_tex", once registered
    unit_cache() { reset(); }
    void reset() {
        for (int i = 0; i < cached_units; ++i)
            name[i] = mode[i] = -1;
    }
};
unit_cache units;

enum source : GLint { prev = GL_PREVIOUS, tex = GL_TEXTURE, konst = GL_CONSTANT, prim = GL_PRIMARY_COLOR };
enum operand : GLint { colour = GL_SRC_COLOR, alpha = GL_SRC_ALPHA, inv_alpha = GL_ONE_MINUS_SRC_ALPHA };
enum env_colour { none, white, black };

struct arg {
    GLint src;
    GLint op;
};

// One combiner recipe: functions and their arguments for RGB and alpha, and the extra settings.
struct recipe {
    int mode;
    GLint rgb_func;
    arg rgb[3];
    GLint alpha_func;
    arg alp[3];
    env_colour env = none;
    float rgb_scale = 0.0f;   // 0: not set beyond the 1.0 every mode gets
    float alpha_scale = 0.0f; // 0: not set
    bool as_float = false;    // the settings go through glTexEnvf
};

int arg_count(GLint func) { return func == GL_REPLACE ? 1 : func == GL_INTERPOLATE ? 3 : 2; }

const recipe recipes[] = {
    {1, GL_ADD, {{prev, colour}, {tex, colour}}, GL_REPLACE, {{prev, alpha}}},
    {2, GL_ADD, {{prev, colour}, {tex, colour}}, GL_ADD, {{prev, alpha}, {tex, alpha}}},
    {3, GL_INTERPOLATE, {{prev, colour}, {tex, colour}, {konst, colour}}, GL_REPLACE, {{prev, alpha}}},
    {4,
     GL_INTERPOLATE,
     {{prev, colour}, {tex, colour}, {konst, colour}},
     GL_INTERPOLATE,
     {{prev, alpha}, {tex, alpha}, {konst, alpha}}},
    {5, GL_MODULATE, {{prev, colour}, {konst, colour}}, GL_REPLACE, {{prev, alpha}}, none, 4.0f},
    {6,
     GL_MODULATE,
     {{prev, colour}, {konst, colour}},
     GL_MODULATE,
     {{prev, alpha}, {konst, alpha}},
     none,
     4.0f,
     4.0f},
    {14, GL_MODULATE, {{prev, colour}, {tex, colour}}, GL_REPLACE, {{tex, alpha}}, none, 0.0f, 1.0f},
    {15, GL_REPLACE, {{prev, colour}}, GL_SUBTRACT, {{tex, alpha}, {prev, alpha}}, none, 0.0f, 4.0f},
    {16, GL_REPLACE, {{prev, colour}}, GL_MODULATE, {{prev, inv_alpha}, {tex, alpha}}},
    {17, GL_MODULATE, {{prev, colour}, {prev, inv_alpha}}, GL_REPLACE, {{konst, alpha}}, white},
    {18, GL_REPLACE, {{prev, colour}}, GL_REPLACE, {{prev, alpha}}},
    {19, GL_REPLACE, {{prev, colour}}, GL_REPLACE, {{konst, alpha}}, white},
    {20, GL_MODULATE, {{prev, colour}, {tex, colour}}, GL_REPLACE, {{konst, alpha}}, white},
    {21, GL_MODULATE, {{prev, colour}, {tex, colour}}, GL_REPLACE, {{prev, alpha}}, none, 0.0f, 1.0f},
    {22, GL_REPLACE, {{tex, alpha}}, GL_REPLACE, {{konst, alpha}}, white},
    {23, GL_REPLACE, {{prev, colour}}, GL_REPLACE, {{tex, alpha}}},
    {24, GL_INTERPOLATE, {{tex, colour}, {prev, colour}, {tex, alpha}}, GL_REPLACE, {{prev, alpha}}},
    {25, GL_INTERPOLATE, {{tex, colour}, {prev, colour}, {prev, alpha}}, GL_REPLACE, {{prev, alpha}}},
    {26, GL_MODULATE, {{prev, colour}, {tex, alpha}}, GL_REPLACE, {{prev, alpha}}},
    {27,
     GL_INTERPOLATE,
     {{tex, colour}, {prev, colour}, {konst, colour}},
     GL_INTERPOLATE,
     {{tex, alpha}, {prev, alpha}, {konst, alpha}}},
    {28, GL_INTERPOLATE, {{tex, colour}, {konst, colour}, {tex, alpha}}, GL_REPLACE, {{prev, alpha}}},
    {29, GL_MODULATE, {{prev, colour}, {prim, colour}}, GL_REPLACE, {{prev, alpha}}},
    {30, GL_MODULATE, {{prev, colour}, {konst, colour}}, GL_MODULATE, {{prev, alpha}, {konst, alpha}}},
    {31,
     GL_INTERPOLATE,
     {{prev, colour}, {konst, colour}, {tex, colour}},
     GL_REPLACE,
     {{prev, alpha}},
     black,
     0.0f,
     0.0f,
     true},
    {32,
     GL_INTERPOLATE,
     {{prim, colour}, {konst, colour}, {tex, colour}},
     GL_REPLACE,
     {{tex, alpha}},
     black,
     0.0f,
     0.0f,
     true},
};

const recipe* find_recipe(int mode) {
    for (const recipe& r : recipes)
        if (r.mode == mode)
            return &r;
    return nullptr;
}

void env(GLenum pname, GLint value, bool as_float) {
    if (as_float)
        glTexEnvf(GL_TEXTURE_ENV, pname, static_cast<GLfloat>(value));
    else
        glTexEnvi(GL_TEXTURE_ENV, pname, value);
}

void apply_recipe(const recipe& r) {
    static const GLenum rgb_src[3] = {GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB};
    static const GLenum rgb_op[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    static const GLenum alpha_src[3] = {GL_SOURCE0_ALPHA, GL_SOURCE1_ALPHA, GL_SOURCE2_ALPHA};
    static const GLenum alpha_op[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    env(GL_TEXTURE_ENV_MODE, GL_COMBINE, r.as_float);
    if (r.env != none) {
        GLfloat c = r.env == white ? 1.0f : 0.0f;
        const GLfloat colour4[4] = {c, c, c, c};
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour4);
    }
    env(GL_COMBINE_RGB, r.rgb_func, r.as_float);
    for (int i = 0; i < arg_count(r.rgb_func); ++i) {
        env(rgb_src[i], r.rgb[i].src, r.as_float);
        env(rgb_op[i], r.rgb[i].op, r.as_float);
    }
    env(GL_COMBINE_ALPHA, r.alpha_func, r.as_float);
    for (int i = 0; i < arg_count(r.alpha_func); ++i) {
        env(alpha_src[i], r.alp[i].src, r.as_float);
        env(alpha_op[i], r.alp[i].op, r.as_float);
    }
    if (r.rgb_scale > 0.0f)
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, r.rgb_scale);
    if (r.alpha_scale > 0.0f)
        glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, r.alpha_scale);
}

void active_unit(int unit) {
    if (OGL_proc::glActiveTextureARB)
        OGL_proc::glActiveTextureARB(GL_TEXTURE0 + unit);
}

} // namespace

void OGL_bind_texture_unit(int name, int unit, int mode, int target) {
    if (mode == 0)
        mode = GL_MODULATE;
    if (units.kill_tex && units.kill_tex->own_value != 0 && name != atlas_name)
        name = placeholder_name;
    bool cached = unit >= 0 && unit < cached_units;
    int no_entry = -1;
    int& cached_name = cached ? units.name[unit] : no_entry;
    int no_mode = -1;
    int& cached_mode = cached ? units.mode[unit] : no_mode;
    if (cached_name == name && cached_mode == mode)
        return;
    if (unit > 0)
        active_unit(unit);
    if (name != cached_name) {
        glBindTexture(static_cast<GLenum>(target), static_cast<GLuint>(name));
        cached_name = name;
    }
    if (mode != 0x21 && mode != cached_mode) {
        cached_mode = mode;
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
        glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1.0f);
        if (const recipe* r = find_recipe(mode))
            apply_recipe(*r);
        else
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
    }
    if (unit > 0)
        active_unit(0);
}

void OGL_reset_unit_cache() { units.reset(); }

DREF_var& OGL_texture_unit_register_vars() {
    static DREF_var kill_tex("perf/kill_tex", 5, 0);
    units.kill_tex = &kill_tex;
    return kill_tex;
}
