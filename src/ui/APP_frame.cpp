// APP_frame: the frame callbacks, the input callbacks and the modal frame.
#include "ui/APP_frame.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>

#include "base/APP_alert.h"
#include "base/APP_clock.h"
#include "base/hl_thread.h"
#include "platform/APP_time.h"
#include "platform/WIN_message.h"
#include "platform/WIN_window.h"
#include "ui/APP_screens.h"
#include "ui/APP_tooltip.h"
#include "ui/BTN_text_field.h"
#include "ui/BTN_widgets.h"
#include "ui/KEY_bindings.h"
#include "ui/MENU_menus.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_view.h"
#include "ui/QTIM_capture.h"
#include "ui/TEX_obj.h"
#include "ui/WIN_resize.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

// The program's per-frame parts (set on the main thread before the run loop).
struct frame_hooks {
    void (*screen0_frame)() = nullptr;
    void (*atlas_update)() = nullptr;
    int (*busy)() = nullptr;
} hooks;

// Main thread: the time of the last input event, microseconds of APP_get_microseconds.
int64_t last_input_us = 0;

void note_input() { last_input_us = APP_get_microseconds(); }

// A minimised or hidden window shows nothing: its frames still run (pages, timers), but on a driver of
// OpenGL 3.0 or later the renderer discards their drawing, which is most of a software renderer's work.
bool discard_drawing() {
    WIN_window* window = WIN_table_window(0);
    if (!window || WIN_window_visible(window) || !OGL_capabilities.version)
        return false;
    int number = 0, release = 0;
    OGL_parse_version(OGL_capabilities.version, number, release);
    return number >= 300;
}

bool is_closable(int id) {
    switch (id) {
    case 0:
    case 994:
    case 995:
    case 996:
    case 997:
    case 999:
    case 1000:
    case 1001:
    case 1002:
    case 1003:
        return false;
    default:
        return true;
    }
}

void position(WIN_input_callbacks* rec, int px, int py) {
    int screen = 0;
    APP_map_mouse(px, py, rec && rec->window_id == 1, WIN_second_monitor_mode(-1), &ui_state.input.mouse_x,
                  &ui_state.input.mouse_y, &screen);
    screen_state.mouse_screen = screen;
}

bool valid_button(int b) { return b >= 0 && b < APP_MOUSE_BUTTONS; }

void on_mouse_down(WIN_input_callbacks* rec, int x, int y, int button) {
    note_input();
    position(rec, x, y);
    if (valid_button(button))
        ui_state.input.click[button] = 1;
    APP_close_box_check(button);
}

void on_mouse_up(WIN_input_callbacks* rec, int x, int y, int button) {
    note_input();
    position(rec, x, y);
    if (!valid_button(button))
        return;
    ui_state.input.release[button] = 1;
    if (APP_release_is_quick(button, ui_state.input.mouse_x, ui_state.input.mouse_y, APP_clock.elapsed))
        return;
    MENU_release();
}

void on_mouse_move(WIN_input_callbacks* rec, int x, int y) {
    note_input();
    position(rec, x, y);
}

void on_mouse_wheel(WIN_input_callbacks* rec, int x, int y, int, int) {
    note_input();
    position(rec, x, y);
}

void on_refresh(WIN_input_callbacks*) {
    note_input();
    APP_set_screen(screen_state.screen_id);
}

void on_resize(WIN_input_callbacks* rec, int width, int height) {
    note_input();
    if (width == screen_state.drawable_width && height == screen_state.drawable_height)
        return;
    // Window 1 stands beside window 0 with the same size: either one's resize sizes the views.
    if (!rec || rec->window_id == 0 || WIN_second_monitor_mode(-1) == 2)
        WIN_resize(width, height);
}

int on_key_down(WIN_input_callbacks*, int character, int key, int flags) {
    note_input();
    KEY_event(character, key, flags);
    return 1;
}

void on_key_up(WIN_input_callbacks*, int character, int key, int flags) {
    note_input();
    KEY_event(character, key, flags);
}

int keys_waiting(WIN_input_callbacks*) { return BTN_keys_waiting() ? 1 : 0; }

int frame_as_int() {
    APP_frame();
    return WIN_quit_requested() ? 0 : 1;
}

// The frame clock's readers.
int clock_screen_id() { return screen_state.screen_id; }
int clock_window_mode() { return WIN_second_monitor_mode(-1); }
int clock_pressed(int b) { return valid_button(b) ? ui_state.input.click[b] : 0; }
int clock_released(int b) { return valid_button(b) ? ui_state.input.release[b] : 0; }
void clock_mouse(float* x, float* y) {
    *x = ui_state.input.mouse_x;
    *y = ui_state.input.mouse_y;
}

} // namespace

void APP_map_mouse(int px, int py, bool second_window, int second_monitor_mode, float* x, float* y,
                   int* mouse_screen) {
    const screen_state_record& s = screen_state;
    const float scale = s.ui_scale;
    *x = static_cast<float>(px) / scale;
    *y = static_cast<float>(s.drawable_height - py) / scale;
    if (second_window && second_monitor_mode == 2) {
        *x += static_cast<float>(s.drawable_width) / scale;
        *mouse_screen = 0;
        return;
    }
    *x -= s.origin_x;
    *y -= s.origin_y;
    *mouse_screen = s.screen_id;
}

