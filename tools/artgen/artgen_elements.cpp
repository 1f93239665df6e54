// artgen_elements: the element atlas of one language (1024 x 128 RGBA): the seven words in their three
// looks, set in the bold face on one baseline, the three ovals behind them and the square of the wizard
// panels.
#include <algorithm>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "artgen.h"

namespace artgen {

namespace {

// The code points of a UTF-8 text (the tables hold well-formed text only).
std::u32string decode_utf8(const char* text) {
    std::u32string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        char32_t c = *p;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            c &= 0x3F >> extra;
        ++p;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80)
                fail(std::string("bad UTF-8 in the word table: ") + text);
            c = c << 6 | (*p & 0x3F);
        }
        out += c;
    }
    return out;
}

// The coverage of a set word, cropped to its ink: rows top first. `ascent` rows of it stand above the
// baseline, the rest (descenders, the tail of a Q) below.
struct inked {
    int width = 0, height = 0, ascent = 0;
    std::vector<uint8_t> alpha;
};

inked set_word(FT_Face face, const std::u32string& text, int pixel_size) {
    if (FT_Set_Pixel_Sizes(face, 0, pixel_size))
        fail("cannot size the face");
    int w = pixel_size * static_cast<int>(text.size() + 2), h = pixel_size * 3, baseline = pixel_size * 2;
    std::vector<uint8_t> buf(static_cast<size_t>(w) * h, 0);
    long pen = static_cast<long>(pixel_size) / 2 * 64;
    FT_UInt previous = 0;
    for (char32_t cp : text) {
        FT_UInt index = FT_Get_Char_Index(face, cp);
        if (index == 0)
            fail("the face has no glyph for U+" + std::to_string(static_cast<unsigned>(cp)));
        if (previous && FT_HAS_KERNING(face)) {
            FT_Vector k;
            if (!FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &k))
                pen += k.x;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL))
            fail("cannot render a glyph");
        const FT_Bitmap& bm = face->glyph->bitmap;
        int x0 = static_cast<int>(pen >> 6) + face->glyph->bitmap_left,
            y0 = baseline - face->glyph->bitmap_top;
        for (unsigned y = 0; y < bm.rows; ++y) {
            for (unsigned x = 0; x < bm.width; ++x) {
                int bx = x0 + static_cast<int>(x), by = y0 + static_cast<int>(y);
                if (bx < 0 || by < 0 || bx >= w || by >= h)
                    fail("a glyph fell outside the setting buffer");
                uint8_t& d = buf[static_cast<size_t>(by) * w + bx];
                d = std::max(d, bm.buffer[y * bm.pitch + x]);
            }
        }
        pen += face->glyph->advance.x;
        previous = index;
    }
    int left = w, right = -1, top = h, bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (buf[static_cast<size_t>(y) * w + x]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    inked out;
    if (right < 0)
        return out;
    out.width = right - left + 1;
    out.height = bottom - top + 1;
    out.ascent = baseline - top;
    for (int y = top; y <= bottom; ++y)
        out.alpha.insert(out.alpha.end(), buf.begin() + static_cast<long>(y) * w + left,
                         buf.begin() + static_cast<long>(y) * w + right + 1);
    return out;
}

// Where the words stand in their rows: one pixel size and one baseline for the words of every language,
// taken from the glyphs of the face, so that capitals start and end on the same rows whatever accents or
// tails a word has.
struct word_setting {
    int size = 0;
    int below = 0; // rows of the row's usable height (less the margins) under the baseline
};

// The largest size, from 18 pixels down, at which the highest ascent and the deepest descent of all the
// words fit the usable height together; the baseline leaves room for that descent and centres the rest.
word_setting common_setting(FT_Face face) {
    const int avail_h = word_rows[0].t1 - word_rows[0].t0 - 2 * word_margin;
    for (int size = 18; size >= 6; --size) {
        int above = 0, below = 0;
        for (const language_words& l : languages)
            for (const char* word : l.words) {
                const inked set = set_word(face, decode_utf8(word), size);
                above = std::max(above, set.ascent);
                below = std::max(below, set.height - set.ascent);
            }
        if (above + below <= avail_h)
            return {size, below + (avail_h - above - below) / 2};
    }
    fail("the words do not fit their rows");
}

// The word at the common size, or smaller (on the same baseline) when it is too wide for its slot.
inked fit_word(FT_Face face, const char* word, int w, const word_setting& setting) {
    std::u32string text = decode_utf8(word);
    for (int size = setting.size; size >= 6; --size) {
        inked set = set_word(face, text, size);
        if (set.width > 0 && set.width <= w)
            return set;
    }
    fail(std::string("the word does not fit its slot: ") + word);
}

void draw_words(canvas& c, const language_words& language, FT_Face face) {
    const word_setting setting = common_setting(face);
    for (int k = 0; k < word_count; ++k) {
        int s0 = language.edges[k], s1 = language.edges[k + 1];
        int avail_w = s1 - s0 - 2 * word_margin;
        inked set = fit_word(face, language.words[k], avail_w, setting);
        int left = s0 + word_margin + (avail_w - set.width) / 2;
        for (const word_row& row : word_rows) {
            // The texel row just above the baseline; ink row y of the word lands at top - y.
            int top = row.t0 + word_margin + setting.below + set.ascent - 1;
            for (int y = 0; y < set.height; ++y)
                for (int x = 0; x < set.width; ++x) {
                    uint8_t a = set.alpha[static_cast<size_t>(y) * set.width + x];
                    if (a)
                        c.set(left + x, top - y, {row.ink.r, row.ink.g, row.ink.b, a});
                }
        }
    }
}

} // namespace

canvas make_elements(const language_words& language, const std::string& font_path) {
    canvas c(elements_image.width, elements_image.height, elements_image.channels);
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library))
        fail("cannot start FreeType");
    if (FT_New_Face(library, font_path.c_str(), 0, &face))
        fail("cannot open the face " + font_path);
    draw_words(c, language, face);
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    for (const frame1_spec& f : frame1_styles) {
        if (f.image != IMG_ELEMENTS)
            continue;
        rect r{f.s, f.t, f.s + f.width, f.t + f.height};
        c.paint(r, box(r, std::min(f.cap, f.height / 2) + 0.0, 2.0, look_of(f.style)));
    }
    for (const frame2_spec& f : frame2_styles) {
        if (f.image != IMG_ELEMENTS)
            continue;
        rect r{f.s, f.t, f.s + f.side, f.t + f.side};
        c.paint(r, box(r, 5.0, 2.0, look_of(f.style)));
    }
    return c;
}

} // namespace artgen
