// BTN_widgets: frames, panels, push buttons, check boxes, radios, the corner buttons and labels.
#include "ui/BTN_widgets.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "base/APP_alert.h"
#include "base/BTN_split_label.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_font.h"
#include "ui/OGL_state.h"
#include "ui/OGL_text_record.h"
#include "ui/OGL_view.h"
#include "ui/TEX_manager.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

constexpr int interface_atlas = 1021;
constexpr int element_atlas = 1022;

struct atlas_size {
    float w, h;
};
atlas_size size_of(int atlas) {
    return atlas == element_atlas ? atlas_size{1024, 128} : atlas_size{512, 512};
}

// BTN_frame1 styles 1-13: atlas, cap, source width, height, source origin, extra drawn width, y shift.
struct strip_style {
    int atlas;
    float cap, source_width, height, s0, t0, extra, shift;
};
constexpr strip_style strip_styles[13] = {
    {interface_atlas, 10, 100, 26, 1, 487, 0, -3}, {interface_atlas, 20, 100, 26, 102, 487, 0, -3},
    {interface_atlas, 10, 52, 26, 304, 486, 0, 0}, {interface_atlas, 10, 52, 26, 304, 459, 0, 0},
    {interface_atlas, 10, 28, 16, 112, 161, 0, 0}, {interface_atlas, 10, 28, 16, 83, 161, 0, 0},
    {interface_atlas, 10, 65, 24, 240, 242, 0, 0}, {interface_atlas, 7, 16, 16, 289, 219, 0, 0},
    {interface_atlas, 10, 51, 26, 262, 133, 4, 0}, {interface_atlas, 26, 68, 24, 357, 488, 4, 0},
    {element_atlas, 16, 48, 31, 926, 96, 0, 0},    {element_atlas, 16, 48, 31, 975, 96, 0, 0},
    {element_atlas, 16, 48, 31, 877, 96, 0, 0},
};

// BTN_frame2 styles 14-23: atlas, side S of the source square, origin, outsets, side cap, bottom and top
// bands (0 means the usual 0.35 S and 0.3 S).
struct frame_style {
    int atlas;
    float side, s0, t0, out_side, out_bottom, out_top, cap, bottom_band, top_band;
};
constexpr frame_style frame_styles[10] = {
    {interface_atlas, 100, 1, 358, 9, 14, 4, 0, 0, 0},
    {interface_atlas, 100, 102, 358, 9, 14, 4, 0, 0, 0},
    {interface_atlas, 100, 203, 358, 9, 14, 4, 0, 0, 0},
    {interface_atlas, 100, 304, 358, 9, 14, 4, 0, 0, 0},
    {interface_atlas, 100, 405, 358, 9, 14, 4, 0, 0, 0},
    {interface_atlas, 68, 1, 289, 2, 2, 2, 0, 0, 0},
    {interface_atlas, 42, 70, 315, 8, 13, 2, 20, 26, 14},
    {interface_atlas, 42, 113, 315, 15, 15, 15, 0, 0, 0},
    {interface_atlas, 44, 440, 12, 6, 9, 4, 0, 0, 0},
    {element_atlas, 41, 982, 2, 1, 1, 1, 0, 0, 0},
};

// The dark band round a modal dialog's frame.
constexpr float dialog_margin = 12.0f;

// The push buttons' shared press record.
struct press_record {
    float x = -1.0f, y = -1.0f;
    int flag = 0;
};
// Main thread only.
press_record press;

// One textured quad from view rectangle [x0, x1] x [y0, y1] and texel rectangle [s0, s1] x [t0, t1] of an
// atlas of the given size, inside a GL_QUADS block; corners clockwise from the bottom left.
void quad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1, atlas_size a) {
    const float ox = screen_state.origin_x, oy = screen_state.origin_y;
    s0 /= a.w;
    s1 /= a.w;
    t0 /= a.h;
    t1 /= a.h;
    glTexCoord2f(s0, t0);
    glVertex2f(ox + x0, oy + y0);
    glTexCoord2f(s0, t1);
    glVertex2f(ox + x0, oy + y1);
    glTexCoord2f(s1, t1);
    glVertex2f(ox + x1, oy + y1);
    glTexCoord2f(s1, t0);
    glVertex2f(ox + x1, oy + y0);
}

