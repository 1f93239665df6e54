// CMND_registry: the built-in commands named by slash paths, and the list of named actions.
#pragma once
#include <string>
#include <vector>

// One row of the built-in command table. `key` is a toolkit key code (0: no default key), `mods` its
// modifier flags (1 shift, 4 control); the key bindings turn every row with a key into a default binding.
struct cmnd_row {
    const char* enum_name;
    const char* path;
    const char* description; // English; the key of its translation
    int kind;                // 2 or 3; kept, read by nothing
    int key;
    int mods;
};

constexpr int CMND_COUNT = 40;
// The built-in table, in index order (index = row number).
extern const cmnd_row CMND_builtin[CMND_COUNT];

// Sizes the registry's arrays to the table and fills them (float slots -1.0). Run by this module's static
// initialiser; calling it again rebuilds the same contents.
void CMND_registry_init();
// Releases the registry's arrays; run at exit.
void CMND_registry_destroy();

// The index of the command whose path equals `path` exactly (byte-wise, whole length); 0 ("sim/none/none")
// when none does.
int CMND_find(const std::string& path);
// The path of command `index`; "" for an index outside the table.
std::string CMND_path_at(int index);
// The description of command `index` translated through table 0; "" when it is empty or the index is
// outside the table.
std::string CMND_description_at(int index);
// Clears `out`, then adds, in table order and once each, the next component below `prefix` of every
// command path that is longer than the prefix and begins with it: up to and including the next '/', or
// the whole rest when no '/' follows. "" gives {"sim/"}; "sim/" gives {"none/", "operation/", "general/"}.
void CMND_list_children(const std::string& prefix, std::vector<std::string>& out);

// The hook that key bindings and menus fire with a command index (on key down, while held and on key up).
// The commands have no effect of their own in this program: it does nothing.
void CMND_fire(int index);

// A named action. The node belongs to whoever registers it (usually a global) and must live for the run.
struct CMND_action {
    CMND_action* next = nullptr;
    void (*callback)() = nullptr;
    const char* label = nullptr;
    int id = 0;
};

// Fills the node (id from a counter that starts at 1) and pushes it on the front of the list. Runs during
// static initialisation or on the main thread; not for concurrent use.
void CMND_add_action(CMND_action* node, const char* label, void (*callback)());
// Marks the action list ready; start-up calls it once.
void CMND_actions_ready();
bool CMND_actions_are_ready();
// The most recently registered action (the list's head), or null; follow `next` for the older ones.
CMND_action* CMND_first_action();
