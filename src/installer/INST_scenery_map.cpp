// INST_scenery_map: the world-map picker.
#include "installer/INST_scenery_map.h"

#include <algorithm>

#include "base/APP_clock.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_scan.h"
#include "installer/INST_wizard.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_state.h"
#include "ui/OGL_text_record.h"
#include "ui/OGL_view.h"
#include "ui/widget_state.h"

namespace {

constexpr float map_x = 248.0f, map_y = 150.0f, tile = 14.0f;
constexpr float map_w = 504.0f, map_h = 252.0f;
static_assert(map_y + map_h == INST_SCENERY_MAP_TOP);
constexpr int map_texture = 1042;
constexpr int tile_colour = 104;
constexpr float tex_w = 512.0f, tex_h = 1024.0f;

// The drag: where the press was and what it paints (main thread; kept between frames).
struct drag_state {
    float start_x = 0.0f, start_y = 0.0f;
    int paint = 0;
};
drag_state drag;

// A quad at (x, y) of size w by h showing the texels from (tx, ty) down the image (row ty at the top).
void textured_quad(float x, float y, float w, float h, float tx, float ty, int colour) {
    const float s0 = tx / tex_w, s1 = (tx + w) / tex_w;
    const float t_top = ty / tex_h, t_bottom = (ty + h) / tex_h;
    const OGL_quad_corner c[4] = {
        {x, y, s0, t_bottom},
        {x, y + h, s0, t_top},
        {x + w, y + h, s1, t_top},
        {x + w, y, s1, t_bottom},
    };
    OGL_draw_atlas_quad(map_texture, colour, 1.0f, c, 1, 1, 0);
}

} // namespace

bool INST_map_tile_at(float x, float y, int* tx, int* ty) {
    bool found = false;
    for (int i = 0; i < UTL_TILES_X; ++i)
        for (int j = 0; j < UTL_TILES_Y; ++j) {
            const float x0 = map_x + tile * static_cast<float>(i), y0 = map_y + tile * static_cast<float>(j);
            if (x >= x0 && x <= x0 + tile && y >= y0 && y <= y0 + tile) {
                *tx = i;
                *ty = j;
                found = true;
            }
        }
    return found;
}

void INST_draw_scenery_map() {
    const float mx = ui_state.input.mouse_x, my = ui_state.input.mouse_y;
    if (ui_state.input.click[0]) {
        drag.start_x = mx;
        drag.start_y = my;
        int tx = 0, ty = 0;
        if (INST_map_tile_at(mx, my, &tx, &ty))
            drag.paint = INST_tile_selection.at(tx, ty) ? 0 : 1;
    }
    const bool held = APP_clock.buttons[0].down != 0;
    const float dx0 = std::min(drag.start_x, mx), dx1 = std::max(drag.start_x, mx);
    const float dy0 = std::min(drag.start_y, my), dy1 = std::max(drag.start_y, my);

    // The bare map in white; the tiles in the map colour, which modulates the tile looks.
    textured_quad(map_x, map_y, map_w, map_h, 0.0f, 0.0f, 0);
    OGL_text_record_frame("map", {map_x, map_y, map_x + map_w, map_y + map_h});
    bool changed = false;
    for (int i = 0; i < UTL_TILES_X; ++i)
        for (int j = 0; j < UTL_TILES_Y; ++j) {
            const float x0 = map_x + tile * static_cast<float>(i), y0 = map_y + tile * static_cast<float>(j);
            if (held && x0 < dx1 && x0 + tile > dx0 && y0 < dy1 && y0 + tile > dy0) {
                INST_tile_selection.at(i, j) = drag.paint;
                changed = true;
            }
            if (!INST_offered_tiles.at(i, j))
                continue;
            const float look = INST_tile_selection.at(i, j) ? 504.0f : 252.0f;
            textured_quad(x0, y0, tile, tile, tile * static_cast<float>(i),
                          look + tile * static_cast<float>(j), tile_colour);
        }
    if (held) {
        const float corners[5][2] = {{dx0, dy0}, {dx0, dy1}, {dx1, dy1}, {dx1, dy0}, {dx0, dy0}};
        for (int k = 0; k < 4; ++k)
            OGL_draw_line(5, 0.5f, corners[k][0], corners[k][1], corners[k + 1][0], corners[k + 1][1]);
    }

    // The two words share the room right of the disk panel's first lines: drawn smaller when they would
    // meet them.
    int l = 0, r = 0;
    INST_word_columns(3, INST_ui_atlas_language, &l, &r);
    const float all_width = static_cast<float>(r - l) + 20.0f;
    INST_word_columns(4, INST_ui_atlas_language, &l, &r);
    const float none_wanted = static_cast<float>(r - l) + 20.0f;
    const float room = 770.0f - INST_disk_space_panel_head_right() - 12.0f;
    const float k = std::min(1.0f, room / (all_width + none_wanted + 5.0f));
    float none_width = 0.0f;
    if (INST_draw_text_button(770.0f, 122.0f, 4, -1, &none_width, 1, 0, none_wanted * k)) {
        INST_clear_tile_selection();
        changed = true;
    }
    if (INST_draw_text_button(765.0f - none_width, 122.0f, 3, -1, nullptr, 1, 0, all_width * k)) {
        INST_select_offered_tiles();
        INST_compute_totals();
        return;
    }
    if (changed)
        INST_compute_totals();
}
