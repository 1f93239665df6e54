// Golden screenshots of the toolkit's drawing with the generated artwork and the embedded fonts: the style
// gallery, buttons, check boxes and radios, text layout, Russian and Japanese text, and the tooltip.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/APP_clock.h"
#include "base/LANG_localise.h"
#include "golden.h"
#include "platform/APP_time.h"
#include "support/backdrop.h"
#include "ui/APP_tooltip.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_utils.h"
#include "ui_gui_fixture.h"

namespace {

const golden::box whole = {0, 0, 800, 600};

// The interface colours as start-up takes them from the swatches of the interface image.
void take_interface_colours() {
    unsigned char* px = nullptr;
    TEX_image_info info;
    ASSERT_EQ(TEX_load_image_file("RESOURCE:interface.png", px, 0, GL_RGBA, 0, 0, 0, info), 1);
    ASSERT_EQ(info.width, 512);
    struct {
        int slot, col, row;
    } swatches[] = {{43, 319, 155}, {44, 319, 147}, {45, 319, 139}, {46, 319, 131}, {47, 319, 123},
                    {49, 319, 115}, {50, 319, 107}, {51, 319, 99},  {52, 319, 91},  {54, 319, 83},
                    {55, 319, 75},  {56, 319, 67},  {53, 395, 115}};
    const size_t stride = 512 * 4 + static_cast<size_t>(info.pad);
    for (const auto& s : swatches) {
        const unsigned char* p = px + static_cast<size_t>(s.row) * stride + static_cast<size_t>(s.col) * 4;
        OGL_set_colour_slot(s.slot, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
    }
    for (int c = 0; c < 3; ++c)
        colour_settings.slots[48][c] = (colour_settings.slots[44][c] + colour_settings.slots[47][c]) * 0.5f;
    std::free(px);
}

class WidgetGoldenGuiTest : public uitest::GuiFixture {
  protected:
    void SetUp() override {
        uitest::GuiFixture::SetUp();
        if (IsSkipped())
            return;
        ASSERT_EQ(TMAN_load_bitmap(4, 1021, 0x200242, 2, "RESOURCE:interface.png"), 1021);
        ASSERT_EQ(TMAN_load_bitmap(4, 1022, 0x220242, 2, "RESOURCE:elements_English.png"), 1022);
        take_interface_colours();
        BTN_push_reset();
        input(0, 0);
        OGL_clear_view();
    }
    void input(float x, float y, int click = 0, int release = 0) {
        ui_state.input.mouse_x = x;
        ui_state.input.mouse_y = y;
        ui_state.input.click[0] = click;
        ui_state.input.release[0] = release;
    }
};

TEST_F(WidgetGoldenGuiTest, GalleryOfEveryStyle) {
    for (int s = 1; s <= 13; ++s) {
        const float y = 578.0f - static_cast<float>(s - 1) * 44.0f;
        OGL_draw_string(52, 14, y - 4, std::to_string(s), 9999, 1, 0, 1.0f);
        BTN_frame1(s, 160, y, 200, 61);
    }
    for (int s = 14; s <= 23; ++s) {
        const int i = s - 14;
        const float x = 330.0f + static_cast<float>(i / 5) * 240.0f;
        const float y = 470.0f - static_cast<float>(i % 5) * 110.0f;
        BTN_frame2(s, x, y, 180, 70, "Style " + std::to_string(s), 1.0f);
    }
    EXPECT_TRUE(golden::matches("gallery", whole));
}

TEST_F(WidgetGoldenGuiTest, ButtonsNormalAndPressed) {
    BTN_panel(0, 15, 20, 20, 760, 540, "Push buttons");
    BTN_push(150, 480, 0, 0, 0, "Normal", "-");
    BTN_push(150, 430, 0, 1, 0, "Pressed by state", "-");
    BTN_push(150, 380, 140, 0, 1, "Wide button", "A caption beside it");
    BTN_push(150, 330, 0, 1, 1, "State ignored", "-");
    BTN_push(150, 280, 0, 1, 2, "Highlighted", "-");
    BTN_push(150, 230, 0, 0, 2, "Style two", "-");
    // Held down: pressed on the first frame, drawn pressed on the next.
    input(500, 480, 1);
    BTN_push(500, 480, 0, 0, 1, "Held down", "-");
    OGL_clear_view();
    BTN_panel(0, 15, 20, 20, 760, 540, "Push buttons");
    input(500, 480);
    for (int pass = 0; pass < 2; ++pass) {
        BTN_push(150, 480, 0, 0, 0, "Normal", "-");
        BTN_push(150, 430, 0, 1, 0, "Pressed by state", "-");
        BTN_push(150, 380, 140, 0, 1, "Wide button", "A caption beside it");
        BTN_push(150, 330, 0, 1, 1, "State ignored", "-");
        BTN_push(150, 280, 0, 1, 2, "Highlighted", "-");
        BTN_push(150, 230, 0, 0, 2, "Style two", "-");
        BTN_push(500, 480, 0, 0, 1, "Held down", "-");
    }
    input(500, 480, 0, 1);
    // The highlighted label takes a pulsing colour.
    golden::options opt;
    opt.masks.push_back({100, 270, 200, 290});
    EXPECT_TRUE(golden::matches("buttons", whole, opt));
    EXPECT_TRUE(BTN_push(500, 480, 0, 0, 1, "Held down", "-"));
}

TEST_F(WidgetGoldenGuiTest, CheckBoxesAndRadios) {
    BTN_panel(0, 16, -1, -1, -1, -1, "Options");
    int on = 1, off = 0, choice = 2;
    BTN_check(300, 480, &on, "Ticked | right part { tip", 0);
    BTN_check(300, 440, &off, "Not ticked", 0);
    BTN_check(300, 400, &on, "| Radio look, ticked", 1);
    BTN_radio(300, 340, &choice, "| First choice", 1);
    BTN_radio(300, 310, &choice, "| Second choice", 2);
    BTN_radio(300, 280, &choice, "| Third choice with a long label", 3);
    EXPECT_TRUE(golden::matches("checks", whole));
}

TEST_F(WidgetGoldenGuiTest, WrappedCentredAndRightAlignedText) {
    const char* paragraph = "Text is wrapped at the last blank before the wrap width. "
                            "Averyveryverylongwordthatdoesnotfitatallinthecolumn is cut "
                            "where the width is reached.\nA line feed starts a new line.";
    OGL_draw_rect(46, 1.0f, 40, 300, 1, 280);
    OGL_draw_rect(46, 1.0f, 240, 300, 1, 280);
    const float end = OGL_draw_string(52, 40, 560, paragraph, 200, 0, 0, 1.0f);
    OGL_draw_string(54, 40, end - 10, "(ends here)", 9999, 0, 0, 1.0f);
    OGL_draw_rect(46, 1.0f, 550, 300, 1, 280);
    OGL_draw_string(47, 550, 560, "Centred lines wrap around the middle of the column", 180, 0, 1, 1.0f);
    OGL_draw_rect(46, 1.0f, 760, 300, 1, 280);
    OGL_draw_string(49, 760, 480, "Right-aligned text ends at the line", 150, 1, 2, 1.0f);
    OGL_draw_string(52, 40, 240, "Bold, font mode 1", 9999, 1, 0, 1.0f);
    OGL_draw_string(52, 40, 210, "Fixed 6 per character", 9999, 2, 0, 1.0f);
    OGL_draw_string(52, 40, 180, "Fixed 8 per character", 9999, 3, 0, 1.0f);
    OGL_draw_string(52, 40, 150, "Fixed 10 per character", 9999, 4, 0, 1.0f);
    OGL_draw_string(56, 40, 100, "Half transparent", 9999, 0, 0, 0.5f);
    EXPECT_TRUE(golden::matches("text", whole));
}

TEST_F(WidgetGoldenGuiTest, RussianAndJapaneseText) {
    LANG_current_language() = 3;
    OGL_load_font(2);
    OGL_draw_string(52, 40, 540,
                    "\xD0\x92\xD1\x8B\xD0\xB1\xD0\xB5\xD1\x80\xD0\xB8\xD1\x82\xD0\xB5 "
                    "\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD1\x83 \xD0\xB4\xD0\xBB\xD1\x8F "
                    "\xD1\x83\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBA\xD0\xB8",
                    9999, 0, 0, 1.0f); // "Выберите папку для установки"
    OGL_draw_string(52, 40, 510, "Russian is drawn 90 % as wide", 9999, 1, 0, 1.0f);
    LANG_current_language() = 0;
    OGL_load_font(2);
    OGL_draw_string(
        52, 40, 460,
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88 "
        "(Japanese from the fallback face)",
        9999, 0, 0, 1.0f); // "日本語のテキスト"
    OGL_draw_string(52, 40, 430, "Missing: \xEF\xA3\xBF<", 9999, 0, 0, 1.0f);
    EXPECT_TRUE(golden::matches("international", {0, 380, 800, 600}));
}

TEST_F(WidgetGoldenGuiTest, ClosableDialogCentredInTheWindow) {
    // The preferences screen: 700 x 380 centred, closable, with a strip under its title and a panel, over a
    // checkered window: the dialog clears its own view and nothing else.
    test::draw_backdrop(800, 600);
    screen_state.screen_id = 998;
    screen_state.view_width = 700;
    screen_state.view_height = 380;
    screen_state.origin_x = 50;
    screen_state.origin_y = 110;
    ui_state.screen_title = "Prefs";
    OGL_clear_view();
    BTN_dialog_frame(1, 2);
    float right = 0, top = 0;
    BTN_panel(0, 19, -1, -1, 300, -1, "Panel", &right, &top);
    EXPECT_EQ(right, 320.0f);
    EXPECT_EQ(top, 380.0f - 28.0f + 10.0f);
    BTN_panel(40, 20, right, -1, -1, -1, "Beside it");
    int on = 1;
    BTN_check(200, 200, &on, "Inside the panel", 0);
    EXPECT_TRUE(golden::matches("dialog", whole));
}

TEST_F(WidgetGoldenGuiTest, TooltipAfterASecondOfRest) {
    const frame_clock_hooks saved = APP_clock_hooks;
    APP_clock_hooks.mouse_position = [](float* x, float* y) {
        *x = ui_state.input.mouse_x;
        *y = ui_state.input.mouse_y;
    };
    APP_clock = frame_clock();
    for (double t : {0.0, 1.5}) {
        APP_inject_microseconds(static_cast<int64_t>(t * 1e6));
        input(520, 200);
        APP_frame_clock(APP_clock);
    }
    OGL_clear_view();
    BTN_push(520, 200, 0, 0, 1,
             "Hover me { The tooltip of this button explains what it does, in words that "
             "wrap across more than one line of the box.",
             "-");
    APP_tooltip_and_cursor(0);
    APP_clock_hooks = saved;
    APP_clear_injected_microseconds();
    EXPECT_TRUE(ui_state.tooltip.empty());
    EXPECT_TRUE(golden::matches("tooltip", {0, 150, 800, 320}));
}

} // namespace
