// BTN_text_field: keyboard focus and key routing for the immediate-mode widgets, and the single-line text
// field on the text-edit engine.
//
// DESIGN: the focus id and the per-frame focus list live in ui_state (widget_state.h). A focusable widget
// registers itself each frame it is drawn; the key handler offers every key to BTN_route_key, which moves
// the focus on Tab or queues the key for the focused widget when its accept mask takes it. The text fields
// share one 64-entry queue and one edit state, which serves whichever field has the focus. A key that finds
// the queue full is dropped (and counts as taken); entries for a widget that lost the focus are discarded
// before the next key is queued, so a field that vanished cannot block the others, and whenever the focus
// moves, so that no key waits for a later visit of its field. Keys come before the events that follow them:
// while keys routed in this frame wait, the event loop keeps a press, Tab, Return or Escape for the next
// frame (BTN_keys_waiting), and the focused field takes the keys when it draws in between. Keys come after
// the events that precede them too: the loop ends its drain once it took such an event, so the keys behind
// it are routed after a frame gave the focus to the widget clicked or tabbed to.
//
// Keys a text field takes (mask 0x3F4), and what it does with them:
// | keys                         | effect                                                       |
// |------------------------------|--------------------------------------------------------------|
// | Backspace                    | deletes the selection or the character before the cursor    |
// | arrows (characters 28 to 31) | move the cursor; with Shift they move the selection's end    |
// | printable characters         | replace the selection                                        |
// | Ctrl+X, Ctrl+C, Ctrl+V       | cut, copy and paste through the system clipboard             |
// | Delete, Home, End, PgUp/PgDn | taken and ignored, as is any other control character         |
// Tab moves the focus; Return and Esc go on to the key handler's flags. Main thread only.
#pragma once
#include <string>

#include "ui/widget_state.h"

// Accept-mask bits: the key classes of BTN_key_class.
enum : int {
    BTN_KEYS_TAB = 0x001,
    BTN_KEYS_ENTER = 0x002,  // 13 and 187
    BTN_KEYS_DELETE = 0x004, // Backspace (8) and Delete (46)
    BTN_KEYS_ESCAPE = 0x008,
    BTN_KEYS_NAVIGATE = 0x010, // key codes 33 to 40
    BTN_KEYS_LETTER = 0x020,
    BTN_KEYS_DIGIT = 0x040,
    BTN_KEYS_SIGN = 0x080,      // '+' and '-'
    BTN_KEYS_PRINTABLE = 0x100, // other printable characters and any character of 128 or more
    BTN_KEYS_CLIPBOARD = 0x200, // Ctrl+V, Ctrl+C, Ctrl+X
    BTN_KEYS_OTHER = 0x400,
    BTN_TEXT_FIELD_KEYS = 0x3F4,
};

// The class bit of a key event: the key codes first (8/46, 9, 13/187, 27, 33-40), then the character
// ('+'/'-', digits, letters, printable or 128 and above), then the three Ctrl keys; else BTN_KEYS_OTHER.
int BTN_key_class(int character, int key, int flags);

// Appends an entry for the widget to this frame's focus list; a non-zero `take` gives it the focus first.
// `queue` (not owned) receives its keys, up to `capacity` entries. True when the widget holds the focus.
bool BTN_focus_register(int id, BTN_key_queue* queue, int capacity, int accept_mask, int take);
// The position of the widget in the focus list, or -1.
int BTN_focus_index(int id);
// Offers a key event (character, key code, flags 1 shift 4 control 8 down 16 up) to the focused widget.
// True when it was taken: a Tab that moved the focus, or a key queued for (or dropped at the full queue of)
// the focused widget. While the alert screen (994) is current nothing is taken.
bool BTN_route_key(int character, int key, int flags);

// True while keys routed since the frame began wait in the focused widget's queue. The event loop then
// keeps an event that would move the focus for the next frame, so that the widget, drawn in between, takes
// the keys typed before it (the frame clock takes the focus at a press, before any widget draws).
bool BTN_keys_waiting();

// A single-line text field whose text box runs from x to x + width, baseline y - 1; identity
// trunc(x) * 8192 + trunc(y). A click in the box (or, with take_focus, no focus elsewhere) gives it the
// focus; the queued keys edit `text`, which is then cut to at most max_length bytes at a character
// boundary. A field that takes the focus selects its whole text; a text its owner changed while the field
// kept the focus gets the caret at its end, nothing selected. The label's parts go left of the box, right
// of it, and into the tooltip. True in the frame in which the text was changed.
bool BTN_text_field(float x, float y, std::string& text, int max_length, const std::string& label,
                    float width, int take_focus);

// The focused field takes the keys queued for it that no frame of it took: a dialog whose loop a quit ended
// in the frame the keys came keeps what was typed before it (a key or a press that moves the focus waits
// for the frame that takes the keys, and needs no flush). Called once the field is drawn no more, while the
// text it edited still lives.
void BTN_text_field_flush();

// ---- For tests.
struct text_edit_state;
struct text_edit_callbacks;
// The shared key queue of the text fields.
const BTN_key_queue& BTN_text_field_queue();
// The shared edit state, bound to a field at (x, y) of that width editing `text` as if it had the focus.
text_edit_state& BTN_text_field_bind(float x, float y, float width, std::string* text);
// The edit callbacks the fields install.
const text_edit_callbacks& BTN_text_field_callbacks();
// The focused (or bound) field's scroll offsets, modified flag and selection.
struct BTN_text_field_status {
    float scroll_x, scroll_y;
    int modified;
    int sel_start, sel_end;
};
BTN_text_field_status BTN_text_field_inspect();