bool APP_close_box_hit(int screen, float x, float y, float w, float h) {
    if (!is_closable(screen))
        return false;
    // The close box's corner only: the other corner draws nothing.
    return y >= h - 20 && y <= h && x >= w - 25 && x <= w;
}

void APP_close_box_check(int button) {
    MENU_press(button);
    MENU_state.pressed_item = 0;
    if (APP_close_box_hit(screen_state.screen_id, ui_state.input.mouse_x, ui_state.input.mouse_y,
                          screen_state.view_width, screen_state.view_height))
        APP_close_screen();
}

bool APP_release_is_quick(int button, float x, float y, float now) {
    const APP_input_state& in = ui_state.input;
    if (!valid_button(button))
        return false;
    return in.press_time[button] + 1.0f > now && std::fabs(x - in.press_x) < 3.0f &&
           std::fabs(y - in.press_y) < 3.0f;
}

int APP_frame_prepare() {
    APP_input_state& in = ui_state.input;
    in.cursor_id = 0;
    in.enter = 0;
    in.esc = 0;
    KEY_clear_delete_flag();
    in.click[0] = in.click[1] = 0;
    in.release[0] = in.release[1] = 0;
    if (screen_state.screen_id == -1)
        screen_state.screen_id = 0;
    if (!in.first_frame) {
        in.first_frame = 1;
        APP_set_screen(screen_state.screen_id);
    }
    int busy = hooks.busy ? hooks.busy() : APP_IDLE;
    if (QTIM_movie_exists())
        busy = APP_ANIMATING; // a movie wants every frame it can record
    const float since_input = static_cast<float>(APP_get_microseconds() - last_input_us) / 1.0e6f;
    return APP_frame_wait_hint(busy, since_input, WIN_window_visible(WIN_table_window(0)) ? 1 : 0);
}

int APP_frame_wait_hint(int busy, float seconds_since_input, int visible) {
    if (busy >= APP_ANIMATING || seconds_since_input < 1.0f)
        return 1;
    if (busy == APP_WORKING)
        return 3; // 48 ms and the frame itself: at most 20 frames a second
    return visible ? 6 : 31;
}

void APP_frame() {
    const bool discard = discard_drawing();
    if (discard)
        glEnable(GL_RASTERIZER_DISCARD);
    THREAD_rethrow_posted(0);
    APP_frame_clock(APP_clock);
    KEY_repeat();
    if (MENU_bar_hover())
        APP_close_box_check(0);
    BTN_focus_list_clear();
    if (!APP_is_toolkit_screen(screen_state.screen_id)) {
        if (hooks.screen0_frame)
            hooks.screen0_frame();
        else
            OGL_clear_view();
    }
    if (!APP_is_toolkit_screen(screen_state.screen_id)) {
        APP_tooltip_and_cursor(screen_state.screen_id);
        MENU_draw_bar();
    }
    MENU_draw();
    QTIM_frame(!discard);
    TEX_drain_deletes();
    if (hooks.atlas_update)
        hooks.atlas_update();
    // Present what was drawn: every frame, the run loop's and the modal loops' alike.
    OGL_swap_buffers();
    if (discard)
        glDisable(GL_RASTERIZER_DISCARD);
}

int APP_run_one_frame() { return WIN_pump_once(APP_frame_prepare, frame_as_int); }

int APP_shift_down() { return WIN_shift_down() ? 1 : 0; }

void APP_close_screen() {
    // Before graphics are up there is no frame to show the pressed box in.
    if (APP_graphics_up) {
        BTN_close_box(1);
        OGL_swap_buffers();
    }
    ui_state.input.enter = 0;
    ui_state.input.esc = 0;
    APP_set_screen(0);
}

int APP_screen_is_dialog() { return is_closable(screen_state.screen_id) ? 1 : 0; }

void APP_set_screen0_frame(void (*frame)()) { hooks.screen0_frame = frame; }

void APP_set_atlas_update(void (*update)()) { hooks.atlas_update = update; }

void APP_set_busy_query(int (*busy)()) { hooks.busy = busy; }

void APP_input_callbacks_init(WIN_input_callbacks& record, int window_index) {
    record.self = &record;
    record.mouse_down = on_mouse_down;
    record.mouse_up = on_mouse_up;
    record.mouse_move = on_mouse_move;
    record.mouse_wheel = on_mouse_wheel;
    record.refresh = on_refresh;
    record.resize = on_resize;
    record.key_down = on_key_down;
    record.key_up = on_key_up;
    record.keys_waiting = keys_waiting;
    record.window_id = window_index;
    record.user = 0;
}

void APP_install_clock_hooks() {
    APP_clock_hooks.screen_id = clock_screen_id;
    APP_clock_hooks.window_mode = clock_window_mode;
    APP_clock_hooks.mouse_pressed = clock_pressed;
    APP_clock_hooks.mouse_released = clock_released;
    APP_clock_hooks.mouse_position = clock_mouse;
    APP_clock_hooks.clear_keyboard_focus = BTN_clear_focus;
    APP_clock_hooks.set_colour_slot = OGL_set_colour_slot;
}