// One row of three-slice columns: the left cap, middle pieces of the source's middle width (the last cut
// where the right cap begins, its source cut in proportion), the right cap.
void strip_row(float left, float width, float y0, float y1, float s0, float source_width, float cap, float t0,
               float t1, atlas_size a) {
    const float m = source_width - 2.0f * cap;
    quad(left, y0, left + cap, y1, s0, t0, s0 + cap, t1, a);
    const int pieces = static_cast<int>((width - 2.0f * cap) / m) + 1;
    const float right_cap = left + width - cap;
    for (int i = 0; i < pieces; ++i) {
        const float px = left + cap + static_cast<float>(i) * m;
        float pr = px + m;
        float sr = s0 + source_width - cap;
        if (pr > right_cap) {
            pr = right_cap;
            sr = s0 + cap + (pr - px);
        }
        quad(px, y0, pr, y1, s0 + cap, t0, sr, t1, a);
    }
    quad(right_cap, y0, left + width, y1, s0 + source_width - cap, t0, s0 + source_width, t1, a);
}

bool in_box(float x0, float y0, float x1, float y1) {
    const float mx = ui_state.input.mouse_x, my = ui_state.input.mouse_y;
    return mx >= x0 && mx <= x1 && my >= y0 && my <= y1;
}

// The room a push button leaves its label on either side.
constexpr float label_margin = 6.0f;

// A label of one line centred on x, drawn smaller (the same font, scaled about its centre) when it is
// wider than max_width.
void draw_fitted_label(float x, float y, const std::string& text, float max_width, int highlight) {
    const float width = OGL_measure_string(text);
    if (width <= max_width || width <= 0.0f || max_width <= 0.0f) {
        BTN_draw_label(x, y, 1, text, highlight);
        return;
    }
    const BTN_scale_scope smaller(x, y, max_width / width);
    BTN_draw_label(x, y, 1, text, highlight);
}

bool no_corner_screen(int id) { return id == 0 || (id >= 994 && id <= 997) || (id >= 999 && id <= 1003); }

} // namespace

OGL_text_rect BTN_frame1_rect(int style, float x, float y, float width) {
    const strip_style& st = strip_styles[std::clamp(style, 1, 13) - 1];
    x = std::round(x);
    const float w = 2.0f * std::round(width * 0.5f) + st.extra;
    const float bottom = std::round(y + st.shift - st.height * 0.5f);
    return {x - w * 0.5f, bottom, x + w * 0.5f, bottom + st.height};
}

BTN_scale_scope::BTN_scale_scope(float x, float y, float k) {
    const float cx = screen_state.origin_x + x, cy = screen_state.origin_y + y;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(cx, cy, 0.0f);
    glScalef(k, k, 1.0f);
    glTranslatef(-cx, -cy, 0.0f);
}

BTN_scale_scope::~BTN_scale_scope() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void BTN_frame1(int style, float x, float y, float width, int colour) {
    if (style < 1 || style > 13) {
        APP_alert(0, "Bad BTN_frame1 call!", "", "", "", 3, "butn", 573);
        return;
    }
    const strip_style& st = strip_styles[style - 1];
    const atlas_size a = size_of(st.atlas);
    x = std::round(x);
    const float w = 2.0f * std::round(width * 0.5f) + st.extra;
    y += st.shift;
    // Whole pixels up and down too: an odd height about a whole centre would put both long edges on pixel
    // centres, where each piece of the strip may take or leave the row on its own (1-pixel steps).
    const float bottom = std::round(y - st.height * 0.5f);
    // The source must not reach past the atlas: with repeat, its top row would sample row 0.
    const float t1 = std::min(st.t0 + st.height, a.h);
    OGL_set_state(1, 1, 1, 1, 1, 1);
    OGL_set_colour(colour, 1.0f);
    TMAN_bind_ref(st.atlas, 0, 0);
    glBegin(GL_QUADS);
    strip_row(x - w * 0.5f, w, bottom, bottom + st.height, st.s0, st.source_width, st.cap, st.t0, t1, a);
    glEnd();
}

