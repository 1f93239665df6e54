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

} // namespace

TEST_F(KeyTest, BindingsAreTheTableRowsThatHaveAKey) {
    std::vector<key_binding> expected;
    for (int i = 0; i < CMND_COUNT; ++i)
        if (CMND_builtin[i].key != 0)
            expected.push_back({CMND_builtin[i].key, CMND_builtin[i].mods, i, 0});
    const std::vector<key_binding>& got = KEY_binding_list();
    ASSERT_EQ(got.size(), expected.size());
    ASSERT_LT(got.size(), 40u);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(got[i].key == expected[i].key && got[i].modifiers == expected[i].modifiers &&
                    got[i].command == expected[i].command)
            << i;
}

TEST_F(KeyTest, EscClosesDialogsButTheAlertOnlyReadsItsFlag) {
    screen_state.screen_id = 998;
    KEY_event(0, 27, 8);
    EXPECT_EQ(screen_state.screen_id, 0);
    EXPECT_EQ(ui_state.input.esc, 0); // closing clears the flags

    screen_state.screen_id = 994;
    const int last = KEY_last_key();
    KEY_event(13, 13, 8);
    KEY_event(0, 27, 8);
    EXPECT_EQ(screen_state.screen_id, 994);
    EXPECT_EQ(ui_state.input.enter + ui_state.input.esc, 2);
    EXPECT_EQ(KEY_last_key(), last); // stopped before it is recorded

    ui_state.input.enter = 0;
    screen_state.screen_id = 0; // on the wizard the event goes on
    KEY_event(8, 8, 8);
    KEY_event(0, 187, 8);
    EXPECT_EQ(KEY_delete_flag(), 1);
    EXPECT_EQ(ui_state.input.enter, 1);
    EXPECT_EQ(KEY_last_key(), 187);
}

TEST_F(KeyTest, BindingsFireOnPressAndReleaseWhateverTheReleasesModifiers) {
    const key_binding *plain = nullptr, *modded = nullptr;
    for (const key_binding& b : KEY_binding_list()) {
        const key_binding*& slot = b.modifiers ? modded : plain;
        if (!slot)
            slot = &b;
    }
    ASSERT_TRUE(plain && modded);

    KEY_event(0, plain->key, 8);
    KEY_repeat();
    KEY_event(0, plain->key, 16 | 4); // released with other modifiers
    KEY_repeat();
    EXPECT_EQ(fired, std::vector<int>(3, plain->command));

    fired.clear();
    KEY_event(0, modded->key, 8); // without its modifiers: nothing
    KEY_event(0, modded->key, 8 | modded->modifiers);
    KEY_event(0, modded->key, 16);
    EXPECT_EQ(fired, std::vector<int>(2, modded->command));

    fired.clear();
    KEY_event(0, 0, 8);            // key 0 fires nothing
    screen_state.screen_id = 1000; // nor does anything on the save chooser
    KEY_event(0, plain->key, 8);
    EXPECT_TRUE(fired.empty());
}

TEST_F(KeyTest, TheFocusRouterTakesKeysFirst) {
    static std::vector<int> routed;
    routed.clear(); // a repeated run starts with none
    KEY_set_focus_router([](int character, int key, int) {
        routed.push_back(character);
        return key == 13;
    });
    screen_state.screen_id = 998;
    KEY_event(200, 13, 8); // taken: no flag, no closing
    EXPECT_EQ(ui_state.input.enter, 0);
    EXPECT_EQ(screen_state.screen_id, 998);
    EXPECT_EQ(routed, std::vector<int>{0}); // characters above 127 arrive as 0
}
