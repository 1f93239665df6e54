// OGL_font: the two interface fonts, their FreeType glyph atlases, and text drawing and measuring.
#include "ui/OGL_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include <GL/gl.h>

#include "base/APP_alert.h"
#include "base/DREF_registry.h"
#include "base/LANG_localise.h"
#include "base/xmap.h"
#include "platform/WIN_resource.h"
#include "ui/OGL_state.h"
#include "ui/OGL_text_record.h"
#include "ui/TEX_manager.h"
#include "ui/screen_state.h"

OGL_font_files_record OGL_font_files;

namespace {

constexpr int font_count = 2;
constexpr int lang_russian = 3;
constexpr FT_Int32 load_flags = FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT; // 0x10004

// The fonts and the FreeType library (main thread only).
struct font_state {
    FT_Library library = nullptr;
    std::unique_ptr<font_record> fonts[font_count];
    DREF_var* tex_mem = nullptr;
};
font_state fonts;

void add_tex_mem(float rows) {
    DREF_var& v = OGL_font_register_vars();
    v.own_value = std::bit_cast<uint32_t>(std::bit_cast<float>(v.own_value) + rows);
}

void close_faces(font_record& font) {
    for (font_face& f : font.faces) {
        if (f.face)
            FT_Done_Face(f.face);
        f.face = nullptr;
        if (f.map)
            XMAP_close(*f.map);
    }
    font.faces.clear();
}

void open_face(font_record& font, const std::string& file) {
    font_face f;
    f.file = file;
    const unsigned char* bytes = nullptr;
    size_t size = 0;
    std::string name = file;
    if (WIN_strip_resource_prefix(name)) {
        bytes = WIN_load_gui_resource(name.c_str(), &size);
    } else {
        f.map = std::make_unique<xmap_file>();
        if (XMAP_map(*f.map, file)) {
            bytes = reinterpret_cast<const unsigned char*>(f.map->base);
            size = static_cast<size_t>(f.map->end - f.map->base);
        }
        if (!bytes || size == 0)
            APP_alert(0, "Error: unable to make font from file", file,
                      "(We could not open the file and read its contents.)", "", 2, "OGL_font", __LINE__);
    }
    if (!bytes || FT_New_Memory_Face(fonts.library, bytes, static_cast<FT_Long>(size), 0, &f.face) != 0) {
        f.face = nullptr;
        APP_alert(0, "Error: unable to make font from file", file,
                  "(Free-type could not process the .ttf file.)", "", 2, "OGL_font", __LINE__);
        return;
    }
    // The horizontal scale narrows the char width itself, so that the hinter works at the narrowed size and
    // gives whole-pixel advances that match the bitmaps. (A transform after hinting leaves fractional
    // advances, and rounding the pen to whole pixels at each glyph then spaces letters unevenly.)
    const FT_F26Dot6 height = static_cast<FT_F26Dot6>(font.point_size * 64.0f);
    const FT_F26Dot6 width = static_cast<FT_F26Dot6>(font.point_size * font.scale * 64.0f);
    if (FT_Set_Char_Size(f.face, width, height, 72, 72) != 0) {
        APP_alert(0, "Error: unable to set char size for font", file, "", "", 2, "OGL_font", __LINE__);
        FT_Done_Face(f.face);
        return;
    }
    const float per_unit = font.point_size / static_cast<float>(f.face->units_per_EM);
    f.line_height = static_cast<float>(f.face->height) * per_unit;
    f.descent = -static_cast<float>(f.face->descender) * per_unit;
    f.ascent = static_cast<float>(f.face->ascender) * per_unit;
    font.faces.push_back(std::move(f));
}

void load_font(font_record& font, int id) {
    if (!fonts.library && FT_Init_FreeType(&fonts.library) != 0) {
        fonts.library = nullptr;
        APP_alert(0, "Unable to initialize freetype.", "", "", "", 3, "OGL_font", __LINE__);
        return;
    }
    add_tex_mem(-static_cast<float>(font.atlas_height));
    font.atlas_height = 0;
    font.dirty = 0;
    font.glyphs.clear();
    font.atlas.clear();
    font.atlas.shrink_to_fit();
    font.shelf = OGL_shelf();
    font.scale = LANG_current_language() == lang_russian ? 0.9f : 1.0f;
    close_faces(font);
    open_face(font, OGL_font_files.main[id]);
    for (const std::string& file : OGL_font_files.fallback) {
        if (file.empty())
            break;
        open_face(font, file);
    }
}

// The coverage gamma: entry i = 255 (i / 255)^0.8, truncated.
void build_gamma(uint8_t table[256]) {
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<uint8_t>(255.0 * std::pow(i / 255.0, 0.8));
}

// The coverage byte at column x of a bitmap row (gray or one-bit).
uint8_t coverage(const FT_Bitmap& bm, const unsigned char* row, unsigned x) {
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
        return (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    return row[x];
}

glyph_record& cache_error(font_record& font, uint32_t cp, int error) {
    glyph_record& g = font.glyphs[cp];
    g = glyph_record();
    g.error = error;
    return g;
}

} // namespace

DREF_var& OGL_font_register_vars() {
    static DREF_var tex_mem("font/tex_mem", 0, 0);
    fonts.tex_mem = &tex_mem;
    return tex_mem;
}

float OGL_font_tex_mem() { return std::bit_cast<float>(OGL_font_register_vars().own_value); }

font_record* OGL_get_font(int font_id) {
    if (font_id < 0 || font_id >= font_count)
        return nullptr;
    if (!fonts.fonts[font_id]) {
        fonts.fonts[font_id] = std::make_unique<font_record>();
        fonts.fonts[font_id]->tex_ref = 1024 + font_id;
        load_font(*fonts.fonts[font_id], font_id);
    }
    return fonts.fonts[font_id].get();
}

void OGL_load_font(int font_id) {
    for (int id = 0; id < font_count; ++id)
        if ((font_id == id || font_id == 2) && fonts.fonts[id])
            load_font(*fonts.fonts[id], id);
}

const glyph_record* OGL_find_glyph(const font_record& font, uint32_t code_point) {
    auto it = font.glyphs.find(code_point);
    return it == font.glyphs.end() ? nullptr : &it->second;
}

float OGL_glyph_advance(font_record& font, uint32_t cp) {
    if (cp == 9)
        return 0.0f;
    if (const glyph_record* g = OGL_find_glyph(font, cp))
        return g->advance;

    FT_Face used = nullptr;
    int error = OGL_GLYPH_NO_FACE;
    for (font_face& f : font.faces) {
        if (!f.face || FT_Get_Char_Index(f.face, cp) == 0)
            continue;
        int e = FT_Load_Char(f.face, cp, load_flags);
        if (e == 0) {
            used = f.face;
            break;
        }
        error = e;
    }
    if (!used)
        return cache_error(font, cp, error).advance;

    const FT_GlyphSlot slot = used->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
    int left = 0, top = 0;
    OGL_shelf shelf = font.shelf;
    if (!OGL_shelf_place(shelf, w, h, &left, &top))
        return cache_error(font, cp, OGL_GLYPH_TOO_WIDE).advance;
    font.shelf = shelf;

    const int rows = OGL_atlas_rows_needed(font.shelf, font.atlas_height);
    if (rows != font.atlas_height) {
        font.atlas.resize(static_cast<size_t>(OGL_ATLAS_WIDTH) * static_cast<size_t>(rows), 0);
        add_tex_mem(static_cast<float>(rows - font.atlas_height));
        font.atlas_height = rows;
    }

    glyph_record& g = font.glyphs[cp];
    g.left = left;
    g.top = top;
    g.right = left + w;
    g.bottom = top + h;
    // Whole pixels: the bitmap where FreeType placed it, and the advance rounded (hinting already gives
    // whole ones), so that a pen that starts on a pixel stays on pixels and measuring sums what is drawn.
    g.x_offset = static_cast<float>(slot->bitmap_left);
    g.y_offset = static_cast<float>(slot->bitmap_top - h);
    g.advance = std::round(static_cast<float>(slot->metrics.horiAdvance) / 64.0f);
    g.error = 0;

    uint8_t gamma[256];
    build_gamma(gamma);
    for (int y = 0; y < h; ++y) {
        const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        uint8_t* dst = font.atlas.data() + static_cast<size_t>(top + y) * OGL_ATLAS_WIDTH + left;
        for (int x = 0; x < w; ++x)
            dst[x] = gamma[coverage(bm, src, static_cast<unsigned>(x))];
    }
    font.dirty = 1;
    return g.advance;
}

float OGL_measure_range(const char* begin, const char* end) {
    if (begin >= end)
        return 0.0f;
    font_record* font = OGL_get_font(0);
    float sum = 0.0f;
    for (const char* p = begin; p < end;) {
        uint32_t cp;
        p = OGL_utf8_next(p, end, &cp);
        sum += OGL_glyph_advance(*font, cp);
    }
    return sum;
}

float OGL_measure_string(std::string_view text) {
    return OGL_measure_range(text.data(), text.data() + text.size());
}

const char* OGL_fit_forward(const char* begin, const char* end, float width) {
    if (begin >= end)
        return begin;
    font_record* font = OGL_get_font(0);
    return OGL_fit_forward_with(begin, end, width,
                                [font](uint32_t cp) { return OGL_glyph_advance(*font, cp); });
}

const char* OGL_fit_backward(const char* begin, const char* end, float width) {
    if (begin >= end)
        return begin;
    font_record* font = OGL_get_font(0);
    return OGL_fit_backward_with(begin, end, width,
                                 [font](uint32_t cp) { return OGL_glyph_advance(*font, cp); });
}

namespace {

// Sends a dirty atlas to the texture manager as the font's manual texture. The height is checked before
// the copy: an atlas without rows (only blanks so far) or beyond the texture limit is not sent.
void upload_atlas(font_record& font) {
    if (!font.dirty || font.atlas_height < 1 || font.atlas_height > 4096)
        return;
    const size_t bytes = static_cast<size_t>(OGL_ATLAS_WIDTH) * static_cast<size_t>(font.atlas_height);
    if (bytes > TMAN_SCRATCH_BYTES)
        return;
    std::memcpy(TMAN_scratch_pixels, font.atlas.data(), bytes);
    TMAN_scratch_width = OGL_ATLAS_WIDTH;
    TMAN_scratch_height = font.atlas_height;
    font.dirty = 0;
    TMAN_load_bitmap(4, font.tex_ref, 0x200203, 2, "scratch_array-fonts");
}

// One placed glyph inside the caller's GL_QUADS block, corners clockwise from the bottom left.
void draw_glyph(const font_record& font, const OGL_placed_glyph& p) {
    const glyph_record& g = *p.glyph;
    const float x0 = p.left, y0 = p.bottom;
    const float x1 = x0 + static_cast<float>(g.right - g.left),
                y1 = y0 + static_cast<float>(g.bottom - g.top);
    const float s0 = static_cast<float>(g.left) / OGL_ATLAS_WIDTH,
                s1 = static_cast<float>(g.right) / OGL_ATLAS_WIDTH;
    const float h = static_cast<float>(font.atlas_height);
    const float t_bottom = static_cast<float>(g.bottom) / h, t_top = static_cast<float>(g.top) / h;
    glTexCoord2f(s0, t_bottom);
    glVertex2f(x0, y0);
    glTexCoord2f(s0, t_top);
    glVertex2f(x0, y1);
    glTexCoord2f(s1, t_top);
    glVertex2f(x1, y1);
    glTexCoord2f(s1, t_bottom);
    glVertex2f(x1, y0);
}

int font_of_mode(int mode) { return mode >= 1 && mode <= 4 ? 1 : 0; }
int fixed_of_mode(int mode) { return mode == 2 ? 6 : mode == 3 ? 8 : mode == 4 ? 10 : 0; }

} // namespace

std::vector<OGL_text_line> OGL_layout_string(std::string_view text, float wrap, int font_mode) {
    font_record* font = OGL_get_font(font_of_mode(font_mode));
    if (!font || text.empty())
        return {};
    const bool wrapping = wrap > 0.0f && wrap < 9999.0f;
    return OGL_break_lines(text.data(), text.data() + text.size(), wrapping ? wrap : 0.0f,
                           fixed_of_mode(font_mode),
                           [font](uint32_t cp) { return OGL_glyph_advance(*font, cp); });
}

namespace {

constexpr std::string_view ellipsis = "\xE2\x80\xA6";

bool fits_lines(std::string_view text, float wrap, size_t lines) {
    return OGL_layout_string(text, wrap, 0).size() <= lines;
}

} // namespace

std::string OGL_clip_lines(std::string_view text, float wrap, size_t lines) {
    const std::vector<OGL_text_line> laid = OGL_layout_string(text, wrap, 0);
    if (laid.size() <= lines)
        return std::string(text);
    if (lines == 0)
        return {};
    const OGL_text_line& last = laid[lines - 1];
    const char* cut = OGL_fit_forward(last.begin, last.end, wrap - OGL_measure_string(ellipsis));
    return std::string(text.data(), cut) + std::string(ellipsis);
}

std::string OGL_shorten_path_lines(std::string_view text, size_t path, float wrap, size_t lines) {
    if (path >= text.size() || fits_lines(text, wrap, lines))
        return OGL_clip_lines(text, wrap, lines);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* const start = begin + path + 1;
    const float room = static_cast<float>(lines) * wrap;
    const char* right = end;
    const auto shortened = [&](const char* left) {
        return std::string(begin, left) + std::string(ellipsis) + std::string(right, end);
    };
    // The right side: the last folders that take half the room, else the last characters that do (a '/'
    // that ends the text names no folder). Where a break at a blank leaves less room than that, the right
    // side takes half as much, and so on.
    for (float share = room * 0.5f;; share *= 0.5f) {
        right = OGL_fit_backward(start, end, share - OGL_measure_string(ellipsis));
        for (const char* p = right; p + 1 < end; ++p)
            if (*p == '/') {
                right = p;
                break;
            }
        if (fits_lines(shortened(start), wrap, lines))
            break;
        if (right == end)
            return OGL_clip_lines(text, wrap, lines);
    }
    // The left side: the longest start (never less than the path's first character) that fits with it.
    std::vector<const char*> lefts{start};
    const char* const most = std::min(right, OGL_fit_forward(begin, end, room));
    for (const char* p = start; p < most;) {
        uint32_t cp;
        p = OGL_utf8_next(p, most, &cp);
        lefts.push_back(p);
    }
    size_t fit = 0, over = lefts.size();
    while (over - fit > 1) {
        const size_t mid = fit + (over - fit) / 2;
        (fits_lines(shortened(lefts[mid]), wrap, lines) ? fit : over) = mid;
    }
    return shortened(lefts[fit]);
}

float OGL_line_step(int font_mode) {
    const font_record* font = OGL_get_font(font_of_mode(font_mode));
    if (font->faces.empty())
        return std::ceil(font->point_size * 1.25f);
    return std::ceil(font->faces.front().ascent + font->faces.front().descent);
}

std::vector<OGL_placed_line> OGL_place_string(std::string_view text, float x, float y, float wrap,
                                              int font_mode, int align) {
    std::vector<OGL_placed_line> placed;
    const font_record* font = OGL_get_font(font_of_mode(font_mode));
    const bool wrapping = wrap > 0.0f && wrap < 9999.0f;
    const float fixed = static_cast<float>(fixed_of_mode(font_mode));
    const float step = wrapping ? OGL_line_step(font_mode) : 0.0f;
    for (const OGL_text_line& line : OGL_layout_string(text, wrap, font_mode)) {
        OGL_placed_line& l = placed.emplace_back();
        l.text = line;
        l.pen_start = align == 1 ? x - line.width * 0.5f : align == 2 ? x - line.width : x;
        l.baseline = y;
        float pen = l.pen_start;
        for (const char* p = line.begin; p < line.end;) {
            const char* at = p;
            uint32_t cp;
            p = OGL_utf8_next(p, line.end, &cp);
            const glyph_record* g = cp == 9 ? nullptr : OGL_find_glyph(*font, cp);
            if (!g || g->error != 0) {
                pen += fixed; // a tab or a character that no face holds: nothing, or the fixed advance
                continue;
            }
            if (g->right > g->left)
                l.glyphs.push_back({at, g, std::floor(pen + g->x_offset), std::floor(y + g->y_offset)});
            pen += fixed > 0.0f ? fixed : g->advance;
        }
        l.pen_end = pen;
        y -= step;
    }
    return placed;
}

float OGL_draw_string(int colour, float x, float y, std::string_view text, float wrap, int font_mode,
                      int align, float alpha) {
    if (text.empty())
        return y;
    const OGL_text_record_scope record(text, font_mode);
    font_record* font = OGL_get_font(font_of_mode(font_mode));
    const std::vector<OGL_placed_line> lines =
        OGL_place_string(text, x + screen_state.origin_x, y + screen_state.origin_y, wrap, font_mode, align);
    for (const OGL_placed_line& line : lines) {
        upload_atlas(*font);
        if (font->atlas_height > 0) {
            OGL_set_state(1, 1, 1, 1, 1, 1);
            OGL_set_colour(colour, alpha);
            TMAN_bind_ref(font->tex_ref, 0, 0);
            glBegin(GL_QUADS);
            for (const OGL_placed_glyph& g : line.glyphs)
                draw_glyph(*font, g);
            glEnd();
        }
    }
    if (wrap > 0.0f && wrap < 9999.0f)
        y -= OGL_line_step(font_mode) * static_cast<float>(lines.size());
    return y;
}
