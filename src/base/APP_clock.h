// APP_clock: the per-frame clock, the split of seconds into hours, minutes and seconds, and the record
// of device callbacks handed to the platform layer.
#pragma once

// The nine tick periods, in seconds, in the order of the tick-flag arrays below.
inline constexpr float APP_tick_periods[9] = {10.0f, 5.0f, 2.0f, 1.0f, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};

// Frame times are clamped to this range (seconds).
inline constexpr float APP_min_frame_time = 0.0010001f;
inline constexpr float APP_max_frame_time = 0.050251257f;

// Timers of one mouse button. Times are the clock's elapsed real seconds.
struct mouse_button_timer {
    int down = 0;               // pressed and not yet released
    float press_time = -1.0e6f; // time of the last press
    int held_quarter = 0;       // held for more than 0.25 s; cleared by the release
    int held_second = 0;        // held for more than 1.0 s; nothing clears it
    int quick_click = 0;        // this frame only: released within 0.25 s of its press
    int double_click = 0;       // this frame only: pressed within the double-click time of the last press
};

// The record APP_frame_clock advances once per frame. The initial values make simulated time follow
// real time and leave the time of day at midnight until the caller sets it.
struct frame_clock {
    long frame_count = 0;
    float time_rate = 1.0f;       // simulated seconds per real second
    float frame_time = 0.0f;      // smoothed frame time (s), clamped
    float interval = 0.0f;        // unclamped real interval between frames, smoothed with weight 0.125
    float sim_frame_time = 0.0f;  // simulated frame time (s), clamped
    float elapsed = 0.0f;         // real seconds since the clock's first call; read with APP_elapsed_seconds
    double sim_seconds = 0.0;     // simulated seconds
    double sim_accumulator = 0.0; // second sum of simulated time, for its users to reset
    double time_of_day = 0.0;     // seconds, 0 to 86,400
    double time_in_hour = 0.0;    // seconds, 0 to 3,600; advances only with the hour flag
    int year = 0;                 // local year - 1900 - 100 (2024 gives 24)
    int month = 0;                // 1 to 12
    int day = 0;                  // day of the month
    int day_of_year = 0;          // 0 to 359
    int real_time = 0;            // the time of day follows the UTC clock
    int hour_flag = 0;            // the time within the hour advances
    int sim_ticks[9] = {};        // 1 in the frame a tick period of simulated time passed
    int real_ticks[9] = {};       // the same on elapsed real seconds
    float pulse = 0.0f;           // 0.8 + 0.2 sin(15 elapsed): the drawing pulse
    mouse_button_timer buttons[2];
    float last_activity = 0.0f;     // elapsed time of the last press or mouse move
    float double_click_time = 0.4f; // seconds: the desktop's setting, read at start-up

    // Bookkeeping of APP_frame_clock.
    bool started = false;
    long long start_us = 0; // timer reading of the first call
    double prev_elapsed = 0.0;
    double sim_tick_fired[9] = {};
    double real_tick_fired[9] = {};
    float mouse_x = 0.0f, mouse_y = 0.0f;
};

// What the frame clock reads from the toolkit. The defaults let the clock run alone: screen 0, window
// mode 0, no mouse, no keyboard focus, and colour slots 93 to 98 kept here (APP_clock_colour).
// The toolkit replaces the entries at start-up (main thread, before the first frame).
struct frame_clock_hooks {
    int (*screen_id)();                         // the current screen id
    int (*window_mode)();                       // the window mode of window 0
    int (*mouse_pressed)(int button);           // click edge of button 0 or 1 in this frame
    int (*mouse_released)(int button);          // release edge of button 0 or 1 in this frame
    void (*mouse_position)(float* x, float* y); // pointer position, pixels
    void (*clear_keyboard_focus)();
    void (*set_colour_slot)(int slot, float r, float g, float b);
};
extern frame_clock_hooks APP_clock_hooks;

// The clock the frame callback advances (main thread); other threads only read `elapsed`, through
// APP_elapsed_seconds.
extern frame_clock APP_clock;

// APP_clock.elapsed, read safely from any thread.
float APP_elapsed_seconds();

// hours = whole part of seconds / 3600; minutes = whole part of seconds / 60 - hours * 60; seconds = the
// rest. 3725 gives 1, 2, 5.
void APP_seconds_to_hms(float seconds, float* hours, float* minutes, float* secs);

// Advances `clock` by one frame (main thread): elapsed time from APP_get_microseconds since the record's
// first call; frame times clamped to [APP_min_frame_time, APP_max_frame_time]:
//   screen 0 or window mode 2   frame_time smoothed 0.25 new + 0.75 old; sim_frame_time = frame_time * rate
//   screens 991 to 1004         frame_time and sim_frame_time keep their values
//   any other screen            both take the clamped frame time
// then the tick flags, the mouse-button timers, the pulse and colour slots 93 to 98, simulated time,
// the calendar (local date; UTC time of day with the real-time flag) and the day moved at midnight.
void APP_frame_clock(frame_clock& clock);

// RGB of colour slot 93 to 98 as the default set_colour_slot hook stored it (other slots give 0).
void APP_clock_colour(int slot, float rgb[3]);

// The record of device callbacks the platform layer is handed, fields in this order.
struct platform_callbacks {
    platform_callbacks* self;
    void (*media_arrived)();              // a volume with a medium arrived (a disc was inserted)
    void (*devices_changed)();            // a device came or went
    void (*log)(const char* format, ...); // LOG_printf
};

// Fills the record: itself, the two flag setters and LOG_printf.
void APP_init_platform_callbacks(platform_callbacks& callbacks);

// The flags the two callbacks set (any thread). The media flag is cleared by whoever acts on it.
int APP_media_arrived();
void APP_clear_media_arrived();
int APP_devices_changed();
