// OGL_view: the view and its set-up, the drawing primitives, the scissor stack, the blend table, clearing
// the view and presenting the frame.
#include "ui/OGL_view.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/DREF_registry.h"
#include "platform/APP_time.h"
#include "platform/WIN_window.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_state.h"
#include "ui/TEX_manager.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

OGL_view_record OGL_view;

namespace {

constexpr int interface_atlas = 1021;
constexpr float interface_atlas_size = 512.0f;

struct scissor_rect {
    int32_t x0, y0, x1, y1;
};

// The scissor stack, the blend flag, the swap-time total and the named variables (main thread only).
struct view_state {
    std::vector<scissor_rect> scissors;
    int additive = 0;
    double swap_seconds = 0.0;
    DREF_var* kill_cull = nullptr;
    DREF_var* kill_clip = nullptr;
};
view_state view;

bool var_set(DREF_var* v) { return v && v->own_value != 0; }

void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void normalise(float v[3]) {
    const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0.0f)
        for (int i = 0; i < 3; ++i)
            v[i] /= len;
}

// Loads both matrices into GL.
void load_matrices() {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(OGL_view.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(OGL_view.modelview);
    OGL_view.dirty = 0;
}

void apply_scissor(const scissor_rect& r) {
    const GLint x = static_cast<GLint>(static_cast<float>(r.x0) + screen_state.origin_x);
    const GLint y = static_cast<GLint>(static_cast<float>(r.y0) + screen_state.origin_y);
    glScissor(x, y, std::max(r.x1 - r.x0, 0), std::max(r.y1 - r.y0, 0));
}

} // namespace

void OGL_view_record::ortho(float l, float r, float b, float t, float n, float f) {
    is_ortho = 1;
    std::fill(projection, projection + 16, 0.0f);
    projection[0] = 2.0f / (r - l);
    projection[5] = 2.0f / (t - b);
    projection[10] = -2.0f / (f - n);
    projection[12] = -(r + l) / (r - l);
    projection[13] = -(t + b) / (t - b);
    projection[14] = -(f + n) / (f - n);
    projection[15] = 1.0f;
    top = t;
    left = l;
    right = r;
    bottom = b;
    near_neg = -n;
    far_neg = -f;
    far_neg2 = -f;
}

void OGL_view_record::frustum(float l, float r, float b, float t, float n, float f) {
    is_ortho = 0;
    if (!view.kill_cull)
        OGL_view_register_vars();
    const float mt = var_set(view.kill_clip) ? b + 0.55f * (t - b) : t;
    std::fill(projection, projection + 16, 0.0f);
    projection[0] = 2.0f * n / (r - l);
    projection[5] = 2.0f * n / (mt - b);
    projection[8] = (r + l) / (r - l);
    projection[9] = (mt + b) / (mt - b);
    projection[10] = -(f + n) / (f - n);
    projection[11] = -1.0f;
    projection[14] = -2.0f * f * n / (f - n);

    const float pl = var_set(view.kill_cull) ? l + 0.45f * (r - l) : l;
    const float lb[3] = {pl, b, -n}, lt[3] = {pl, t, -n}, rt[3] = {r, t, -n}, rb[3] = {r, b, -n};
    cross(lb, lt, planes[0]); // left
    cross(rt, rb, planes[1]); // right
    cross(rb, lb, planes[2]); // bottom
    cross(lt, rt, planes[3]); // top
    for (auto& p : planes)
        normalise(p);
    near_neg = -n;
    far_neg = -f;
    far_neg2 = -f;
}

void OGL_view_record::reset_modelview() {
    std::fill(modelview, modelview + 16, 0.0f);
    modelview[0] = modelview[5] = modelview[10] = modelview[15] = 1.0f;
}

OGL_view_vars OGL_view_register_vars() {
    static DREF_var kill_cull("perf/kill_cull", 5, 0);
    static DREF_var kill_clip("perf/kill_clip", 5, 0);
    view.kill_cull = &kill_cull;
    view.kill_clip = &kill_clip;
    return {kill_cull, kill_clip};
}