void BTN_frame2(int style, float x, float y, float width, float height, const std::string& caption,
                float alpha) {
    const float cx = style == 23 ? x + 10.0f : x + (width - OGL_measure_string(caption)) * 0.5f;
    const float cy = y + height - (style == 14 ? 13.0f : 16.0f);
    if (style < 14 || style > 23) {
        APP_alert(0, "Bad BTN_frame2 call!", "", "", caption, 3, "butn", 640);
        return;
    }
    const frame_style& st = frame_styles[style - 14];
    const atlas_size a = size_of(st.atlas);
    const float cap = st.cap > 0 ? st.cap : 0.35f * st.side;
    const float bb = st.bottom_band > 0 ? st.bottom_band : 0.3f * st.side;
    const float tb = st.top_band > 0 ? st.top_band : 0.3f * st.side;
    const float dx = x - st.out_side, dy = y - st.out_bottom;
    const float dw = width + 2.0f * st.out_side, dh = height + st.out_bottom + st.out_top;

    OGL_set_state(1, 1, 1, 1, 1, 1);
    float rgb[3] = {colour_settings.slots[61][0], colour_settings.slots[61][1], colour_settings.slots[61][2]};
    OGL_adjust_colour(colour_settings, &rgb[0], &rgb[1], &rgb[2], nullptr, 1);
    if (alpha > 0.99f)
        glColor4f(rgb[0], rgb[1], rgb[2], 1.0f);
    else
        glColor4f(rgb[0], rgb[1], rgb[2], alpha);
    TMAN_bind_ref(st.atlas, 0, 0);
    glBegin(GL_QUADS);
    // Rows bottom to top: the bottom band, middle rows (the last cut where the top band begins), the top
    // band.
    strip_row(dx, dw, dy, dy + bb, st.s0, st.side, cap, st.t0, st.t0 + bb, a);
    const float mh = st.side - bb - tb;
    const int rows = std::max(static_cast<int>((dh - bb - tb) / mh), 0) + 1;
    const float top_band = dy + dh - tb;
    for (int i = 0; i < rows; ++i) {
        const float ry = dy + bb + static_cast<float>(i) * mh;
        float rt = ry + mh;
        float tt = st.t0 + st.side - tb;
        if (rt > top_band) {
            rt = top_band;
            tt = st.t0 + bb + (rt - ry);
        }
        strip_row(dx, dw, ry, rt, st.s0, st.side, cap, st.t0 + bb, tt, a);
    }
    strip_row(dx, dw, top_band, dy + dh, st.s0, st.side, cap, st.t0 + st.side - tb, st.t0 + st.side, a);
    glEnd();

    const int caption_colour = style == 18 ? 56 : style == 14 ? 49 : 52;
    OGL_draw_string(caption_colour, cx, cy, caption, 9999.0f, 0, 0, 1.0f);
    // One close box, in the top right corner (the toolkit's close check serves it).
    if (style == 14 && !no_corner_screen(screen_state.screen_id))
        BTN_close_box(0);
}

void BTN_close_box(int pressed) {
    OGL_draw_atlas_sprite(screen_state.view_width - 16.0f, screen_state.view_height - 10.0f, 129.0f,
                          pressed ? 206.0f : 187.0f, 9.0f, 9.0f, 61);
}

