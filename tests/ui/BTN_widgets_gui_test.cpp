// The widgets in a real window: every frame style against a flat-colour test atlas, push buttons, check
// boxes, radios and the corner buttons under scripted input frames, the tooltip and the cursor.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "base/APP_alert.h"
#include "base/APP_clock.h"
#include "platform/APP_time.h"
#include "ui/APP_frame.h"
#include "ui/APP_tooltip.h"
#include "ui/BTN_widgets.h"
#include "ui/TEX_manager.h"
#include "ui_gui_fixture.h"

namespace {

using uitest::pixel;
using uitest::rgb;

constexpr rgb loud = {255, 0, 255}; // row 0 of the test atlases

// The colour of region `region` of style `style` in the test atlases: strips have six regions (left cap,
// middle, right cap; lower half then upper half), frames nine (columns left to right, rows bottom to top).
rgb region_colour(int style, int region) { return {20 + style * 9, 30 + region * 25, 200}; }

struct strip_geometry {
    int atlas;
    float cap, width, height, s0, t0, extra, shift;
};
const strip_geometry strips[14] = {
    {},
    {1021, 10, 100, 26, 1, 487, 0, -3},
    {1021, 20, 100, 26, 102, 487, 0, -3},
    {1021, 10, 52, 26, 304, 486, 0, 0},
    {1021, 10, 52, 26, 304, 459, 0, 0},
    {1021, 10, 28, 16, 112, 161, 0, 0},
    {1021, 10, 28, 16, 83, 161, 0, 0},
    {1021, 10, 65, 24, 240, 242, 0, 0},
    {1021, 7, 16, 16, 289, 219, 0, 0},
    {1021, 10, 51, 26, 262, 133, 4, 0},
    {1021, 26, 68, 24, 357, 488, 4, 0},
    {1022, 16, 48, 31, 926, 96, 0, 0},
    {1022, 16, 48, 31, 975, 96, 0, 0},
    {1022, 16, 48, 31, 877, 96, 0, 0},
};

struct frame_geometry {
    int atlas;
    float side, s0, t0, out_side, out_bottom, out_top, cap, bottom_band, top_band;
};
const frame_geometry frames[10] = {
    {1021, 100, 1, 358, 9, 14, 4, 35, 30, 30},         {1021, 100, 102, 358, 9, 14, 4, 35, 30, 30},
    {1021, 100, 203, 358, 9, 14, 4, 35, 30, 30},       {1021, 100, 304, 358, 9, 14, 4, 35, 30, 30},
    {1021, 100, 405, 358, 9, 14, 4, 35, 30, 30},       {1021, 68, 1, 289, 2, 2, 2, 23.8f, 20.4f, 20.4f},
    {1021, 42, 70, 315, 8, 13, 2, 20, 26, 14},         {1021, 42, 113, 315, 15, 15, 15, 14.7f, 12.6f, 12.6f},
    {1021, 44, 440, 12, 6, 9, 4, 15.4f, 13.2f, 13.2f}, {1022, 41, 982, 2, 1, 1, 1, 14.35f, 12.3f, 12.3f},
};

// A flat-colour atlas: row 0 loud, every style region in its colour, and the check box, tick and corner
// squares of the interface atlas in palette-like colours of their own.
class test_atlas {
  public:
    test_atlas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4, 0) {
        paint(0, 0, static_cast<float>(w), 1, loud);
    }
    // Texels whose centre lies in [s0, s1) x [t0, t1).
    void paint(float s0, float t0, float s1, float t1, rgb c) {
        for (int t = 0; t < h_; ++t)
            for (int s = 0; s < w_; ++s) {
                const float cs = s + 0.5f, ct = t + 0.5f;
                if (cs < s0 || cs >= s1 || ct < t0 || ct >= t1)
                    continue;
                uint8_t* p = &px_[(static_cast<size_t>(t) * w_ + s) * 4];
                p[0] = static_cast<uint8_t>(c.r);
                p[1] = static_cast<uint8_t>(c.g);
                p[2] = static_cast<uint8_t>(c.b);
                p[3] = 255;
            }
    }
    void load(int ref) const {
        std::memcpy(TMAN_scratch_pixels, px_.data(), px_.size());
        TMAN_scratch_width = w_;
        TMAN_scratch_height = h_;
        TMAN_load_bitmap(0, ref, ref == 1022 ? 0x220242 : 0x200242, 2, "scratch_array-test_atlas");
    }

  private:
    int w_, h_;
    std::vector<uint8_t> px_;
};

