// APP_frame: the mouse mapping, the release and close-box rules, resizes, dialogs and the frame's screens.
#include <gtest/gtest.h>

#include "base/APP_clock.h"
#include "platform/APP_time.h"
#include "platform/WIN_window.h"
#include "ui/APP_frame.h"
#include "ui/MENU_menus.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

class AppFrameTest : public testing::Test {
  protected:
    void SetUp() override {
        screen_state = screen_state_record();
        screen_state.screen_id = 0;
        ui_state = ui_shared_state();
        MENU_init(1);
        APP_clock = frame_clock();
        APP_input_callbacks_init(rec, 0);
    }
    WIN_input_callbacks rec; // window 0, 800 x 600, scale 1
};

} // namespace

TEST_F(AppFrameTest, MapsWindowPixelsToViewUnits) {
    struct row {
        float scale, origin;
        int px, py, second_window_mode;
        float x, y;
        int mouse_screen;
    } rows[] = {
        {1, 0, 10, 590, 0, 10, 10, 994},     // y turns upward
        {1, 170, 200, 420, 0, 30, 10, 994},  // the origin is taken off
        {2, 10, 100, 500, 0, 40, 40, 994},   // scale first, then the origin
        {1, 170, 200, 420, 2, 1000, 180, 0}, // the second window: beside the first, no origin
        {1, 170, 200, 420, 1, 30, 10, 994},  // without mode 2 it counts as the first
    };
    screen_state.screen_id = 994;
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "scale " << r.scale << " mode " << r.second_window_mode);
        screen_state.ui_scale = r.scale;
        screen_state.origin_x = screen_state.origin_y = r.origin;
        float x = 0, y = 0;
        int screen = -5;
        APP_map_mouse(r.px, r.py, r.second_window_mode != 0, r.second_window_mode, &x, &y, &screen);
        EXPECT_FLOAT_EQ(x, r.x);
        EXPECT_FLOAT_EQ(y, r.y);
        EXPECT_EQ(screen, r.mouse_screen);
    }
}

TEST_F(AppFrameTest, AQuickReleaseNearItsPressStopsBeforeTheMenus) {
    APP_input_state& in = ui_state.input;
    in.press_time[0] = 10.0f, in.press_x = 100.0f, in.press_y = 100.0f;
    EXPECT_TRUE(APP_release_is_quick(0, 102.9f, 97.1f, 10.5f));
    EXPECT_FALSE(APP_release_is_quick(0, 103.0f, 100, 10.5f));
    EXPECT_FALSE(APP_release_is_quick(0, 100, 97.0f, 10.5f));
    EXPECT_FALSE(APP_release_is_quick(0, 100, 100, 11.0f)); // a second later

    // Through the callback: over a popup row, a release 2 units from its press chooses nothing, 3 units do.
    int first = 0;
    MENU_state.popup_owner = 42;
    MENU_open_popup(100, 300, 80, {"one", "two"}, &first);
    APP_clock.elapsed = 20.0f;
    in.press_time[0] = 19.8f, in.press_y = 302.0f;
    rec.mouse_up(&rec, 100, 600 - 300, 0);
    EXPECT_EQ(in.release[0], 1);
    EXPECT_EQ(MENU_state.open, MENU_POPUP_SLOT);
    rec.mouse_up(&rec, 100, 600 - 299, 0);
    EXPECT_EQ(MENU_state.result_owner, 42);
}

TEST_F(AppFrameTest, CloseBoxCornersCloseDialogsOnly) {
    for (int screen : {998, 993, 994, 0}) {
        SCOPED_TRACE(screen);
        const bool closable = screen == 998 || screen == 993;
        EXPECT_FALSE(APP_close_box_hit(screen, 0, 380, 700, 380)) << "the left corner draws no close box";
        EXPECT_FALSE(APP_close_box_hit(screen, 25, 360, 700, 380));
        EXPECT_EQ(APP_close_box_hit(screen, 700, 360, 700, 380), closable);
        EXPECT_EQ(APP_close_box_hit(screen, 675, 380, 700, 380), closable);
        EXPECT_FALSE(APP_close_box_hit(screen, 26, 370, 700, 380));
        EXPECT_FALSE(APP_close_box_hit(screen, 10, 359, 700, 380));
    }
    screen_state.view_width = 700, screen_state.view_height = 380;
    screen_state.screen_id = 994;
    rec.mouse_down(&rec, 10, 600 - 370, 0);
    EXPECT_EQ(screen_state.screen_id, 994);
    screen_state.screen_id = 998;
    rec.mouse_down(&rec, 10, 600 - 370, 0);
    EXPECT_EQ(screen_state.screen_id, 998);
    ui_state.input.enter = 1;
    rec.mouse_down(&rec, 690, 600 - 370, 0);
    EXPECT_EQ(screen_state.screen_id, 0);
    EXPECT_EQ(ui_state.input.enter, 0);

    for (int id = -1; id <= 1005; id += id == 1 ? 989 : 1) {
        screen_state.screen_id = id;
        const bool dialog = !(id == 0 || (id >= 994 && id <= 997) || (id >= 999 && id <= 1003));
        EXPECT_EQ(APP_screen_is_dialog(), dialog ? 1 : 0) << id;
    }
}