void BTN_dialog_frame(int closable, int inner_style) {
    const float vw = screen_state.view_width, vh = screen_state.view_height;
    // A dark band of dialog_margin all round the frame hides what it would leave half covered, and the
    // frame's own translucent edges show the band, not the page under the dialog.
    const frame_style& st = frame_styles[(closable ? 14 : 15) - 14];
    OGL_set_state(1, 0, 1, 1, 1, 1);
    glColor3f(0.0f, 0.0f, 0.0f);
    const float ox = screen_state.origin_x, oy = screen_state.origin_y;
    const float x0 = ox - st.out_side - dialog_margin, x1 = ox + vw + st.out_side + dialog_margin;
    const float y0 = oy - st.out_bottom - dialog_margin, y1 = oy + vh + st.out_top + dialog_margin;
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x0, y1);
    glVertex2f(x1, y1);
    glVertex2f(x1, y0);
    glEnd();
    BTN_frame2(closable ? 14 : 15, 0.0f, 0.0f, vw, vh, ui_state.screen_title, 1.0f);
    if (inner_style == 2)
        BTN_frame1(2, vw * 0.5f, vh - 50.0f, vw, 61);
    else if (inner_style != 24)
        BTN_frame2(inner_style, 10.0f, 10.0f, vw - 20.0f, vh - 40.0f, "", 1.0f);
}

void BTN_panel(float top_reserve, int style, float x, float y, float width, float height,
               const std::string& caption, float* out_right, float* out_top) {
    if (x < 0.0f)
        x = 10.0f;
    if (y < 0.0f)
        y = 10.0f;
    if (width < 0.0f)
        width = screen_state.view_width - 10.0f - x;
    if (height < 0.0f)
        height = screen_state.view_height - 28.0f - y - top_reserve;
    BTN_frame2(style, x, y, width, height, caption, 1.0f);
    if (out_right)
        *out_right = x + width + 10.0f;
    if (out_top)
        *out_top = y + height + 10.0f;
}

bool BTN_push(float x, float y, float width, int state, int style, const std::string& label,
              const std::string& caption) {
    std::string part, right, tip;
    BTN_split_label(label, part, right, tip);
    if (width <= 0.0f)
        width = OGL_measure_string(part) + 21.0f;
    const bool inside = in_box(x - width * 0.5f, y - 10.0f, x + width * 0.5f, y + 10.0f);
    const bool pressed_here = press.x == x && press.y == y;
    const int flag_at_start = press.flag;
    const bool free_mouse = ui_state.captured_id == -1;

    bool clicked = false;
    if (ui_state.input.release[0]) {
        if (free_mouse && pressed_here && inside)
            clicked = true;
        if (pressed_here)
            press = press_record();
    }
    bool pressed_look = flag_at_start && inside && pressed_here;
    if (!pressed_look && (style == 0 || style == 2))
        pressed_look = state != 0;

    BTN_frame1(3, x, y, width, 61);
    if (pressed_look)
        BTN_frame1(4, x, y, width, 61);
    {
        const OGL_text_rect outline = BTN_frame1_rect(3, x, y, width);
        const OGL_text_box_scope box("button", x - width * 0.5f, y - 13.0f, x + width * 0.5f, y + 13.0f,
                                     &outline);
        draw_fitted_label(x, y - 3.0f, part, width - 2.0f * label_margin, style == 2 && pressed_look);
    }
    if (caption != "-")
        OGL_draw_string(54, x + width * 0.5f + 10.0f, y + 7.0f, caption, 500.0f, 0, 0, 1.0f);

    if (free_mouse && inside) {
        ui_state.tooltip = tip;
        if (ui_state.input.click[0]) {
            press.x = x;
            press.y = y;
            press.flag = 1;
        }
    }
    return clicked;
}

float BTN_push_width_for(const std::string& label) {
    std::string part, right, tip;
    BTN_split_label(label, part, right, tip);
    return std::ceil(OGL_measure_string(part)) + 2.0f * label_margin + 9.0f;
}

void BTN_push_reset() { press = press_record(); }

