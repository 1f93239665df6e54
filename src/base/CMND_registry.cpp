// CMND_registry: the built-in commands named by slash paths, and the list of named actions.
#include "base/CMND_registry.h"

#include <algorithm>

#include "base/LANG_localise.h"

// Key codes: 0x20 space, 0x25-0x28 left/up/right/down, 0x45 E, 0x46 F, 0x51 Q, 0x52 R, 0xB0 '=', 0xB1 '-',
// 0xB7 ',', 0xB9 '.'.
const cmnd_row CMND_builtin[CMND_COUNT] = {
    {"cmnd_nothing", "sim/none/none", "Do nothing at all!", 3, 0, 0},
    {"cmnd_scrshot", "sim/operation/screenshot", "Take a screenshot.", 2, 0x20, 1},
    {"cmnd_qtim", "sim/operation/quicktime_record_toggle", "Toggle recording of QuickTime movie.", 2, 0x20,
     4},
    {"cmnd_quit", "sim/operation/quit", "Quit the simulation.", 2, 0, 0},
    {"cmnd_gen_lft", "sim/general/left", "General command: left.", 3, 0x25, 0},
    {"cmnd_gen_rgt", "sim/general/right", "General command: right.", 3, 0x27, 0},
    {"cmnd_gen_up", "sim/general/up", "General command: up.", 3, 0x26, 0},
    {"cmnd_gen_dn", "sim/general/down", "General command: down.", 3, 0x28, 0},
    {"cmnd_gen_for", "sim/general/forward", "General command: forward.", 3, 0xB9, 0},
    {"cmnd_gen_aft", "sim/general/backward", "General command: backward.", 3, 0xB7, 0},
    {"cmnd_gen_zoom_in", "sim/general/zoom_in", "General command: zoom in.", 3, 0xB0, 0},
    {"cmnd_gen_zoom_out", "sim/general/zoom_out", "General command: zoom out.", 3, 0xB1, 0},
    {"cmnd_gen_fast_lft", "sim/general/left_fast", "General command: left fast.", 3, 0x25, 1},
    {"cmnd_gen_fast_rgt", "sim/general/right_fast", "General command: right fast.", 3, 0x27, 1},
    {"cmnd_gen_fast_up", "sim/general/up_fast", "General command: up fast.", 3, 0x26, 1},
    {"cmnd_gen_fast_dn", "sim/general/down_fast", "General command: down fast.", 3, 0x28, 1},
    {"cmnd_gen_fast_for", "sim/general/forward_fast", "General command: forward fast.", 3, 0xB9, 1},
    {"cmnd_gen_fast_aft", "sim/general/backward_fast", "General command: backward fast.", 3, 0xB7, 1},
    {"cmnd_gen_fast_zoom_in", "sim/general/zoom_in_fast", "General command: zoom in fast.", 3, 0xB0, 1},
    {"cmnd_gen_fast_zoom_out", "sim/general/zoom_out_fast", "General command: zoom out fast.", 3, 0xB1, 1},
    {"cmnd_gen_slow_lft", "sim/general/left_slow", "General command: left slow.", 2, 0x25, 4},
    {"cmnd_gen_slow_rgt", "sim/general/right_slow", "General command: right slow.", 2, 0x27, 4},
    {"cmnd_gen_slow_up", "sim/general/up_slow", "General command: up slow.", 2, 0x26, 4},
    {"cmnd_gen_slow_dn", "sim/general/down_slow", "General command: down slow.", 2, 0x28, 4},
    {"cmnd_gen_slow_for", "sim/general/forward_slow", "General command: forward slow.", 2, 0xB9, 4},
    {"cmnd_gen_slow_aft", "sim/general/backward_slow", "General command: backward slow.", 2, 0xB7, 4},
    {"cmnd_gen_slow_zoom_in", "sim/general/zoom_in_slow", "General command: zoom in slow.", 2, 0xB0, 4},
    {"cmnd_gen_slow_zoom_out", "sim/general/zoom_out_slow", "General command: zoom out slow.", 2, 0xB1, 4},
    {"cmnd_rot_up", "sim/general/rot_up", "General command: tilt up.", 3, 0x52, 0},
    {"cmnd_rot_dn", "sim/general/rot_down", "General command: tilt down.", 3, 0x46, 0},
    {"cmnd_rot_lft", "sim/general/rot_left", "General command: pan left.", 3, 0x51, 0},
    {"cmnd_rot_rgt", "sim/general/rot_right", "General command: pan right.", 3, 0x45, 0},
    {"cmnd_rot_fast_up", "sim/general/rot_up_fast", "General command: tilt up fast.", 3, 0x52, 1},
    {"cmnd_rot_fast_dn", "sim/general/rot_down_fast", "General command: tilt down fast.", 3, 0x46, 1},
    {"cmnd_rot_fast_lft", "sim/general/rot_left_fast", "General command: pan left fast.", 3, 0x51, 1},
    {"cmnd_rot_fast_rgt", "sim/general/rot_right_fast", "General command: pan right fast.", 3, 0x45, 1},
    {"cmnd_rot_slow_up", "sim/general/rot_up_slow", "General command: tilt up slow.", 2, 0x52, 4},
    {"cmnd_rot_slow_dn", "sim/general/rot_down_slow", "General command: tilt down slow.", 2, 0x46, 4},
    {"cmnd_rot_slow_lft", "sim/general/rot_left_slow", "General command: pan left slow.", 2, 0x51, 4},
    {"cmnd_rot_slow_rgt", "sim/general/rot_right_slow", "General command: pan right slow.", 2, 0x45, 4},
};

