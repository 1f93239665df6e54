// KEY_bindings: the Enter, Esc and delete flags, dialog closing and the default bindings.
#include <gtest/gtest.h>

#include "base/CMND_registry.h"
#include "ui/KEY_bindings.h"
#include "ui/MENU_menus.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

std::vector<int> fired;

class KeyTest : public testing::Test {
  protected:
    void SetUp() override {
        screen_state = screen_state_record();
        screen_state.screen_id = 0;
        ui_state = ui_shared_state();
        MENU_init(1);
        fired.clear();
        KEY_set_command_hook([](int command) { fired.push_back(command); });
        KEY_clear_delete_flag();
        KEY_bindings_load(0);
    }
    void TearDown() override {
        KEY_set_command_hook(nullptr);
        KEY_set_focus_router(nullptr);
    }
};

// The first binding of the table that has modifiers, and one that has none.
const key_binding* binding_with_mods(bool mods) {
    for (const key_binding& b : KEY_binding_list())
        if ((b.modifiers != 0) == mods)
            return &b;
    return nullptr;
}

} // namespace

TEST_F(KeyTest, BindingsAreTheTableRowsThatHaveAKey) {
    std::vector<key_binding> expected;
    for (int i = 0; i < CMND_COUNT; ++i)
        if (CMND_builtin[i].key != 0)
            expected.push_back({CMND_builtin[i].key, CMND_builtin[i].mods, i, 0});
    const std::vector<key_binding>& got = KEY_binding_list();
    ASSERT_EQ(got.size(), expected.size());
    ASSERT_LT(got.size(), 40u);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].key, expected[i].key) << i;
        EXPECT_EQ(got[i].modifiers, expected[i].modifiers) << i;
        EXPECT_EQ(got[i].command, expected[i].command) << i;
    }
    KEY_bindings_load(1); // the exit's save keeps them as they are
    EXPECT_EQ(KEY_binding_list().size(), expected.size());
}

TEST_F(KeyTest, EscClosesDialogsButTheAlertOnlyReadsItsFlag) {
    screen_state.screen_id = 998;
    KEY_event(0, 27, 8);
    EXPECT_EQ(screen_state.screen_id, 0);
    EXPECT_EQ(ui_state.input.esc, 0); // closing clears the flags

    screen_state.screen_id = 994;
    const int last = KEY_last_key();
    KEY_event(13, 13, 8);
    EXPECT_EQ(screen_state.screen_id, 994);
    EXPECT_EQ(ui_state.input.enter, 1);
    KEY_event(0, 27, 8);
    EXPECT_EQ(ui_state.input.esc, 1);
    EXPECT_EQ(KEY_last_key(), last); // the modal screen stops the event before it is recorded

    ui_state.input.enter = ui_state.input.esc = 0;
    screen_state.screen_id = 0; // on the wizard the flags are set and the event goes on
    KEY_event(8, 8, 8);
    KEY_event(0, 187, 8);
    EXPECT_EQ(KEY_delete_flag(), 1);
    EXPECT_EQ(ui_state.input.enter, 1);
    EXPECT_EQ(KEY_last_key(), 187);
    EXPECT_EQ(KEY_last_flags(), 8);
}

TEST_F(KeyTest, BindingsFireOnPressAndRelease) {
    const key_binding* plain = binding_with_mods(false);
    const key_binding* modded = binding_with_mods(true);
    ASSERT_TRUE(plain && modded);

    KEY_event(0, plain->key, 8);
    EXPECT_EQ(fired, std::vector<int>{plain->command});
    KEY_repeat();
    KEY_repeat();
    EXPECT_EQ(fired.size(), 3u);
    KEY_event(0, plain->key, 16 | 4); // released with other modifiers: still released
    EXPECT_EQ(fired.size(), 4u);
    KEY_repeat();
    EXPECT_EQ(fired.size(), 4u);

    fired.clear();
    KEY_event(0, modded->key, 8); // without its modifiers it does not fire
    KEY_event(0, modded->key, 8 | modded->modifiers);
    EXPECT_EQ(fired, std::vector<int>{modded->command});
    KEY_event(0, modded->key, 16);
    EXPECT_EQ(fired.size(), 2u);

    fired.clear();
    KEY_event(0, 0, 8);            // key 0 fires nothing
    screen_state.screen_id = 1000; // nor does anything on the save chooser
    KEY_event(0, plain->key, 8);
    EXPECT_TRUE(fired.empty());
}

TEST_F(KeyTest, TheFocusRouterTakesKeysFirst) {
    static std::vector<int> routed;
    routed.clear();
    KEY_set_focus_router([](int character, int key, int) {
        routed.push_back(character);
        return key == 13;
    });
    screen_state.screen_id = 998;
    KEY_event(200, 13, 8); // taken: no flag, no closing
    EXPECT_EQ(ui_state.input.enter, 0);
    EXPECT_EQ(screen_state.screen_id, 998);
    KEY_event(65, 65, 8);
    EXPECT_EQ(routed, (std::vector<int>{0, 65})); // characters above 127 arrive as 0
}
