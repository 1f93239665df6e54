// MENU_menus: the popup's rows and scrolling, choosing, separators and the bar rules.
#include <gtest/gtest.h>

#include "base/APP_clock.h"
#include "ui/MENU_menus.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

class MenuTest : public testing::Test {
  protected:
    void SetUp() override {
        screen_state = screen_state_record();
        screen_state.screen_id = 0;
        screen_state.view_height = 768;
        ui_state = ui_shared_state();
        MENU_state = menu_object();
        MENU_init(1);
    }
    void mouse(float x, float y) { ui_state.input.mouse_x = x, ui_state.input.mouse_y = y; }
    void over_row(int i) {
        const menu_item& r = MENU_state.slots[MENU_POPUP_SLOT].items[i];
        mouse((r.x0 + r.x1) / 2.0f, (r.y0 + r.y1) / 2.0f);
    }
};

} // namespace

TEST_F(MenuTest, PopupRowsHangFromTheFirstRowAndScrollOneRowPerFrame) {
    int first = 1;
    MENU_open_popup(200.6f, 400, 100, {"a", "b", "c"}, &first);
    const menu_slot& p = MENU_state.slots[MENU_POPUP_SLOT];
    EXPECT_EQ(first, 1); // it fits
    EXPECT_EQ(MENU_state.open, MENU_POPUP_SLOT);
    EXPECT_EQ(p.x0, 148); // trunc(150.6) - 2
    EXPECT_EQ(p.x1, 254); // trunc(250.6) + 4
    EXPECT_EQ(p.y0, 388); // 400 - 12 x (3 - 1 - 1)
    EXPECT_EQ(p.y1, 424);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(p.items[i].y0, 409 - 12 * i) << i; // row 1 level with y, less 3

    // 40 rows near the bottom start at 100 - 39 x 12 - 3 = -371 and climb 12 a frame until at or above 0.
    std::vector<std::string> items(40, "item");
    first = 0;
    int frames = 0;
    for (int previous = -1; previous != first; ++frames) {
        previous = first;
        MENU_open_popup(300, 100, 120, items, &first);
        ASSERT_LE(first, previous + 1);
    }
    EXPECT_EQ(frames - 1, 31);
    EXPECT_EQ(MENU_state.slots[MENU_POPUP_SLOT].items.back().y0, 1);
    first = 0; // a row above the view scrolls back down
    MENU_open_popup(300, 760, 120, {"x"}, &first);
    EXPECT_EQ(first, -1);
}

TEST_F(MenuTest, ChoosingARowRecordsItsOwnerWhileSeparatorsAndTitlesOnlyClose) {
    const std::vector<std::string> items = {"zero", "-", "=title", "three"};
    int first = 0;
    for (int row : {1, 2}) {
        SCOPED_TRACE(row);
        MENU_state.popup_owner = 7;
        MENU_open_popup(300, 300, 100, items, &first);
        over_row(row);
        MENU_press(0);
        EXPECT_EQ(MENU_state.open, -1);
        EXPECT_EQ(MENU_state.result_owner, 0);
        EXPECT_EQ(MENU_state.popup_owner, 7);
    }
    MENU_open_popup(300, 300, 100, items, &first);
    ui_state.input.click[0] = ui_state.input.click[1] = 1;
    over_row(3);
    EXPECT_EQ(MENU_item_hit(), 1);
    EXPECT_EQ(MENU_state.result_owner, 7);
    EXPECT_EQ(MENU_state.chosen_item, 3);
    EXPECT_EQ(MENU_state.popup_owner, 0);
    EXPECT_EQ(MENU_state.open, -1);
    EXPECT_EQ(ui_state.input.click[0] + ui_state.input.click[1], 0);

    MENU_open_popup(300, 300, 100, items, &first); // bounds are inclusive
    const menu_item& r0 = MENU_state.slots[MENU_POPUP_SLOT].items[0];
    mouse(r0.x1, r0.y1);
    EXPECT_EQ(MENU_release(), 1);
    EXPECT_EQ(MENU_state.chosen_item, 0);
}

TEST_F(MenuTest, BarTitlesOpenCloseAndHover) {
    for (int i = 0; i < 2; ++i) {
        menu_slot& s = MENU_state.slots[i];
        s.title = "menu";
        s.x0 = static_cast<int16_t>(10 + 60 * i), s.x1 = static_cast<int16_t>(60 + 60 * i);
        s.y0 = 740, s.y1 = 760;
    }
    mouse(90, 750);
    EXPECT_EQ(MENU_bar_hover(), 0); // nothing open
    mouse(30, 750);
    APP_clock.elapsed = 3.5f;
    MENU_press(0);
    EXPECT_EQ(MENU_state.open, 0);
    EXPECT_EQ(ui_state.input.press_time[0], 3.5f); // for the quick-release rule
    EXPECT_EQ(ui_state.input.press_x, 30);
    EXPECT_EQ(MENU_bar_hover(), 0); // its own title
    mouse(90, 750);
    EXPECT_EQ(MENU_bar_hover(), 1);
    EXPECT_EQ(MENU_release(), 0); // another title: nothing
    EXPECT_EQ(MENU_state.open, 0);
    mouse(30, 750);
    MENU_release(); // its own title closes it
    EXPECT_EQ(MENU_state.open, -1);

    MENU_state.open = 0; // off screen 0 a press on a title only closes the menu
    screen_state.screen_id = 998;
    MENU_press(0);
    EXPECT_EQ(MENU_state.open, -1);
}
