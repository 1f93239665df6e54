// APP_frame: the mouse mapping, the release and close-box rules, resizes, dialogs and the frame's screens.
#include <gtest/gtest.h>

#include "base/APP_clock.h"
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
    // A press at view point (x, y) with scale 1 and origin 0 on the default 800 x 600 drawable.
    void press(float x, float y, int button = 0) {
        rec.mouse_down(&rec, static_cast<int>(x), static_cast<int>(600 - y), button);
    }
    WIN_input_callbacks rec;
};

} // namespace

TEST_F(AppFrameTest, MapsWindowPixelsToViewUnits) {
    struct row {
        float scale, ox, oy;
        int px, py;
        bool second;
        int mode;
        float x, y;
        int mouse_screen;
    } rows[] = {
        {1, 0, 0, 10, 590, false, 1, 10, 10, 994},      // y turns upward
        {1, 190, 170, 200, 420, false, 1, 10, 10, 994}, // the origin is taken off
        {2, 0, 0, 100, 500, false, 1, 50, 50, 994},     // view units of 2 pixels
        {2, 10, 10, 100, 500, false, 1, 40, 40, 994},   // scale first, then the origin
        {1, 190, 170, 200, 420, true, 2, 1000, 180, 0}, // second window: beside the first, no origin
        {1, 190, 170, 200, 420, true, 1, 10, 10, 994},  // without mode 2 a window is the first one
    };
    screen_state.screen_id = 994;
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "scale " << r.scale << " px " << r.px << " second " << r.second);
        screen_state.ui_scale = r.scale;
        screen_state.origin_x = r.ox;
        screen_state.origin_y = r.oy;
        float x = 0, y = 0;
        int screen = -5;
        APP_map_mouse(r.px, r.py, r.second, r.mode, &x, &y, &screen);
        EXPECT_FLOAT_EQ(x, r.x);
        EXPECT_FLOAT_EQ(y, r.y);
        EXPECT_EQ(screen, r.mouse_screen);
    }
}

TEST_F(AppFrameTest, AQuickReleaseNearItsPressStopsBeforeTheMenus) {
    APP_input_state& in = ui_state.input;
    in.press_time[0] = 10.0f;
    in.press_x = 100.0f;
    in.press_y = 100.0f;
    struct row {
        float x, y, now;
        bool quick;
    } rows[] = {
        {102.9f, 100, 10.5f, true}, {103.0f, 100, 10.5f, false}, {100, 97.1f, 10.5f, true},
        {100, 97.0f, 10.5f, false}, {100, 100, 10.99f, true},    {100, 100, 11.0f, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y << " at " << r.now);
        EXPECT_EQ(APP_release_is_quick(0, r.x, r.y, r.now), r.quick);
    }

    // Through the callback: a slow release over a popup row chooses it, a quick one does not.
    std::vector<std::string> items = {"one", "two"};
    int first = 0;
    MENU_state.popup_owner = 42;
    MENU_open_popup(100, 300, 80, items, &first);
    APP_clock.elapsed = 20.0f;
    in.press_time[0] = 19.8f;
    in.press_x = 100.0f;
    in.press_y = 302.0f;
    rec.mouse_up(&rec, 100, 600 - 300, 0); // 2 units from the press
    EXPECT_EQ(in.release[0], 1);
    EXPECT_EQ(MENU_state.open, MENU_POPUP_SLOT);
    rec.mouse_up(&rec, 100, 600 - 299, 0); // 3 units: the menus choose row 0
    EXPECT_EQ(MENU_state.open, -1);
    EXPECT_EQ(MENU_state.result_owner, 42);
    EXPECT_EQ(MENU_state.chosen_item, 0);
}

TEST_F(AppFrameTest, CloseBoxCornersCloseDialogsOnly) {
    screen_state.view_width = 700;
    screen_state.view_height = 380;
    struct row {
        float x, y;
        bool hit;
    } rows[] = {{0, 380, true},   {25, 360, true},  {26, 370, false},  {10, 359, false},
                {675, 380, true}, {700, 370, true}, {674, 370, false}, {350, 379, false}};
    for (int screen : {998, 994, 993, 0}) {
        for (const row& r : rows) {
            SCOPED_TRACE(testing::Message() << screen << ": " << r.x << "," << r.y);
            EXPECT_EQ(APP_close_box_hit(screen, r.x, r.y, 700, 380), r.hit && screen != 994 && screen != 0);
        }
    }
    // A press in the top-left corner of 998 closes it; the same press on 994 does nothing.
    screen_state.screen_id = 994;
    press(10, 370);
    EXPECT_EQ(screen_state.screen_id, 994);
    screen_state.screen_id = 998;
    ui_state.input.enter = ui_state.input.esc = 1;
    press(10, 370);
    EXPECT_EQ(screen_state.screen_id, 0);
    EXPECT_EQ(ui_state.input.enter + ui_state.input.esc, 0);
}

TEST_F(AppFrameTest, DialogScreensAreTheClosableOnes) {
    for (int id = -1; id <= 1005; ++id) {
        if (id > 1 && id < 990)
            continue;
        screen_state.screen_id = id;
        const bool closable = !(id == 0 || (id >= 994 && id <= 997) || (id >= 999 && id <= 1003));
        EXPECT_EQ(APP_screen_is_dialog(), closable ? 1 : 0) << id;
    }
}

TEST_F(AppFrameTest, AResizeToTheSameSizeChangesNothing) {
    screen_state.screen_id = 994;
    screen_state.origin_x = 5; // would be recomputed by a real resize
    rec.resize(&rec, 800, 600);
    EXPECT_EQ(screen_state.origin_x, 5);
    rec.resize(&rec, 1280, 1024);
    EXPECT_EQ(screen_state.drawable_width, 1280);
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

    // The first start-of-frame leaves the start-up screen and sets screen 0 once.
    screen_state.screen_id = -1;
    ui_state.input.click[0] = ui_state.input.release[1] = ui_state.input.enter = 1;
    EXPECT_EQ(APP_frame_prepare(), 1);
    EXPECT_EQ(screen_state.screen_id, 0);
    EXPECT_EQ(screen_state.view_width, 800);
    EXPECT_EQ(ui_state.input.first_frame, 1);
    EXPECT_EQ(ui_state.input.click[0] + ui_state.input.release[1] + ui_state.input.enter, 0);
}