const rgb corner_colour[2] = {{11, 222, 33}, {44, 55, 211}}; // rows 187 and 206
const rgb box_colour[2] = {{160, 60, 20}, {60, 160, 20}};    // check box looks 0 and 1
const rgb tick_colour[2] = {{230, 230, 30}, {30, 230, 230}};
const rgb cursor_colour = {90, 90, 250};

void load_test_atlases() {
    test_atlas ui(512, 512), elements(1024, 128);
    for (int style = 1; style <= 13; ++style) {
        const strip_geometry& g = strips[style];
        test_atlas& a = g.atlas == 1021 ? ui : elements;
        const float cols[4] = {g.s0, g.s0 + g.cap, g.s0 + g.width - g.cap, g.s0 + g.width};
        const float rows[3] = {g.t0, g.t0 + g.height / 2, g.t0 + g.height};
        for (int half = 0; half < 2; ++half)
            for (int piece = 0; piece < 3; ++piece)
                a.paint(cols[piece], rows[half], cols[piece + 1], rows[half + 1],
                        region_colour(style, half * 3 + piece));
    }
    for (int style = 14; style <= 23; ++style) {
        const frame_geometry& g = frames[style - 14];
        test_atlas& a = g.atlas == 1021 ? ui : elements;
        const float cols[4] = {g.s0, g.s0 + g.cap, g.s0 + g.side - g.cap, g.s0 + g.side};
        const float rows[4] = {g.t0, g.t0 + g.bottom_band, g.t0 + g.side - g.top_band, g.t0 + g.side};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                a.paint(cols[c], rows[r], cols[c + 1], rows[r + 1], region_colour(style, r * 3 + c));
    }
    ui.paint(120, 178, 138, 196, corner_colour[0]);
    ui.paint(120, 197, 138, 215, corner_colour[1]);
    ui.paint(139, 178, 157, 196, box_colour[0]);
    ui.paint(83, 123, 101, 141, box_colour[1]);
    ui.paint(139, 197, 157, 215, tick_colour[0]);
    ui.paint(83, 142, 101, 160, tick_colour[1]);
    ui.paint(199, 250, 239, 290, cursor_colour); // cursor 22
    ui.load(1021);
    elements.load(1022);
}

class BtnWidgetsGuiTest : public uitest::GuiFixture {
  protected:
    void SetUp() override {
        uitest::GuiFixture::SetUp();
        if (IsSkipped())
            return;
        load_test_atlases();
        BTN_push_reset();
        uitest::clear_to_black();
    }
    // Pixels that are not background.
    static int ink() {
        uitest::frame f = uitest::read_frame();
        int n = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                n += !(f.at(x, y) == uitest::background);
        return n;
    }
    // One scripted input frame: the edges of the left button and the mouse position.
    void input(float x, float y, int click = 0, int release = 0) {
        ui_state.input.mouse_x = x;
        ui_state.input.mouse_y = y;
        ui_state.input.click[0] = click;
        ui_state.input.release[0] = release;
    }
};

TEST_F(BtnWidgetsGuiTest, EveryStripStylePutsItsRegionsAtTheirPixels) {
    for (int style = 1; style <= 13; ++style) {
        SCOPED_TRACE(testing::Message() << "style " << style);
        const strip_geometry& g = strips[style];
        uitest::clear_to_black();
        BTN_frame1(style, 400.3f, 300, 301, 61);
        const float w = 2 * std::round(301 / 2.0f) + g.extra;
        // Both long edges on whole pixels, also for the odd heights.
        const float left = 400 - w / 2, bottom = std::round(300 + g.shift - g.height / 2);
        const float xs[3] = {left + g.cap / 2, left + g.cap + (g.width - 2 * g.cap) / 2,
                             left + w - g.cap / 2};
        const float ys[2] = {bottom + g.height / 4, bottom + 3 * g.height / 4};
        for (int half = 0; half < 2; ++half)
            for (int piece = 0; piece < 3; ++piece)
                EXPECT_EQ(pixel(static_cast<int>(xs[piece]), static_cast<int>(ys[half])),
                          region_colour(style, half * 3 + piece))
                    << "piece " << piece << ", half " << half;
        // Edges: nothing left of the strip or above it; the top row still shows the source's top.
        EXPECT_EQ(pixel(static_cast<int>(left) - 1, static_cast<int>(ys[0])), uitest::background);
        const int top_row = static_cast<int>(bottom + g.height) - 1;
        EXPECT_EQ(pixel(static_cast<int>(xs[1]), top_row + 1), uitest::background);
        EXPECT_EQ(pixel(static_cast<int>(xs[1]), top_row), region_colour(style, 4)) << "top pixel row";
        EXPECT_EQ(pixel(static_cast<int>(left + w) - 1, static_cast<int>(ys[1])), region_colour(style, 5));
        // Straight long edges: every column of every piece starts and ends on the same rows.
        for (int x = static_cast<int>(left); x < static_cast<int>(left + w); ++x) {
            ASSERT_NE(pixel(x, static_cast<int>(bottom)), uitest::background) << "column " << x;
            ASSERT_EQ(pixel(x, static_cast<int>(bottom) - 1), uitest::background) << "column " << x;
            ASSERT_NE(pixel(x, top_row), uitest::background) << "column " << x;
            ASSERT_EQ(pixel(x, top_row + 1), uitest::background) << "column " << x;
        }
    }
}