void OGL_setup_ui_view(int) {
    screen_state_record& s = screen_state;
    const float w = static_cast<float>(s.drawable_width), h = static_cast<float>(s.drawable_height);
    s.ui_scale = 1.0f;
    s.ui_scale2 = 1.0f;
    s.view_left = 0.0f;
    s.view_bottom = 0.0f;
    s.view_right = w;
    s.view_top = h;
    if (s.screen_id == -1) {
        s.layout_offset_x = 0.0f;
        s.layout_offset_y = 0.0f;
    } else {
        s.layout_offset_x = std::max((w - 1024.0f) * 0.5f, 0.0f);
        s.layout_offset_y = std::max(h - 768.0f, 0.0f);
    }
    s.layout_centre_x = w * 0.5f;
    s.layout_centre_y = 384.0f;
    if (s.screen_id >= 0) {
        OGL_view.ortho(0.0f, w, 0.0f, h, -1.0f, 1.0f);
        glViewport(0, 0, s.drawable_width, s.drawable_height);
        OGL_view.reset_modelview();
        load_matrices();
    }
}

void OGL_setup_view(int mode, float left, float vx0, float bottom, float vy0, float right, float vx1,
                    float near_, float top, float vy1, float far_, float divisor, int keep_aspect,
                    int from_screen) {
    if (mode == 2 && from_screen) {
        left = screen_state.view_left;
        right = screen_state.view_right;
        bottom = screen_state.view_bottom;
        top = screen_state.view_top;
        vx0 = 0.0f;
        vy0 = 0.0f;
        vx1 = static_cast<float>(screen_state.drawable_width);
        vy1 = static_cast<float>(screen_state.drawable_height);
        near_ = -1.0f;
        far_ = 1.0f;
    }
    if (mode == 3) {
        left *= near_;
        bottom *= near_;
        right *= near_;
        top *= near_;
        const float s = screen_state.ui_scale;
        vx0 *= s;
        vy0 *= s;
        vx1 *= s;
        vy1 *= s;
    }
    if (keep_aspect) {
        const float aspect = (vy1 - vy0) / (vx1 - vx0);
        bottom *= aspect;
        top *= aspect;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (mode == 2)
        OGL_view.ortho(left / divisor, right / divisor, bottom / divisor, top / divisor, near_, far_);
    else if (mode == 3)
        OGL_view.frustum(left / divisor, right / divisor, bottom / divisor, top / divisor, near_, far_);
    const GLint x0 = static_cast<GLint>(vx0), y0 = static_cast<GLint>(vy0);
    const GLint x1 = static_cast<GLint>(vx1), y1 = static_cast<GLint>(vy1);
    glViewport(x0, y0, x1 - x0, y1 - y0);
    OGL_view.reset_modelview();
    load_matrices();
}

void OGL_draw_atlas_quad(int tex_ref, int colour, float alpha, const OGL_quad_corner corners[4],
                         int tex_units, int blend_mode, int combiner_mode) {
    OGL_set_state(1, tex_units, 1, blend_mode, 1, 1);
    if (tex_ref > 0)
        TMAN_bind_ref(tex_ref, 0, combiner_mode);
    OGL_set_colour(colour, alpha);
    const float ox = screen_state.origin_x, oy = screen_state.origin_y;
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(corners[i].s, corners[i].t);
        glVertex2f(ox + corners[i].x, oy + corners[i].y);
    }
    glEnd();
}

void OGL_draw_atlas_quad_smooth(int tex_ref, int colour, float alpha, const OGL_quad_corner corners[4],
                                int tex_units, int blend_mode, int combiner_mode) {
    if (tex_ref <= 0) {
        OGL_draw_atlas_quad(tex_ref, colour, alpha, corners, tex_units, blend_mode, combiner_mode);
        return;
    }
    OGL_set_state(1, tex_units, 1, blend_mode, 1, 1);
    TMAN_bind_ref(tex_ref, 0, combiner_mode);
    GLint min_filter = GL_NEAREST, mag_filter = GL_NEAREST;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    OGL_draw_atlas_quad(tex_ref, colour, alpha, corners, tex_units, blend_mode, combiner_mode);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag_filter);
}

