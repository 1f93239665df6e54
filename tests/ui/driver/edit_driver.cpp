// edit_driver: the toolkit's start-up and frame loop with, by its switches, text fields and a popup on
// screen 0 or a file chooser. The toolkit's window tests run it under Xvfb and drive it with xdotool.
//
// Switches (with the program's own options):
//   --fields               screen 0 shows the fields "Name" (300, 400; 200 wide; 40 bytes) and "Code"
//                          (300, 360; 200 wide; 8 bytes) and the popup "Alpha;Beta;Gamma" at (400, 300)
//   --choose=M             on the first frame, WIN_choose_file_or_folder(M, --prompt, --start, --path)
// Output lines on stdout: "ready" once two frames were presented, "field N <text>" when field N changed,
// "popup I" when item I was chosen, "chose R <path>" when the chooser returned R (1 or 0).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/APP_alert.h"
#include "base/OPT_options.h"
#include "platform/WIN_window.h"
#include "ui/APP_frame.h"
#include "ui/APP_toolkit_init.h"
#include "ui/BTN_popup.h"
#include "ui/BTN_text_field.h"
#include "ui/OGL_view.h"
#include "ui/WIN_file_dialog.h"
#include "ui/hl_init.h"

namespace {

// Main thread only.
struct driver_state {
    long frames = 0;
    bool fields = false;
    std::string text[2];
    int popup = 0;
} driver;

void screen0_frame() {
    OGL_clear_view();
    if (!driver.fields)
        return;
    const float ys[2] = {400, 360};
    const int max[2] = {40, 8};
    const char* labels[2] = {"Name", "Code"};
    for (int i = 0; i < 2; ++i)
        if (BTN_text_field(300, ys[i], driver.text[i], max[i], labels[i], 200, 0)) {
            std::printf("field %d %s\n", i, driver.text[i].c_str());
            std::fflush(stdout);
        }
    if (BTN_popup(400, 300, &driver.popup, "Alpha;Beta;Gamma", "Item", ';')) {
        std::printf("popup %d\n", driver.popup);
        std::fflush(stdout);
    }
}

void after_frame() {
    if (++driver.frames == 3) {
        std::puts("ready");
        std::fflush(stdout);
    }
}

void frame() {
    APP_frame();
    if (driver.frames == 1 && OPT_has("--choose")) {
        std::string path = OPT_get("--path");
        bool ok = WIN_choose_file_or_folder(std::atoi(OPT_get("--choose").c_str()), OPT_get("--prompt"),
                                            OPT_get("--start"), path);
        std::printf("chose %d %s\n", ok ? 1 : 0, path.c_str());
        std::fflush(stdout);
    }
}

int prepare() { return APP_frame_prepare(); }

} // namespace

int main(int argc, char** argv) {
    // The options as one command-line text; a value with blanks is quoted.
    std::string text;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        if (i > 1)
            text += ' ';
        if (eq != std::string::npos && arg.find_first_of(" \t", eq) != std::string::npos)
            text += arg.substr(0, eq + 1) + "\"" + arg.substr(eq + 1) + "\"";
        else
            text += arg;
    }
    APP_toolkit_init();
    char* args[1] = {text.data()};
    hl_init(1, args);
    driver.fields = OPT_has("--fields");
    APP_set_screen0_frame(screen0_frame);
    APP_set_atlas_update(after_frame);
    WIN_run_loop(prepare, frame);
    APP_quit(1);
    return 0;
}
