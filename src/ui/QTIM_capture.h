// QTIM_capture: screen capture: the screenshot PNG, movie recording, and the per-frame capture driver.
//
// DESIGN: the driver runs once per frame, after the frame's own drawing and before the frame is presented,
// so a screenshot or a movie frame reads the back buffer with the finished picture. A recording belongs to
// the main thread except for its compressor thread "QT_Thread": the main thread copies each due frame out
// of the window (through the capture texture, ref 1061) and pushes it with its duration onto the thread's
// queue; the thread encodes the frames in order into the movie file (WIN_movie) until it pops a null frame.
// Every recorder failure is the kind-2 alert from qtim line 189 (raised on the thread where it happens).
//
// Movie states:
//   | state | a due frame (accumulated time >= 1 / fps)                             |
//   | 0     | clears the skip flag                                                  |
//   | 1     | first due frame: sets the skip flag; later ones: captures the frame   |
//   | 2     | clears the skip flag and finishes the movie                           |
// The time accumulated is real time (the clock between two driver calls), so a movie lasts as long as its
// recording did however slowly frames came. It restarts at 0 with every due frame, so a captured frame
// lasts the time since the previous due frame. A frame whose drawing was discarded is not captured; its
// time goes to the next drawn frame.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The capture record (main thread). Nothing in the program asks for a capture; setting
// `screenshot_requested` makes the next frame take a screenshot, and `movie_toggle_requested` makes it
// toggle the movie recording.
struct QTIM_capture_record {
    int available = 0;      // the movie recorder was found at start-up (QTIM_init)
    int movie_state = 0;    // 0 idle, 1 recording, 2 stop requested
    int fps_numerator = 30; // frames per second = fps_numerator / time_scale
    int time_scale = 1;
    int movie_width = 0, movie_height = 0; // the movie's frame size (the captured area, made even)
    int area_width = 0, area_height = 0;   // the captured area: the drawable clamped to 2048 x 2048
    int frames_recorded = 0;
    int screenshot_requested = 0;
    int movie_toggle_requested = 0;
};
extern QTIM_capture_record QTIM_capture;

constexpr int QTIM_MOVIE_TEXTURE = 1061; // the capture texture's ref
constexpr int QTIM_MOVIE_SIDE = 2048;    // its side, and the largest captured area

// Start-up: sets the capture-available flag from the movie library (1 when its MJPEG encoder and ".mov"
// muxer are present).
void QTIM_init();

// The toolkit's microsecond clock in seconds.
double QTIM_get_seconds();

// The per-frame driver: takes a requested screenshot (and clears the request), toggles the movie when
// asked, then advances the movie timing by the real time since its last call (see the table above).
// `drawn` is false when the frame's drawing was discarded (a hidden window): nothing is captured then.
void QTIM_frame(bool drawn);

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

// The first of "Sim-Root_1<extension>", "Sim-Root_2<extension>", ... that names no existing file or folder.
std::string QTIM_screenshot_name(const std::string& extension = ".png");

// Movie toggle: when the recorder is available and no movie exists, sets state 1, creates the 2048 x 2048
// capture texture "scratch_array-t_QT_movie" and starts the movie; when a movie exists and more than 2
// frames were recorded, finishes it. Otherwise nothing.
void QTIM_movie_toggle();
// Starts a movie of the current drawable's centred area into the next free "Sim-Root_N.mov" and its
// compressor thread. A movie that already exists is the alert "Trying to create a movie but one already
// exists"; a file that cannot be created is the alert "Could not CreateMovieFile to file: <path>" (no
// thread is started then).
void QTIM_movie_start();
// Hands one frame to the compressor: packed RGB rows of the movie's frame size, bottom row first, shown
// for `duration` time-scale units (seconds when the time scale is 1). Main thread, while a movie exists.
void QTIM_movie_add_frame(std::vector<uint8_t> rgb, double duration);
// Captures the centred area of the back buffer through the capture texture (a pixel-pack buffer when the
// driver offers one) and hands it to the compressor with `duration`. Window's context current.
void QTIM_movie_capture(double duration);
// Without a movie: the alert "Cannot finish record of a movie that was not started!". With 2 frames or
// fewer: nothing (the movie goes on recording, state 1). Otherwise ends the compressor thread, writes the
// rest of the movie, closes the file, releases the capture texture and returns to state 0.
void QTIM_movie_finish();
// Ends a movie as QTIM_movie_finish does, whatever its frame count: the way out of the program leaves a
// playable file. Main thread, while a movie exists.
void QTIM_movie_end();
// True while a movie exists (between its start and its finish).
bool QTIM_movie_exists();
