// BTN_widgets: the immediate-mode widgets drawn from the interface atlases: strips and frames, dialog
// backgrounds and panels, push buttons, check boxes, radios, the corner buttons and labels.
//
// Each widget is a plain function called on every frame: it draws itself and says by its result whether it
// was activated in this frame. It reads the frame's input from ui_state (widget_state.h), reacts to the
// mouse only while no menu holds it (captured id -1), and leaves its tooltip text in ui_state when hovered.
// Push buttons act on the release inside the button that was pressed; check boxes and radios on the press.
// Atlases: 1021 the interface atlas (512 x 512), 1022 the element atlas of the language (1024 x 128).
// Main thread only, inside the frame callback.
#pragma once
#include <string>

#include "ui/OGL_text_record.h"

// A three-slice strip centred on (x, y), `width` wide (rounded to whole units), styles 1-13. Another style
// raises the kind-3 alert "Bad BTN_frame1 call!".
void BTN_frame1(int style, float x, float y, float width, int colour);
// While it lives, everything drawn is scaled by k about the view point (x, y): a text drawn smaller to fit.
class BTN_scale_scope {
  public:
    BTN_scale_scope(float x, float y, float k);
    ~BTN_scale_scope();
    BTN_scale_scope(const BTN_scale_scope&) = delete;
    BTN_scale_scope& operator=(const BTN_scale_scope&) = delete;
};

// The rectangle BTN_frame1 covers with those arguments (a style outside 1-13 counts as 1 or 13).
OGL_text_rect BTN_frame1_rect(int style, float x, float y, float width);
// A nine-slice frame whose inner rectangle has its lower-left corner at (x, y), grown by the style's
// outsets, with its caption; styles 14-23 (another raises "Bad BTN_frame2 call!"). Style 14 also draws a
// close box in the top right corner except on screen 0 and the modal screens 994-997 and 999-1003.
void BTN_frame2(int style, float x, float y, float width, float height, const std::string& caption,
                float alpha);
// The background of the current modal screen: a black band 12 wide round the frame's outer edge (it covers
// what lies under the dialog's edges), frame 14 (closable) or 15 with the screen title, then inner style 2 (a
// strip under the title), 24 (nothing) or a frame of that style inside.
void BTN_dialog_frame(int closable, int inner_style);
// A framed panel. Negative x or y become 10; a negative width reaches 10 short of the view's right edge, a
// negative height 28 + top_reserve short of its top. Writes x + width + 10 and y + height + 10 to the
// out values when given.
void BTN_panel(float top_reserve, int style, float x, float y, float width, float height,
               const std::string& caption, float* out_right = nullptr, float* out_top = nullptr);

// A push button centred on x, its label's first part centred on it, hit within x +- width/2 and y +- 10.
// A width of 0 or less is the label's width + 21. A label wider than the button less 6 on either side is
// drawn smaller to fit (the same font, scaled down about the label's centre). Styles 0 and 2 show the pressed
// look while `state` is non-zero. The caption (unless "-") is drawn right of the button. True in the frame it
// is clicked.
bool BTN_push(float x, float y, float width, int state, int style, const std::string& label,
              const std::string& caption);
// The width of a push button whose label's first part fits in it with the usual margins.
float BTN_push_width_for(const std::string& label);
// Forgets the pressed push button (a screen change, so that a press on one screen never clicks on another).
void BTN_push_reset();
// A check box centred on (x, y + 3): toggles *value (0 <-> 1) when pressed within x +- 8, y - 4 to y + 12,
// and returns true in that frame. The label's left part goes left of the box, its right part right of it,
// its tip part becomes the tooltip. Look 0 is the plain box, any other the radio look.
bool BTN_check(float x, float y, int* value, const std::string& label, int look);
// A radio: ticked while *value == option; a click that ticks it sets *value to option; one already
// selected stays selected. Returns the check box's result.
bool BTN_radio(float x, float y, int* value, const std::string& label, int option);

// The dialogs' one close box, 18 x 18 in the top right corner of the view (centre row 206 of the atlas when
// pressed, else 187), where APP_close_box_hit takes a click.
void BTN_close_box(int pressed);
// The two 18 x 18 close boxes in the top corners of the view (centre row 206 of the atlas with the style
// flag, else 187). Returns 1 as soon as a click lands on one, leaving the second undrawn; else 0.
int BTN_corner_buttons(int style_flag);

// A label in one or two lines: mode 0 right-aligned to x, 1 centred on x, 2 left-aligned from x.
void BTN_draw_label(float x, float y, int mode, const std::string& text, int highlight);
// The lines BTN_draw_label draws. A leading '-' is dropped and the text is never split. In modes 0 and 2
// a text longer than 12 bytes is split at the blank, '-' or '/' nearest its middle byte (the first of equal
// ones, never at 0): a blank is dropped, '-' and '/' stay at the end of the first line; no split when the
// first line would be empty or the second shorter than 2 bytes. Returns true when split.
bool BTN_label_lines(const std::string& text, int mode, std::string& first, std::string& second);
