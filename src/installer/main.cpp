// main: the entry point for now: the toolkit's start-up, its frame loop over an empty screen 0 until the
// window is closed or SIGTERM arrives, and the orderly exit. The installer's entry point takes its place.
#include <cctype>
#include <string>

#include "base/APP_alert.h"
#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "platform/WIN_window.h"
#include "ui/APP_frame.h"
#include "ui/APP_toolkit_init.h"
#include "ui/hl_init.h"

namespace {

bool has_blank(const std::string& s) {
    for (char c : s)
        if (std::isspace(static_cast<unsigned char>(c)))
            return true;
    return false;
}

// argv[1..] joined by blanks. An option whose value holds a blank is written --key="value", so that
// OPT_parse splits the text back into exactly the arguments.
std::string command_line_text(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        if (i > 1)
            text += ' ';
        if (eq != std::string::npos && eq > 0 && !has_blank(arg.substr(0, eq)) &&
            has_blank(arg.substr(eq + 1)))
            text += arg.substr(0, eq + 1) + "\"" + arg.substr(eq + 1) + "\"";
        else
            text += arg;
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    std::string text = command_line_text(argc, argv);
    APP_toolkit_init();
    char* args[1] = {text.data()};
    hl_init(1, args);
    // The installer preferences: loaded now, saved by the exit (not in an automated run). Only a loaded set
    // is saved, so a run that never read the file cannot overwrite it with defaults.
    if (!OPT_is_crash_report())
        PREF_load_save(11, 0);
    WIN_run_loop(APP_frame_prepare, APP_frame);
    APP_quit(1);
    return 0;
}
