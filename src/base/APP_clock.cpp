// APP_clock: the per-frame clock, the time split and the platform callback record.
#include "base/APP_clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>

#include "base/hl_string.h"
#include "platform/APP_time.h"

frame_clock APP_clock;

// Colour slots 93 to 98 until the toolkit takes them over; main thread.
static float clock_colours[6][3];

static int default_screen_id() { return 0; }
static int default_window_mode() { return 0; }
static int no_mouse_edge(int) { return 0; }
static void no_mouse_position(float* x, float* y) { *x = *y = 0.0f; }
static void no_focus() {}
static void keep_colour_slot(int slot, float r, float g, float b) {
    if (slot < 93 || slot > 98)
        return;
    clock_colours[slot - 93][0] = r;
    clock_colours[slot - 93][1] = g;
    clock_colours[slot - 93][2] = b;
}

frame_clock_hooks APP_clock_hooks = {default_screen_id, default_window_mode, no_mouse_edge,
                                     no_mouse_edge,     no_mouse_position,   no_focus,
                                     keep_colour_slot};

// Set by the platform callbacks (whatever thread the platform layer calls them on), read by the toolkit.
static struct {
    std::atomic<int> media_arrived{0};
    std::atomic<int> devices_changed{0};
} device_flags;

float APP_elapsed_seconds() {
    return std::atomic_ref<float>(APP_clock.elapsed).load(std::memory_order_relaxed);
}

void APP_clock_colour(int slot, float rgb[3]) {
    for (int i = 0; i < 3; ++i)
        rgb[i] = slot >= 93 && slot <= 98 ? clock_colours[slot - 93][i] : 0.0f;
}

void APP_seconds_to_hms(float seconds, float* hours, float* minutes, float* secs) {
    *hours = static_cast<float>(static_cast<int>(seconds / 3600.0f));
    *minutes = static_cast<float>(static_cast<int>(seconds / 60.0f)) - *hours * 60.0f;
    *secs = seconds - *hours * 3600.0f - *minutes * 60.0f;
}

static float clamp_frame_time(double t) {
    return static_cast<float>(
        std::clamp(t, static_cast<double>(APP_min_frame_time), static_cast<double>(APP_max_frame_time)));
}

static void run_ticks(int flags[9], double fired[9], double now) {
    for (int i = 0; i < 9; ++i) {
        flags[i] = now - fired[i] > APP_tick_periods[i] ? 1 : 0;
        if (flags[i])
            fired[i] = now;
    }
}

static void run_mouse(frame_clock& c, float now) {
    for (int b = 0; b < 2; ++b) {
        mouse_button_timer& m = c.buttons[b];
        m.quick_click = 0;
        m.double_click = 0;
        if (m.down) {
            if (now - m.press_time > 0.25f)
                m.held_quarter = 1;
            if (now - m.press_time > 1.0f)
                m.held_second = 1;
        }
        if (APP_clock_hooks.mouse_pressed(b)) {
            if (now - m.press_time < c.double_click_time)
                m.double_click = 1;
            m.down = 1;
            m.press_time = now;
            APP_clock_hooks.clear_keyboard_focus();
            c.last_activity = now;
        }
        if (APP_clock_hooks.mouse_released(b)) {
            if (now - m.press_time < 0.25f)
                m.quick_click = 1;
            m.down = 0;
            m.held_quarter = 0;
        }
    }
    float x, y;
    APP_clock_hooks.mouse_position(&x, &y);
    if (std::fabs(x - c.mouse_x) > 0.5f || std::fabs(y - c.mouse_y) > 0.5f)
        c.last_activity = now;
    c.mouse_x = x;
    c.mouse_y = y;
}

static void set_pulse(frame_clock& c) {
    const float p = 0.8f + 0.2f * std::sin(15.0f * c.elapsed);
    c.pulse = p;
    APP_clock_hooks.set_colour_slot(93, p, p, p);
    APP_clock_hooks.set_colour_slot(94, p, 0.5f * p, 0.0f);
    APP_clock_hooks.set_colour_slot(95, p, 0.3f * p, 0.3f * p);
    APP_clock_hooks.set_colour_slot(96, 0.3f * p, 0.3f * p, p);
    APP_clock_hooks.set_colour_slot(97, 0.2f * p, 0.8f * p, 0.2f * p);
    APP_clock_hooks.set_colour_slot(98, 0.7f * p, 0.7f * p, 0.2f * p);
}

