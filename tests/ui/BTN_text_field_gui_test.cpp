// Text fields in a real window (typing, cut and paste as a user does them: edit_driver_gui_test.cpp): the
// clipboard keys without a selection or a clipboard text, Tab and clicks, the maximum length, shared
// identities, control keys, a full key queue, keys left for a field that was not drawn, and clicks and keys
// that come all before one frame of the run loop.
#include "edit_gui_fixture.h"
#include "gui_harness.h"
#include "platform/WIN_clipboard.h"
#include "platform/WIN_message.h"

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
        draw_a = true;
        screen0 = [] {
            if (draw_a)
                BTN_text_field(100, 400, a, 200, "Name", 200, 0);
            BTN_text_field(100, 360, b, 4, "Code", 200, 0);
        };
        frames(1);
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
    inline static bool draw_a;
};

TEST_F(BtnTextFieldGuiTest, ClipboardKeysWithoutSelectionOrTextAndTheMaximumLength) {
    a = "keep";
    key(SDL_SCANCODE_TAB);
    key(SDL_SCANCODE_RIGHT); // the selection collapses to its end
    key(SDL_SCANCODE_END);
    WIN_clipboard_put("old");
    ctrl('x'); // no selection: nothing cut, and no 0x18 in the text
    frames(1);
    EXPECT_EQ(a, "keep");
    EXPECT_EQ(clipboard(), "old");
    ctrl('c'); // an empty selection puts an empty text: the clipboard is then empty
    ctrl('v');
    frames(1);
    EXPECT_EQ(clipboard(), "");
    EXPECT_EQ(a, "keep");

    key(SDL_SCANCODE_TAB); // field b holds 4 bytes: the paste is cut between whole characters
    frames(1);
    WIN_clipboard_put("a\xC3\xA9\xC3\xA9");
    ctrl('v');
    frames(1);
    EXPECT_EQ(b, "a\xC3\xA9");
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
    click(500, 500); // outside every field: the focus goes
    type("q");
    frames(1);
    EXPECT_EQ(b, "two");
}

TEST_F(BtnTextFieldGuiTest, NavigationAndDeleteKeysLeaveTheTextAlone) {
    a = "path/to/x";
    std::string id = gui::xdotool("search --pid " + std::to_string(getpid()) + " --name '^Sim-Root$'");
    ASSERT_FALSE(id.empty());
    gui::xdotool("windowfocus --sync " + id);
    key(SDL_SCANCODE_TAB);
    frames(1);
    gui::xdotool("key Home End Delete Prior Next");
    gui::xdotool("type q"); // proof that the keys reach the field: it replaces the selected text
    for (int i = 0; i < 50 && a == "path/to/x"; ++i) {
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
    EXPECT_EQ(a + "|" + twin, "k|") << "the key went to the first field drawn under that identity";
}

TEST_F(BtnTextFieldGuiTest, AFullQueueStaysBoundedAndAVanishedFieldBlocksNoOther) {
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

    // Keys left waiting for a field that was not drawn do not come back at its next visit.
    draw_a = true;
    frames(1);
    key(SDL_SCANCODE_TAB); // back to a, its text selected
    frames(1);
    type("42");
    draw_a = false;
    frames(1);
    draw_a = true;
    click(100 + OGL_measure_string("mm"), 403);
    EXPECT_EQ(a, std::string(32, 'm'));
    EXPECT_EQ(BTN_text_field_queue().count, 0);
}

// Clicks and keys give the same texts whether each comes in a frame of its own or all come before one
// frame of the program's run loop: the keys after a click or a Tab go to the field it focused, the keys after
// a Return or an Escape that closes a dialog to the field behind it.
TEST_F(BtnTextFieldGuiTest, ClicksAndKeysTypeTheSameInOneFrameAsSpreadOverFrames) {
    constexpr int dialog = 5; // a screen that Return and Escape close
    static std::string behind;
    screen0 = [] {
        if (screen_state.screen_id != dialog) {
            BTN_text_field(100, 300, behind, 200, "Behind", 200, 1);
            return;
        }
        BTN_text_field(100, 400, a, 200, "Name", 200, 0);
        BTN_text_field(100, 360, b, 4, "Code", 200, 0);
    };
    // Runs the run loop until its queue is empty, and two more frames.
    static int idle;
    const auto run = [] {
        idle = 0;
        WIN_run_loop(APP_frame_prepare, [] {
            APP_frame();
            idle = SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) ? 0 : idle + 1;
            if (idle == 2)
                WIN_request_quit();
        });
        WIN_clear_quit_request_for_test();
    };
    using step = std::function<void()>;
    const step ab = [] { type("ab"); }, cd = [] { type("cd"); };
    const step press_a = [] { mouse_event(SDL_MOUSEBUTTONDOWN, 250, 403); };
    const step release_a = [] { mouse_event(SDL_MOUSEBUTTONUP, 250, 403); };
    const step press_b = [] { mouse_event(SDL_MOUSEBUTTONDOWN, 250, 363); };
    const step release_b = [] { mouse_event(SDL_MOUSEBUTTONUP, 250, 363); };
    const step tab = [] { key(SDL_SCANCODE_TAB); };
    struct row {
        const char* events;
        std::vector<step> steps;
        const char* texts; // Name|Code|Behind
    };
    const row rows[] = {
        {"click Name (focused), cd", {press_a, release_a, cd}, "cd||"},
        {"press Name, cd, release Name", {press_a, cd, release_a}, "cd||"},
        {"ab, click Code, click Name, cd", {ab, press_b, release_b, press_a, release_a, cd}, "abcd||"},
        {"ab, click Code, cd", {ab, press_b, release_b, cd}, "ab|cd|"},
        {"ab, Tab, Tab, cd (Tab selects the text)", {ab, tab, tab, cd}, "cd||"},
        {"ab, Tab, cd", {ab, tab, cd}, "ab|cd|"},
        {"ab, Return, cd", {ab, [] { key(SDL_SCANCODE_RETURN); }, cd}, "ab||cd"},
        {"ab, keypad Enter, cd", {ab, [] { key(SDL_SCANCODE_KP_ENTER); }, cd}, "ab||cd"},
        {"ab, Escape, cd", {ab, [] { key(SDL_SCANCODE_ESCAPE); }, cd}, "ab||cd"},
    };
    for (const row& r : rows) {
        for (bool one_frame : {false, true}) {
            a.clear();
            b.clear();
            behind.clear();
            APP_set_screen(dialog);
            run();
            tab(); // Name takes the focus
            run();
            for (const step& s : r.steps) {
                s();
                if (!one_frame)
                    run();
            }
            run();
            EXPECT_EQ(a + "|" + b + "|" + behind, r.texts)
                << r.events << (one_frame ? ", all before one frame" : ", one frame each");
        }
    }
}

} // namespace
