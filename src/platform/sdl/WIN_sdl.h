// WIN_sdl: what the SDL files of the platform layer share among themselves.
#pragma once
#include <SDL.h>

// The mode chosen for full-screen windows on the monitor by WIN_monitor_set_mode; false for the desktop mode.
bool WIN_chosen_display_mode(int monitor, SDL_DisplayMode& out);
// True once the video subsystem is up (WIN_register_classes starts it).
bool WIN_video_ready();
