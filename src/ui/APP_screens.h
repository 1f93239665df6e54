// APP_screens: the screen table and APP_set_screen, which makes a screen current and centres its view.
//
// | id     | screen                                  | id   | screen                     |
// |--------|-----------------------------------------|------|----------------------------|
// | -1     | start-up, view 1024 x 768               | 0    | the wizard, the whole view |
// | 994    | the alert ("BE ADVISED")                | 996  | modified-file question     |
// | 997    | two-button question                     | 998  | general preferences        |
// | 999    | "Open" chooser                          | 1000 | "Save" chooser             |
// Ids 991 to 1004 are the toolkit's own modal screens; the table below gives titles and view sizes.
// Main thread only.
#pragma once

// A row of the screen table: id, English title (null: the title stays as it is), logical view size (0:
// the drawable size).
struct APP_screen_entry {
    int id;
    const char* title;
    float width;
    float height;
};
// The row of `id`, or null for an id the table does not hold (0 included), whose view is the drawable.
const APP_screen_entry* APP_screen_lookup(int id);

// The view origin that centres a vw x vh view in a w x h drawable at UI scale s: a drawable wider than
// two screens but narrower than three (2h < w < 3h) centres on its left half; each coordinate is
// max(0, trunc(round(0.5 (w - s vw)) / s)), rounding half away from zero.
void APP_screen_origin(float w, float h, float s, float vw, float vh, float* origin_x, float* origin_y);

// Makes `id` current: clears the focus list and the keyboard focus, runs the tooltip and cursor routine,
// sets the screen view up, takes the table's translated title and view size (else the drawable size),
// releases the captured widget, centres the view, clears the click edges and the text drag, and resets the
// popup menu. Also sets the screen-set flag that the start-up status box waits for.
void APP_set_screen(int id);
// True once APP_set_screen ran.
bool APP_screen_was_set();
// The toolkit's own modal screens: 991 <= id <= 1004.
bool APP_is_toolkit_screen(int id);
