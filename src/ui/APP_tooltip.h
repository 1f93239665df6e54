// APP_tooltip: the tooltip that a hovered widget leaves, and the mouse cursor.
//
// Once per frame on the wizard screen, and whenever a screen is set:
//   tooltip   drawn under the mouse once it rested more than 1 s; the text is emptied after every pass
//   cursor    id 2 (hidden) after 10 s of rest on screen 0; the arrow (0) on the toolkit's screens
//             991-1004; else the id the frame asked for
//   id <= 1   the system cursor shown; id 1 is a cursor the platform layer shows itself
//   id >= 2   the system cursor hidden; ids 3 and above are drawn from the interface atlas
// Rest is the frame clock's time since the last press or mouse move. Main thread only.
#pragma once

void APP_tooltip_and_cursor(int screen_id);

// The atlas rectangle (left, bottom, right, top, in texels) and hot-spot offset of cursor image `id` (3 and
// above); `dragging` picks the drag look of the text cursors 18 and 19.
struct APP_cursor_image {
    int left, bottom, right, top;
    int dx, dy;
};
APP_cursor_image APP_cursor_image_of(int id, bool dragging);

// Whether the toolkit believes the system cursor is shown.
bool APP_system_cursor_shown();
