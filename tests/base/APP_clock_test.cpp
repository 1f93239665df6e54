// The frame clock with injected time, the time split and the platform callback record.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "base/APP_clock.h"
#include "base/hl_string.h"
#include "platform/APP_time.h"

namespace {

// What the clock's hooks answer in these tests.
struct {
    int screen = 0;
    int window_mode = 0;
    int pressed[2] = {};
    int released[2] = {};
    float x = 0, y = 0;
    int focus_clears = 0;
} toolkit;

class ClockTest : public testing::Test {
  protected:
    void SetUp() override {
        saved_ = APP_clock_hooks;
        toolkit = {};
        APP_clock_hooks.screen_id = [] { return toolkit.screen; };
        APP_clock_hooks.window_mode = [] { return toolkit.window_mode; };
        APP_clock_hooks.mouse_pressed = [](int b) { return toolkit.pressed[b]; };
        APP_clock_hooks.mouse_released = [](int b) { return toolkit.released[b]; };
        APP_clock_hooks.mouse_position = [](float* x, float* y) {
            *x = toolkit.x;
            *y = toolkit.y;
        };
        APP_clock_hooks.clear_keyboard_focus = [] { ++toolkit.focus_clears; };
    }
    void TearDown() override {
        APP_clock_hooks = saved_;
        APP_clear_injected_microseconds();
    }
    // One frame at `seconds` of the injected timer; mouse edges last for that frame only.
    void frame_at(double seconds) {
        APP_inject_microseconds(std::llround(seconds * 1e6));
        APP_frame_clock(clock_);
        toolkit.pressed[0] = toolkit.pressed[1] = 0;
        toolkit.released[0] = toolkit.released[1] = 0;
    }