TEST_F(BtnWidgetsGuiTest, EveryFrameStylePutsItsNineRegionsAtTheirPixels) {
    for (int style = 14; style <= 23; ++style) {
        SCOPED_TRACE(testing::Message() << "style " << style);
        const frame_geometry& g = frames[style - 14];
        uitest::clear_to_black();
        BTN_frame2(style, 200, 150, 300, 200, "", 1.0f);
        const float dx = 200 - g.out_side, dy = 150 - g.out_bottom;
        const float dw = 300 + 2 * g.out_side, dh = 200 + g.out_bottom + g.out_top;
        const float mw = g.side - 2 * g.cap, mh = g.side - g.bottom_band - g.top_band;
        const float xs[3] = {dx + g.cap / 2, dx + g.cap + mw / 2, dx + dw - g.cap / 2};
        const float ys[3] = {dy + g.bottom_band / 2, dy + g.bottom_band + mh / 2, dy + dh - g.top_band / 2};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(pixel(static_cast<int>(xs[c]), static_cast<int>(ys[r])),
                          region_colour(style, r * 3 + c))
                    << "column " << c << ", row " << r;
        EXPECT_EQ(pixel(static_cast<int>(dx) - 1, static_cast<int>(ys[1])), uitest::background);
        EXPECT_EQ(pixel(static_cast<int>(xs[1]), static_cast<int>(dy + dh)), uitest::background);
        EXPECT_EQ(pixel(static_cast<int>(xs[1]), static_cast<int>(dy + dh) - 1), region_colour(style, 7));
    }
}

TEST_F(BtnWidgetsGuiTest, PushButtonClicksOnReleaseInsideTheButtonThatWasPressed) {
    // Frames: press, hold, release, idle.
    input(100, 100, 1);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    input(101, 101);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    input(101, 101, 0, 1);
    EXPECT_TRUE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    input(101, 101);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));

    // Pressed on one, released on another: neither clicks.
    input(100, 100, 1);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    EXPECT_FALSE(BTN_push(300, 100, 80, 0, 1, "B", "-"));
    input(300, 100, 0, 1);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    EXPECT_FALSE(BTN_push(300, 100, 80, 0, 1, "B", "-"));

    // Pressed and then released outside: no click, and the press is forgotten.
    input(100, 100, 1);
    BTN_push(100, 100, 80, 0, 1, "A", "-");
    input(100, 140, 0, 1);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    input(100, 100, 0, 1);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));

    // Two buttons drawn at the same place share a press: a press on one is released by the other, and the
    // first drawn at the release takes the click.
    input(200, 200, 1);
    BTN_push(200, 200, 80, 0, 1, "First", "-");
    input(200, 200, 0, 1);
    EXPECT_TRUE(BTN_push(200, 200, 80, 0, 1, "Second", "-"));
    input(200, 200, 1);
    BTN_push(200, 200, 80, 0, 1, "First", "-");
    BTN_push(200, 200, 80, 0, 1, "Second", "-");
    input(200, 200, 0, 1);
    EXPECT_TRUE(BTN_push(200, 200, 80, 0, 1, "First", "-"));
    EXPECT_FALSE(BTN_push(200, 200, 80, 0, 1, "Second", "-"));
}

