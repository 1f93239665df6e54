// OGL_text_record: an optional record of where texts are drawn, for checking layouts without reading
// pixels.
//
// DESIGN: off by default, and then every call here is a cheap no-op. While recording, each
// OGL_draw_string call runs in OpenGL feedback mode (nothing reaches the frame buffer) and its glyph quads,
// as the drawing code produced them, become one record: the text, the font mode, the glyph rectangles in
// view units and the box of the widget it belongs to (the innermost box scope open at the time) and the
// scissor box clipping it. Pictures that stand for words (the wizard's word buttons) are added as records
// by their drawers. Main thread only.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// A rectangle in view units, y up: [x0, x1] x [y0, y1].
struct OGL_text_rect {
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
};

struct OGL_drawn_text {
    std::string text;
    int font_mode = 0;                 // as OGL_draw_string's; -1 for a picture of words
    std::vector<OGL_text_rect> glyphs; // drawn quads (one for a picture of words)
    OGL_text_rect ink;                 // their union
    std::string box_name;              // "" when drawn outside every box scope
    int box_serial = 0;                // tells apart two boxes of the same name and place
    OGL_text_rect box;
    bool clipped = false; // a scissor box clips the text
    OGL_text_rect clip;
};

// The outline of a widget with a border (a button, a field, a popup): texts of other widgets keep off it.
struct OGL_drawn_frame {
    std::string name;
    int serial = 0; // the serial of the box scope that drew it
    OGL_text_rect rect;
};

// Starts a new record (clearing the previous one) or stops recording; the records stay until the next start.
void OGL_text_record_start();
void OGL_text_record_stop();
bool OGL_text_recording();
const std::vector<OGL_drawn_text>& OGL_text_recorded();
const std::vector<OGL_drawn_frame>& OGL_text_recorded_frames();

// Records one OGL_draw_string call: constructed in it after its empty-text check, before any glyph is drawn;
// the record is taken when it goes out of scope.
class OGL_text_record_scope {
  public:
    OGL_text_record_scope(std::string_view text, int font_mode);
    ~OGL_text_record_scope();
    OGL_text_record_scope(const OGL_text_record_scope&) = delete;
    OGL_text_record_scope& operator=(const OGL_text_record_scope&) = delete;

  private:
    bool active_ = false;
    std::string_view text_;
    int font_mode_ = 0;
};

// The box (view units) that the texts drawn while it lives belong to: a button, a field, a panel. A box
// whose `outline` is given also records that outline as a frame (a panel's border is its box).
class OGL_text_box_scope {
  public:
    OGL_text_box_scope(const char* name, float x0, float y0, float x1, float y1,
                       const OGL_text_rect* outline = nullptr);
    ~OGL_text_box_scope();
    OGL_text_box_scope(const OGL_text_box_scope&) = delete;
    OGL_text_box_scope& operator=(const OGL_text_box_scope&) = delete;

  private:
    bool active_ = false;
};

// Adds the outline of a picture that texts keep off (a map), drawn outside every box scope.
void OGL_text_record_frame(const char* name, const OGL_text_rect& rect);
// Adds a picture of words drawn at that rectangle, inside the current box scope.
void OGL_text_record_picture(const std::string& words, const OGL_text_rect& rect);
