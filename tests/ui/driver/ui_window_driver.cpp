// ui_window_driver: opens window 0 with the toolkit's platform layer, probes OpenGL and runs the frame loop,
// printing every input callback on stdout. The window tests drive it with xdotool and signals.
//
// Switches (besides the program's own options, which reach OPT_store): --log_path=FILE, --window_size=WxH,
// --aa=LEVEL (anti-aliasing request), --fullscreen (desktop-mode full screen), --hint=N (idle hint of each
// frame, default 1), --run_ms=N (ask to quit once the loop has run N ms). Output lines: "ready", one line per
// callback, "visible 1" or "visible 0" at the first frame and whenever window 0 is shown or hidden, then
// "frames N" and "loop ended" when the loop returns.
#include <GL/gl.h>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "platform/APP_time.h"
#include "platform/WIN_message.h"
#include "platform/WIN_window.h"
#include "ui/OGL_extensions.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

namespace {

int hint = 1;
long run_ms = -1;
int64_t loop_start_us = 0; // the clock when the loop began: start-up takes no part of --run_ms
long frames = 0;
int visible = -1;

__attribute__((format(printf, 1, 2))) void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

void make_callbacks(WIN_input_callbacks& r, int window_index) {
    r.window_id = window_index;
    r.mouse_down = [](WIN_input_callbacks*, int x, int y, int b) { say("mouse_down %d %d %d\n", x, y, b); };
    r.mouse_up = [](WIN_input_callbacks*, int x, int y, int b) { say("mouse_up %d %d %d\n", x, y, b); };
    r.mouse_move = [](WIN_input_callbacks*, int x, int y) { say("mouse_move %d %d\n", x, y); };
    r.mouse_wheel = [](WIN_input_callbacks*, int x, int y, int b, int d) {
        say("wheel %d %d %d %d\n", x, y, b, d);
    };
    r.refresh = [](WIN_input_callbacks*) { say("refresh\n"); };
    r.resize = [](WIN_input_callbacks*, int w, int h) { say("resize %d %d\n", w, h); };
    r.key_down = [](WIN_input_callbacks*, int c, int k, int f) {
        say("key_down %d %d %d\n", c, k, f);
        return 1;
    };
    r.key_up = [](WIN_input_callbacks*, int c, int k, int f) { say("key_up %d %d %d\n", c, k, f); };
}

int prepare() { return hint; }

void frame() {
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    WIN_swap_buffers(WIN_table_window(0));
    ++frames;
    const int now_visible = WIN_window_visible(WIN_table_window(0)) ? 1 : 0;
    if (now_visible != visible)
        say("visible %d\n", visible = now_visible);
    if (run_ms >= 0 && (APP_get_microseconds() - loop_start_us) / 1000 >= run_ms)
        WIN_request_quit();
}

} // namespace

int main(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    OPT_parse_only(text.c_str());
    if (OPT_has("--log_path")) {
        FILE_open_ofstream(LOG_stream, OPT_get("--log_path"), std::ios_base::out, 0x40);
        LOG_stream << std::fixed;
    }
    if (OPT_has("--window_size"))
        std::sscanf(OPT_get("--window_size").c_str(), "%dx%d", &screen_state.window_width,
                    &screen_state.window_height);
    if (OPT_has("--hint"))
        hint = std::atoi(OPT_get("--hint").c_str());
    if (OPT_has("--run_ms"))
        run_ms = std::atol(OPT_get("--run_ms").c_str());

    APP_get_microseconds();
    WIN_register_classes();
    WIN_set_multisample(OPT_has("--aa") ? std::atoi(OPT_get("--aa").c_str()) : 0);
    platform_callbacks_view view;
    view.log_text = [](const char* t) {
        LOG_stream << t;
        LOG_stream.flush();
    };
    WIN_set_platform_callbacks(&view);
    WIN_set_input_callbacks_maker(make_callbacks);
    if (OPT_has("--fullscreen"))
        WIN_set_fullscreen(2); // before window 0 exists: it takes effect at the window's creation
    if (!WIN_create_window(0)) {
        std::fprintf(stderr, "could not create window 0\n");
        return 2;
    }
    OGL_capabilities.OGL_probe();
    std::printf("ready\n");
    std::fflush(stdout);

    loop_start_us = APP_get_microseconds();
    WIN_run_loop(prepare, frame);

    std::printf("frames %ld\nloop ended\n", frames);
    std::fflush(stdout);
    WIN_destroy_window(0);
    LOG_stream.close();
    return 0;
}
