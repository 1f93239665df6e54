// WIN_window_table: the toolkit's windows (0, and 1 in the second-monitor mode), full screen and placement.
#include "ui/WIN_window_table.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "platform/WIN_display.h"
#include "platform/WIN_message.h"
#include "ui/OGL_state.h"
#include "ui/OGL_texture_unit.h"
#include "ui/TEX_manager.h"
#include "ui/screen_state.h"

namespace {

// The window table and its settings (main thread only).
struct window_table {
    int drawn = 0;
    WIN_window* windows[2] = {nullptr, nullptr};
    WIN_input_callbacks callbacks[2];
    int second_monitor = 1;
    int swap_interval = 0;
    void (*maker)(WIN_input_callbacks& record, int window_index) = nullptr;
    void (*second_window_hook)() = nullptr;
};
window_table table;

int parse_decimal(const std::string& text) {
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// The toolkit's starting GL state of a new context.
void set_initial_gl_state() {
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glAlphaFunc(GL_GREATER, 0.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_FASTEST);
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DITHER);
    glDisable(GL_COLOR_LOGIC_OP);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_RESCALE_NORMAL);
    glDisable(GL_SCISSOR_TEST);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    if (WIN_get_multisample() > 0)
        glEnable(GL_MULTISAMPLE);
    glDepthMask(GL_FALSE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glEnableClientState(GL_VERTEX_ARRAY);
}

} // namespace

void WIN_set_input_callbacks_maker(void (*maker)(WIN_input_callbacks& record, int window_index)) {
    table.maker = maker;
}

WIN_second_window_hook WIN_set_second_window_hook(WIN_second_window_hook hook) {
    return std::exchange(table.second_window_hook, hook);
}

WIN_window_plan WIN_plan_window(int i, const std::string& offset_x, const std::string& offset_y,
                                int screen_width, int screen_height, int window_width, int window_height,
                                int fullscreen, int fullscreen_width, int fullscreen_height) {
    WIN_window_plan plan;
    plan.x = parse_decimal(offset_x);
    plan.y = parse_decimal(offset_y);
    if (i == 1)
        plan.x = fullscreen ? screen_width : window_width;
    if (screen_width > 0)
        plan.x = std::max(0, (screen_width - window_width) / 2);
    if (screen_height > 0)
        plan.y = std::max(0, (screen_height - window_height) / 2);
    plan.window_width = window_width;
    plan.window_height = window_height;
    if (window_width > screen_width || window_height > screen_height) {
        plan.log_text = "The window was last: " + std::to_string(window_width) + "," +
                        std::to_string(window_height) + " and my monitor is " + std::to_string(screen_width) +
                        "," + std::to_string(screen_height) +
                        ".  Setting window to 1024x768 it fits on screen.\n";
        plan.window_width = 1024;
        plan.window_height = 768;
    }
    if (fullscreen) {
        plan.drawable_width = fullscreen_width ? fullscreen_width : screen_width;
        plan.drawable_height = fullscreen_height ? fullscreen_height : screen_height;
    } else {
        plan.drawable_width = plan.window_width;
        plan.drawable_height = plan.window_height;
    }
    return plan;
}

bool WIN_create_window(int i) {
    if (i < 0 || i > 1)
        return false;
    int screen_width = 0, screen_height = 0;
    WIN_register_classes();
    WIN_get_display_mode(&screen_width, &screen_height, nullptr, nullptr);
    screen_state_record& s = screen_state;
    WIN_window_plan plan = WIN_plan_window(i, OPT_get("--monitor_offset_x"), OPT_get("--monitor_offset_y"),
                                           screen_width, screen_height, s.window_width, s.window_height,
                                           s.fullscreen, s.fullscreen_width, s.fullscreen_height);
    if (!plan.log_text.empty()) {
        LOG_stream << plan.log_text;
        LOG_stream.flush();
    }
    s.window_width = plan.window_width;
    s.window_height = plan.window_height;
    s.drawable_width = plan.drawable_width;
    s.drawable_height = plan.drawable_height;

    WIN_window* share = nullptr;
    if (i == 1) {
        OGL_reset_state_cache();
        share = table.windows[0];
    }
    WIN_window* w = WIN_create_window_gl(plan.x, plan.y, plan.drawable_width, plan.drawable_height,
                                         plan.drawable_width, plan.drawable_height, 0, share);
    if (!w)
        return false;
    table.windows[i] = w;
    if (s.fullscreen && i == 0) {
        // A switch asked before the window existed: what the switch does to an existing window.
        WIN_set_window_mode(w, 2);
        WIN_set_client_rect(w, 0, 0, plan.drawable_width, plan.drawable_height);
        WIN_set_window_fullscreen(w, true);
    }

    table.callbacks[i] = WIN_input_callbacks();
    if (table.maker) {
        table.maker(table.callbacks[i], i);
        table.callbacks[i].self = &table.callbacks[i];
        WIN_set_handler(w, &table.callbacks[i]);
    }
    WIN_set_swap_interval(w, table.swap_interval);

    set_initial_gl_state();
    if (i == 1)
        OGL_reset_unit_cache();
    return true;
}