bool BTN_check(float x, float y, int* value, const std::string& label, int look) {
    std::string left, right, tip;
    BTN_split_label(label, left, right, tip);
    const float bx = look == 0 ? 148.0f : 92.0f;
    const float by = look == 0 ? 187.0f : 132.0f;
    const float k = 1.0f / 512.0f;
    const float cy = y + 3.0f;
    const OGL_quad_corner box[4] = {
        {x - 9.0f, cy - 9.0f, (bx - 9.0f) * k, (by - 9.0f) * k},
        {x - 9.0f, cy + 9.0f, (bx - 9.0f) * k, (by + 9.0f) * k},
        {x + 9.0f, cy + 9.0f, (bx + 9.0f) * k, (by + 9.0f) * k},
        {x + 9.0f, cy - 9.0f, (bx + 9.0f) * k, (by - 9.0f) * k},
    };
    OGL_draw_atlas_quad(interface_atlas, 61, 1.0f, box, 1, 1, 0);
    if (*value)
        OGL_draw_atlas_sprite(x, cy, bx, look == 0 ? 206.0f : 151.0f, 9.0f, 9.0f, 61);
    BTN_draw_label(x - 12.0f, y, 0, left, 0);
    BTN_draw_label(x + 12.0f, y, 2, right, 0);
    if (ui_state.captured_id == -1 && in_box(x - 8.0f, y - 4.0f, x + 8.0f, y + 12.0f)) {
        ui_state.tooltip = tip;
        if (ui_state.input.click[0]) {
            *value = *value == 0 ? 1 : 0;
            return true;
        }
    }
    return false;
}

bool BTN_radio(float x, float y, int* value, const std::string& label, int option) {
    int local = *value == option ? 1 : 0;
    const bool result = BTN_check(x, y, &local, label, 1);
    if (local)
        *value = option;
    return result;
}

int BTN_corner_buttons(int style_flag) {
    const float row = style_flag ? 206.0f : 187.0f;
    const float y = screen_state.view_height - 10.0f;
    const float centres[2] = {16.0f, screen_state.view_width - 16.0f};
    for (float x : centres) {
        OGL_draw_atlas_sprite(x, y, 129.0f, row, 9.0f, 9.0f, 61);
        if (ui_state.input.click[0] && in_box(x - 9.0f, y - 9.0f, x + 9.0f, y + 9.0f))
            return 1;
    }
    return 0;
}

bool BTN_label_lines(const std::string& text, int mode, std::string& first, std::string& second) {
    second.clear();
    if (!text.empty() && text[0] == '-') {
        first = text.substr(1);
        return false;
    }
    first = text;
    if ((mode != 0 && mode != 2) || text.size() <= 12)
        return false;
    const long middle = static_cast<long>(text.size() / 2);
    long best = 0, best_distance = middle;
    for (long i = 0; i < static_cast<long>(text.size()); ++i) {
        const char c = text[static_cast<size_t>(i)];
        if ((c == ' ' || c == '-' || c == '/') && std::labs(i - middle) < best_distance) {
            best = i;
            best_distance = std::labs(i - middle);
        }
    }
    if (best == 0)
        return false;
    const size_t at = static_cast<size_t>(best);
    const bool keep = text[at] != ' ';
    std::string a = text.substr(0, keep ? at + 1 : at);
    std::string b = text.substr(at + 1);
    if (a.empty() || b.size() < 2)
        return false;
    first = std::move(a);
    second = std::move(b);
    return true;
}

void BTN_draw_label(float x, float y, int mode, const std::string& text, int highlight) {
    if (text.empty())
        return;
    std::string first, second;
    const bool split = BTN_label_lines(text, mode, first, second);
    const int colour = highlight ? 95 : 52;
    const int align = mode == 0 ? 2 : mode == 1 ? 1 : 0;
    // The two lines are a line step apart (the font's descent and ascent), centred on the one-line place.
    const float step = OGL_line_step(0);
    if (split)
        y += std::round(step * 0.5f);
    OGL_draw_string(colour, x, y - 1.0f, first, 9999.0f, 0, align, 1.0f);
    if (split)
        OGL_draw_string(colour, x, y - 1.0f - step, second, 9999.0f, 0, align, 1.0f);
}
