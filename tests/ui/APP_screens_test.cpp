// APP_screens: the centring rule and what APP_set_screen takes from the screen table.
#include <gtest/gtest.h>

#include "base/LANG_localise.h"
#include "support/test_support.h"
#include "ui/APP_screens.h"
#include "ui/MENU_menus.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

TEST(AppScreensTest, CentresTheViewInTheDrawable) {
    struct row {
        float w, h, scale, vw, vh, ox, oy;
    } rows[] = {
        {1280, 1024, 1, 420, 260, 430, 382},  // the alert on a 1280 x 1024 drawable
        {2560, 1024, 1, 420, 260, 430, 382},  // 2.5 : 1 centres on the left half
        {3072, 1024, 1, 420, 260, 1326, 382}, // exactly 3 : 1 is not halved
        {300, 200, 1, 420, 260, 0, 0},        // a view larger than the drawable
        {1280, 1024, 1, 1280, 1024, 0, 0},    // screen 0 takes the drawable
        {1280, 1024, 2, 420, 260, 110, 126},  // (1280 - 840) / 2 = 220 units of 2
        {801, 601, 1, 420, 260, 191, 171},    // 190.5 rounds away from zero
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.w << "x" << r.h << " scale " << r.scale);
        float ox = -1, oy = -1;
        APP_screen_origin(r.w, r.h, r.scale, r.vw, r.vh, &ox, &oy);
        EXPECT_EQ(ox, r.ox);
        EXPECT_EQ(oy, r.oy);
    }
}

TEST(AppScreensTest, SetScreenTakesTheTableSizeAndTheTranslatedTitle) {
    test::TempDir dir;
    test::write_file(dir.file("de.txt"), "I\n900 version\nTRANSLATION\nSTRING BE ADVISED====ACHTUNG\n");
    LANG_restart_for_test(dir.file("missing.txt"));
    LANG_load_file(2, dir.file("de.txt"));
    MENU_init(1);
    screen_state = screen_state_record();
    screen_state.drawable_width = 1280;
    screen_state.drawable_height = 1024;
    ui_state.captured_id = 7;
    ui_state.input.click[0] = ui_state.input.click[1] = 1;
    ui_state.screen_title = "before";

    APP_set_screen(994);
    EXPECT_EQ(ui_state.screen_title, "ACHTUNG");
    EXPECT_EQ(screen_state.screen_id, 994);
    EXPECT_EQ(screen_state.screen_id_prev, 994);
    EXPECT_EQ(screen_state.view_width, 420);
    EXPECT_EQ(screen_state.view_height, 260);
    EXPECT_EQ(screen_state.origin_x, 430);
    EXPECT_EQ(screen_state.origin_y, 382);
    EXPECT_EQ(ui_state.captured_id, -1);
    EXPECT_EQ(ui_state.input.click[0] + ui_state.input.click[1], 0);
    EXPECT_EQ(MENU_state.slots[MENU_POPUP_SLOT].x1, -1);
    EXPECT_TRUE(APP_screen_was_set());

    APP_set_screen(0); // no row: the drawable's size, the title stays
    EXPECT_EQ(ui_state.screen_title, "ACHTUNG");
    EXPECT_EQ(screen_state.view_width, 1280);
    EXPECT_EQ(screen_state.origin_x, 0);
    APP_set_screen(-1); // the start-up view keeps the title too
    EXPECT_EQ(screen_state.view_width, 1024);
    EXPECT_EQ(screen_state.view_height, 768);
    EXPECT_EQ(ui_state.screen_title, "ACHTUNG");
    APP_set_screen(998);
    EXPECT_EQ(ui_state.screen_title, "Prefs");
    LANG_restart_for_test("");
}
