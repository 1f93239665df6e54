// widget_state: the state that the immediate-mode widgets share with the frame callbacks and the menus.
#include "ui/widget_state.h"

// Main thread only.
ui_shared_state ui_state;

void BTN_focus_list_clear() { ui_state.focus_list.clear(); }

void BTN_clear_focus() { ui_state.focus_id = 0; }
