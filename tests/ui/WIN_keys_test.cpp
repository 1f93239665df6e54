// Key translation: SDL key events to the toolkit's characters, codes and flags.
#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include "platform/WIN_keys.h"

namespace {

struct key_case {
    const char* what;
    int keycode;
    int scancode;
    int mod;
    const char* text;
    int character;
    int code;
    int flags;
};

WIN_key_event press(WIN_key_state& st, int keycode, int scancode, int mod, const char* text,
                    bool repeat = false) {
    WIN_key_event e;
    EXPECT_TRUE(WIN_translate_key(st, keycode, scancode, mod, true, repeat, text, e));
    return e;
}

WIN_key_event release(WIN_key_state& st, int keycode, int scancode, int mod) {
    WIN_key_event e;
    EXPECT_TRUE(WIN_translate_key(st, keycode, scancode, mod, false, false, nullptr, e));
    return e;
}

TEST(WinKeysTest, KeyDownsGiveTheirCharacterCodeAndFlags) {
    const key_case cases[] = {
        {"shift+period", '.', SDL_SCANCODE_PERIOD, KMOD_LSHIFT, ">", '>', 0xB9, 1 | 8},
        {"letter", 'a', SDL_SCANCODE_A, 0, "a", 'a', 0x41, 8},
        {"shifted letter", 'z', SDL_SCANCODE_Z, KMOD_RSHIFT, "Z", 'Z', 0x5A, 1 | 8},
        {"ctrl+letter", 'c', SDL_SCANCODE_C, KMOD_LCTRL, "", 3, 0x43, 4 | 8},
        {"alt+digit", '7', SDL_SCANCODE_7, KMOD_LALT, "7", '7', 0x37, 2 | 8},
        {"equals", '=', SDL_SCANCODE_EQUALS, 0, "=", '=', 0xB0, 8},
        {"backquote", '`', SDL_SCANCODE_GRAVE, 0, "`", '`', 0xBA, 8},
        {"space", ' ', SDL_SCANCODE_SPACE, 0, " ", ' ', 0x20, 8},
        {"return", SDLK_RETURN, SDL_SCANCODE_RETURN, 0, "", 13, 0x0D, 8},
        {"keypad enter", SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 0, "", 13, 0x0D, 8},
        {"escape", SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, "", 27, 0x1B, 8},
        {"backspace", SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 0, "", 8, 0x08, 8},
        {"tab", SDLK_TAB, SDL_SCANCODE_TAB, 0, "", 9, 0x09, 8},
        {"delete", SDLK_DELETE, SDL_SCANCODE_DELETE, 0, "", 0, 0x2E, 8},
        {"left", SDLK_LEFT, SDL_SCANCODE_LEFT, 0, "", 28, 0x25, 8},
        {"right", SDLK_RIGHT, SDL_SCANCODE_RIGHT, 0, "", 29, 0x27, 8},
        {"up", SDLK_UP, SDL_SCANCODE_UP, 0, "", 30, 0x26, 8},
        {"down", SDLK_DOWN, SDL_SCANCODE_DOWN, 0, "", 31, 0x28, 8},
        {"keypad 0", SDLK_KP_0, SDL_SCANCODE_KP_0, 0, "0", '0', 0x60, 8},
        {"keypad 7", SDLK_KP_7, SDL_SCANCODE_KP_7, 0, "", '7', 0x67, 8},
        {"keypad decimal", SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, 0, "", '.', 0x6E, 8},
        {"F1", SDLK_F1, SDL_SCANCODE_F1, 0, "", 0, 0x70, 8},
        {"F24", SDLK_F24, SDL_SCANCODE_F24, 0, "", 0, 0x87, 8},
        {"typed e-acute", 'e', SDL_SCANCODE_E, 0, "\xC3\xA9", 0xE9, 0x45, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WIN_key_state st;
        WIN_key_event e = press(st, c.keycode, c.scancode, c.mod, c.text);
        EXPECT_EQ(e.character, c.character);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.flags, c.flags);
    }
}

TEST(WinKeysTest, ModifierOnlyKeysSendNothing) {
    const int mods[] = {SDLK_LSHIFT, SDLK_RSHIFT,   SDLK_LCTRL,        SDLK_RCTRL,     SDLK_LALT,
                        SDLK_RALT,   SDLK_CAPSLOCK, SDLK_NUMLOCKCLEAR, SDLK_SCROLLLOCK};
    for (int k : mods) {
        WIN_key_state st;
        WIN_key_event e;
        EXPECT_FALSE(WIN_translate_key(st, k, 0, KMOD_LSHIFT, true, false, "", e)) << k;
        EXPECT_FALSE(WIN_translate_key(st, k, 0, 0, false, false, "", e)) << k;
    }
}

TEST(WinKeysTest, HeldKeySendsOneDownThenRepeatsThenUpWithTheSameCharacter) {
    WIN_key_state st;
    WIN_key_event down = press(st, '.', SDL_SCANCODE_PERIOD, KMOD_LSHIFT, ">");
    EXPECT_EQ(down.flags, 1 | 8);
    for (int i = 0; i < 3; ++i) {
        WIN_key_event rep = press(st, '.', SDL_SCANCODE_PERIOD, KMOD_LSHIFT, ">", true);
        EXPECT_EQ(rep.flags, 1);
        EXPECT_EQ(rep.code, 0xB9);
        EXPECT_EQ(rep.character, '>');
    }
    // Shift was let go first: the key-up still reports the character of its key-down.
    WIN_key_event up = release(st, '.', SDL_SCANCODE_PERIOD, 0);
    EXPECT_EQ(up.flags, 16);
    EXPECT_EQ(up.code, 0xB9);
    EXPECT_EQ(up.character, '>');

    // A key let go while another was pressed after it types its own character.
    press(st, 'a', SDL_SCANCODE_A, 0, "a");
    press(st, 'b', SDL_SCANCODE_B, 0, "b");
    EXPECT_EQ(release(st, 'a', SDL_SCANCODE_A, 0).character, 'a');
    EXPECT_EQ(release(st, 'b', SDL_SCANCODE_B, 0).character, 'b');
}

TEST(WinKeysTest, UnknownKeysTakeSpareCodesInOrderAndKeepThem) {
    WIN_key_state st;
    // Keys outside both lists: media and application keys, told apart by scancode.
    WIN_key_event first = press(st, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, 0, "");
    WIN_key_event second = press(st, SDLK_APPLICATION, SDL_SCANCODE_APPLICATION, 0, "");
    EXPECT_EQ(first.code, 0x01);
    EXPECT_EQ(second.code, 0x02);
    EXPECT_EQ(press(st, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, 0, "", true).code, 0x01);
    EXPECT_EQ(release(st, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, 0).code, 0x01);
    EXPECT_EQ(press(st, SDLK_APPLICATION, SDL_SCANCODE_APPLICATION, 0, "").code, 0x02);
}

TEST(WinKeysTest, SpareCodesRunOutAfterSeventyNine) {
    WIN_key_state st;
    std::vector<int> codes;
    for (int i = 0; i < 80; ++i)
        codes.push_back(press(st, 0x40000000 | (400 + i), 400 + i, 0, "").code);
    // The list: 01-07, 0A-0B, 0E-1A, 1C-1F, 3A-40, 5B-5F, 6C, 88-AF.
    EXPECT_EQ(codes[6], 0x07);
    EXPECT_EQ(codes[7], 0x0A);
    EXPECT_EQ(codes[9], 0x0E);
    EXPECT_EQ(codes[22], 0x1C);
    EXPECT_EQ(codes[26], 0x3A);
    EXPECT_EQ(codes[33], 0x5B);
    EXPECT_EQ(codes[38], 0x6C);
    EXPECT_EQ(codes[39], 0x88);
    EXPECT_EQ(codes[78], 0xAF);
    EXPECT_EQ(codes[79], 0);
    // With no code, no character and no flag (a repeat), there is nothing to send.
    WIN_key_event e;
    EXPECT_FALSE(WIN_translate_key(st, 0x40000000 | 479, 479, 0, true, true, "", e));
    EXPECT_TRUE(WIN_translate_key(st, 0x40000000 | 479, 479, 0, true, false, "", e));
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.flags, 8);
}

} // namespace
