// TXE_edit: a small text-editing engine. It keeps a selection and a table of line starts over a UTF-8
// text it does not own, and reaches the text, the geometry and the drawing only through a table of 16
// callbacks, so the same logic serves any host (the text field is its one user).
//
// DESIGN: offsets are byte offsets into the host's text; the selection is kept normalised (start <= end,
// both within the text) after every change, and the view follows the cursor (the active end). Rectangles
// are left, bottom, right, top with y up. Main thread only.
#pragma once
#include <string_view>
#include <vector>

struct text_edit_state;

// The host's side, in slot order. Every entry must be set (slot 9 is kept for the host's use; the engine
// never calls it).
struct text_edit_callbacks {
    void (*field_rect)(text_edit_state& s, float rect[4]);                     // 0 the visible field
    void (*text_rect)(text_edit_state& s, float rect[4]);                      // 1 the scrolled text area
    void (*content_height)(text_edit_state& s, float height);                  // 2 lines x line height
    void (*set_scroll)(text_edit_state& s, float x, float y);                  // 3 new scroll offsets
    std::string_view (*text)(text_edit_state& s);                              // 4 the text's bytes
    void (*replace)(text_edit_state& s, int i, int j, std::string_view bytes); // 5 [i, j) := bytes
    float (*line_height)(text_edit_state& s);                                  // 6
    float (*measure)(text_edit_state& s, const char* begin, const char* end);  // 7 width of a range
    // 8: bytes from `begin` that fit `width` (whole characters).
    int (*fit_forward)(text_edit_state& s, const char* begin, const char* end, float width);
    // 9: bytes of the range's tail that fit `width`.
    int (*fit_backward)(text_edit_state& s, const char* begin, const char* end, float width);
    // 10: draws one line's bytes with its left and bottom.
    void (*draw_text)(text_edit_state& s, float x, float y, const char* begin, const char* end);
    // 11: a selection rectangle, or the caret when left == right.
    void (*draw_rect)(text_edit_state& s, const float rect[4]);
    // 12: the position after the white space and then the non-white-space that follow p.
    const char* (*word_end)(text_edit_state& s, const char* p, const char* end);
    // 13: the position after the UTF-8 character at p.
    const char* (*next_char)(text_edit_state& s, const char* p, const char* end);
    // 14: the offset of the next character; at or past the end, offset + 1.
    int (*next_offset)(text_edit_state& s, int offset);
    // 15: the offset of the previous character; 0 gives -1.
    int (*prev_offset)(text_edit_state& s, int offset);
};

struct text_edit_state {
    text_edit_callbacks cb;
    float user = 0.0f;
    std::vector<int> line_starts{0};
    int sel_start = 0;
    int sel_end = 0;
    int active_end = 1;        // 1: the end moves (and is the cursor); 0: the start does
    float preferred_x = -1.0f; // x kept across vertical moves; -1 none
};

// A new state with a copy of the table: selection 0, 0, active end 1, no preferred x. Owned by the caller.
text_edit_state* TXE_create(const text_edit_callbacks& callbacks, float user);

void TXE_get_selection(const text_edit_state& s, int* start, int* end);
// Sets and normalises the selection (swapped when end < start, which flips the active end; clamped to the
// text), then keeps the cursor in view.
void TXE_set_selection(text_edit_state& s, int start, int end);

// Recomputes the line starts for the width of the text rectangle and reports the content height.
void TXE_layout(text_edit_state& s);

// The key handler: 8 Backspace, 28 left, 29 right, 30 up, 31 down; any other byte replaces the selection.
void TXE_key(text_edit_state& s, unsigned char byte, int shift);
// One typed character as UTF-8: a single byte goes to TXE_key, more replace the selection.
void TXE_input(text_edit_state& s, int count, const char* bytes, int shift);
// Replaces [i, j) with the bytes, moving the selection with the edit: text pasted over a selection ends up
// selected, and over none the cursor ends after it. Then lays out and keeps the cursor in view.
void TXE_replace(text_edit_state& s, int i, int j, std::string_view bytes);

// Mouse placement at a point of the view; `extend` moves the nearer end of the selection instead.
void TXE_click(text_edit_state& s, float x, float y, int extend);
// Moves the active end to the point.
void TXE_drag(text_edit_state& s, float x, float y);

// Draws the visible lines: selection rectangles, then the lines, then (with show_cursor and an empty
// selection) the caret.
void TXE_draw(text_edit_state& s, int show_cursor);

// ---- Pure helpers, shared with the host and the tests.
// The length in bytes of the line that starts at `offset` for the width `width`. A word wider than the
// line that starts it is cut at a character boundary: the whole characters that fit, at least one.
int TXE_line_length(text_edit_state& s, int offset, float width);
// The line (index into line_starts) that holds the offset.
int TXE_line_of(const text_edit_state& s, int offset);
// The longest prefix of whole UTF-8 characters of `text` that is at most `max_bytes` long.
size_t TXE_utf8_prefix(std::string_view text, size_t max_bytes);