TEST_F(AppFrameTest, AResizeToTheSameSizeChangesNothing) {
    screen_state.screen_id = 994;
    screen_state.origin_x = 5;
    rec.resize(&rec, 800, 600);
    EXPECT_EQ(screen_state.origin_x, 5);
    rec.resize(&rec, 1280, 1024);
    EXPECT_EQ(screen_state.window_height, 1024);
    EXPECT_EQ(screen_state.origin_x, 430);
    EXPECT_EQ(screen_state.origin_y, 382);
}

TEST_F(AppFrameTest, ToolkitScreensSkipTheScreenZeroFrame) {
    static int frames = 0;
    APP_set_screen0_frame([] { ++frames; });
    for (int id : {990, 991, 1004, 1005, 0}) {
        frames = 0;
        screen_state.screen_id = id;
        APP_frame();
        EXPECT_EQ(frames, (id >= 991 && id <= 1004) ? 0 : 1) << id;
    }
    APP_set_screen0_frame(nullptr);

    // The first start-of-frame leaves the start-up screen for screen 0 and clears the frame's input.
    screen_state.screen_id = -1;
    ui_state.input.click[0] = ui_state.input.release[1] = ui_state.input.enter = 1;
    APP_set_busy_query([] { return APP_ANIMATING; }); // full speed whatever the time since the last input
    EXPECT_EQ(APP_frame_prepare(), 1);
    APP_set_busy_query(nullptr);
    EXPECT_EQ(screen_state.screen_id, 0);
    EXPECT_EQ(screen_state.view_width, 800);
    EXPECT_EQ(ui_state.input.click[0] + ui_state.input.release[1] + ui_state.input.enter, 0);
}

TEST_F(AppFrameTest, IdleFramesSlowDownUntilInputOrWorkComes) {
    struct row {
        int busy;
        float since_input;
        int visible;
        int hint;
    } rows[] = {
        {APP_ANIMATING, 100.0f, 1, 1}, {APP_ANIMATING, 100.0f, 0, 1}, // full speed, shown or not
        {APP_WORKING, 0.5f, 1, 1},     {APP_WORKING, 1.0f, 1, 3},     // only work: at most 20 a second
        {APP_WORKING, 30.0f, 0, 3},                                   // once no input came for 1 s
        {APP_IDLE, 0.5f, 1, 1},        {APP_IDLE, 0.99f, 0, 1},       // input within the last second
        {APP_IDLE, 1.0f, 1, 6},        {APP_IDLE, 30.0f, 1, 6},       // idle: about 10 frames a second
        {APP_IDLE, 1.0f, 0, 31},       {APP_IDLE, 30.0f, 0, 31},      // idle and minimised or hidden: about 2
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << "busy " << r.busy << " since " << r.since_input << " visible " << r.visible);
        EXPECT_EQ(APP_frame_wait_hint(r.busy, r.since_input, r.visible), r.hint);
    }

    // Through the start-of-frame callback: every kind of input, and the busy query, bring full speed back.
    static int busy = 0;
    APP_set_busy_query([] { return busy; });
    screen_state.screen_id = 994;
    const std::vector<std::pair<const char*, void (*)(WIN_input_callbacks*)>> inputs = {
        {"move", [](WIN_input_callbacks* r) { r->mouse_move(r, 5, 5); }},
        {"wheel", [](WIN_input_callbacks* r) { r->mouse_wheel(r, 5, 5, 0, 1); }},
        {"resize", [](WIN_input_callbacks* r) { r->resize(r, 800, 600); }},
    };
    int64_t now = 50'000'000;
    for (const auto& [name, send] : inputs) {
        SCOPED_TRACE(name);
        APP_inject_microseconds(now);
        send(&rec);
        EXPECT_EQ(APP_frame_prepare(), 1);
        APP_inject_microseconds(now + 999'000);
        EXPECT_EQ(APP_frame_prepare(), 1);
        APP_inject_microseconds(now + 1'500'000);
        EXPECT_EQ(APP_frame_prepare(), 6);
        busy = APP_WORKING;
        EXPECT_EQ(APP_frame_prepare(), 3);
        busy = APP_ANIMATING;
        EXPECT_EQ(APP_frame_prepare(), 1);
        busy = APP_IDLE;
        now += 10'000'000;
    }
    APP_clear_injected_microseconds();
    APP_set_busy_query(nullptr);
}
