// WIN_keys: translation of SDL key events into the toolkit's key codes, characters and flags.
//
// Key codes: the pass-through keys keep the Windows virtual-key numbers (8 backspace, 9 tab, 0x0C clear,
// 0x0D return, 0x1B escape, 0x20..0x2F space to help with left 0x25 up 0x26 right 0x27 down 0x28, keypad
// 0x60..0x6F, F1..F24 0x70..0x87); a key whose unshifted or US-shifted character is a letter, digit, space or
// one of = - ] [ ' ; \ , / . ` gets that character's code (0x41..0x5A, 0x30..0x39, 0x20, 0xB0..0xBA); every
// other key gets, the first time it is seen, the next of 79 spare codes (by scancode), then 0.
// Flags: 1 shift, 2 alt, 4 control, 8 went down (not a repeat), 16 went up.
#pragma once
#include <map>

struct WIN_key_event {
    int character = 0;
    int code = 0;
    int flags = 0;
};

// The translation's memory: the spare codes handed out and the last key that went down.
struct WIN_key_state {
    std::map<int, int> spare_by_scancode;
    int spare_used = 0;
    int last_code = -1;
    int last_character = 0;
};

// keycode, scancode and mod are SDL's values (keycode as SDL_GetKeyFromScancode gives it); `text` is the
// UTF-8 of the SDL_TEXTINPUT that followed a key-down (null or "" when none). Returns false when nothing is
// to be sent: modifier-only keys, and events whose character, code and flags are all 0.
bool WIN_translate_key(WIN_key_state& state, int keycode, int scancode, int mod, bool down, bool repeat,
                       const char* text, WIN_key_event& out);
