// Window tests of the text fields, popups and choosers: window 0 with the toolkit's input callbacks, the
// real frame (APP_run_one_frame) drawing a test's screen-0 widgets, and keys and clicks pushed as SDL
// events, so that they travel the program's own way: key translation, KEY_event, BTN_route_key.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_text_field.h"
#include "ui/BTN_widgets.h"
#include "ui/KEY_bindings.h"
#include "ui/MENU_menus.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_utils.h"
#include "ui/WIN_window_table.h"
#include "ui/hl_init.h"
#include "ui_gui_fixture.h"

namespace edittest {

// What screen 0 draws each frame, and what runs at the end of each frame before it is presented.
inline std::function<void()> screen0;
inline std::function<void()> after_frame;

class EditGuiFixture : public uitest::GuiFixture {
  protected:
    void SetUp() override {
        WIN_set_input_callbacks_maker(APP_input_callbacks_init);
        uitest::GuiFixture::SetUp();
        if (IsSkipped())
            return;
        APP_install_clock_hooks();
        KEY_set_focus_router(BTN_route_key);
        MENU_init(1);
        ASSERT_EQ(TMAN_load_bitmap(4, 1021, 0x200242, 2, "RESOURCE:interface.png"), 1021);
        ASSERT_EQ(TMAN_load_bitmap(4, 1022, 0x220242, 2, "RESOURCE:elements_English.png"), 1022);
        // The interface colours, as start-up takes them from the interface image.
        unsigned char* px = nullptr;
        TEX_image_info info;
        ASSERT_EQ(TEX_load_image_file("RESOURCE:interface.png", px, 0, GL_RGBA, 0, 0, 0, info), 1);
        float rgb[14][3];
        const bool colours = APP_interface_colours(px, info.width, info.height, rgb);
        std::free(px);
        ASSERT_TRUE(colours);
        for (int slot = 43; slot <= 56; ++slot)
            OGL_set_colour_slot(slot, rgb[slot - 43][0], rgb[slot - 43][1], rgb[slot - 43][2]);
        BTN_push_reset();
        screen0 = nullptr;
        after_frame = nullptr;
        APP_set_screen0_frame([] {
            OGL_clear_view();
            if (screen0)
                screen0();
        });
        APP_set_atlas_update([] {
            if (after_frame)
                after_frame();
        });
        APP_set_screen(0);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        frames(2);
    }
    void TearDown() override {
        APP_set_screen0_frame(nullptr);
        APP_set_atlas_update(nullptr);
        screen0 = nullptr;
        after_frame = nullptr;
        uitest::GuiFixture::TearDown();
    }

    static void frames(int n) {
        for (int i = 0; i < n; ++i)
            APP_run_one_frame();
    }
    static Uint32 window_id() { return SDL_GetWindowID(WIN_get_hwnd(WIN_table_window(0))); }

    // One key press and release, with the typed text of the press (if any).
    static void key(SDL_Scancode sc, Uint16 mod = 0, const char* text = nullptr) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = window_id();
        e.key.state = SDL_PRESSED;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
        if (text && *text) {
            SDL_Event t{};
            t.type = SDL_TEXTINPUT;
            t.text.windowID = window_id();
            std::strncpy(t.text.text, text, sizeof t.text.text - 1);
            SDL_PushEvent(&t);
        }
        e.type = SDL_KEYUP;
        e.key.state = SDL_RELEASED;
        SDL_PushEvent(&e);
    }
    // Lower-case letters, digits, blanks and '.', as typed on a US keyboard.
    static void type(const std::string& s) {
        for (char c : s) {
            const char text[2] = {c, 0};
            SDL_Scancode sc = c == ' '               ? SDL_SCANCODE_SPACE
                              : c == '.'             ? SDL_SCANCODE_PERIOD
                              : c == '0'             ? SDL_SCANCODE_0
                              : c >= '1' && c <= '9' ? static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (c - '1'))
                                                     : static_cast<SDL_Scancode>(SDL_SCANCODE_A + (c - 'a'));
            key(sc, 0, text);
        }
    }
    static void ctrl(char letter) {
        key(static_cast<SDL_Scancode>(SDL_SCANCODE_A + (letter - 'a')), KMOD_LCTRL);
    }

    // A left-button press or release at a point of the view (y up).
    static void mouse_event(Uint32 type, float x, float y) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = window_id();
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = static_cast<int>(x + screen_state.origin_x);
        e.button.y = screen_state.drawable_height - static_cast<int>(y + screen_state.origin_y);
        SDL_PushEvent(&e);
    }
    // A left click at a point of the view (y up): the press in one frame, the release in the next.
    static void click(float x, float y) {
        mouse_event(SDL_MOUSEBUTTONDOWN, x, y);
        frames(1);
        mouse_event(SDL_MOUSEBUTTONUP, x, y);
        frames(1);
    }
};

} // namespace edittest
