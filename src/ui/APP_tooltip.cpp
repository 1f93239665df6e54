// APP_tooltip: the tooltip that a hovered widget leaves, and the mouse cursor.
#include "ui/APP_tooltip.h"

#include <algorithm>
#include <cmath>

#include "base/APP_clock.h"
#include "platform/WIN_window.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

// The cursor flags (main thread only).
struct cursor_state {
    int system_shown = 1;
    int special = 0;
};
cursor_state cursor;

struct cursor_row {
    int id;
    APP_cursor_image image;
};
constexpr cursor_row cursor_table[] = {
    {3, {199, 328, 261, 357, 0, 0}},  {4, {199, 328, 230, 357, 6, 1}},   {5, {230, 328, 261, 357, -4, 1}},
    {6, {199, 291, 261, 327, 0, 0}},  {7, {199, 291, 230, 327, 1, 1}},   {8, {230, 291, 261, 327, 0, 1}},
    {9, {262, 310, 326, 357, 0, 0}},  {10, {262, 310, 294, 357, -3, 1}}, {11, {294, 310, 326, 357, 5, 1}},
    {12, {487, 309, 506, 357, 0, 0}}, {13, {487, 309, 506, 333, 1, -5}}, {14, {487, 333, 506, 357, 1, 5}},
    {15, {262, 291, 326, 309, 0, 0}}, {16, {262, 291, 294, 309, 0, 0}},  {17, {294, 291, 326, 309, 0, 0}},
    {22, {199, 250, 239, 290, 0, 0}},
};

} // namespace

APP_cursor_image APP_cursor_image_of(int id, bool dragging) {
    for (const cursor_row& row : cursor_table)
        if (row.id == id)
            return row.image;
    int a = 0, b = 0;
    switch (id) {
    case 18:
        a = dragging ? 5 : 4;
        b = 1;
        break;
    case 19:
        a = dragging ? 5 : 4;
        b = 0;
        break;
    case 20:
        a = -1;
        b = 1;
        break;
    case 21:
        a = -1;
        b = 0;
        break;
    case 23:
        a = 8;
        b = 1;
        break;
    case 24:
        a = 7;
        b = 1;
        break;
    default:
        break;
    }
    const int l = 200 + 32 * a, bottom = 293 + 32 * b;
    return {l, bottom, l + 30, bottom + 30, 0, 0};
}

bool APP_system_cursor_shown() { return cursor.system_shown != 0; }

void APP_tooltip_and_cursor(int screen_id) {
    APP_input_state& in = ui_state.input;
    const float rest = APP_clock.elapsed - APP_clock.last_activity;
    const screen_state_record& s = screen_state;

    if (!ui_state.tooltip.empty() && rest > 1.0f) {
        const int length = static_cast<int>(ui_state.tooltip.size());
        const float h = static_cast<float>(std::clamp((length / 50 * 5 + 10) * 2, 60, 300));
        float x = in.mouse_x - 415.0f;
        x = std::max(x, 10.0f - s.origin_x);
        x = std::min(x, static_cast<float>(s.drawable_width) - 10.0f - s.origin_x - 400.0f);
        float y = in.mouse_y + 15.0f;
        y = std::max(y, 10.0f - s.origin_y);
        y = std::min(y, static_cast<float>(s.drawable_height) - 20.0f - s.origin_y - h);
        x = std::trunc(x);
        y = std::trunc(y);
        BTN_frame2(17, x - 10.0f, y - 10.0f, 420.0f, h + 20.0f, "", 1.0f);
        OGL_draw_string(56, x + 3.0f, y + h - 11.0f, ui_state.tooltip, 394.0f, 0, 0, 1.0f);
    }
    ui_state.tooltip.clear();

    if (rest > 10.0f && screen_id == 0)
        in.cursor_id = 2;
    else if (screen_id >= 991 && screen_id <= 1004)
        in.cursor_id = 0;
    const int id = in.cursor_id;

    if (id > 1) {
        if (cursor.system_shown) {
            WIN_hide_cursor();
            cursor.system_shown = 0;
        }
    } else if (!cursor.system_shown) {
        WIN_show_cursor();
        cursor.system_shown = 1;
    }

    if (cursor.special && id != 1) {
        cursor.special = 0;
        WIN_arrow_cursor();
    } else if (!cursor.special && id == 1) {
        cursor.special = 1;
        return;
    }

    if (id >= 3) {
        const APP_cursor_image c = APP_cursor_image_of(id, ui_state.text_drag != 0);
        const float w = static_cast<float>(c.right - c.left), hh_full = static_cast<float>(c.top - c.bottom);
        const float hw = std::floor(w / 2.0f), hh = std::floor(hh_full / 2.0f);
        const float cx = in.mouse_x + 2.0f - static_cast<float>(c.dx);
        const float cy = in.mouse_y - 4.0f - static_cast<float>(c.dy);
        const float k = 1.0f / 512.0f;
        const float l = static_cast<float>(c.left) * k, r = static_cast<float>(c.right) * k;
        const float b = static_cast<float>(c.bottom) * k, t = static_cast<float>(c.top) * k;
        const OGL_quad_corner corners[4] = {
            {cx - hw, cy - hh, l, b},
            {cx - hw, cy + hh_full - hh, l, t},
            {cx + w - hw, cy + hh_full - hh, r, t},
            {cx + w - hw, cy - hh, r, b},
        };
        OGL_draw_atlas_quad(1021, 61, 1.0f, corners, 1, 1, 0);
    }
}
