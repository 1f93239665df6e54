// KEY_bindings: the key handler and the key bindings.
#include "ui/KEY_bindings.h"

#include "base/CMND_registry.h"
#include "ui/APP_frame.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

// The key binding object and the handler's hooks (main thread only).
struct key_state {
    int last_key = 0;
    int last_flags = 0;
    int delete_flag = 0;
    std::vector<key_binding> bindings;
    void (*command_hook)(int) = CMND_fire;
    bool (*focus_router)(int, int, int) = nullptr;
} keys;

} // namespace

void KEY_event(int character, int key, int flags) {
    if (character > 127)
        character = 0;
    if (keys.focus_router && keys.focus_router(character, key, flags))
        return;
    if (!(flags & KEY_FLAG_UP)) {
        APP_input_state& in = ui_state.input;
        if (key == 13 || key == 187)
            in.enter = 1;
        if (key == 27)
            in.esc = 1;
        if (key == 46 || key == 8)
            keys.delete_flag = 1;
        if (screen_state.screen_id != 0 && (in.enter || in.esc)) {
            if (APP_screen_is_dialog())
                APP_close_screen();
            return;
        }
    }
    keys.last_key = key;
    keys.last_flags = flags;
    if (screen_state.screen_id != 1000 && key != 0)
        KEY_fire(key, flags);
}

void KEY_fire(int key, int flags) {
    for (key_binding& b : keys.bindings) {
        if (b.key != key)
            continue;
        if (b.modifiers == (flags & KEY_FLAG_MODIFIERS) && (flags & KEY_FLAG_DOWN)) {
            keys.command_hook(b.command);
            b.held = 1;
        }
        if (b.held && (flags & KEY_FLAG_UP)) {
            keys.command_hook(b.command);
            b.held = 0;
        }
    }
}

void KEY_repeat() {
    for (const key_binding& b : keys.bindings)
        if (b.held)
            keys.command_hook(b.command);
}

void KEY_bindings_load(int save) {
    if (save)
        return;
    keys.bindings.assign(CMND_COUNT, key_binding());
    for (int i = 0; i < CMND_COUNT; ++i) {
        keys.bindings[i].key = CMND_builtin[i].key;
        keys.bindings[i].modifiers = CMND_builtin[i].mods & KEY_FLAG_MODIFIERS;
        keys.bindings[i].command = CMND_find(CMND_builtin[i].path);
    }
    std::erase_if(keys.bindings, [](const key_binding& b) { return b.key == 0; });
}

const std::vector<key_binding>& KEY_binding_list() { return keys.bindings; }
int KEY_last_key() { return keys.last_key; }
int KEY_last_flags() { return keys.last_flags; }
int KEY_delete_flag() { return keys.delete_flag; }
void KEY_clear_delete_flag() { keys.delete_flag = 0; }

void KEY_set_command_hook(void (*hook)(int command)) { keys.command_hook = hook ? hook : CMND_fire; }

void KEY_set_focus_router(bool (*router)(int character, int key, int flags)) { keys.focus_router = router; }
