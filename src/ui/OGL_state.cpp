// OGL_state: the cache of the fixed-function pipeline state and the palette colour call.
#include "ui/OGL_state.h"

#include <GL/gl.h>
#include <algorithm>

#include "ui/OGL_extensions.h"

namespace {

// The cached pipeline state (main thread only).
struct state_cache {
    int blend_on = 0;
    int alpha_test_on = 0;
    int depth_test_off = 0;
    int depth_write_off = 1; // not read from GL: the window's initial state turns depth writes off
    int fog_off = 0;
    int tex_units = 0;
    int lighting_off = 0;
    int last_applied_units = 1;
    bool blend_read = false;
    bool alpha_read = false;
    bool depth_test_read = false;
    bool fog_read = false;
    bool units_read = false;
    bool lighting_read = false;
};
state_cache cache;

void set_cap(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void active_unit(int i) {
    if (OGL_proc::glActiveTextureARB)
        OGL_proc::glActiveTextureARB(GL_TEXTURE0 + i);
}

} // namespace

void OGL_set_blend_mode(int mode) {
    if (!cache.blend_read) {
        cache.blend_on = glIsEnabled(GL_BLEND) ? 1 : 0;
        cache.blend_read = true;
    }
    if (!cache.alpha_read) {
        cache.alpha_test_on = glIsEnabled(GL_ALPHA_TEST) ? 1 : 0;
        cache.alpha_read = true;
    }
    int blend = (mode == 1 || mode == 3) ? 1 : 0;
    int alpha = (mode == 2 || mode == 3) ? 1 : 0;
    if (blend != cache.blend_on)
        set_cap(GL_BLEND, blend);
    if (alpha != cache.alpha_test_on)
        set_cap(GL_ALPHA_TEST, alpha);
    cache.blend_on = blend;
    cache.alpha_test_on = alpha;
}

void OGL_set_depth(int no_depth_test, int no_depth_write) {
    if (!cache.depth_test_read) {
        cache.depth_test_off = glIsEnabled(GL_DEPTH_TEST) ? 0 : 1;
        cache.depth_test_read = true;
    }
    if (cache.depth_test_off != no_depth_test)
        set_cap(GL_DEPTH_TEST, no_depth_test == 0);
    if (cache.depth_write_off != no_depth_write)
        glDepthMask(no_depth_write ? GL_FALSE : GL_TRUE);
    cache.depth_test_off = no_depth_test;
    cache.depth_write_off = no_depth_write;
}

int OGL_set_state(int no_fog, int tex_units, int no_lighting, int blend_mode, int no_depth_test,
                  int no_depth_write) {
    OGL_set_blend_mode(blend_mode);
    OGL_set_depth(no_depth_test, no_depth_write);
    if (!cache.fog_read) {
        cache.fog_off = glIsEnabled(GL_FOG) ? 0 : 1;
        cache.fog_read = true;
    }
    if (!cache.units_read) {
        cache.tex_units = glIsEnabled(GL_TEXTURE_2D) ? cache.last_applied_units : 0;
        cache.units_read = true;
    }
    if (!cache.lighting_read) {
        cache.lighting_off = glIsEnabled(GL_LIGHTING) ? 0 : 1;
        cache.lighting_read = true;
    }

    if (cache.fog_off != no_fog)
        set_cap(GL_FOG, no_fog == 0);

    int units = tex_units;
    if (tex_units != cache.tex_units) {
        int c = cache.tex_units;
        set_cap(GL_TEXTURE_2D, tex_units >= 1);
        int n = std::clamp(tex_units, 0, std::max(0, OGL_capabilities.max_tex_units));
        cache.last_applied_units = n;
        if (n > 1 || c >= 2) {
            for (int i = 0; i < 8; ++i)
                if (c < i + 1 && i + 1 <= n) {
                    active_unit(i);
                    glEnable(GL_TEXTURE_2D);
                }
            for (int i = 0; i < 8; ++i)
                if (n < i + 1 && i + 1 <= c) {
                    active_unit(i);
                    glDisable(GL_TEXTURE_2D);
                }
            active_unit(0);
        }
        units = n;
    }

    if (cache.lighting_off != no_lighting) {
        set_cap(GL_LIGHTING, no_lighting == 0);
        set_cap(GL_LIGHT0, no_lighting == 0);
    }

    cache.fog_off = no_fog;
    cache.tex_units = units;
    cache.lighting_off = no_lighting;
    return 0;
}

void OGL_reset_state_cache() { cache = state_cache(); }

OGL_state_cache OGL_get_state_cache() {
    return {cache.blend_on,   cache.alpha_test_on, cache.depth_test_off,  cache.depth_write_off,
            cache.fog_off,    cache.tex_units,     cache.lighting_off,    cache.last_applied_units,
            cache.blend_read, cache.alpha_read,    cache.depth_test_read, cache.fog_read,
            cache.units_read, cache.lighting_read};
}

void OGL_adjust_colour(const colour_settings_record& cs, float* r, float* g, float* b, float* a, int exempt) {
    (void)a;
    if (!exempt) {
        *r *= cs.light[0];
        *g *= cs.light[1];
        *b *= cs.light[2];
    }
    float f = cs.fade;
    if (f > 0.0f) {
        float t = std::clamp(*r + *g + *b, 0.01f, 1.0f);
        // Each channel moves toward its target by (target - value) / 0.5 x f, and stops there.
        auto move = [f](float value, float target) {
            float step = (target - value) / 0.5f * f;
            float moved = value + step;
            return (step >= 0.0f) ? std::min(moved, target) : std::max(moved, target);
        };
        *r = move(*r, t);
        *g = move(*g, 0.0f);
        *b = move(*b, 0.0f);
    } else if (cs.monochrome) {
        *g = std::clamp(*r + *g + *b, 0.01f, 1.0f);
        *r = 0.0f;
        *b = 0.0f;
    }
}

void OGL_palette_colour(const colour_settings_record& cs, int index, float rgb[3]) {
    if (index < 0 || index >= 115) {
        rgb[0] = rgb[1] = rgb[2] = 0.0f;
        return;
    }
    rgb[0] = cs.slots[index][0];
    rgb[1] = cs.slots[index][1];
    rgb[2] = cs.slots[index][2];
    OGL_adjust_colour(cs, &rgb[0], &rgb[1], &rgb[2], nullptr, index >= 43 ? 1 : 0);
}

void OGL_set_colour(const colour_settings_record& cs, int index, float alpha) {
    float rgb[3];
    OGL_palette_colour(cs, index, rgb);
    // A full alpha is given explicitly: with glColor3f the alpha of a dim widget drawn just before was seen
    // to stay on the driver the tests run with (a GO BACK after a dim CONTINUE looked dim).
    if (alpha > 0.99f)
        glColor4f(rgb[0], rgb[1], rgb[2], 1.0f);
    else
        glColor4f(rgb[0], rgb[1], rgb[2], alpha);
}

void OGL_set_colour(int index, float alpha) { OGL_set_colour(colour_settings, index, alpha); }
