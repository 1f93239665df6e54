// toolkit_driver: the toolkit's start-up and frame loop with an empty screen 0, and by its switches one
// thing to look at. The toolkit's tests run it under Xvfb and drive it with xdotool.
//
// Switches (with the program's own options, which reach the log's option block):
//   --alert=K             on the first frame, APP_alert of kind K with --line1 .. --line4 (return screen 0)
//   --nested              while that alert shows, the frame raises a second alert (kind 1)
//   --popup=N             screen 0 keeps a popup of N items open at (400, 300), its opener's first row kept
//   --worker_report       a worker thread reports a kind-1 exception (ends the process)
// Screen 0 is a checkered backdrop (tests/support/backdrop.h).
// Output lines on stdout: "ready" once two frames were presented, "alert returned", "chosen I" when a
// popup row was chosen, "origin X Y" whenever the view origin changes, "loop ended" after the loop.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/APP_alert.h"
#include "base/OPT_options.h"
#include "base/exce_class.h"
#include "base/hl_thread.h"
#include "platform/WIN_window.h"
#include "ui/APP_frame.h"
#include "ui/APP_toolkit_init.h"
#include "ui/MENU_menus.h"
#include "ui/OGL_view.h"
#include "ui/hl_init.h"
#include "ui/screen_state.h"

#include "../backdrop.h"

namespace {

// Main thread only.
struct driver_state {
    long frames = 0;
    int popup_items = 0;
    int first_row = 0;
    bool nested_raised = false;
    float origin_x = -1, origin_y = -1;
} driver;

void say(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void say_origin() {
    if (screen_state.origin_x == driver.origin_x && screen_state.origin_y == driver.origin_y)
        return;
    driver.origin_x = screen_state.origin_x;
    driver.origin_y = screen_state.origin_y;
    std::printf("origin %d %d\n", static_cast<int>(driver.origin_x), static_cast<int>(driver.origin_y));
    std::fflush(stdout);
}

int report_from_worker(void*) {
    exce_class e("Reported from a worker.", "", "", "", "toolkit_driver.cpp", 7, 1);
    e.report();
    return 0;
}

void screen0_frame() {
    // Checkered, so that pictures of the dialogs above it show where they paint.
    test::draw_backdrop(screen_state.drawable_width, screen_state.drawable_height);
    if (driver.popup_items > 0) {
        if (MENU_state.result_owner == 77) {
            std::printf("chosen %d\n", MENU_state.chosen_item);
            std::fflush(stdout);
            MENU_state.result_owner = 0;
            driver.popup_items = 0;
        } else {
            std::vector<std::string> items;
            for (int i = 0; i < driver.popup_items; ++i)
                items.push_back(i == 2 ? "-" : "Item " + std::to_string(i));
            MENU_state.popup_owner = 77;
            MENU_open_popup(400, 300, 120, items, &driver.first_row);
        }
    }
}

// Runs after every frame's drawing, on every screen.
void after_frame() {
    ++driver.frames;
    say_origin();
    if (driver.frames == 3) // two frames presented
        say("ready\n");
    if (OPT_has("--nested") && APP_alert_showing() && !driver.nested_raised) {
        driver.nested_raised = true;
        APP_alert(0, "A second alert.", "", "", "", 1, __FILE__, __LINE__);
    }
}

void first_frame_actions() {
    if (OPT_has("--worker_report")) {
        UTL_thread_handle handle{};
        unsigned long id = 0;
        THREAD_spawn(report_from_worker, nullptr, &handle, &id, nullptr, 0);
    }
    if (OPT_has("--alert")) {
        APP_alert(0, OPT_get("--line1"), OPT_get("--line2"), OPT_get("--line3"), OPT_get("--line4"),
                  std::atoi(OPT_get("--alert").c_str()), "tests/support/toolkit_driver.cpp", 99);
        say("alert returned\n");
    }
}

int prepare() { return APP_frame_prepare(); }

void frame() {
    APP_frame();
    if (driver.frames == 1)
        first_frame_actions();
}

bool has_blank(const std::string& s) { return s.find_first_of(" \t") != std::string::npos; }

} // namespace

int main(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        if (i > 1)
            text += ' ';
        if (eq != std::string::npos && has_blank(arg.substr(eq + 1)))
            text += arg.substr(0, eq + 1) + "\"" + arg.substr(eq + 1) + "\"";
        else
            text += arg;
    }
    APP_toolkit_init();
    char* args[1] = {text.data()};
    hl_init(1, args);
    driver.popup_items = std::atoi(OPT_get("--popup").c_str());
    APP_set_screen0_frame(screen0_frame);
    APP_set_atlas_update(after_frame);
    WIN_run_loop(prepare, frame);
    say("loop ended\n");
    APP_quit(1);
    return 0;
}
