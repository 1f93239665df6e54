// OGL_view: the view (projection and model-view matrices) and its set-up, the drawing primitives, the
// scissor stack, the blend table, clearing the view and presenting the frame.
//
// Coordinates are floats in the logical units of the current screen, y up; every primitive adds the view
// origin of screen_state. Each primitive brings the pipeline state through OGL_set_state first. Main thread
// only, with the window's context current.
#pragma once
#include <cstdint>

class DREF_var;

// The global view. Matrices are column-major, as OpenGL takes them.
struct OGL_view_record {
    int32_t is_ortho = 1;                                   // 1 orthographic, 0 perspective
    float near_neg = 0.0f, far_neg = 0.0f, far_neg2 = 0.0f; // near and far clip distances, negated
    float planes[4][3] = {}; // perspective side planes: left, right, bottom, top
    float top = 0.0f, left = 0.0f, right = 0.0f, bottom = 0.0f; // the orthographic rectangle
    int32_t dirty = 1;                                          // 0 once the matrices were loaded into GL
    float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // The orthographic matrix that glOrtho builds; stores the rectangle and the negated near and far.
    void ortho(float l, float r, float b, float t, float n, float f);
    // The perspective matrix that glFrustum builds; stores the unit inward normals of the side planes and
    // the negated near and far. "perf/kill_clip" moves the top edge of the matrix to 55 % of the way up;
    // "perf/kill_cull" computes the planes with the left edge at 45 % of the way across.
    void frustum(float l, float r, float b, float t, float n, float f);
    void reset_modelview();
};
extern OGL_view_record OGL_view;

// Registers "perf/kill_cull" and "perf/kill_clip" (own values, type 5, default 0) on the first call and
// returns them. Main thread, at start-up.
struct OGL_view_vars {
    DREF_var& kill_cull;
    DREF_var& kill_clip;
};
OGL_view_vars OGL_view_register_vars();

// The full-window view for the current drawable size: UI scales 1, the view rectangle, the 1024 x 768
// centring values (offsets 0 on the start-up screen -1), and, once a screen id of 0 or more is current, an
// orthographic view of the drawable loaded into GL. The argument is ignored.
void OGL_setup_ui_view(int ignored);
// The general set-up. Mode 2 orthographic, mode 3 perspective (left, bottom, right, top are slopes times
// near), modes 0 and 1 keep the projection. The from-screen flag (mode 2) takes the rectangle from
// screen_state; keep-aspect scales bottom and top by the viewport's height over width; the rectangle is
// divided by the divisor. Sets the viewport and loads both matrices.
void OGL_setup_view(int mode, float left, float vx0, float bottom, float vy0, float right, float vx1,
                    float near_, float top, float vy1, float far_, float divisor, int keep_aspect,
                    int from_screen);

// One corner of an atlas quad: position and texture coordinates.
struct OGL_quad_corner {
    float x, y, s, t;
};
// A textured quad through the four corners in order. tex_ref 0 draws untextured geometry and leaves the
// bindings alone; otherwise the ref is bound on unit 0 with the combiner mode.
void OGL_draw_atlas_quad(int tex_ref, int colour, float alpha, const OGL_quad_corner corners[4],
                         int tex_units, int blend_mode, int combiner_mode);
// OGL_draw_atlas_quad sampling the texture bilinearly (its own filters are restored after): a picture drawn
// smaller than its texels blends them instead of dropping whole rows and columns of a nearest-sampled atlas.
void OGL_draw_atlas_quad_smooth(int tex_ref, int colour, float alpha, const OGL_quad_corner corners[4],
                                int tex_units, int blend_mode, int combiner_mode);
void OGL_draw_rect(int colour, float alpha, float x, float y, float width, float height);
// A line between pixel centres (each end shifted by 0.5).
void OGL_draw_line(int colour, float alpha, float x0, float y0, float x1, float y1);
// A sprite of the interface atlas (ref 1021, 512 x 512) centred on (x, y), half sizes hw and hh, from the
// atlas pixels centred on (atlas_x, atlas_y).
void OGL_draw_atlas_sprite(float x, float y, float atlas_x, float atlas_y, float hw, float hh, int colour);

// Narrows the clip rectangle (x0, y0, x1, y1 in view units) to its intersection with the current one; the
// first push enables the scissor test. Every push is matched by a pop within the same widget call.
void OGL_push_scissor(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Restores the previous rectangle; the last pop disables the scissor test.
void OGL_pop_scissor();
// Rectangles on the stack (0 at the end of every frame).
int OGL_scissor_depth();

// The blend table: slot 0 additive, slot 1 normal.
void OGL_blend_additive();
void OGL_blend_normal();
extern void (*const OGL_blend_table[2])();
// 1 while additive blending is current.
int OGL_blend_is_additive();

// Sets the current colour to white as the UI colours are adjusted (fade, else monochrome), presents window
// the drawn window, and adds the swap's duration to the swap-time total.
void OGL_swap_buffers();
// Seconds spent in buffer swaps since start-up (the frame clock reads it).
double OGL_swap_time_total();

// Fills the logical view, from its corner at the view origin, with colour 43, the screen background.
void OGL_clear_view();
