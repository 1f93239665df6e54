// Popup buttons, the clipboard and the event pump of the dialogs in a real window.
#include "edit_gui_fixture.h"
#include "platform/WIN_clipboard.h"
#include "platform/WIN_dialog_process.h"
#include "ui/BTN_popup.h"

namespace {

class BtnPopupGuiTest : public edittest::EditGuiFixture {};

TEST_F(BtnPopupGuiTest, AClickOnARowChoosesIt) {
    static int selection = 0, chosen = 0;
    selection = 0;
    chosen = 0;
    edittest::screen0 = [] {
        if (BTN_popup(400, 300, &selection, "Alpha;Beta;Gamma", "OS", ';'))
            ++chosen;
    };
    frames(1);
    click(410, 303); // opens: the selected row (Alpha) level with the button, the others below it
    EXPECT_EQ(MENU_state.open, MENU_POPUP_SLOT);
    EXPECT_EQ(chosen, 0) << "the opening click's release chooses nothing";
    click(400, 300 - 2 * 12 + 3); // Gamma
    frames(1);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(selection, 2);
    EXPECT_EQ(MENU_state.open, -1);
}

class WinClipboardGuiTest : public edittest::EditGuiFixture {};

TEST_F(WinClipboardGuiTest, RoundTripAndNoCallbackWhenEmpty) {
    static std::vector<std::string> got;
    got.clear();
    auto take = [](const char* text, void*) { got.push_back(text); };
    WIN_clipboard_put("h\xC3\xA9llo w\xC3\xB6rld");
    WIN_clipboard_get(take, nullptr);
    EXPECT_EQ(got, (std::vector<std::string>{"h\xC3\xA9llo w\xC3\xB6rld"}));
    WIN_clipboard_put("");
    WIN_clipboard_get(take, nullptr);
    EXPECT_EQ(got.size(), 1u);
}

TEST_F(WinClipboardGuiTest, WhileADialogRunsInputIsDroppedAndAQuitIsKept) {
    key(SDL_SCANCODE_A, 0, "a");
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    WIN_pump_dropping_input();
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_TEXTINPUT), 0);
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT), 1) << "left for the run loop";
    SDL_FlushEvents(SDL_QUIT, SDL_QUIT);
}

} // namespace
