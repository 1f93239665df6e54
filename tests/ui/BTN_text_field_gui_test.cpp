// Text fields in a real window: typing, selection, the clipboard keys, Tab and clicks, the maximum length,
// shared identities and the faults of control bytes and of a full key queue.
#include "edit_gui_fixture.h"
#include "gui_harness.h"
#include "platform/WIN_clipboard.h"

namespace {

using edittest::screen0;

class BtnTextFieldGuiTest : public edittest::EditGuiFixture {
  protected:
    void SetUp() override {
        edittest::EditGuiFixture::SetUp();
        if (IsSkipped())
            return;
        a.clear();
        b.clear();
        draw_a = draw_b = true;
        screen0 = [this] {
            if (draw_a)
                BTN_text_field(100, 400, a, max_a, "Name", 200, 0);
            if (draw_b)
                BTN_text_field(100, 360, b, 4, "Code", 200, 0);
        };
        frames(1);
    }
    // Tab into field a (nothing focused yet) and type.
    void focus_a_and_type(const std::string& s) {
        key(SDL_SCANCODE_TAB);
        type(s);
        frames(2);
    }
    static std::string clipboard() {
        std::string out;
        WIN_clipboard_get([](const char* t, void* u) { *static_cast<std::string*>(u) = t; }, &out);
        return out;
    }
    static std::pair<int, int> selection() {
        BTN_text_field_status s = BTN_text_field_inspect();
        return {s.sel_start, s.sel_end};
    }

    inline static std::string a, b;
    inline static int max_a = 40;
    inline static bool draw_a, draw_b;
};

TEST_F(BtnTextFieldGuiTest, TypingSelectingCutCopyAndPaste) {
    focus_a_and_type("hello world");
    EXPECT_EQ(a, "hello world");
    for (int i = 0; i < 5; ++i)
        key(SDL_SCANCODE_LEFT, KMOD_LSHIFT);
    ctrl('x');
    frames(1);
    EXPECT_EQ(a, "hello ");
    EXPECT_EQ(clipboard(), "world");
    ctrl('v');
    ctrl('v');
    frames(1);
    EXPECT_EQ(a, "hello worldworld");

    ctrl('x'); // no selection: nothing is cut, and no 0x18 lands in the text
    frames(1);
    EXPECT_EQ(a, "hello worldworld");
    EXPECT_EQ(clipboard(), "world");

    ctrl('c'); // an empty selection puts an empty text: the clipboard is then empty
    frames(1);
    EXPECT_EQ(clipboard(), "");
    ctrl('v');
    frames(1);
    EXPECT_EQ(a, "hello worldworld");

    key(SDL_SCANCODE_BACKSPACE);
    key(SDL_SCANCODE_RETURN);
    frames(1);
    EXPECT_EQ(a, "hello worldworl");
}

TEST_F(BtnTextFieldGuiTest, TabSelectsAllAndAClickPlacesTheCursor) {
    a = "first";
    b = "two";
    click(100 + OGL_measure_string("tw") + 1, 363);
    EXPECT_EQ(selection(), std::make_pair(2, 2)) << "a click places the cursor";
    key(SDL_SCANCODE_TAB);
    frames(1);
    EXPECT_EQ(selection(), std::make_pair(0, 5)) << "Tab from the last field wraps and selects all";
    key(SDL_SCANCODE_TAB);
    frames(1);
    EXPECT_EQ(selection(), std::make_pair(0, 3));
    key(SDL_SCANCODE_TAB, KMOD_LSHIFT);
    frames(1);
    EXPECT_EQ(selection(), std::make_pair(0, 5)) << "Shift+Tab goes back";

    click(100 + OGL_measure_string("t") + 1, 363);
    EXPECT_EQ(selection(), std::make_pair(1, 1));
    type("w");
    frames(1);
    EXPECT_EQ(b, "twwo");
    click(500, 500); // outside every field: the focus goes
    type("q");
    frames(1);
    EXPECT_EQ(b, "twwo");
}

TEST_F(BtnTextFieldGuiTest, PasteBeyondTheMaximumIsCutAtACharacterBoundary) {
    key(SDL_SCANCODE_TAB);
    key(SDL_SCANCODE_TAB);
    frames(1);
    WIN_clipboard_put("a\xC3\xA9\xC3\xA9");
    ctrl('v');
    frames(1);
    EXPECT_EQ(b, "a\xC3\xA9")
        << "field b holds 4 bytes: \"a\xC3\xA9\xC3\xA9\" must not leave half a character";
    WIN_clipboard_put("12345678");
    key(SDL_SCANCODE_A, KMOD_LCTRL); // not taken by fields
    ctrl('v');
    frames(1);
    EXPECT_EQ(b.size(), 4u);
}

TEST_F(BtnTextFieldGuiTest, NavigationAndDeleteKeysLeaveTheTextAlone) {
    a = "path/to/x";
    frames(1);
    std::string id = gui::xdotool("search --pid " + std::to_string(getpid()) + " --name '^Sim-Root$'");
    ASSERT_FALSE(id.empty());
    gui::xdotool("windowfocus --sync " + id);
    key(SDL_SCANCODE_TAB);
    frames(1);
    gui::xdotool("key Home End Delete Prior Next");
    for (int i = 0; i < 20; ++i) {
        frames(1);
        SDL_Delay(10);
    }
    EXPECT_EQ(a, "path/to/x");
    EXPECT_EQ(a.find('\0'), std::string::npos);
    gui::xdotool("type q"); // the keys did reach the field: this one replaces the selected text
    for (int i = 0; i < 20 && a != "q"; ++i) {
        frames(1);
        SDL_Delay(10);
    }
    EXPECT_EQ(a, "q");
}

TEST_F(BtnTextFieldGuiTest, FieldsAtOnePlaceShareAnIdentity) {
    std::string twin;
    screen0 = [&] {
        BTN_text_field(100, 400, a, 40, "", 200, 0);
        BTN_text_field(100.6f, 400.4f, twin, 40, "", 200, 0);
    };
    frames(1);
    key(SDL_SCANCODE_TAB);
    type("k");
    frames(2);
    ASSERT_EQ(ui_state.focus_list.size(), 2u);
    EXPECT_EQ(ui_state.focus_list[0].id, ui_state.focus_list[1].id);
    EXPECT_EQ(a, "k") << "the key went to the first field drawn under that identity";
    EXPECT_EQ(twin, "");
}

TEST_F(BtnTextFieldGuiTest, AFullQueueStaysBoundedAndAVanishedFieldBlocksNoOther) {
    max_a = 200;
    key(SDL_SCANCODE_TAB);
    frames(1);
    for (int i = 0; i < 100; ++i)
        key(SDL_SCANCODE_M, 0, "m"); // 200 entries with the releases, before one frame
    frames(1);
    EXPECT_EQ(a, std::string(32, 'm')) << "64 entries found room: 32 presses and their releases";

    type("zz");
    draw_a = false; // field a is drawn no more while its keys wait
    frames(2);
    key(SDL_SCANCODE_TAB);
    type("y");
    frames(2);
    EXPECT_EQ(b, "y");
    EXPECT_EQ(BTN_text_field_queue().count, 0);
    max_a = 40;
}

} // namespace
