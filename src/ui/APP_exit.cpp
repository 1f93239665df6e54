// APP_exit: the toolkit's exit steps, the display-mode switch and a worker's OpenGL context.
#include "ui/APP_exit.h"

#include <GL/gl.h>
#include <thread>

#include "base/APP_alert.h"
#include "base/PREF_file.h"
#include "base/hl_thread.h"
#include "platform/WIN_display.h"
#include "platform/WIN_window.h"
#include "ui/APP_alert_box.h"
#include "ui/KEY_bindings.h"
#include "ui/OGL_extensions.h"
#include "ui/QTIM_capture.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

namespace {

// Written once at start-up before other threads exist; read by any thread afterwards (the work end's
// flag: window thread only).
struct exit_state {
    bool window_thread_set = false;
    std::thread::id window_thread;
    void (*program_work_end)() = nullptr;
    bool work_ended = false;
} exits;

// Runs once: an exit that comes while the work is being ended (a fatal alert raised by it) goes on
// without it.
void end_work() {
    if (!APP_on_window_thread() || exits.work_ended)
        return;
    exits.work_ended = true;
    if (exits.program_work_end)
        exits.program_work_end();
    if (QTIM_movie_exists())
        QTIM_movie_end();
}

void save_settings() {
    PREF_load_save(11, 1);
    KEY_bindings_load(1);
}

void restore_display() {
    if (APP_on_window_thread())
        APP_set_display_mode(0);
}

void destroy_windows() {
    if (!APP_on_window_thread())
        return;
    if (WIN_second_monitor_mode(-1) == 2)
        WIN_destroy_window(1);
    WIN_destroy_window(0);
}

void* main_context() { return WIN_get_platform_window(); }

void make_current(void* window) { WIN_make_current(static_cast<WIN_window*>(window)); }

void setup_failed_dialog() { OGL_capabilities.OGL_setup_failed_dialog(); }

} // namespace

void APP_set_display_mode(int enter) {
    if (!enter) {
        WIN_set_fullscreen(0);
        return;
    }
    int width = 0, height = 0, bits = 0, rate = 0;
    WIN_get_display_mode(&width, &height, &bits, &rate);
    if (screen_state.fullscreen)
        WIN_set_fullscreen(2);
}

int OGL_init_worker_context(void* main_window) {
    if (!WIN_init_loader_context(static_cast<WIN_window*>(main_window)))
        return 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    return 1;
}

void APP_set_window_thread() {
    exits.window_thread = std::this_thread::get_id();
    exits.window_thread_set = true;
}

bool APP_on_window_thread() {
    return !exits.window_thread_set || exits.window_thread == std::this_thread::get_id();
}

void APP_install_exit_hooks() {
    APP_alert_hooks hooks;
    hooks.draw_alert = APP_draw_alert;
    hooks.save_settings = save_settings;
    hooks.restore_display = restore_display;
    hooks.destroy_windows = destroy_windows;
    hooks.end_work = end_work;
    APP_set_alert_hooks(hooks);
    exits.work_ended = false;
}

void APP_set_program_work_end(void (*end_work)()) { exits.program_work_end = end_work; }

void APP_install_thread_gl_hooks() {
    THREAD_gl_hooks hooks;
    hooks.main_context = main_context;
    hooks.make_current = make_current;
    hooks.init_worker_context = OGL_init_worker_context;
    hooks.setup_failed_dialog = setup_failed_dialog;
    THREAD_set_gl_hooks(hooks);
}
