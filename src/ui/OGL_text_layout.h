// OGL_text_layout: the pure parts of text drawing: bounded UTF-8 stepping, line breaking, fitting a width,
// and the shelf packer and growth rule of the glyph atlas. No FreeType and no OpenGL: the advance of a code
// point comes from the caller. Reentrant.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

// What a byte that is not UTF-8 is drawn as: a path the system names may hold any byte, and is shown with
// this character where its bytes are not UTF-8 (the bytes themselves stay as they are).
constexpr uint32_t OGL_REPLACEMENT_CHARACTER = 0xFFFD;

// Decodes the code point at p (p < end) without reading at or past end; returns the position after it.
// A malformed or cut sequence gives OGL_REPLACEMENT_CHARACTER and stops before the first byte that does
// not belong to it (at least one byte is always taken).
const char* OGL_utf8_next(const char* p, const char* end, uint32_t* code_point);

// The start of the character before the one at pos, never before begin. A pos inside a character (on a
// continuation byte, pos < end) first moves back to that character's lead byte; then one byte back, and on
// past continuation bytes. pos at or before begin gives begin.
const char* STR_utf8_prev(const char* begin, const char* pos, const char* end);

// The advance of one code point, in view units.
using OGL_advance_fn = std::function<float(uint32_t code_point)>;

// One line of broken text: the bytes [begin, end) and its width: the sum of the advances (or of the fixed
// advance) that drawing moves the pen by.
struct OGL_text_line {
    const char* begin;
    const char* end;
    float width;
};

// Breaks [begin, end) into lines as drawing does. `wrap` > 0 wraps at that width (the caller passes 0 for
// no wrapping); `fixed` > 0 is the fixed advance per character of the fixed-width modes (the advance is still
// asked for, so that the glyph is cached). CR or LF ends the line at that character; a blank becomes the
// break point with the width before it. With wrapping, a character that would take the line past the wrap
// width ends the line at its last blank (when one lies after the line start), else before that character;
// the first character of a line is always taken. So a wrapped line is never wider than the wrap width unless
// it holds a single character. After a line, one CR or LF that ended it is skipped, then the blanks at the
// start of the next line.
std::vector<OGL_text_line> OGL_break_lines(const char* begin, const char* end, float wrap, int fixed,
                                           const OGL_advance_fn& advance);

// Walks forward from begin adding advances; returns the first character whose advance makes the sum
// exceed width, end when all fit, begin when begin == end.
const char* OGL_fit_forward_with(const char* begin, const char* end, float width,
                                 const OGL_advance_fn& advance);
// Walks backward from end one character at a time adding advances; returns the start of the longest tail
// whose sum does not exceed width: end when not even the last character fits, begin when begin == end.
// Never steps before begin, also on malformed UTF-8.
const char* OGL_fit_backward_with(const char* begin, const char* end, float width,
                                  const OGL_advance_fn& advance);

// Width of one row of the glyph atlas, in pixels.
constexpr int OGL_ATLAS_WIDTH = 1024;

// The shelf packer of a glyph atlas: glyphs go left to right on the current shelf; a glyph that does not
// fit in what remains of the row starts a new shelf above the tallest glyph of this one.
struct OGL_shelf {
    int pen_x = 0;        // next free column on the current shelf
    int shelf_y = 0;      // first row of the current shelf
    int shelf_height = 0; // tallest glyph on the current shelf
};
// Places a w x h bitmap; writes its left column and top (first) row. A width above the row width is
// refused (false, nothing changed).
bool OGL_shelf_place(OGL_shelf& shelf, int w, int h, int* left, int* first_row);
// Rows the atlas must have after a placement: the old height while the shelf fits, else the smallest power
// of two not below old height + shelf height (1 when that sum is 1 or less).
int OGL_atlas_rows_needed(const OGL_shelf& shelf, int old_height);

// 1 for n below 2, else the smallest power of two not below n.
int OGL_next_power_of_two(int n);
