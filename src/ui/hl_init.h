// hl_init: the toolkit's start-up, the start-up status box, and what start-up leaves for the program.
//
// hl_init, in order: command line; executable folder (the Sim-Root folder is then emptied); unless in
// crash-report mode the log chunks, the memory reserve and the log file with its header (system report,
// options); threads; language choice; window 0 with its OpenGL context and the probe; the texture manager
// and the worker pool; the random seed; the map, background and interface images and the interface colours
// taken from the interface image; the menus and the start-up screen; the language check (the chooser when
// the language is not available); networking; the registries, key bindings and translations. Main thread.
#pragma once
#include <cstdint>
#include <string>

// Start-up. argv[0] is the command-line text; argc is not read. Failures end in APP_alert: no window
// (kind 2), no interface image (kind 2), no networking (kind 1, start-up goes on).
void hl_init(int argc, char** argv);

// One frame of the start-up box with its progress bar, presented at once; nothing before the first screen
// is set. `message` is accepted and not drawn. A null fraction takes the status counter / 100 and
// advances the counter. The fraction is held within [0.02, 1].
void APP_startup_status(const std::string& message, const float* fraction);

// Non-zero when the machine is 64-bit (the log header's line; the entry point reads it).
extern int APP_is_64bit;

// The interface colours, slots 43 to 56, from the decoded interface image (RGBA rows as the PNG reader
// delivers them, bottom-up): slot i takes the pixel of the table, slot 48 the mean of 44 and 47. An image
// that is not exactly 512 x 512 gives false and leaves `rgb` alone. rgb[s - 43] is the colour of slot s.
bool APP_interface_colours(const uint8_t* pixels, int width, int height, float rgb[14][3]);
