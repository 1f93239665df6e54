// APP_screens: the screen table and APP_set_screen.
#include "ui/APP_screens.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/LANG_localise.h"
#include "ui/APP_tooltip.h"
#include "ui/BTN_widgets.h"
#include "ui/MENU_menus.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

const APP_screen_entry screen_table[] = {
    {-1, nullptr, 1024, 768},
    {993, "Version and Updates", 600, 400},
    {994, "BE ADVISED", 420, 260},
    {995, "SAY INTENTIONS", 300, 166},
    {996, "SAY INTENTIONS", 750, 146},
    {997, "SAY INTENTIONS", 700, 206},
    {998, "Prefs", 700, 380},
    {999, "Open", 561, 474},
    {1000, "Save", 330, 474},
    {1001, "Crash Reporter", 550, 300},
    {1002, "Update Available", 550, 300},
    {1003, "Joystick Quick-Config", 500, 150},
};

// Main thread only: set by the first APP_set_screen.
bool screen_was_set = false;

float centre(float w, float s, float vw) {
    const double r = std::round(0.5 * (static_cast<double>(w) - static_cast<double>(s) * vw));
    return std::max(0.0f, std::trunc(static_cast<float>(r / s)));
}

} // namespace

const APP_screen_entry* APP_screen_lookup(int id) {
    for (const APP_screen_entry& e : screen_table)
        if (e.id == id)
            return &e;
    return nullptr;
}

void APP_screen_origin(float w, float h, float s, float vw, float vh, float* origin_x, float* origin_y) {
    if (3 * h > w && w > 2 * h)
        w /= 2;
    *origin_x = centre(w, s, vw);
    *origin_y = centre(h, s, vh);
}

bool APP_is_toolkit_screen(int id) { return id >= 991 && id <= 1004; }

bool APP_screen_was_set() { return screen_was_set; }

void APP_set_screen(int id) {
    screen_state_record& s = screen_state;
    BTN_focus_list_clear();
    screen_was_set = true;
    APP_tooltip_and_cursor(id);
    OGL_setup_view(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0, 1);

    s.view_width = static_cast<float>(s.drawable_width);
    s.view_height = static_cast<float>(s.drawable_height);
    if (const APP_screen_entry* e = APP_screen_lookup(id)) {
        if (e->title)
            LANG_translate(ui_state.screen_title, e->title);
        s.view_width = e->width;
        s.view_height = e->height;
    }

    BTN_clear_focus();
    ui_state.captured_id = -1;
    s.screen_id = id;
    s.screen_id_prev = id;

    APP_screen_origin(static_cast<float>(s.drawable_width), static_cast<float>(s.drawable_height), s.ui_scale,
                      s.view_width, s.view_height, &s.origin_x, &s.origin_y);

    ui_state.text_drag = 0;
    ui_state.input.click[0] = 0;
    ui_state.input.click[1] = 0;
    ui_state.input.release[0] = 0;
    ui_state.input.release[1] = 0;
    MENU_reset_popup();
}