    frame_clock_hooks saved_{};
    frame_clock clock_;
};

TEST_F(ClockTest, FrameTimeIsClampedFromTheFirstFrame) {
    toolkit.screen = 5;
    frame_at(10.0);
    EXPECT_EQ(clock_.frame_count, 1);
    EXPECT_EQ(clock_.elapsed, 0.0f);
    EXPECT_FLOAT_EQ(clock_.frame_time, 0.0010001f);
    EXPECT_FLOAT_EQ(clock_.sim_frame_time, 0.0010001f);
    frame_at(11.0);
    EXPECT_FLOAT_EQ(clock_.elapsed, 1.0f);
    EXPECT_FLOAT_EQ(clock_.frame_time, 0.050251257f);
    EXPECT_FLOAT_EQ(clock_.sim_frame_time, 0.050251257f);
    EXPECT_FLOAT_EQ(clock_.interval, 0.125f); // the unclamped second
    frame_at(11.02);
    EXPECT_NEAR(clock_.frame_time, 0.02f, 1e-6);
}

TEST_F(ClockTest, ScreenZeroSmoothsTheFrameTime) {
    frame_at(0.0);
    EXPECT_FLOAT_EQ(clock_.frame_time, 0.25f * 0.0010001f);
    EXPECT_FLOAT_EQ(clock_.sim_frame_time, 0.0010001f); // clamped
    frame_at(0.02);
    EXPECT_NEAR(clock_.frame_time, 0.25 * 0.02 + 0.75 * 0.25 * 0.0010001, 1e-7);
    for (int i = 2; i < 80; ++i)
        frame_at(0.02 * i);
    EXPECT_NEAR(clock_.frame_time, 0.02f, 1e-6);
    EXPECT_NEAR(clock_.sim_frame_time, 0.02f, 1e-6);

    // The time rate scales the simulated frame time, within the clamp; window mode 2 smooths on any
    // screen.
    clock_.time_rate = 2.0f;
    frame_at(1.6);
    EXPECT_NEAR(clock_.sim_frame_time, 0.04f, 1e-5);
    clock_.time_rate = 10.0f;
    frame_at(1.62);
    EXPECT_FLOAT_EQ(clock_.sim_frame_time, 0.050251257f);
    clock_.time_rate = 1.0f;
    toolkit.screen = 5;
    toolkit.window_mode = 2;
    frame_at(1.66);
    EXPECT_NEAR(clock_.frame_time, 0.25 * 0.04 + 0.75 * 0.02, 1e-6);
}

TEST_F(ClockTest, ToolkitModalScreensKeepTheirFrameTimes) {
    const struct {
        int screen;
        bool keeps;
    } cases[] = {{991, true}, {994, true}, {1004, true}, {990, false}, {1005, false}, {-1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        clock_ = frame_clock{};
        toolkit.screen = 5;
        frame_at(0.0);
        frame_at(0.02);
        toolkit.screen = c.screen;
        frame_at(0.06);
        EXPECT_NEAR(clock_.frame_time, c.keeps ? 0.02f : 0.04f, 1e-6);
        EXPECT_NEAR(clock_.sim_frame_time, c.keeps ? 0.02f : 0.04f, 1e-6);
        EXPECT_NEAR(clock_.elapsed, 0.06f, 1e-6);
    }
}

TEST_F(ClockTest, TickFlagsOverAMinuteAt60Hz) {
    int real_fired[9] = {}, sim_fired[9] = {};
    int prev_real_second = 0;
    for (int i = 0; i <= 3600; ++i) {
        frame_at(i / 60.0);
        for (int k = 0; k < 9; ++k) {
            real_fired[k] += clock_.real_ticks[k];
            sim_fired[k] += clock_.sim_ticks[k];
        }
        // A flag stands for one frame only.
        EXPECT_FALSE(prev_real_second && clock_.real_ticks[3]) << i;
        prev_real_second = clock_.real_ticks[3];
    }
    EXPECT_GE(real_fired[3], 59);
    EXPECT_LE(real_fired[3], 60);
    EXPECT_GE(sim_fired[3], 59);
    EXPECT_LE(sim_fired[3], 60);
    EXPECT_EQ(real_fired[0], 5); // every 10 s and a frame
    // 0.025 s is more than one frame and less than two: every second frame.
    EXPECT_EQ(real_fired[8], 1800);
    EXPECT_NEAR(clock_.sim_seconds, 60.0, 0.1);
}

TEST_F(ClockTest, QuickAndDoubleClicks) {
    frame_at(1.0);
    toolkit.pressed[0] = 1;
    frame_at(1.1);
    EXPECT_TRUE(clock_.buttons[0].down);
    EXPECT_FALSE(clock_.buttons[0].double_click);
    EXPECT_EQ(toolkit.focus_clears, 1);
    EXPECT_NEAR(clock_.last_activity, 0.1f, 1e-6);
    toolkit.released[0] = 1;
    frame_at(1.2);
    EXPECT_TRUE(clock_.buttons[0].quick_click);
    EXPECT_FALSE(clock_.buttons[0].down);
    frame_at(1.25);
    EXPECT_FALSE(clock_.buttons[0].quick_click);

    // A second press within 0.4 s (GTK's default) of the first is a double click; a slow release is no
    // quick click.
    toolkit.pressed[0] = 1;
    frame_at(1.45);
    EXPECT_TRUE(clock_.buttons[0].double_click);
    EXPECT_EQ(toolkit.focus_clears, 2);
    frame_at(1.8);
    EXPECT_TRUE(clock_.buttons[0].held_quarter);
    EXPECT_FALSE(clock_.buttons[0].held_second);
    frame_at(2.6);
    EXPECT_TRUE(clock_.buttons[0].held_second);
    toolkit.released[0] = 1;
    frame_at(2.7);
    EXPECT_FALSE(clock_.buttons[0].quick_click);
    EXPECT_FALSE(clock_.buttons[0].held_quarter);

    // Too late for a double click; the other button keeps its own timers.
    toolkit.pressed[0] = 1;
    frame_at(2.9);
    EXPECT_FALSE(clock_.buttons[0].double_click);
    toolkit.pressed[1] = 1;
    frame_at(3.0);
    EXPECT_FALSE(clock_.buttons[1].double_click);
    EXPECT_TRUE(clock_.buttons[1].down);

    // Only a move of more than half a pixel counts as activity.
    EXPECT_NEAR(clock_.last_activity, 2.0f, 1e-6);
    toolkit.x = 0.4f;
    frame_at(3.5);
    EXPECT_NEAR(clock_.last_activity, 2.0f, 1e-6);
    toolkit.y = 0.6f;
    frame_at(3.6);
    EXPECT_NEAR(clock_.last_activity, 2.6f, 1e-6);
}

TEST_F(ClockTest, MidnightMovesTheDayOfTheYear) {
    toolkit.screen = 5;
    clock_.time_of_day = 86399.99;
    clock_.day_of_year = 100;
    frame_at(0.0);
    EXPECT_EQ(clock_.day_of_year, 100);
    frame_at(0.05);
    EXPECT_LT(clock_.time_of_day, 1.0);
    EXPECT_EQ(clock_.day_of_year, 101);
    frame_at(0.1);
    EXPECT_EQ(clock_.day_of_year, 101);

    clock_.time_of_day = 86399.99;
    clock_.day_of_year = 359;
    frame_at(0.15);
    EXPECT_EQ(clock_.day_of_year, 359);

    // The hour flag lets the time within the hour run and wrap.
    clock_.hour_flag = 1;
    clock_.time_in_hour = 3599.99;
    frame_at(0.2);
    EXPECT_NEAR(clock_.time_in_hour, 0.04, 1e-6);
}

TEST_F(ClockTest, CalendarAndRealTime) {
    clock_.real_time = 1;
    frame_at(0.0);
    const std::time_t now = std::time(nullptr);
    std::tm local{}, utc{};
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
    EXPECT_EQ(clock_.year, local.tm_year - 100);
    EXPECT_EQ(clock_.month, local.tm_mon + 1);
    EXPECT_EQ(clock_.day, local.tm_mday);
    EXPECT_NEAR(clock_.time_of_day, utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec, 3.0);
    const int days_before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    if (utc.tm_hour != 0 || utc.tm_min != 0) {
        EXPECT_EQ(clock_.day_of_year, days_before[utc.tm_mon] + utc.tm_mday - 1);
    }
}

TEST_F(ClockTest, PulseSetsColourSlots93To98) {
    frame_at(0.0);
    frame_at(0.1);
    const float p = 0.8f + 0.2f * std::sin(1.5f);
    EXPECT_FLOAT_EQ(clock_.pulse, p);
    const float expected[6][3] = {{p, p, p},
                                  {p, 0.5f * p, 0},
                                  {p, 0.3f * p, 0.3f * p},
                                  {0.3f * p, 0.3f * p, p},
                                  {0.2f * p, 0.8f * p, 0.2f * p},
                                  {0.7f * p, 0.7f * p, 0.2f * p}};
    for (int slot = 93; slot <= 98; ++slot) {
        SCOPED_TRACE(slot);
        float rgb[3];
        APP_clock_colour(slot, rgb);
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(rgb[i], expected[slot - 93][i]);
    }
}

TEST(ClockHelpersTest, SecondsToHms) {
    float h, m, s;
    APP_seconds_to_hms(3725.0f, &h, &m, &s);
    EXPECT_EQ(h, 1.0f);
    EXPECT_EQ(m, 2.0f);
    EXPECT_EQ(s, 5.0f);
    APP_seconds_to_hms(75.5f, &h, &m, &s);
    EXPECT_EQ(h, 0.0f);
    EXPECT_EQ(m, 1.0f);
    EXPECT_EQ(s, 15.5f);
}

TEST(ClockHelpersTest, PlatformCallbacksSetTheirFlags) {
    platform_callbacks cb{};
    APP_init_platform_callbacks(cb);
    EXPECT_EQ(cb.self, &cb);
    EXPECT_EQ(cb.log, &LOG_printf);
    APP_clear_media_arrived();
    cb.media_arrived();
    EXPECT_EQ(APP_media_arrived(), 1);
    APP_clear_media_arrived();
    EXPECT_EQ(APP_media_arrived(), 0);
    cb.devices_changed();
    EXPECT_EQ(APP_devices_changed(), 1);
}

TEST(ClockHelpersTest, TimerStartsAtZeroAndTakesInjectedTime) {
    APP_inject_microseconds(75500000);
    EXPECT_EQ(APP_get_microseconds(), 75500000);
    APP_clear_injected_microseconds();
    const int64_t a = APP_get_microseconds();
    const int64_t b = APP_get_microseconds();
    EXPECT_GE(a, 0);
    EXPECT_GE(b, a);
}

} // namespace