TEST_F(BtnWidgetsGuiTest, PushButtonHitBoxAndCapture) {
    struct Case {
        float dx, dy;
        bool clicks;
    } cases[] = {{0, 10, true}, {0, -10, true}, {0, 10.5f, false}, {0, -10.5f, false},
                 {40, 0, true}, {-40, 0, true}, {40.5f, 0, false}, {0, 12, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        input(100 + c.dx, 100 + c.dy, 1);
        BTN_push(100, 100, 80, 0, 1, "A", "-");
        input(100 + c.dx, 100 + c.dy, 0, 1);
        EXPECT_EQ(BTN_push(100, 100, 80, 0, 1, "A", "-"), c.clicks);
    }
    // A width of 0 is the label's width + 21: 20 units right of the centre of "A" is outside.
    input(100 + 20, 100, 1);
    BTN_push(100, 100, 0, 0, 1, "A", "-");
    input(100 + 20, 100, 0, 1);
    EXPECT_FALSE(BTN_push(100, 100, 0, 0, 1, "A", "-"));

    // A menu holding the mouse blocks the press.
    ui_state.captured_id = 7;
    input(100, 100, 1);
    BTN_push(100, 100, 80, 0, 1, "A", "-");
    ui_state.captured_id = -1;
    input(100, 100, 0, 1);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    // ... and the click of a press made before the menu took it.
    input(100, 100, 1);
    BTN_push(100, 100, 80, 0, 1, "A", "-");
    ui_state.captured_id = 3;
    input(100, 100, 0, 1);
    EXPECT_FALSE(BTN_push(100, 100, 80, 0, 1, "A", "-"));
    ui_state.captured_id = -1;
}

TEST_F(BtnWidgetsGuiTest, PressedLookShowsForStylesZeroAndTwoAndWhileHeld) {
    const rgb normal = region_colour(3, 1), pressed = region_colour(4, 1);
    struct Case {
        int style, state;
        rgb look;
    } cases[] = {{0, 0, normal},  {0, 1, pressed}, {1, 1, normal},
                 {2, 1, pressed}, {2, 0, normal},  {3, 5, normal}};
    input(0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style << ", state " << c.state);
        uitest::clear_to_black();
        BTN_push(400, 300, 100, c.state, c.style, "", "-");
        EXPECT_EQ(pixel(400, 293), c.look);
    }
    // Held: the frame after the press shows it pressed while the mouse stays inside.
    input(400, 300, 1);
    BTN_push(400, 300, 100, 0, 1, "", "-");
    input(400, 300);
    uitest::clear_to_black();
    BTN_push(400, 300, 100, 0, 1, "", "-");
    EXPECT_EQ(pixel(400, 293), pressed);
    input(400, 340);
    uitest::clear_to_black();
    BTN_push(400, 300, 100, 0, 1, "", "-");
    EXPECT_EQ(pixel(400, 293), normal) << "the mouse left the button";
    input(400, 300, 0, 1);
    BTN_push(400, 300, 100, 0, 1, "", "-");
}

TEST_F(BtnWidgetsGuiTest, TooltipAndCaptionOfAPushButton) {
    input(100, 100);
    BTN_push(100, 100, 80, 0, 1, "Go | right { Starts it", "-");
    EXPECT_EQ(ui_state.tooltip, "Starts it");
    ui_state.tooltip.clear();
    input(100, 130);
    BTN_push(100, 100, 80, 0, 1, "Go{tip", "-");
    EXPECT_EQ(ui_state.tooltip, "");
    // A caption is drawn right of the button, "-" is not.
    uitest::clear_to_black();
    BTN_push(100, 300, 80, 0, 1, "", "Caption");
    uitest::frame with = uitest::read_frame();
    uitest::clear_to_black();
    BTN_push(100, 300, 80, 0, 1, "", "-");
    uitest::frame without = uitest::read_frame();
    int differ = 0;
    for (int y = 300; y < 320; ++y)
        for (int x = 150; x < 220; ++x)
            differ += !(with.at(x, y) == without.at(x, y));
    EXPECT_GT(differ, 10);
}