namespace {

// The command registry and the action list. The arrays are filled by this file's static initialiser and
// read-only afterwards, so any thread may read them during the run. The action list is written during
// static initialisation and by start-up on the main thread; it is constant-initialised so that actions of
// other files may register before this file's initialisers run.
struct cmnd_state {
    std::vector<std::string> names, paths, descriptions;
    std::vector<int> kinds;
    std::vector<int> int_slots;
    std::vector<float> float_slots;
    CMND_action* actions = nullptr;
    int next_action_id = 1;
    bool actions_ready = false;
};
constinit cmnd_state state;

struct registry_lifetime {
    registry_lifetime() { CMND_registry_init(); }
    ~registry_lifetime() { CMND_registry_destroy(); }
} lifetime;

bool valid_index(int index) { return index >= 0 && static_cast<size_t>(index) < state.paths.size(); }

} // namespace

void CMND_registry_init() {
    state.names.assign(CMND_COUNT, std::string());
    state.paths.assign(CMND_COUNT, std::string());
    state.descriptions.assign(CMND_COUNT, std::string());
    state.kinds.assign(CMND_COUNT, 0);
    state.int_slots.assign(CMND_COUNT, 0);
    state.float_slots.assign(CMND_COUNT, -1.0f);
    for (int i = 0; i < CMND_COUNT; ++i) {
        state.names[i] = CMND_builtin[i].enum_name;
        state.paths[i] = CMND_builtin[i].path;
        state.descriptions[i] = CMND_builtin[i].description;
        state.kinds[i] = CMND_builtin[i].kind;
    }
}

void CMND_registry_destroy() {
    state.names.clear();
    state.paths.clear();
    state.descriptions.clear();
    state.kinds.clear();
    state.int_slots.clear();
    state.float_slots.clear();
}

int CMND_find(const std::string& path) {
    for (size_t i = 0; i < state.paths.size(); ++i)
        if (state.paths[i] == path)
            return static_cast<int>(i);
    return 0;
}

std::string CMND_path_at(int index) { return valid_index(index) ? state.paths[index] : std::string(); }

std::string CMND_description_at(int index) {
    if (!valid_index(index) || state.descriptions[index].empty())
        return std::string();
    std::string out;
    LANG_translate(out, state.descriptions[index], 0);
    return out;
}

void CMND_list_children(const std::string& prefix, std::vector<std::string>& out) {
    out.clear();
    for (const std::string& path : state.paths) {
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
            continue;
        size_t slash = path.find('/', prefix.size());
        std::string child = path.substr(
            prefix.size(), slash == std::string::npos ? std::string::npos : slash + 1 - prefix.size());
        if (std::find(out.begin(), out.end(), child) == out.end())
            out.push_back(child);
    }
}

void CMND_fire(int index) { (void)index; }

void CMND_add_action(CMND_action* node, const char* label, void (*callback)()) {
    node->callback = callback;
    node->label = label;
    node->id = state.next_action_id++;
    node->next = state.actions;
    state.actions = node;
}

void CMND_actions_ready() { state.actions_ready = true; }

bool CMND_actions_are_ready() { return state.actions_ready; }

CMND_action* CMND_first_action() { return state.actions; }