static double wrap(double v, double range) {
    v = std::fmod(v, range);
    return v < 0.0 ? v + range : v;
}

static void run_calendar(frame_clock& c, double prev_time_of_day) {
    static const int month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local)) {
        c.year = local.tm_year - 100;
        c.month = local.tm_mon + 1;
        c.day = local.tm_mday;
    }
    std::tm utc{};
    if (c.real_time && c.time_rate >= 0.0f && gmtime_r(&now, &utc)) {
        const double utc_seconds = utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
        if (std::fabs(c.time_of_day - utc_seconds) > 2.0)
            c.time_of_day = utc_seconds;
        else
            c.time_of_day += (utc_seconds - c.time_of_day) * c.sim_frame_time;
        int day = utc.tm_mday - 1;
        for (int m = 0; m < utc.tm_mon && m < 12; ++m)
            day += month_days[m];
        if (c.time_of_day >= 86400.0) {
            c.time_of_day -= 86400.0;
            ++day;
        } else if (c.time_of_day < 0.0) {
            c.time_of_day += 86400.0;
            --day;
        }
        c.day_of_year = day;
    }
    if (prev_time_of_day > 86160.0 && c.time_of_day < 240.0)
        c.day_of_year = std::min(c.day_of_year + 1, 359);
    else if (prev_time_of_day < 240.0 && c.time_of_day > 86160.0)
        c.day_of_year = std::max(c.day_of_year - 1, 0);
}

void APP_frame_clock(frame_clock& c) {
    // 1, 2: count the frame and read the timer.
    ++c.frame_count;
    const long long now_us = APP_get_microseconds();
    if (!c.started) {
        c.started = true;
        c.start_us = now_us;
    }
    const double elapsed = static_cast<double>(now_us - c.start_us) / 1000000.0;
    std::atomic_ref<float>(c.elapsed).store(static_cast<float>(elapsed), std::memory_order_relaxed);

    // 3: frame times.
    const double raw = elapsed - c.prev_elapsed;
    c.prev_elapsed = elapsed;
    const float clamped = clamp_frame_time(raw);
    const int screen = APP_clock_hooks.screen_id();
    if (screen == 0 || APP_clock_hooks.window_mode() == 2) {
        c.frame_time = 0.25f * clamped + 0.75f * c.frame_time;
        c.sim_frame_time = clamp_frame_time(static_cast<double>(c.frame_time) * c.time_rate);
    } else if (screen < 991 || screen > 1004) {
        c.frame_time = clamped;
        c.sim_frame_time = clamped;
    }
    c.interval = static_cast<float>(0.125 * raw + 0.875 * c.interval);

    // 4: tick flags.
    run_ticks(c.sim_ticks, c.sim_tick_fired, c.sim_seconds);
    run_ticks(c.real_ticks, c.real_tick_fired, elapsed);

    // 5, 6: mouse timers, pulse.
    run_mouse(c, c.elapsed);
    set_pulse(c);

    // 7: simulated time.
    const double prev_time_of_day = c.time_of_day;
    c.sim_seconds += c.sim_frame_time;
    c.sim_accumulator += c.sim_frame_time;
    c.time_of_day = wrap(c.time_of_day + c.sim_frame_time, 86400.0);
    if (c.hour_flag)
        c.time_in_hour = wrap(c.time_in_hour + c.sim_frame_time, 3600.0);

    // 8: calendar.
    run_calendar(c, prev_time_of_day);
}

static void media_arrived() { device_flags.media_arrived.store(1); }
static void devices_changed() { device_flags.devices_changed.store(1); }

void APP_init_platform_callbacks(platform_callbacks& callbacks) {
    callbacks.self = &callbacks;
    callbacks.media_arrived = media_arrived;
    callbacks.devices_changed = devices_changed;
    callbacks.log = LOG_printf;
}

int APP_media_arrived() { return device_flags.media_arrived.load(); }
void APP_clear_media_arrived() { device_flags.media_arrived.store(0); }
int APP_devices_changed() { return device_flags.devices_changed.load(); }
