// APP_frame: the frame callbacks of the run loop, the input callbacks of the windows and the frame run by
// modal loops.
//
// Per frame (main thread):
// | step | APP_frame_prepare                       | APP_frame                                          |
// |------|-----------------------------------------|----------------------------------------------------|
// | 1    | clear cursor id, Enter/Esc/delete flags, | report exceptions posted by threads, advance the   |
// |      | click and release edges 0 and 1         | frame clock, repeat held key bindings              |
// | 2    | screen -1 becomes 0                     | a menu hover runs the close-box check; clear the    |
// |      |                                         | focus list                                         |
// | 3    | first call: set the screen              | wizard screens: the screen-0 frame (or the cleared |
// |      |                                         | view), tooltip and cursor, menu bar                |
// | 4    | the wait: busy query, recording, input, | open menus, the capture driver, texture deletions, |
// |      | visibility                              | the atlas update, then the frame is presented      |
// The input callbacks turn window events into the input state of ui_state (widget_state.h).
#pragma once

struct WIN_input_callbacks;

// The start-of-frame callback. Its result is the run loop's wait for input, in 16 ms units, as
// APP_frame_wait_hint gives it for the busy query, the time since the last input and window 0's
// visibility.
int APP_frame_prepare();
// The frame callback.
void APP_frame();
// One frame outside the run loop, for modal loops: APP_frame_prepare, the waiting window events, APP_frame.
// 0 once a quit was requested (closing the window), else 1; modal loops may go on regardless.
int APP_run_one_frame();
// 1 while a Shift key is held.
int APP_shift_down();
// Draws the close box pressed and presents the frame (once graphics are up), clears the Enter and Esc
// flags and makes screen 0 current.
void APP_close_screen();
// 0 on screens that are not closed by Return, Esc or their corner boxes: 0, 994 to 997 and 999 to 1003;
// 1 on every other screen (such as 993 and 998).
int APP_screen_is_dialog();

// What the frame runs of the program above the toolkit (its entry point registers them before the run
// loop). Without a screen-0 frame, screens outside 991-1004 show the cleared view (colour 43).
void APP_set_screen0_frame(void (*frame)());
void APP_set_atlas_update(void (*update)());
// The answers to "is anything running?".
constexpr int APP_IDLE = 0;      // nothing: the window idles
constexpr int APP_WORKING = 1;   // only work whose progress the window shows (transfers, expansions)
constexpr int APP_ANIMATING = 2; // something that wants every frame (a page change, a scan, a recording)
// The program's answer, asked at the start of every frame of the run loop; without one, nothing runs. A
// movie being recorded counts as APP_ANIMATING whatever the program answers. Main thread.
void APP_set_busy_query(int (*busy)());

// The run loop's pacing, as a wait for input in 16 ms units:
// | busy          | input within 1 s | otherwise, shown                | otherwise, minimised or hidden |
// | APP_ANIMATING | 1 (full speed)   | 1                               | 1                              |
// | APP_WORKING   | 1                | 3 (at most 20 frames a second)  | 3                              |
// | APP_IDLE      | 1                | 6 (about 10 a second)           | 31 (about 2 a second)          |
// Input ends any wait at once, so it always brings full speed back; so does a wake (WIN_wake_loop) when
// background work finishes something.
int APP_frame_wait_hint(int busy, float seconds_since_input, int visible);

// Fills the input callback record of window `window_index` (handed to the window table).
void APP_input_callbacks_init(WIN_input_callbacks& record, int window_index);
// Installs the toolkit's readers into the frame clock's hooks record (screen id, second-monitor mode, mouse
// edges and position, keyboard-focus clearing, colour slots).
void APP_install_clock_hooks();

// Window pixels (y down) to view units (y up) relative to the view origin, as every mouse callback maps
// them. From the second window in second-monitor mode 2 the point lies right of the first window and the
// origin is not taken off; `mouse_screen` then becomes 0, else the current screen id.
void APP_map_mouse(int px, int py, bool second_window, int second_monitor_mode, float* x, float* y,
                   int* mouse_screen);
// True when (x, y) lies in the 25 x 20 top right corner (the close box's) of a w x h view of a closable
// screen (every screen but those APP_screen_is_dialog calls not closable), edges included.
bool APP_close_box_hit(int screen, float x, float y, float w, float h);
// The close-box check after a press or a menu hover: the menu press handler, then a hit closes the screen.
void APP_close_box_check(int button);
// True when a release at (x, y) at frame-clock time `now` is the quick end of the last press of `button`
// (within 1 s and less than 3 units in x and in y) and so goes no further.
bool APP_release_is_quick(int button, float x, float y, float now);
