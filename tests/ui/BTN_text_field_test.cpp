// Keyboard focus without a window: key classes, Tab moves, the alert screen and the bounded key queue.
#include <gtest/gtest.h>

#include "ui/BTN_text_field.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

constexpr int shift = 1, ctrl = 4, down = 8, up = 16;

// A widget's own queue of 64 entries.
struct queue64 {
    int c[64] = {}, k[64] = {}, f[64] = {}, t[64] = {};
    BTN_key_queue q{c, k, f, t, 0};
};

class BtnFocusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui_state = ui_shared_state();
        screen_state.screen_id = 0;
    }
    // A new frame in which the widgets `ids` are drawn, in order, each with `mask`.
    void frame(std::initializer_list<int> ids, int mask = BTN_TEXT_FIELD_KEYS) {
        BTN_focus_list_clear();
        for (int id : ids)
            BTN_focus_register(id, &queue.q, 64, mask, 0);
    }
    queue64 queue;
};

TEST(BtnKeyClassTest, EachKindOfKeyHasItsClass) {
    struct row {
        const char* what;
        int character, key, flags, cls;
    } rows[] = {
        {"backspace", 8, 8, down, BTN_KEYS_DELETE},
        {"delete", 0, 46, down, BTN_KEYS_DELETE},
        {"tab", 9, 9, down, BTN_KEYS_TAB},
        {"return", 13, 13, down, BTN_KEYS_ENTER},
        {"key 187", 0, 187, down, BTN_KEYS_ENTER},
        {"escape", 27, 27, down, BTN_KEYS_ESCAPE},
        {"page up", 0, 33, down, BTN_KEYS_NAVIGATE},
        {"home", 0, 36, down, BTN_KEYS_NAVIGATE},
        {"left arrow", 28, 37, down, BTN_KEYS_NAVIGATE},
        {"down arrow", 31, 40, down, BTN_KEYS_NAVIGATE},
        {"plus", '+', 0xB0, shift | down, BTN_KEYS_SIGN},
        {"minus", '-', 0xB1, down, BTN_KEYS_SIGN},
        {"keypad 7", '7', 0x67, down, BTN_KEYS_DIGIT},
        {"shifted letter", 'Q', 'Q', shift | down, BTN_KEYS_LETTER},
        {"blank", ' ', 0x20, down, BTN_KEYS_PRINTABLE},
        {"period", '.', 0xB9, down, BTN_KEYS_PRINTABLE},
        {"e-acute", 0xE9, 'E', down, BTN_KEYS_PRINTABLE},
        {"ctrl+v", 22, 'V', ctrl | down, BTN_KEYS_CLIPBOARD},
        {"ctrl+x", 24, 'X', ctrl | down, BTN_KEYS_CLIPBOARD},
        {"ctrl+a", 1, 'A', ctrl | down, BTN_KEYS_OTHER},
        {"F1", 0, 0x70, down, BTN_KEYS_OTHER},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(BTN_key_class(r.character, r.key, r.flags), r.cls);
    }
}

TEST_F(BtnFocusTest, TabTakesTheFirstWidgetAndShiftTabWraps) {
    frame({11, 22, 33});
    EXPECT_FALSE(BTN_route_key('a', 'A', down)) << "no focus: only Tab is taken";
    EXPECT_FALSE(BTN_route_key(9, 9, up));
    EXPECT_TRUE(BTN_route_key(9, 9, shift | down));
    EXPECT_EQ(ui_state.focus_id, 11);
    EXPECT_TRUE(BTN_route_key(9, 9, shift | down));
    EXPECT_EQ(ui_state.focus_id, 33);
    EXPECT_TRUE(BTN_route_key(9, 9, down));
    EXPECT_EQ(ui_state.focus_id, 11);

    frame({});
    EXPECT_FALSE(BTN_route_key(9, 9, down)) << "an empty list takes nothing";
    EXPECT_EQ(ui_state.focus_id, 0);

    frame({44}, BTN_TEXT_FIELD_KEYS | BTN_KEYS_TAB);
    ui_state.focus_id = 44;
    EXPECT_TRUE(BTN_route_key(9, 9, down)) << "a widget that takes Tab gets it queued";
    EXPECT_EQ(ui_state.focus_id, 44);
    EXPECT_EQ(queue.q.count, 1);
}

TEST_F(BtnFocusTest, TakenKeysAreQueuedOthersPassOn) {
    frame({11});
    ui_state.focus_id = 11;
    EXPECT_TRUE(BTN_route_key('x', 'X', down));
    EXPECT_TRUE(BTN_route_key(0, 46, down));
    EXPECT_FALSE(BTN_route_key(13, 13, down)) << "Return goes on to the key handler";
    EXPECT_FALSE(BTN_route_key(27, 27, down));
    EXPECT_FALSE(BTN_route_key(0, 0x70, down));
    ASSERT_EQ(queue.q.count, 2);
    EXPECT_EQ(queue.q.characters[0], 'x');
    EXPECT_EQ(queue.q.keys[1], 46);
    EXPECT_EQ(queue.q.targets[1], 11);

    screen_state.screen_id = 994;
    EXPECT_FALSE(BTN_route_key('y', 'Y', down)) << "the alert takes no keys into fields";
    EXPECT_FALSE(BTN_route_key(9, 9, down));
    EXPECT_EQ(queue.q.count, 2);
}

TEST_F(BtnFocusTest, FullQueueDropsKeysAndAVanishedWidgetDoesNotBlockTheNext) {
    frame({11, 22});
    ui_state.focus_id = 11;
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(BTN_route_key('a', 'A', down)) << "a dropped key still counts as taken";
    EXPECT_EQ(queue.q.count, 64);

    // Widget 11 is no longer drawn: the focus falls to nobody, then Tab gives it to 22, whose keys must
    // find room in the shared queue.
    frame({22});
    EXPECT_FALSE(BTN_route_key('b', 'B', down));
    EXPECT_EQ(ui_state.focus_id, 0);
    EXPECT_TRUE(BTN_route_key(9, 9, down));
    EXPECT_EQ(ui_state.focus_id, 22);
    EXPECT_TRUE(BTN_route_key('b', 'B', down));
    ASSERT_EQ(queue.q.count, 1);
    EXPECT_EQ(queue.q.targets[0], 22);
    EXPECT_EQ(queue.q.characters[0], 'b');
}

} // namespace
