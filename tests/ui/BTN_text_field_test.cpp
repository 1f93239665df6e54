// Keyboard focus without a window: the key classes of the accept masks, Tab moves and the alert screen.
#include <gtest/gtest.h>

#include "ui/BTN_text_field.h"
#include "ui/screen_state.h"

namespace {

constexpr int shift = 1, ctrl = 4, down = 8, up = 16;

TEST(BtnFocusTest, EachKindOfKeyHasItsClass) {
    const struct {
        int character, key, flags, cls;
    } rows[] = {
        {8, 8, down, BTN_KEYS_DELETE},
        {0, 46, down, BTN_KEYS_DELETE},
        {9, 9, down, BTN_KEYS_TAB},
        {13, 13, down, BTN_KEYS_ENTER},
        {0, 187, down, BTN_KEYS_ENTER},
        {27, 27, down, BTN_KEYS_ESCAPE},
        {0, 33, down, BTN_KEYS_NAVIGATE},
        {31, 40, down, BTN_KEYS_NAVIGATE},
        {'+', 0xB0, 9, BTN_KEYS_SIGN},
        {'-', 0xB1, down, BTN_KEYS_SIGN},
        {'7', 0x67, down, BTN_KEYS_DIGIT},
        {'Q', 'Q', 9, BTN_KEYS_LETTER},
        {' ', 0x20, down, BTN_KEYS_PRINTABLE},
        {0xE9, 'E', down, BTN_KEYS_PRINTABLE},
        {22, 'V', ctrl | down, BTN_KEYS_CLIPBOARD},
        {24, 'X', ctrl | down, BTN_KEYS_CLIPBOARD},
        {1, 'A', ctrl | down, BTN_KEYS_OTHER},
        {0, 0x70, down, BTN_KEYS_OTHER},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.character << "/" << r.key);
        EXPECT_EQ(BTN_key_class(r.character, r.key, r.flags), r.cls);
    }
}

TEST(BtnFocusTest, TabTakesTheFirstWidgetShiftTabWrapsAndTheAlertTakesNothing) {
    ui_state = ui_shared_state();
    screen_state.screen_id = 0;
    for (int id : {11, 22, 33})
        BTN_focus_register(id, nullptr, 64, BTN_TEXT_FIELD_KEYS, 0);
    EXPECT_FALSE(BTN_route_key('a', 'A', down)) << "no focus: only a Tab press is taken";
    EXPECT_FALSE(BTN_route_key(9, 9, up));
    EXPECT_TRUE(BTN_route_key(9, 9, shift | down));
    EXPECT_EQ(ui_state.focus_id, 11);
    EXPECT_TRUE(BTN_route_key(9, 9, shift | down));
    EXPECT_EQ(ui_state.focus_id, 33);
    EXPECT_TRUE(BTN_route_key(9, 9, down));
    EXPECT_EQ(ui_state.focus_id, 11);
    EXPECT_FALSE(BTN_route_key(13, 13, down)) << "Return goes on to the key handler";

    screen_state.screen_id = 994;
    EXPECT_FALSE(BTN_route_key(9, 9, down));
    EXPECT_EQ(ui_state.focus_id, 11);
    screen_state.screen_id = 0;
}

} // namespace
