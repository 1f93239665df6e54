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
    void mouse(float x, float y) {
        ui_state.input.mouse_x = x;
        ui_state.input.mouse_y = y;
    }
    // The centre of popup row i.
    void over_row(int i) {
        const menu_item& r = MENU_state.slots[MENU_POPUP_SLOT].items[i];
        mouse((r.x0 + r.x1) / 2.0f, (r.y0 + r.y1) / 2.0f);
    }
};

} // namespace

TEST_F(MenuTest, InitMakesClearedSlotsAndResetMarksThePopup) {
    ASSERT_EQ(MENU_state.slots.size(), 1520u);
    for (const menu_slot& s : MENU_state.slots) {
        EXPECT_EQ(s.parent, -1);
        EXPECT_EQ(s.second_word, -1);
        EXPECT_TRUE(s.items.empty() && s.title.empty());
    }
    MENU_reset_popup();
    const menu_slot& p = MENU_state.slots[MENU_POPUP_SLOT];
    EXPECT_EQ(p.x0 + p.y0 + p.x1 + p.y1, -4);
    MENU_init(0); // other modes do nothing
    EXPECT_EQ(MENU_state.slots[MENU_POPUP_SLOT].x0, -1);
}

TEST_F(MenuTest, PopupRowsHangFromTheFirstRow) {
    int first = 1;
    MENU_open_popup(200.6f, 400, 100, {"a", "b", "c"}, &first);
    EXPECT_EQ(first, 1); // fits: no scrolling
    EXPECT_EQ(MENU_state.open, MENU_POPUP_SLOT);
    const menu_slot& p = MENU_state.slots[MENU_POPUP_SLOT];
    EXPECT_EQ(p.x0, 148); // trunc(150.6) - 2
    EXPECT_EQ(p.x1, 254); // trunc(250.6) + 4
    EXPECT_EQ(p.y0, 388); // 400 - 12 x (3 - 1 - 1)
    EXPECT_EQ(p.y1, 424);
    const int tops[] = {409, 397, 385}; // row 1 level with y
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.items[i].y0, tops[i]) << i;
        EXPECT_EQ(p.items[i].y1, tops[i] + 12) << i;
        EXPECT_EQ(p.items[i].x0, 148);
    }
}

TEST_F(MenuTest, FortyItemsNearTheBottomScrollOneRowPerFrame) {
    std::vector<std::string> items;
    for (int i = 0; i < 40; ++i)
        items.push_back("item " + std::to_string(i));
    int first = 0;
    int frames = 0;
    int previous = first;
    for (;;) {
        MENU_open_popup(300, 100, 120, items, &first);
        if (first == previous)
            break;
        EXPECT_EQ(first, previous + 1); // one row per frame
        previous = first;
        ASSERT_LT(++frames, 100);
    }
    const menu_item& lowest = MENU_state.slots[MENU_POPUP_SLOT].items.back();
    EXPECT_GE(lowest.y0, 0);
    EXPECT_LT(lowest.y0, 12);
    EXPECT_EQ(frames, 31); // from 100 - 39 x 12 - 3 = -371 up by 12 a frame to 1

    // A popup reaching above the view scrolls back down.
    first = 0;
    MENU_open_popup(300, 760, 120, {"x"}, &first);
    EXPECT_EQ(first, -1);
}

TEST_F(MenuTest, ChoosingARowRecordsItsOwnerAndClosesThePopup) {
    int first = 0;
    MENU_state.popup_owner = 1234;
    MENU_open_popup(300, 300, 100, {"zero", "-", "=title", "three"}, &first);
    ui_state.input.click[0] = ui_state.input.click[1] = 1;
    over_row(3);
    EXPECT_EQ(MENU_item_hit(), 1);
    EXPECT_EQ(MENU_state.result_owner, 1234);
    EXPECT_EQ(MENU_state.chosen_item, 3);
    EXPECT_EQ(MENU_state.popup_owner, 0);
    EXPECT_EQ(MENU_state.open, -1);
    EXPECT_EQ(ui_state.input.click[0] + ui_state.input.click[1], 0);

    // Separators and '=' rows choose nothing; a press on them closes the popup.
    for (int row : {1, 2}) {
        SCOPED_TRACE(row);
        MENU_state.popup_owner = 7;
        MENU_state.result_owner = 0;
        MENU_open_popup(300, 300, 100, {"zero", "-", "=title", "three"}, &first);
        over_row(row);
        EXPECT_EQ(MENU_item_hit(), 0);
        EXPECT_EQ(MENU_state.open, MENU_POPUP_SLOT);
        MENU_press(0);
        EXPECT_EQ(MENU_state.open, -1);
        EXPECT_EQ(MENU_state.result_owner, 0);
        EXPECT_EQ(MENU_state.popup_owner, 7);
    }

    // Bounds are inclusive: the top edge of row 0 still chooses it.
    MENU_open_popup(300, 300, 100, {"zero", "one"}, &first);
    const menu_item& r0 = MENU_state.slots[MENU_POPUP_SLOT].items[0];
    mouse(r0.x1, r0.y1);
    EXPECT_EQ(MENU_release(), 1);
    EXPECT_EQ(MENU_state.chosen_item, 0);
}

TEST_F(MenuTest, BarTitlesOpenCloseAndHover) {
    for (int i = 0; i < 2; ++i) {
        menu_slot& s = MENU_state.slots[i];
        s.title = i ? "View" : "File";
        s.x0 = static_cast<int16_t>(10 + 60 * i);
        s.x1 = static_cast<int16_t>(60 + 60 * i);
        s.y0 = 740;
        s.y1 = 760;
    }
    mouse(30, 750);
    EXPECT_EQ(MENU_bar_hover(), 0); // nothing open
    APP_clock.elapsed = 3.5f;
    ui_state.input.click[0] = 1;
    MENU_press(0);
    EXPECT_EQ(MENU_state.open, 0);
    EXPECT_EQ(ui_state.input.press_time[0], 3.5f);
    EXPECT_EQ(ui_state.input.press_x, 30);
    EXPECT_EQ(ui_state.input.click[0], 0);
    EXPECT_EQ(MENU_bar_hover(), 0); // over the open one's own title
    mouse(90, 750);
    EXPECT_EQ(MENU_bar_hover(), 1);
    EXPECT_EQ(MENU_release(), 0); // over another title: nothing
    EXPECT_EQ(MENU_state.open, 0);
    mouse(30, 750);
    MENU_release(); // over the open title: closes
    EXPECT_EQ(MENU_state.open, -1);
    mouse(90, 750);
    EXPECT_EQ(MENU_bar_hover(), 0);

    // Off screen 0 the bar does not answer: the press only closes what is open.
    MENU_state.open = 0;
    screen_state.screen_id = 998;
    MENU_press(0);
    EXPECT_EQ(MENU_state.open, -1);
}

TEST_F(MenuTest, ShiftMovesEveryBoxAndRow) {
    int first = 0;
    MENU_open_popup(300, 300, 100, {"a", "b"}, &first);
    MENU_state.slots[5].y0 = 10;
    const int16_t row1 = MENU_state.slots[MENU_POPUP_SLOT].items[1].y0;
    MENU_shift(-24.0f);
    EXPECT_EQ(MENU_state.slots[5].y0, -14);
    EXPECT_EQ(MENU_state.slots[MENU_POPUP_SLOT].items[1].y0, row1 - 24);
}
