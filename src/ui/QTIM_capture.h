// QTIM_capture: screen capture: the screenshot PNG and the per-frame capture driver.
//
// DESIGN: the driver runs once per frame, after the frame's own drawing and before the frame is presented,
// so a screenshot reads the back buffer with the finished picture. Movies are not recorded on this system:
// no movie library exists and the capture-available flag stays 0, so nothing can start a recording; the
// recorder, its toggle and its compressor thread are not part of this build, and the driver only ever sees
// the idle state. Main thread only, with the window's context current.
#pragma once
#include <cstddef>
#include <string>

// The capture record (main thread). Nothing in the program asks for a screenshot; setting
// `screenshot_requested` makes the next frame take one.
struct QTIM_capture_record {
    int movie_state = 0;    // 0 idle; the recording states exist only where movies can be recorded
    int fps_numerator = 30; // frames per second = fps_numerator / time_scale
    int time_scale = 1;
    int screenshot_requested = 0;
};
extern QTIM_capture_record QTIM_capture;

// The toolkit's microsecond clock in seconds.
double QTIM_get_seconds();

// The per-frame driver: takes a requested screenshot (and clears the request), then advances the movie
// timing by the frame time.
void QTIM_frame();

// Saves the window's picture as the next free "Sim-Root_N.png" (N from 1) in the Sim-Root folder: the
// centred part of the drawable of at most 4096 x 4096 pixels, RGB. When a buffer for more than 16 MB cannot
// be had, the centred 2048 x 2048 part is saved instead. An empty drawable saves nothing.
void QTIM_screenshot();

// Where a screenshot reads: the drawable clamped to 0..max_side in each direction, centred in it.
struct QTIM_area {
    int x, y, width, height;
    size_t bytes; // 3 per pixel
};
QTIM_area QTIM_screenshot_area(int drawable_width, int drawable_height, int max_side);

// The first of "Sim-Root_1.png", "Sim-Root_2.png", ... that names no existing file or folder.
std::string QTIM_screenshot_name();