void WIN_destroy_window(int i) {
    if (i < 0 || i > 1 || !table.windows[i])
        return;
    WIN_destroy_window_gl(table.windows[i]);
    table.windows[i] = nullptr;
    if (i == 0) // window 1 shares window 0's objects; window 0's context held them
        TMAN_forget_context();
    table.callbacks[i] = WIN_input_callbacks();
    if (i == 1 && table.windows[0])
        WIN_make_current(table.windows[0]);
}

WIN_window* WIN_table_window(int i) { return (i == 0 || i == 1) ? table.windows[i] : nullptr; }

int WIN_drawn_window() { return table.drawn; }

void WIN_set_drawn_window(int i) { table.drawn = i == 1 ? 1 : 0; }

WIN_window* WIN_get_platform_window() { return table.windows[0]; }

void WIN_set_fullscreen(int mode) {
    screen_state_record& s = screen_state;
    if (mode == s.fullscreen)
        return;
    WIN_window* w0 = table.windows[0];
    WIN_window* w1 = table.windows[1];
    int screen_width = 0, screen_height = 0;
    if (mode) {
        if (w0)
            glFlush();
        WIN_set_window_mode(w0, 2);
        WIN_set_window_mode(w1, 2);
        WIN_get_display_mode(&screen_width, &screen_height, nullptr, nullptr);
        bool switched = false;
        if (s.fullscreen_width == 0 && s.fullscreen_height == 0) {
            WIN_set_display_mode(0, 0, 0, 0);
            WIN_get_display_mode(&screen_width, &screen_height, nullptr, nullptr);
        } else {
            switched = WIN_set_display_mode(s.fullscreen_width, s.fullscreen_height, 32, s.fullscreen_rate);
        }
        int width = switched && s.fullscreen_width ? s.fullscreen_width : screen_width;
        int height = switched && s.fullscreen_height ? s.fullscreen_height : screen_height;
        WIN_set_client_rect(w0, 0, 0, width, height);
        WIN_set_window_fullscreen(w0, true);
        WIN_set_client_rect(w1, width, 0, 2 * width, height);
    } else {
        if (s.fullscreen_width || s.fullscreen_height)
            WIN_set_display_mode(0, 0, 0, 0);
        WIN_set_window_fullscreen(w0, false);
        WIN_get_display_mode(&screen_width, &screen_height, nullptr, nullptr);
        int left = (screen_width - s.window_width) / 2;
        int top = (screen_height - s.window_height) / 2;
        int style = s.window_height >= screen_height ? 2 : 0;
        WIN_set_window_mode(w0, style);
        WIN_set_window_mode(w1, style);
        if (!WIN_quit_requested()) {
            WIN_set_client_rect(w0, left, top, left + s.window_width, top + s.window_height);
            WIN_set_client_rect(w1, left + s.window_width, top, left + 2 * s.window_width,
                                top + s.window_height);
        }
    }
    s.fullscreen = mode ? 1 : 0;
}

int WIN_second_monitor_mode(int mode) {
    if (mode < 0)
        return table.second_monitor;
    if (table.second_monitor == 1 && mode == 2) {
        WIN_create_window(1);
        WIN_make_current(table.windows[0]);
        if (table.second_window_hook)
            table.second_window_hook();
    } else if (table.second_monitor == 2 && mode == 1) {
        WIN_destroy_window(1);
        WIN_make_current(table.windows[0]);
    }
    table.second_monitor = mode;
    return 0;
}

void WIN_set_swap_interval_setting(int interval) { table.swap_interval = interval; }
