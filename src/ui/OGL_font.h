// OGL_font: the two interface fonts, their FreeType glyph atlases, and text drawing and measuring.
//
// DESIGN: a font is created on first use and never destroyed. Its faces (its own, then the Japanese
// fallback) rasterise each code point once into an 8-bit atlas 1024 pixels wide, packed in shelves; the
// atlas grows by powers of two and goes to the texture manager as the font's manual texture whenever a line
// is drawn after a new glyph was added. An atlas that still has no rows is never uploaded, bound or drawn.
// Advances and bitmap offsets are whole pixels (Russian's horizontal scale narrows the char width before
// hinting), so measuring, wrapping and drawing move by the same amounts and glyphs land on pixels.
// Face failures are fatal alerts. Main thread only (OpenGL and the unlocked caches).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/OGL_text_layout.h"

struct FT_FaceRec_;
struct xmap_file;
class DREF_var;

// The face files of the fonts: the main face of font 0 and of font 1, then the fallback list that follows
// either main face (ended by an empty name). Built at start-up; a test may point it at other files before
// the fonts are created or reloaded.
struct OGL_font_files_record {
    std::string main[2] = {"RESOURCE:DejaVuSans.ttf", "RESOURCE:DejaVuSansBold.ttf"};
    std::string fallback[2] = {"RESOURCE:TT_NewRodin-B.TTF", ""};
};
extern OGL_font_files_record OGL_font_files;

// Error of a glyph that no face holds.
constexpr int OGL_GLYPH_NO_FACE = 17;
// Error of a glyph whose bitmap is wider than an atlas row (it is kept blank).
constexpr int OGL_GLYPH_TOO_WIDE = 1024;

struct glyph_record {
    int left = 0, top = 0, right = 0,
        bottom = 0;        // atlas rectangle: columns [left, right), rows [top, bottom)
    float x_offset = 0.0f; // bitmap left from the pen
    float y_offset = 0.0f; // bitmap bottom from the baseline, y up
    float advance = 0.0f;
    int error = 0; // 0 rasterised; else blank, draws nothing
};

struct font_face {
    float line_height = 0.0f, descent = 0.0f, ascent = 0.0f; // pixels
    FT_FaceRec_* face = nullptr;
    std::unique_ptr<xmap_file> map; // the mapped file of a face that is not an embedded resource
    std::string file;
};

struct font_record {
    int tex_ref = 0; // the manual texture reference (1024 + font id)
    float point_size = 10.5f;
    float scale = 1.0f;   // horizontal scale: 0.9 in Russian
    int atlas_height = 0; // rows
    int dirty = 0;        // the atlas changed since its last upload
    OGL_shelf shelf;
    std::vector<font_face> faces; // fallback order
    std::unordered_map<uint32_t, glyph_record> glyphs;
    std::vector<uint8_t> atlas; // 1024 bytes of coverage per row, row 0 first
};

// The font of that id (0 regular, 1 bold), created and loaded on first use. Other ids give null.
font_record* OGL_get_font(int font_id);
// Reloads the faces of an existing font: empties its cache and atlas and opens its main face, then each
// fallback face. Id 2 reloads fonts 0 and 1. A font that does not exist yet is left to OGL_get_font.
void OGL_load_font(int font_id);

// The advance of a code point in the font, in whole pixels, rasterising and caching its glyph on first use. A
// tab gives 0 and is never cached; a code point no face serves is cached as an error record with advance 0.
float OGL_glyph_advance(font_record& font, uint32_t code_point);
// The cached record of a code point, or null.
const glyph_record* OGL_find_glyph(const font_record& font, uint32_t code_point);

// Draws UTF-8 text. Font mode 0 (and any value outside 1..4) font 0 at each glyph's advance; 1 font 1;
// 2, 3, 4 font 1 at a fixed advance of 6, 8 and 10. Alignment 0 starts at x, 1 centres each line on x,
// 2 ends each line at x. A wrap width in (0, 9999) wraps; each wrapped line moves y down by the line step.
// Returns the y where drawing ended, relative to the view origin: one line step below the last line when
// wrapping, else y. An empty text returns y and draws nothing.
float OGL_draw_string(int colour, float x, float y, std::string_view text, float wrap, int font_mode,
                      int align, float alpha);
// The lines OGL_draw_string draws (rasterising their glyphs), with the widths alignment uses.
std::vector<OGL_text_line> OGL_layout_string(std::string_view text, float wrap, int font_mode);

// A text that OGL_draw_string (font 0, that wrap) would draw in more than `lines` lines, made to fit in
// them. OGL_clip_lines keeps the first lines, the last of them cut to end in "…". OGL_shorten_path_lines
// cuts the middle out of the path that starts at byte `path` of the text instead, where "…" stands for it:
// the text before the path and the path's start on the left, its last folders (its last characters, when
// not even its last folder fits) and the text after it on the right, each side taking about half the room.
// A text whose start before the path does not fit even so is clipped as OGL_clip_lines does. A text that
// fits is returned whole.
std::string OGL_clip_lines(std::string_view text, float wrap, size_t lines);
std::string OGL_shorten_path_lines(std::string_view text, size_t path, float wrap, size_t lines);

// The distance between the baselines of stacked lines of a font mode's font, in whole units: room for the
// font's descent and the next line's ascent (those of its own face).
float OGL_line_step(int font_mode);

// One glyph where OGL_draw_string draws it: the character's first byte, its record, and the left and bottom
// of its quad (the quad is as wide and as high as the glyph's atlas rectangle).
struct OGL_placed_glyph {
    const char* at;
    const glyph_record* glyph;
    float left, bottom;
};
// One drawn line: its text, the pen before its first and after its last character, its baseline, and the
// glyphs that have a bitmap.
struct OGL_placed_line {
    OGL_text_line text;
    float pen_start, pen_end, baseline;
    std::vector<OGL_placed_glyph> glyphs;
};
// The lines and glyphs of a text as OGL_draw_string draws it at (x, y), in the units of x and y (drawing
// passes them with the view origin added). Glyphs are rasterised on first use.
std::vector<OGL_placed_line> OGL_place_string(std::string_view text, float x, float y, float wrap,
                                              int font_mode, int align);

// Sums of the advances in font 0, which drawing moves by; 0 for an empty text or range.
float OGL_measure_string(std::string_view text);
float OGL_measure_range(const char* begin, const char* end);
// Font-0 fitting, as OGL_fit_forward_with and OGL_fit_backward_with.
const char* OGL_fit_forward(const char* begin, const char* end, float width);
const char* OGL_fit_backward(const char* begin, const char* end, float width);

// Registers "font/tex_mem" (own value, type 0: the atlas rows of all fonts as a float, which is their
// memory in KB) on the first call and returns it. Main thread, at start-up.
DREF_var& OGL_font_register_vars();
// The value of "font/tex_mem".
float OGL_font_tex_mem();
