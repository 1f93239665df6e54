// APP_alert: the one modal message routine, and the orderly exit.
//
// DESIGN: an alert is shown only on the main thread; any other thread posts it as an exce_class and goes
// on. Before graphics are up (or while another alert shows, or when the toolkit installed no drawn alert)
// the text goes to the platform's message box, which also writes it to stderr and counts a box that
// cannot be shown as dismissed, so an alert never waits for a display that does not exist. A fatal alert
// ends the process with _Exit (no exit handlers) once the log is flushed and closed: static destructors must
// not run while other threads may still be using what they destroy.
#include "base/APP_alert.h"

#include <cstdio>
#include <cstdlib>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/exce_class.h"
#include "base/hl_thread.h"
#include "platform/WIN_message.h"

int APP_graphics_up = 0;

namespace {

// Main thread only: the alert-showing flag and the toolkit's hooks (installed before other threads exist).
struct alert_state {
    int showing = 0;
    APP_alert_hooks hooks;
} state;

// "(" + the file's name after its last '/' or '\' + ":" + line + ")".
std::string source_text(const char* file, int line) {
    const char* name = file ? file : "";
    for (const char* p = name; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    std::string text = "(";
    text.append(name).append(":").append(std::to_string(line)).append(")");
    return text;
}

void log_block(const std::string& line1, const std::string& line2, const std::string& line3,
               const std::string& line4, const std::string& source) {
    const std::string frame = "+" + std::string(79, '-');
    LOG_write(3, "SYS", "%s", frame.c_str());
    for (const std::string* text : {&line1, &line2, &line3, &line4, &source})
        LOG_write(3, "SYS", "| %s", text->c_str());
    LOG_write(3, "SYS", "%s", frame.c_str());
    LOG_flush();
}

void platform_exit_steps() {
    if (state.hooks.restore_display)
        state.hooks.restore_display();
    if (state.hooks.destroy_windows)
        state.hooks.destroy_windows();
    if (state.hooks.unregister_class)
        state.hooks.unregister_class();
    if (state.hooks.socket_cleanup)
        state.hooks.socket_cleanup();
}

// Ends the process from inside an alert. `shutdown`: the display, window and socket steps run first.
[[noreturn]] void end_process(int code, bool shutdown) {
    if (state.hooks.end_work)
        state.hooks.end_work();
    if (shutdown)
        platform_exit_steps();
    LOG_flush();
    LOG_stream.close();
    if (shutdown)
        WIN_request_quit();
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace

void APP_alert(int return_screen, const std::string& line1, const std::string& line2,
               const std::string& line3, const std::string& line4, int kind, const char* file, int line) {
    if (THREAD_started() && !THREAD_is_main()) {
        exce_class posted(line1, line2, line3, line4, file, line, kind);
        THREAD_post_exception(posted);
        return;
    }
    const std::string source = source_text(file, line);
    const bool fatal = kind == 2 || kind == 3;

    if (OPT_is_test_run()) {
        if (kind != 0 || state.showing)
            log_block(line1, line2, line3, line4, source);
        if (fatal)
            end_process(1, false);
        return;
    }

    const int was_showing = state.showing;
    state.showing = 1;
    if (!APP_graphics_up || was_showing || !state.hooks.draw_alert) {
        const std::string text = line1 + "\n" + line2 + "\n" + line3 + "\n" + line4;
        WIN_message_box(text.c_str());
    } else if (!line1.empty() || !line2.empty() || !line3.empty() || !line4.empty()) {
        state.hooks.draw_alert(return_screen, line1, line2, line3, line4, kind, source);
    }

    if (kind != 0 || was_showing)
        log_block(line1, line2, line3, line4, source);
    if (fatal || was_showing)
        end_process(kind == 2 && !was_showing ? 0 : 1, true);
    state.showing = 0;
}

bool APP_alert_showing() { return state.showing != 0; }

void APP_set_alert_hooks(const APP_alert_hooks& hooks) { state.hooks = hooks; }

void APP_quit(int save) {
    if (state.hooks.end_work)
        state.hooks.end_work();
    if (save) {
        if (!OPT_is_test_run() && state.hooks.save_settings)
            state.hooks.save_settings();
        THREAD_exit();
    }
    platform_exit_steps();
    LOG_flush();
    LOG_stream.close();
}
