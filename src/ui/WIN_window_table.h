// WIN_window_table: the toolkit's windows (0, and 1 in the second-monitor mode), full screen and placement.
//
// Window 0 is the main window; in the second-monitor mode 2, window 1 stands to its right and shares
// objects with it. The sizes live in screen_state. Main thread only.
#pragma once
#include <string>

#include "platform/WIN_window.h"

// Fills the input callback record of window i (the frame-callback module's maker; set once at start-up).
// Without a maker, windows get no record and their input is ignored.
void WIN_set_input_callbacks_maker(void (*maker)(WIN_input_callbacks& record, int window_index));
// Called after window 1 appeared in the second-monitor mode (the background tiles reload themselves).
// Gives the hook it replaces.
using WIN_second_window_hook = void (*)();
WIN_second_window_hook WIN_set_second_window_hook(WIN_second_window_hook hook);

// Where window i goes: the pure part of WIN_create_window.
struct WIN_window_plan {
    int x = 0, y = 0;
    int window_width = 0, window_height = 0; // the windowed size after the fit check
    int drawable_width = 0, drawable_height = 0;
    std::string log_text; // the line for the log when the window had to shrink, else empty
};
// offset_x/offset_y: the option values ("" when absent); screen_width/height: monitor 0's mode (0 unknown).
WIN_window_plan WIN_plan_window(int i, const std::string& offset_x, const std::string& offset_y,
                                int screen_width, int screen_height, int window_width, int window_height,
                                int fullscreen, int fullscreen_width, int fullscreen_height);

// Creates window i with its context, input record and the toolkit's initial GL state; false when no window
// or context could be made (nothing is left behind then).
bool WIN_create_window(int i);
void WIN_destroy_window(int i);
// Window i's record, or null.
WIN_window* WIN_table_window(int i);
// The window being drawn (0 or 1).
int WIN_drawn_window();
void WIN_set_drawn_window(int i);
// Window 0: the window whose context thread contexts share objects with.
WIN_window* WIN_get_platform_window();
// 0 windowed, 1 or 2 full screen (stored as 1); acts only when the mode differs from the stored one, so 2
// forces a switch while the flag is already set. Before window 0 exists, it takes effect at its creation.
void WIN_set_fullscreen(int mode);
// mode < 0 returns the current mode (starts at 1); otherwise 1 -> 2 creates window 1, 2 -> 1 destroys it,
// the mode is stored and 0 returned.
int WIN_second_monitor_mode(int mode);
// The swap interval handed to each new window (starts at 0).
void WIN_set_swap_interval_setting(int interval);