TEST_F(BtnWidgetsGuiTest, CheckBoxTogglesOnPressAndRadioStaysSelected) {
    int value = 0;
    input(200, 200, 1);
    EXPECT_TRUE(BTN_check(200, 200, &value, "Left | Right { The tip", 0));
    EXPECT_EQ(value, 1);
    EXPECT_EQ(ui_state.tooltip, "The tip");
    input(200, 200, 0, 1);
    EXPECT_FALSE(BTN_check(200, 200, &value, "x", 0)) << "the release does nothing";
    EXPECT_EQ(value, 1);
    input(200, 200, 1);
    EXPECT_TRUE(BTN_check(200, 200, &value, "x", 0));
    EXPECT_EQ(value, 0);
    // The hit box: x +- 8, y - 4 to y + 12.
    for (auto [dx, dy, hit] : {std::tuple{8.0f, 12.0f, true},
                               {-8.0f, -4.0f, true},
                               {8.5f, 0.0f, false},
                               {0.0f, -4.5f, false},
                               {0.0f, 12.5f, false}}) {
        SCOPED_TRACE(testing::Message() << dx << "," << dy);
        int v = 0;
        input(200 + dx, 200 + dy, 1);
        EXPECT_EQ(BTN_check(200, 200, &v, "", 0), hit);
    }
    ui_state.captured_id = 2;
    input(200, 200, 1);
    EXPECT_FALSE(BTN_check(200, 200, &value, "", 0));
    ui_state.captured_id = -1;

    int choice = 2;
    input(300, 300, 1);
    EXPECT_TRUE(BTN_radio(300, 300, &choice, "two", 2));
    EXPECT_EQ(choice, 2) << "a selected radio stays selected";
    EXPECT_TRUE(BTN_radio(300, 300, &choice, "three", 3));
    EXPECT_EQ(choice, 3);
}

TEST_F(BtnWidgetsGuiTest, CheckBoxAndRadioLooksAndTicks) {
    input(0, 0);
    int on = 1, off = 0, choice = 4;
    BTN_check(100, 100, &off, "", 0);
    BTN_check(200, 100, &on, "", 0);
    BTN_radio(300, 100, &choice, "", 4);
    BTN_radio(400, 100, &choice, "", 5);
    EXPECT_EQ(pixel(100 - 6, 103 - 6), box_colour[0]);
    EXPECT_EQ(pixel(100, 103), box_colour[0]) << "no tick";
    EXPECT_EQ(pixel(200, 103), tick_colour[0]);
    EXPECT_EQ(pixel(300, 103), tick_colour[1]);
    EXPECT_EQ(pixel(400, 103), box_colour[1]);
    EXPECT_EQ(pixel(400 + 9, 103), uitest::background);
}

TEST_F(BtnWidgetsGuiTest, FirstCornerButtonClickLeavesTheSecondUndrawn) {
    const int y = 600 - 10;
    input(0, 0);
    EXPECT_EQ(BTN_corner_buttons(0), 0);
    EXPECT_EQ(pixel(16, y), corner_colour[0]);
    EXPECT_EQ(pixel(800 - 16, y), corner_colour[0]);
    uitest::clear_to_black();
    input(16 + 9, y - 9, 1); // the corner of the square counts
    EXPECT_EQ(BTN_corner_buttons(1), 1);
    EXPECT_EQ(pixel(16, y), corner_colour[1]);
    EXPECT_EQ(pixel(800 - 16, y), uitest::background);
    uitest::clear_to_black();
    input(800 - 16, y, 1);
    EXPECT_EQ(BTN_corner_buttons(0), 1);
    EXPECT_EQ(pixel(16, y), corner_colour[0]);
    EXPECT_EQ(pixel(800 - 16, y), corner_colour[0]);
    input(16, y - 10, 1);
    EXPECT_EQ(BTN_corner_buttons(0), 0);

    // A dialog's one close box: closing the screen flashes it pressed, and nothing in the other corner.
    uitest::clear_to_black();
    BTN_close_box(0);
    EXPECT_EQ(pixel(800 - 16, y), corner_colour[0]);
    EXPECT_EQ(pixel(16, y), uitest::background);
    uitest::clear_to_black();
    const int saved_up = APP_graphics_up;
    APP_graphics_up = 1;
    APP_close_screen();
    APP_graphics_up = saved_up;
    EXPECT_EQ(pixel(800 - 16, y), corner_colour[1]);
    EXPECT_EQ(pixel(16, y), uitest::background);
}

// The tooltip and cursor with the frame clock on the injected time.
class AppTooltipGuiTest : public BtnWidgetsGuiTest {
  protected:
    void SetUp() override {
        BtnWidgetsGuiTest::SetUp();
        if (IsSkipped())
            return;
        saved_hooks = APP_clock_hooks;
        APP_clock_hooks.mouse_position = [](float* x, float* y) {
            *x = ui_state.input.mouse_x;
            *y = ui_state.input.mouse_y;
        };
        APP_clock_hooks.mouse_pressed = [](int b) { return ui_state.input.click[b]; };
        APP_clock = frame_clock();
        tick(0.0, 400, 300);
    }
    void TearDown() override {
        if (!IsSkipped()) {
            // Leave the cursor shown for the next test.
            ui_state.input.cursor_id = 0;
            APP_tooltip_and_cursor(994);
            APP_clock_hooks = saved_hooks;
            APP_clear_injected_microseconds();
        }
        BtnWidgetsGuiTest::TearDown();
    }
    // One frame at `seconds` with the mouse at (x, y): the frame clock runs, the frame's cursor request
    // starts at 0.
    void tick(double seconds, float x, float y) {
        input(x, y);
        APP_inject_microseconds(static_cast<int64_t>(seconds * 1e6));
        APP_frame_clock(APP_clock);
        ui_state.input.cursor_id = 0;
    }
    frame_clock_hooks saved_hooks{};
};