void OGL_draw_rect(int colour, float alpha, float x, float y, float width, float height) {
    OGL_set_state(1, 0, 1, 1, 1, 1);
    OGL_set_colour(colour, alpha);
    x += screen_state.origin_x;
    y += screen_state.origin_y;
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x, y + height);
    glVertex2f(x + width, y + height);
    glVertex2f(x + width, y);
    glEnd();
}

void OGL_draw_line(int colour, float alpha, float x0, float y0, float x1, float y1) {
    OGL_set_state(1, 0, 1, 1, 1, 1);
    OGL_set_colour(colour, alpha);
    const float ox = screen_state.origin_x + 0.5f, oy = screen_state.origin_y + 0.5f;
    glBegin(GL_LINES);
    glVertex2f(x0 + ox, y0 + oy);
    glVertex2f(x1 + ox, y1 + oy);
    glEnd();
}

void OGL_draw_atlas_sprite(float x, float y, float atlas_x, float atlas_y, float hw, float hh, int colour) {
    const float k = 1.0f / interface_atlas_size;
    const OGL_quad_corner c[4] = {
        {x - hw, y - hh, (atlas_x - hw) * k, (atlas_y - hh) * k},
        {x - hw, y + hh, (atlas_x - hw) * k, (atlas_y + hh) * k},
        {x + hw, y + hh, (atlas_x + hw) * k, (atlas_y + hh) * k},
        {x + hw, y - hh, (atlas_x + hw) * k, (atlas_y - hh) * k},
    };
    OGL_draw_atlas_quad(interface_atlas, colour, 1.0f, c, 1, 1, 0);
}

void OGL_push_scissor(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    scissor_rect r{x0, y0, x1, y1};
    if (view.scissors.empty()) {
        glEnable(GL_SCISSOR_TEST);
    } else {
        const scissor_rect& p = view.scissors.back();
        r = {std::max(r.x0, p.x0), std::max(r.y0, p.y0), std::min(r.x1, p.x1), std::min(r.y1, p.y1)};
    }
    view.scissors.push_back(r);
    apply_scissor(r);
}

void OGL_pop_scissor() {
    if (view.scissors.empty())
        return;
    view.scissors.pop_back();
    if (view.scissors.empty())
        glDisable(GL_SCISSOR_TEST);
    else
        apply_scissor(view.scissors.back());
}

int OGL_scissor_depth() { return static_cast<int>(view.scissors.size()); }

void OGL_blend_additive() {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    view.additive = 1;
}

void OGL_blend_normal() {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    view.additive = 0;
}

void (*const OGL_blend_table[2])() = {OGL_blend_additive, OGL_blend_normal};

int OGL_blend_is_additive() { return view.additive; }

void OGL_swap_buffers() {
    const colour_settings_record& cs = colour_settings;
    float r = 1.0f, g = 1.0f, b = 1.0f;
    if (cs.fade > 0.0f) {
        g = b = std::clamp(1.0f - 2.0f * cs.fade, 0.0f, 1.0f);
    } else if (cs.monochrome) {
        r = 0.0f;
        b = 0.0f;
    }
    glColor3f(r, g, b);
    const int64_t start = APP_get_microseconds();
    WIN_swap_buffers(WIN_table_window(WIN_drawn_window()));
    view.swap_seconds += static_cast<double>(APP_get_microseconds() - start) / 1000000.0;
}

double OGL_swap_time_total() { return view.swap_seconds; }

void OGL_clear_view() {
    // The view's own rectangle: a dialog centred in a larger window clears only where it stands.
    OGL_draw_rect(43, 1.0f, 0.0f, 0.0f, screen_state.view_width, screen_state.view_height);
}
