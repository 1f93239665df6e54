// WIN_display: monitors and display modes.
//
// Display modes switch per window here: WIN_monitor_set_mode chooses the mode that full-screen windows on
// that monitor take (WIN_set_window_fullscreen); restoring forgets it, so full screen uses the desktop mode.
// 24 and 32 bits per pixel count as equal, since X11 reports 24. Main thread only.
#pragma once
#include <string>

struct WIN_rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct WIN_monitor_record {
    WIN_rect monitor;   // the monitor's rectangle in desktop coordinates
    WIN_rect work_area; // the part not taken by panels
    int flags = 0;      // 1: the primary monitor
    std::string name;   // the device name
};

// Fills the record of monitor `index` (system order). False, with an empty name, when the index is not
// below the number of monitors.
bool WIN_monitor_info(WIN_monitor_record& out, int index);
// The monitor's current mode; each output may be null and is written only when width, height and bits per
// pixel are all known. left and top are the monitor rectangle's corner.
void WIN_monitor_mode(int monitor, int* left, int* top, int* width, int* height, int* bits, int* rate);
// Chooses the first mode of the monitor (from index 0) that matches all four values; false when none does.
bool WIN_monitor_set_mode(int monitor, int width, int height, int bits, int rate);
// Back to the desktop mode.
void WIN_monitor_restore_mode(int monitor);
// Monitor 0's current mode, without the corner.
void WIN_get_display_mode(int* width, int* height, int* bits, int* rate);
// Width and height both 0 restore the desktop mode (true); otherwise WIN_monitor_set_mode of monitor 0.
bool WIN_set_display_mode(int width, int height, int bits, int rate);