TEST_F(AppTooltipGuiTest, TooltipWaitsForASecondOfRestAndIsAlwaysEmptied) {
    tick(0.5, 500, 200);
    ui_state.tooltip = "Hovered";
    APP_tooltip_and_cursor(0);
    EXPECT_EQ(ui_state.tooltip, "");
    EXPECT_EQ(ink(), 0) << "nothing drawn";
    tick(1.0, 500, 200);
    ui_state.tooltip = "Hovered";
    APP_tooltip_and_cursor(0);
    EXPECT_EQ(pixel(70, 250), uitest::background) << "only 0.5 s of rest";

    // 120 bytes rest 1.6 s: the box is 60 high, the frame around it 60 + 20 + 14 + 4.
    tick(2.1, 500, 200);
    ui_state.tooltip = std::string(120, 'x');
    APP_tooltip_and_cursor(0);
    EXPECT_EQ(ui_state.tooltip, "");
    int top = -1, bottom = -1;
    for (int y = 0; y < 600; ++y)
        if (pixel(70, y).r == region_colour(17, 0).r) {
            if (bottom < 0)
                bottom = y;
            top = y;
        }
    EXPECT_EQ(bottom, 215 - 10 - 14);
    EXPECT_EQ(top - bottom + 1, 60 + 20 + 14 + 4);
}

TEST_F(AppTooltipGuiTest, CursorHidesAfterTenSecondsOfRestOnTheWizardScreen) {
    auto shown = [] { return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE; };
    tick(9.9, 400, 300);
    APP_tooltip_and_cursor(0);
    EXPECT_TRUE(shown());
    tick(10.1, 400, 300);
    APP_tooltip_and_cursor(0);
    EXPECT_FALSE(shown());
    EXPECT_FALSE(APP_system_cursor_shown());
    tick(12.0, 400, 300);
    APP_tooltip_and_cursor(0);
    EXPECT_FALSE(shown()) << "hidden once, not twice";
    tick(12.1, 401, 300); // a move
    APP_tooltip_and_cursor(0);
    EXPECT_TRUE(shown());
    // The alert screen always shows the arrow, and other screens keep the frame's request.
    tick(30.0, 401, 300);
    APP_tooltip_and_cursor(994);
    EXPECT_TRUE(shown());
    EXPECT_EQ(ui_state.input.cursor_id, 0);
    APP_tooltip_and_cursor(5);
    EXPECT_TRUE(shown());
    ui_state.input.cursor_id = 2;
    APP_tooltip_and_cursor(5);
    EXPECT_FALSE(shown());
    ui_state.input.cursor_id = 0;
    APP_tooltip_and_cursor(5);
    EXPECT_TRUE(shown());
}

TEST_F(AppTooltipGuiTest, ImageCursorsAreDrawnFromTheAtlasAtTheMouse) {
    tick(0.1, 400, 300);
    ui_state.input.cursor_id = 22; // 40 x 40 at (199, 250), no hot-spot offset
    APP_tooltip_and_cursor(0);
    EXPECT_FALSE(SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE);
    // Centre (402, 296): the image spans 382..421 and 276..315.
    EXPECT_EQ(pixel(382, 276), cursor_colour);
    EXPECT_EQ(pixel(421, 315), cursor_colour);
    EXPECT_EQ(pixel(381, 296), uitest::background);
    EXPECT_EQ(pixel(402, 316), uitest::background);
    // The text cursors take their drag look from the text field's drag flag.
    EXPECT_EQ(APP_cursor_image_of(18, false).left, 200 + 32 * 4);
    EXPECT_EQ(APP_cursor_image_of(18, true).left, 200 + 32 * 5);
    EXPECT_EQ(APP_cursor_image_of(20, false).left, 200 - 32);
    EXPECT_EQ(APP_cursor_image_of(99, false).bottom, 293);
    EXPECT_EQ(APP_cursor_image_of(13, false).dy, -5);
}

} // namespace
