// widget_state: the state that the immediate-mode widgets share with the frame callbacks, the menus, the
// key handler and the text fields: the frame's input, the menu layer's captured id, the keyboard focus and
// its per-frame focus list, the text field's drag flag, the tooltip text and the current screen title.
//
// DESIGN: one record, written by the input callbacks and the frame callback (issue 10's modules), read and
// written by the widgets while they are drawn. Keeping it in one place lets a test script the input of each
// frame and call a widget. Main thread only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Mouse buttons the input state keeps: 0 left, 1 right, 2 middle.
constexpr int APP_MOUSE_BUTTONS = 3;

// The frame's input. Floats are view units with y up, relative to the view origin.
struct APP_input_state {
    float mouse_x = 0.0f, mouse_y = 0.0f;
    int click[APP_MOUSE_BUTTONS] = {};   // went down in this frame (0 and 1 cleared at each frame start)
    int release[APP_MOUSE_BUTTONS] = {}; // went up in this frame (0 and 1 cleared at each frame start)
    // The last press of each button as the menu layer recorded it (time in frame-clock seconds).
    float press_time[APP_MOUSE_BUTTONS] = {-1.0e6f, -1.0e6f, -1.0e6f};
    float press_x = 0.0f, press_y = 0.0f;
    int enter = 0, esc = 0; // set by the key handler, cleared at each frame start
    int cursor_id = 0;      // the cursor requested for the frame: 0 arrow, 1 platform, 2 hidden, 3+ images
    int first_frame = 0;    // set once by the first start-of-frame callback
    // The media-arrived and devices-changed flags live with the platform callbacks (APP_media_arrived).
};

// One widget's key queue: parallel arrays of `capacity` entries and the count of used ones. Owned by the
// widget that registers it (the text fields share one).
struct BTN_key_queue {
    int* characters = nullptr;
    int* keys = nullptr;
    int* flags = nullptr; // 1 shift, 4 control, 16 key up
    int* targets = nullptr;
    int count = 0;
};

// One entry of the focus list: a focusable widget drawn in this frame, in drawing order.
struct BTN_focus_entry {
    int id = 0;                     // the widget's identity
    BTN_key_queue* queue = nullptr; // where its keys go (not owned)
    int capacity = 0;               // entries the queue holds (64)
    int accept_mask = 0;            // which keys the widget takes (text fields: 0x3F4)
};

struct ui_shared_state {
    APP_input_state input;
    int captured_id = -1; // the menu layer's widget holding the mouse; widgets react only while it is -1
    int focus_id = 0;     // the keyboard-focus widget, 0 for none; survives from frame to frame
    std::vector<BTN_focus_entry> focus_list; // rebuilt every frame
    int text_drag = 0;                       // a text field's selection drag is under way
    std::string tooltip;                     // set by the hovered widget, drawn and emptied once per frame
    std::string screen_title;                // the current screen's title (BTN_dialog_frame draws it)
};

// The shared state (main thread only).
extern ui_shared_state ui_state;

// Empties the focus list (the frame callback does it every frame, and so does a screen change).
void BTN_focus_list_clear();
// The keyboard focus goes to no widget (id 0).
void BTN_clear_focus();
