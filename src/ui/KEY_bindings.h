// KEY_bindings: the key handler of the main window and the key bindings built from the command table.
//
// Every key event of the main window arrives here from the input callbacks, already translated by the
// platform layer (code, flag word, character). The handler offers it to the keyboard focus first, then
// turns Return, Esc and the deleting keys into per-frame flags that the modal screens and the alert read,
// closes the closable dialog screens, and fires the bindings. Main thread only.
#pragma once
#include <vector>

// Flag word of a key event: 1 shift, 2 alt, 4 control (the modifier bits), 8 went down, 16 went up.
constexpr int KEY_FLAG_MODIFIERS = 7;
constexpr int KEY_FLAG_DOWN = 8;
constexpr int KEY_FLAG_UP = 16;

struct key_binding {
    int key = 0;       // key code; 0 means unbound
    int modifiers = 0; // required modifier bits (mask 7)
    int command = 0;   // index of the command in the built-in table
    int held = 0;      // 1 from the press that fired it until its release
};

// The handler: (1) a character above 127 counts as 0; (2) the keyboard focus may take the event (then
// nothing else happens); (3) unless it is a release, Return (13) or key 187 set the Enter flag, Esc (27)
// the Esc flag, Delete (46) or Backspace (8) the delete flag; on a screen other than 0 a set Enter or Esc
// flag then closes a closable dialog (APP_screen_is_dialog) and stops, or just stops on any other screen;
// (4) the key and its flags become the last key; (5) except on screen 1000, a non-zero key fires the
// bindings (KEY_fire).
void KEY_event(int character, int key, int flags);
// For each binding of `key`: a press (flag 8) with exactly its modifiers runs its command and holds it;
// then a release (flag 16) of a held binding runs the command once more and releases it, whatever the
// modifiers of the release.
void KEY_fire(int key, int flags);
// Runs the command of every held binding once (the frame callback, once per frame).
void KEY_repeat();
// 0: rebuilds the bindings from the 40 rows of the built-in command table (key and modifiers from the row's
// default key, command from CMND_find of its path) and drops the unbound ones, keeping the order. Non-zero
// (the exit's save): nothing, the bindings are not stored.
void KEY_bindings_load(int save);

// The bindings in their order.
const std::vector<key_binding>& KEY_binding_list();
// The last key that passed the handler's flag step, and its flag word.
int KEY_last_key();
int KEY_last_flags();
// The per-frame delete flag (Delete or Backspace went down); cleared by KEY_clear_delete_flag at the start
// of every frame. The Enter and Esc flags live in the input state (ui_state.input).
int KEY_delete_flag();
void KEY_clear_delete_flag();

// The command hook that bindings run with a command index: CMND_fire, which does nothing in this program.
// Replaceable for tests; null restores CMND_fire.
void KEY_set_command_hook(void (*hook)(int command));
// The keyboard-focus router of step 2 (the text fields' BTN_route_key): true when it took the event. None
// is installed until the focus machinery is; null removes it.
void KEY_set_focus_router(bool (*router)(int character, int key, int flags));
