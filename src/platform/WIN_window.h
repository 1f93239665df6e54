// WIN_window: windows with an OpenGL context, input dispatch, the run loop and the loader context.
//
// DESIGN: the layer knows the toolkit only through two records it is handed: the input callback record of
// each window and the platform callbacks record (device notifications and the log). Everything here runs on
// the main thread, except WIN_init_loader_context, which runs on the thread that wants the context.
#pragma once
#include <cstdint>

struct SDL_Window;

// One window with its OpenGL context. Made by WIN_create_window_gl, freed by WIN_destroy_window_gl.
struct WIN_window;

// Input callbacks of one window (the toolkit fills it). Coordinates are window pixels, y down. A null entry
// is skipped; while a window has no record, its input is ignored.
struct WIN_input_callbacks {
    WIN_input_callbacks* self = nullptr;
    void (*mouse_down)(WIN_input_callbacks* rec, int x, int y, int button) = nullptr; // 0 left, 1 right
    void (*mouse_up)(WIN_input_callbacks* rec, int x, int y, int button) = nullptr;
    void (*mouse_move)(WIN_input_callbacks* rec, int x, int y) = nullptr;
    void (*mouse_wheel)(WIN_input_callbacks* rec, int x, int y, int button, int delta) = nullptr; // notches
    void (*refresh)(WIN_input_callbacks* rec) = nullptr;
    void (*resize)(WIN_input_callbacks* rec, int width, int height) = nullptr; // drawable size
    int (*key_down)(WIN_input_callbacks* rec, int character, int key, int flags) = nullptr;
    void (*key_up)(WIN_input_callbacks* rec, int character, int key, int flags) = nullptr;
    // Non-zero while keys that came in this drain wait for the widget that holds the keyboard focus. An
    // event that may move the focus (a button press; Tab, Return or Escape going down; an exposure or a
    // resize, which set the screen again) then stays queued, with every event after it, for the next drain:
    // the frame between lets the widget take the keys typed before it.
    int (*keys_waiting)(WIN_input_callbacks* rec) = nullptr;
    int window_id = 0; // the window's identity (0 or 1)
    intptr_t user = 0; // a second word given by the maker of the record
};

// What the platform layer needs of the toolkit's platform_callbacks record: the two device notifications and
// a text sink for the lines the layer writes straight into the log (the GLX extension string, loader-context
// failures). Any entry may be null.
struct platform_callbacks_view {
    void* self = nullptr;
    void (*media_arrived)(void* self) = nullptr;   // a CD/DVD file system was mounted
    void (*devices_changed)(void* self) = nullptr; // any other change of the mount table
    void (*log_text)(const char* text) = nullptr;  // writes text as it is, flushed
};

// Starts the video subsystem once (the X11 class of every window is "Sim-Root", unless the user set
// SDL_VIDEO_X11_WMCLASS). Later calls do nothing.
void WIN_register_classes();
// Registers the classes if needed and stores the requested anti-aliasing level (0..4).
void WIN_set_multisample(int level);
// The anti-aliasing level obtained by the last window creation (0..4), and its override by the probe.
int WIN_get_multisample();
void WIN_set_multisample_obtained(int level);
// Copies the record (null clears it) and takes the current mount table as the base of later changes.
void WIN_set_platform_callbacks(const platform_callbacks_view* record);

// Modes: 0 captioned fixed-size window, 1 resizable window, 2 borderless.
// Creates a window titled "Sim-Root" at (x, y) with a client area of width x height, and its context:
// RGBA8, depth 32, double-buffered, compatibility profile; multisampled when a level was requested and
// GLX_ARB_multisample is offered (16, 8, 4 then 2 samples, obtained levels 4..1). `share`, when given, shares
// its objects with the new context. The new context is current on return. Null when no window or context
// could be made (SDL's error text stays in SDL_GetError).
WIN_window* WIN_create_window_gl(int x, int y, int width, int height, int max_width, int max_height, int mode,
                                 WIN_window* share);
// Hands the window its input record (not owned; null detaches).
void WIN_set_handler(WIN_window* window, WIN_input_callbacks* callbacks);
// Releases the context if current, deletes it, destroys the window and frees the record. Null is ignored.
void WIN_destroy_window_gl(WIN_window* window);
// Makes the window's context current on this thread; null releases the current context.
bool WIN_make_current(WIN_window* window);
void WIN_swap_buffers(WIN_window* window);
// Sets the swap interval of the window's context; a driver that refuses is ignored.
void WIN_set_swap_interval(WIN_window* window, int interval);
// Restyles the window when the mode differs (2 borderless, else bordered; 1 also resizable) and shows it.
void WIN_set_window_mode(WIN_window* window, int mode);
// Moves the window so that its client area covers left, top to right, bottom.
void WIN_set_client_rect(WIN_window* window, int left, int top, int right, int bottom);
// Places the window at 0,0 with that size.
void WIN_set_window_size(WIN_window* window, int width, int height);
// Full screen on this window: with a display mode chosen by WIN_monitor_set_mode that mode, else the
// desktop mode. Off returns to the window.
void WIN_set_window_fullscreen(WIN_window* window, bool on);
// False while the window is minimised or hidden (unmapped); true for a null window.
bool WIN_window_visible(WIN_window* window);
SDL_Window* WIN_get_hwnd(WIN_window* window);
void* WIN_get_gl_context(WIN_window* window);

// Runs frames on the main thread until a quit is requested (not entered when it already is):
// hint = prepare(); drain events (or wait up to hint x 16 ms for one when none is waiting and hint > 0);
// one look at the mount table; frame(). A drain takes the events in the order they came, and stops before
// an event that may move the keyboard focus while keys wait for the focused widget (keys_waiting above),
// and after taking one: the keys that follow it go to the widget that holds the focus once a frame ran.
void WIN_run_loop(int (*prepare)(), void (*frame)());
// Ends the run loop's wait for events early, so that the next frame runs at once. Any thread; wakes that
// come before the loop takes the first one add nothing.
void WIN_wake_loop();
// before(), drain the waiting events, after(); returns after()'s result.
int WIN_pump_once(int (*before)(), int (*after)());

bool WIN_shift_down();
// The desktop's double-click time in seconds: the XSETTINGS value "Net/DoubleClickTime" (milliseconds,
// 1..10000) read through the window's X connection; 0.4 (GTK's default) when there is none.
float WIN_double_click_time(WIN_window* window);
// The system cursor's display counter down or up by one; it shows while the counter is 0 or more.
void WIN_hide_cursor();
void WIN_show_cursor();
void WIN_arrow_cursor();

// Called on a new thread: a hidden 128 x 128 window with a context that shares objects with `share`'s,
// current on the calling thread. `share`'s context must be current on no thread. Each failure writes one
// line to the log sink and returns false.
bool WIN_init_loader_context(WIN_window* share);
