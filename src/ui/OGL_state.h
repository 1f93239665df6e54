// OGL_state: the cache of the fixed-function pipeline state and the palette colour call.
//
// Every drawing call brings the pipeline into the state it needs through OGL_set_state, which issues only
// the changes. The cache is right only while these states change nowhere else. Main thread only, with the
// window's context current.
#pragma once
#include <cstdint>

#include "ui/OGL_colour_settings.h"

// Brings fog, texture units, lighting, blending and depth into the requested state; the interface passes
// (1, units, 1, blend mode 0..3, 1, 1). tex_units is clamped to 0..max_tex_units; only units 0..7 are ever
// switched, and unit 0 is active afterwards. The result carries no meaning (0).
int OGL_set_state(int no_fog, int tex_units, int no_lighting, int blend_mode, int no_depth_test,
                  int no_depth_write);
// 0 no blending and no alpha test; 1 blending only; 2 alpha test only; 3 both.
void OGL_set_blend_mode(int mode);
void OGL_set_depth(int no_depth_test, int no_depth_write);
// Forgets everything the cache knows (a new context): the states are read from GL again on first use.
void OGL_reset_state_cache();

// What the cache believes; for tests and diagnosis. The *_read fields tell which lazy reads happened.
struct OGL_state_cache {
    int blend_on, alpha_test_on, depth_test_off, depth_write_off, fog_off, tex_units, lighting_off;
    int last_applied_units;
    bool blend_read, alpha_read, depth_test_read, fog_read, units_read, lighting_read;
};
OGL_state_cache OGL_get_state_cache();

// Adjusts r, g, b in place: the light factors (unless exempt), then the fade toward red, else monochrome
// green. `a` is not read.
void OGL_adjust_colour(const colour_settings_record& cs, float* r, float* g, float* b, float* a, int exempt);
// The adjusted palette colour of an index (indices 43 and above, the interface colours, skip the light
// factors). Index outside 0..114 gives black.
void OGL_palette_colour(const colour_settings_record& cs, int index, float rgb[3]);
// Makes the adjusted palette colour current: glColor3f when alpha > 0.99, else glColor4f.
void OGL_set_colour(const colour_settings_record& cs, int index, float alpha);
void OGL_set_colour(int index, float alpha);
