// WIN_keys: SDL key events to the toolkit's key codes, characters and flags.
#include "platform/WIN_keys.h"

#include <SDL.h>

namespace {

// SDL keys that keep their Windows virtual-key number.
int pass_through_code(int keycode, int scancode) {
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return 0x61 + (scancode - SDL_SCANCODE_KP_1);
    switch (scancode) {
    case SDL_SCANCODE_KP_0:
        return 0x60;
    case SDL_SCANCODE_KP_MULTIPLY:
        return 0x6A;
    case SDL_SCANCODE_KP_PLUS:
        return 0x6B;
    case SDL_SCANCODE_KP_COMMA:
        return 0x6C;
    case SDL_SCANCODE_KP_MINUS:
        return 0x6D;
    case SDL_SCANCODE_KP_PERIOD:
        return 0x6E;
    case SDL_SCANCODE_KP_DIVIDE:
        return 0x6F;
    case SDL_SCANCODE_KP_ENTER:
        return 0x0D;
    default:
        break;
    }
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12)
        return 0x70 + (keycode - SDLK_F1);
    if (keycode >= SDLK_F13 && keycode <= SDLK_F24)
        return 0x7C + (keycode - SDLK_F13);
    switch (keycode) {
    case SDLK_BACKSPACE:
        return 0x08;
    case SDLK_TAB:
        return 0x09;
    case SDLK_CLEAR:
        return 0x0C;
    case SDLK_RETURN:
        return 0x0D;
    case SDLK_ESCAPE:
        return 0x1B;
    case SDLK_SPACE:
        return 0x20;
    case SDLK_PAGEUP:
        return 0x21;
    case SDLK_PAGEDOWN:
        return 0x22;
    case SDLK_END:
        return 0x23;
    case SDLK_HOME:
        return 0x24;
    case SDLK_LEFT:
        return 0x25;
    case SDLK_UP:
        return 0x26;
    case SDLK_RIGHT:
        return 0x27;
    case SDLK_DOWN:
        return 0x28;
    case SDLK_SELECT:
        return 0x29;
    case SDLK_EXECUTE:
        return 0x2B;
    case SDLK_PRINTSCREEN:
        return 0x2C;
    case SDLK_INSERT:
        return 0x2D;
    case SDLK_DELETE:
        return 0x2E;
    case SDLK_HELP:
        return 0x2F;
    default:
        return -1;
    }
}

bool is_modifier_only(int keycode) {
    switch (keycode) {
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
    case SDLK_LCTRL:
    case SDLK_RCTRL:
    case SDLK_LALT:
    case SDLK_RALT:
    case SDLK_CAPSLOCK:
    case SDLK_NUMLOCKCLEAR:
    case SDLK_SCROLLLOCK:
        return true;
    default:
        return false;
    }
}

// The character a US keyboard gives with Shift held.
int us_shifted(int c) {
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    static const char plain[] = "1234567890-=[]\\;',./`";
    static const char shifted[] = "!@#$%^&*()_+{}|:\"<>?~";
    for (int i = 0; plain[i]; ++i)
        if (plain[i] == c)
            return shifted[i];
    return c;
}

// The code of a character of the look-up table, or -1.
int character_code(int c) {
    if (c >= 'a' && c <= 'z')
        return 0x41 + (c - 'a');
    if (c >= '0' && c <= '9')
        return c;
    static const char punct[] = "=-][';\\,/.`";
    if (c == ' ')
        return 0x20;
    for (int i = 0; punct[i]; ++i)
        if (punct[i] == c)
            return 0xB0 + i;
    return -1;
}

// The spare codes in the order they are handed out (79 of them).
int spare_code(int index) {
    static const int ranges[][2] = {{0x01, 0x07}, {0x0A, 0x0B}, {0x0E, 0x1A}, {0x1C, 0x1F},
                                    {0x3A, 0x40}, {0x5B, 0x5F}, {0x6C, 0x6C}, {0x88, 0xAF}};
    for (const auto& r : ranges) {
        int n = r[1] - r[0] + 1;
        if (index < n)
            return r[0] + index;
        index -= n;
    }
    return 0;
}

// The first code point of UTF-8 text, 0 for none or a malformed lead byte.
int first_code_point(const char* text) {
    if (!text || !*text)
        return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    if (s[0] < 0x80)
        return s[0];
    int extra = s[0] >= 0xF0 ? 3 : s[0] >= 0xE0 ? 2 : s[0] >= 0xC0 ? 1 : -1;
    if (extra < 0)
        return 0;
    int cp = s[0] & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    return cp;
}

} // namespace

bool WIN_translate_key(WIN_key_state& state, int keycode, int scancode, int mod, bool down, bool repeat,
                       const char* text, WIN_key_event& out) {
    if (is_modifier_only(keycode))
        return false;
    int flags = 0;
    if (mod & KMOD_SHIFT)
        flags |= 1;
    if (mod & KMOD_ALT)
        flags |= 2;
    if (mod & KMOD_CTRL)
        flags |= 4;
    if (down && !repeat)
        flags |= 8;
    if (!down)
        flags |= 16;

    int unshifted = (keycode >= 1 && keycode <= 127) ? keycode : 0;
    int shifted = unshifted ? us_shifted(unshifted) : 0;

    // The typed character: what the text input said after a key-down; a key-up has none, so it is what the
    // key types in the current shift state. Control turns a letter into its control character.
    int character = 0;
    if ((flags & 4) && unshifted >= 'a' && unshifted <= 'z')
        character = unshifted & 0x1F;
    else if (down)
        character = first_code_point(text);
    else {
        int c = (flags & 1) ? shifted : unshifted;
        character = (c >= 0x20 && c < 0x7F) ? c : 0;
    }

    int code = pass_through_code(keycode, scancode);
    if (code < 0) {
        code = character_code(unshifted);
        if (code < 0 && shifted != unshifted)
            code = character_code(shifted);
    }
    if (code < 0) {
        auto it = state.spare_by_scancode.find(scancode);
        if (it != state.spare_by_scancode.end())
            code = it->second;
        else {
            code = state.spare_used < 79 ? spare_code(state.spare_used++) : 0;
            state.spare_by_scancode[scancode] = code;
        }
    }

    switch (code) {
    case 0x08:
    case 0x09:
    case 0x0D:
    case 0x1B:
        character = code;
        break;
    case 0x25:
        character = 28;
        break;
    case 0x27:
        character = 29;
        break;
    case 0x26:
        character = 30;
        break;
    case 0x28:
        character = 31;
        break;
    case 0x2E:
        character = 0;
        break;
    case 0x6E:
        character = '.';
        break;
    default:
        if (code >= 0x60 && code <= 0x69)
            character = '0' + (code - 0x60);
        break;
    }

    if (down && !repeat) {
        state.last_code = code;
        state.last_character = character;
    } else if (!down && code == state.last_code) {
        character = state.last_character;
    }
    if (flags == 0 && code == 0 && character == 0)
        return false;
    out.character = character;
    out.code = code;
    out.flags = flags;
    return true;
}
