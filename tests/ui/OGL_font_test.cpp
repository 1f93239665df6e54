// Fonts without a window: FreeType measuring, line breaking, fitting, the glyph atlas and its shelf packer,
// the fallback face and the bounded UTF-8 stepping.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/DREF_registry.h"
#include "base/LANG_localise.h"
#include "platform/WIN_resource.h"
#include "ui/OGL_font.h"
#include "ui/OGL_text_layout.h"
#include "ui/OGL_view.h"

namespace {

const char* const dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const dejavu_bold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const vlgothic = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

// Both fonts freshly loaded from the embedded faces (the Debian files when this executable has none), in
// English unless told otherwise.
void reload_fonts(int language = 0) {
    size_t size = 0;
    if (!WIN_load_gui_resource("DejaVuSans.ttf", &size)) {
        OGL_font_files.main[0] = dejavu;
        OGL_font_files.main[1] = dejavu_bold;
        OGL_font_files.fallback[0] = vlgothic;
    }
    LANG_current_language() = language;
    OGL_get_font(0);
    OGL_get_font(1);
    OGL_load_font(2);
}

class OglFontTest : public ::testing::Test {
  protected:
    void SetUp() override { reload_fonts(); }
    void TearDown() override { reload_fonts(); }
};

// FreeType's own glyph slot of a code point of a face at 10.5 points narrowed by `scale`, at 72 dpi, loaded
// with `flags`; `read` takes what it needs from the slot.
template <typename Read>
auto freetype_glyph(const char* file, float scale, char32_t c, FT_Int32 flags, Read read) {
    FT_Library lib;
    EXPECT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    EXPECT_EQ(FT_New_Face(lib, file, 0, &face), 0);
    EXPECT_EQ(FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(672 * scale), 672, 72, 72), 0);
    EXPECT_EQ(FT_Load_Char(face, c, flags), 0);
    const auto value = read(*face->glyph);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return value;
}

// The sum of FreeType's advances of DejaVu Sans with the hinting the fonts use; tabs add nothing.
float freetype_advance_sum(const std::u32string& text) {
    float sum = 0.0f;
    for (char32_t c : text)
        if (c != U'\t')
            sum += freetype_glyph(dejavu, 1.0f, c, FT_LOAD_TARGET_LIGHT, [](const FT_GlyphSlotRec& g) {
                return static_cast<float>(g.metrics.horiAdvance) / 64.0f;
            });
    return sum;
}

TEST_F(OglFontTest, MeasuringSumsFreeTypeAdvancesAndTabsAddNothing) {
    const float expected = freetype_advance_sum(U"Hello, World!");
    EXPECT_GT(expected, 50.0f);
    EXPECT_FLOAT_EQ(OGL_measure_string("Hello, World!"), expected);
    EXPECT_FLOAT_EQ(OGL_measure_string("Hello,\t World!\t"), expected);
    EXPECT_EQ(OGL_measure_string(""), 0.0f);
    const std::string t = "abc";
    EXPECT_EQ(OGL_measure_range(t.data() + 1, t.data() + 1), 0.0f);
    EXPECT_FLOAT_EQ(OGL_measure_range(t.data() + 1, t.data() + 3), freetype_advance_sum(U"bc"));
    // A tab is never cached.
    EXPECT_EQ(OGL_find_glyph(*OGL_get_font(0), 9), nullptr);
    // A folder named in Latin-1 bytes measures and draws a replacement character for each byte that is not
    // UTF-8.
    const std::string latin1 = "b\xFF"
                               "ad\xFE";
    EXPECT_FLOAT_EQ(OGL_measure_string(latin1), freetype_advance_sum(U"b\uFFFDad\uFFFD"));
    const std::vector<OGL_placed_line> placed = OGL_place_string(latin1, 0.0f, 0.0f, 9999.0f, 0, 0);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].glyphs.size(), 5u);
}

// Advances of 10.25 per character and 3.5 for a blank: easy widths for the breaking rules.
float fake_advance(uint32_t cp) { return cp == ' ' ? 3.5f : 10.25f; }

std::vector<std::string> break_text(const std::string& text, float wrap,
                                    std::vector<float>* widths = nullptr) {
    std::vector<std::string> out;
    for (const OGL_text_line& l :
         OGL_break_lines(text.data(), text.data() + text.size(), wrap, 0, fake_advance)) {
        out.emplace_back(l.begin, l.end);
        if (widths)
            widths->push_back(l.width);
    }
    return out;
}

TEST(OglTextLayoutTest, LineBreakingRules) {
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string text;
        float wrap;
        V lines;
    } cases[] = {
        {"a word longer than the wrap width is cut before the character that passes it",
         "abcdefgh",
         35.0f,
         {"abc", "def", "gh"}},
        {"the last word wraps too", "ab cd", 40.0f, {"ab", "cd"}},
        {"so does the word before a newline", "ab cd\nef", 40.0f, {"ab", "cd", "ef"}},
        {"a character wider than the wrap width still takes a line", "ab", 5.0f, {"a", "b"}},
        {"a line ends at its last blank", "ab cd ef", 45.0f, {"ab cd", "ef"}},
        {"CR and LF end lines, with or without wrapping", "ab\rcd\nef", 0.0f, {"ab", "cd", "ef"}},
        {"a newline ends a line that holds blanks", "ab cd\nef gh", 1000.0f, {"ab cd", "ef gh"}},
        {"blanks at the start of a line are skipped", "ab\n   cd\n ef", 0.0f, {"ab", "cd", "ef"}},
        {"blanks after a wrapped line are skipped", "ab    cd", 25.0f, {"ab ", "cd"}},
        {"two newlines give an empty line", "ab\n\ncd", 0.0f, {"ab", "", "cd"}},
        {"a trailing newline adds no line", "ab\n", 0.0f, {"ab"}},
        {"the first blank of the text is no break point", " abcdef", 25.0f, {" ab", "cd", "ef"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> widths;
        EXPECT_EQ(break_text(c.text, c.wrap, &widths), c.lines);
        for (size_t i = 0; i < widths.size() && c.wrap >= 10.25f; ++i)
            EXPECT_LE(widths[i], c.wrap) << c.lines[i];
    }
}

TEST(OglTextLayoutTest, LineWidthsAreTheAdvancesDrawnOrTheFixedOne) {
    std::vector<float> widths;
    break_text("ab cd", 0.0f, &widths);
    ASSERT_EQ(widths.size(), 1u);
    EXPECT_EQ(widths[0], 4 * 10.25f + 3.5f);
    widths.clear();
    break_text("ab cd ef", 45.0f, &widths);
    EXPECT_EQ(widths, (std::vector<float>{44.5f, 20.5f})); // the width before the blank
    int asked = 0;
    std::string t = "abc";
    auto lines = OGL_break_lines(t.data(), t.data() + 3, 0.0f, 8, [&](uint32_t) {
        ++asked;
        return 10.25f;
    });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].width, 24.0f);
    EXPECT_EQ(asked, 3) << "fixed-width modes still cache their glyphs";
}

TEST_F(OglFontTest, FittingAtBothEndsOfTheRange) {
    const std::string t = "Wide text";
    const char* b = t.data();
    const char* e = b + t.size();
    const float all = OGL_measure_string(t);
    const float w0 = OGL_measure_range(b, b + 1);
    const float last = OGL_measure_range(e - 1, e);
    EXPECT_EQ(OGL_fit_forward(b, b, 100.0f), b);
    EXPECT_EQ(OGL_fit_forward(b, e, all), e);
    EXPECT_EQ(OGL_fit_forward(b, e, w0 - 0.01f), b);
    EXPECT_EQ(OGL_fit_forward(b, e, w0), b + 1);
    EXPECT_EQ(OGL_fit_backward(b, b, 100.0f), b);
    EXPECT_EQ(OGL_fit_backward(e, e, 100.0f), e);
    EXPECT_EQ(OGL_fit_backward(b, e, all), b);
    EXPECT_EQ(OGL_fit_backward(b, e, last), e - 1);
    EXPECT_EQ(OGL_fit_backward(b, e, last - 0.01f), e) << "not even the last character fits: an empty tail";
    // Whole characters only.
    const std::string u = "a\xC3\xA9\xC3\xA9";
    EXPECT_EQ(OGL_fit_backward(u.data(), u.data() + u.size(), OGL_measure_string("\xC3\xA9")), u.data() + 3);
    EXPECT_EQ(OGL_fit_forward(u.data(), u.data() + u.size(), OGL_measure_string("a\xC3\xA9") + 0.01f),
              u.data() + 3);
}

// A text too long for its lines keeps to them: a path loses its middle to one "…", other text its end; only
// whole characters are kept.
TEST_F(OglFontTest, ATextTooLongForItsLinesIsShortenedWithAnEllipsis) {
    const auto repeat = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i)
            text += piece;
        return text;
    };
    const std::string e = "\xE2\x80\xA6", deep = "/home/u/" + repeat("dddddddddd/", 40),
                      long_sentence = repeat("word ", 60);
    const struct {
        std::string text;
        size_t path; // npos: not a path
        size_t lines;
        std::string head, tail; // what the shown text starts and ends with
    } rows[] = {
        {"Install Location: /a/b/", 18, 1, "Install Location: /a/b/", "Install Location: /a/b/"},
        {"Install Location: " + deep + "Aerivon 10/", 18, 2, "Install Location: /home/u/dd", "d/Aerivon 10/"},
        {"Saving in " + deep + "a: No such file", 10, 2, "Saving in /home/u/dd", "d/a: No such file"},
        // Not even the last folder fits in half the room: its last characters.
        {"At /" + repeat("\xC3\xA9", 300) + "z", 3, 2, "At /\xC3\xA9", "\xC3\xA9z"},
        // The start before the path does not fit: clipped at the end.
        {long_sentence + deep, long_sentence.size(), 1, "word word", "word" + e},
        {long_sentence + "\xC3\xA9\xC3\xA9\xC3\xA9", std::string::npos, 2, "word word", e},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string shown = row.path == std::string::npos
                                      ? OGL_clip_lines(row.text, 300.0f, row.lines)
                                      : OGL_shorten_path_lines(row.text, row.path, 300.0f, row.lines);
        EXPECT_LE(OGL_layout_string(shown, 300.0f, 0).size(), row.lines) << shown;
        EXPECT_EQ(shown.compare(0, row.head.size(), row.head), 0) << shown;
        ASSERT_GE(shown.size(), row.tail.size());
        EXPECT_EQ(shown.compare(shown.size() - row.tail.size(), row.tail.size(), row.tail), 0) << shown;
        EXPECT_EQ(shown.find(e), shown.rfind(e)) << shown;
        EXPECT_EQ(shown.find(e) == std::string::npos, shown == row.text) << shown;
        for (const char* p = shown.data(); p < shown.data() + shown.size();) {
            uint32_t cp = 0;
            p = OGL_utf8_next(p, shown.data() + shown.size(), &cp);
            EXPECT_NE(cp, 0u) << "a character cut in two: " << shown;
        }
    }
}

TEST(OglTextLayoutTest, Utf8SteppingStaysInsideItsRange) {
    // Continuation bytes only: every step ends at begin, and decoding takes one byte at a time.
    const std::string junk(5, '\x80');
    const char* b = junk.data();
    const char* e = b + junk.size();
    EXPECT_EQ(STR_utf8_prev(b, e, e), b);
    EXPECT_EQ(STR_utf8_prev(b, b + 2, e), b);
    EXPECT_EQ(STR_utf8_prev(b, b, e), b);
    uint32_t cp = 1;
    EXPECT_EQ(OGL_utf8_next(b, e, &cp), b + 1);
    EXPECT_EQ(cp, 0xFFFDu);
    EXPECT_EQ(OGL_fit_backward_with(b, e, 1000.0f, fake_advance), b);
    EXPECT_EQ(OGL_fit_backward_with(b, b, 1000.0f, fake_advance), b);
    // A cut sequence at the end is not read past.
    const std::string cut = "a\xE6\x97";
    EXPECT_EQ(OGL_utf8_next(cut.data() + 1, cut.data() + cut.size(), &cp), cut.data() + 3);
    EXPECT_EQ(cp, 0xFFFDu);
    // From inside a character: back to its lead byte, then to the character before.
    const std::string t = "a\xE6\x97\xA5z"; // a 日 z
    EXPECT_EQ(STR_utf8_prev(t.data(), t.data() + 3, t.data() + t.size()), t.data());
    EXPECT_EQ(STR_utf8_prev(t.data(), t.data() + 4, t.data() + 4), t.data() + 1);
    EXPECT_EQ(STR_utf8_prev(t.data(), t.data() + 5, t.data() + t.size()), t.data() + 4);
}

TEST(OglRegistryTest, NamedVariablesAreRegisteredOnceEach) {
    DREF_var& tex_mem = OGL_font_register_vars();
    EXPECT_EQ(&tex_mem, &OGL_font_register_vars());
    EXPECT_STREQ(tex_mem.name, "font/tex_mem");
    EXPECT_EQ(tex_mem.type, 0);
    OGL_view_vars v = OGL_view_register_vars();
    EXPECT_EQ(&v.kill_cull, &OGL_view_register_vars().kill_cull);
    EXPECT_STREQ(v.kill_cull.name, "perf/kill_cull");
    EXPECT_STREQ(v.kill_clip.name, "perf/kill_clip");
    EXPECT_EQ(v.kill_cull.type, 5);
    EXPECT_EQ(v.kill_clip.type, 5);
    EXPECT_EQ(v.kill_cull.own_value, 0u);
}

TEST_F(OglFontTest, FontOneTracksOneAndAllMeasuringUsesFontZero) {
    std::string text = "Measure";
    (void)OGL_measure_string(text);
    EXPECT_NE(OGL_find_glyph(*OGL_get_font(0), 'M'), nullptr);
    EXPECT_EQ(OGL_find_glyph(*OGL_get_font(1), 'M'), nullptr);
    EXPECT_EQ(OGL_get_font(0)->tex_ref, 1024);
    EXPECT_EQ(OGL_get_font(1)->tex_ref, 1025);
    EXPECT_EQ(OGL_get_font(2), nullptr);
}

// Latin and Cyrillic, with the Russian License sentence that once ran past its panel.
const std::string mixed_paragraph =
    "\xD0\x95\xD1\x81\xD0\xBB\xD0\xB8 \xD0\xB2\xD1\x8B \xD1\x85\xD0\xBE\xD1\x82\xD0\xB8\xD1\x82\xD0\xB5 "
    "\xD0\xB8\xD1\x81\xD0\xBF\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD1\x8C "
    "Aerivon \xD0\xB2 "
    "\xD0\xBF\xD1\x80\xD0\xBE\xD1\x84\xD0\xB5\xD1\x81\xD1\x81\xD0\xB8\xD0\xBE\xD0\xBD\xD0\xB0\xD0\xBB\xD1\x8C"
    "\xD0\xBD\xD0\xBE\xD0\xB9 \xD0\xB8\xD0\xBB\xD0\xB8 "
    "\xD0\xBA\xD0\xBE\xD0\xBC\xD0\xBC\xD0\xB5\xD1\x80\xD1\x87\xD0\xB5\xD1\x81\xD0\xBA\xD0\xBE\xD0\xB9 "
    "\xD1\x80\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x82\xD0\xB5, www.aerivon.example. F\xC3\xBCr die Installation "
    "ben\xC3\xB6tigt: "
    "\xD1\x87\xD0\xB5\xD1\x80\xD0\xB5\xD0\xB7 "
    "\xD0\xB4\xD0\xB5\xD0\xBC\xD0\xBE\xD0\xB2\xD0\xB5\xD1\x80\xD1\x81\xD0\xB8\xD1\x8F "
    "\xD0\xBA\xD0\xBE\xD0\xBC\xD0\xBF\xD1\x8C\xD1\x8E\xD1\x82\xD0\xB5\xD1\x80.";

// In every language of the table (Russian narrowed to 90 %), in both fonts: a wrapped line is no wider than
// its wrap width, ink included; drawing moves the pen by the width that breaking measured; and in font 0
// each glyph lands where the measured advances before it put it, to the pixel (no rounding drift).
TEST_F(OglFontTest, EveryLanguageDrawsWhatItMeasuresAndWrapsInsideItsWidth) {
    const float english = OGL_measure_string(mixed_paragraph);
    for (int language = 0; language < LANG_COUNT; ++language) {
        SCOPED_TRACE("language " + std::to_string(language));
        reload_fonts(language);
        // Russian is narrowed to 90 %, then each advance is hinted to whole pixels.
        if (language == 3) {
            EXPECT_LT(OGL_measure_string(mixed_paragraph), english * 0.95f);
            EXPECT_GT(OGL_measure_string(mixed_paragraph), english * 0.88f);
        } else {
            EXPECT_EQ(OGL_measure_string(mixed_paragraph), english);
        }
        for (int mode : {0, 1})
            for (float wrap : {120.0f, 333.0f}) {
                const float x = 20.0f;
                const std::vector<OGL_placed_line> lines =
                    OGL_place_string(mixed_paragraph, x, 400.0f, wrap, mode, 0);
                ASSERT_GE(lines.size(), 3u);
                for (const OGL_placed_line& l : lines) {
                    SCOPED_TRACE(std::string(l.text.begin, l.text.end));
                    EXPECT_LE(l.text.width, wrap);
                    EXPECT_EQ(l.pen_end - l.pen_start, l.text.width);
                    if (mode == 0) {
                        EXPECT_EQ(l.text.width, OGL_measure_range(l.text.begin, l.text.end));
                    }
                    for (const OGL_placed_glyph& g : l.glyphs) {
                        EXPECT_LE(g.left + static_cast<float>(g.glyph->right - g.glyph->left), x + wrap);
                        EXPECT_EQ(g.glyph->advance, std::round(g.glyph->advance));
                        if (mode == 0) {
                            EXPECT_EQ(g.left, x + OGL_measure_range(l.text.begin, g.at) + g.glyph->x_offset);
                        }
                    }
                }
            }
    }
}

// The font's own design of a code point narrowed by `scale`, unhinted: its advance and the whole-pixel left
// of its outline.
struct design_metrics {
    float advance;
    float left;
};
design_metrics design_of(const char* file, float scale, uint32_t cp) {
    return freetype_glyph(file, scale, cp, FT_LOAD_NO_HINTING, [](const FT_GlyphSlotRec& g) {
        return design_metrics{static_cast<float>(g.linearHoriAdvance) / 65536.0f,
                              std::floor(static_cast<float>(g.metrics.horiBearingX) / 64.0f)};
    });
}

// Adjacent letters inside a Cyrillic word stand as far apart as the font designs them, to half a pixel
// (the rounding of one advance), at either horizontal scale and in both fonts.
TEST_F(OglFontTest, LettersOfACyrillicWordAreEvenlySpaced) {
    // "через демоверсия компьютер включайте"
    const std::string words =
        "\xD1\x87\xD0\xB5\xD1\x80\xD0\xB5\xD0\xB7 "
        "\xD0\xB4\xD0\xB5\xD0\xBC\xD0\xBE\xD0\xB2\xD0\xB5\xD1\x80\xD1\x81\xD0\xB8\xD1\x8F "
        "\xD0\xBA\xD0\xBE\xD0\xBC\xD0\xBF\xD1\x8C\xD1\x8E\xD1\x82\xD0\xB5\xD1\x80 "
        "\xD0\xB2\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB0\xD0\xB9\xD1\x82\xD0\xB5";
    for (int language : {0, 3}) {
        reload_fonts(language);
        const float scale = language == 3 ? 0.9f : 1.0f;
        for (int mode : {0, 1}) {
            SCOPED_TRACE("language " + std::to_string(language) + ", mode " + std::to_string(mode));
            const std::vector<OGL_placed_line> lines =
                OGL_place_string(words, 20.0f, 400.0f, 9999.0f, mode, 0);
            ASSERT_EQ(lines.size(), 1u);
            const std::vector<OGL_placed_glyph>& g = lines[0].glyphs;
            int pairs = 0;
            for (size_t i = 0; i + 1 < g.size(); ++i) {
                if (g[i + 1].at != g[i].at + 2)
                    continue; // a blank lies between them
                ++pairs;
                uint32_t a, b;
                OGL_utf8_next(g[i].at, g[i].at + 2, &a);
                OGL_utf8_next(g[i + 1].at, g[i + 1].at + 2, &b);
                const char* file = mode == 0 ? dejavu : dejavu_bold;
                const design_metrics da = design_of(file, scale, a), db = design_of(file, scale, b);
                const float drawn = (g[i + 1].left - db.left) - (g[i].left - da.left);
                EXPECT_NEAR(drawn, da.advance, 0.5f + 1.0f / 64.0f) << std::string(g[i].at, g[i + 1].at + 2);
            }
            EXPECT_EQ(pairs, 29);
        }
    }
}

// The line step holds the font's descent and the next line's ascent: German descenders clear the accents
// of the line below.
TEST_F(OglFontTest, StackedLinesLeaveRoomForDescentAndAscent) {
    const std::string text = "Datentr\xC3\xA4gergr\xC3\xB6\xC3\x9F"
                             "e: 258.0 GB\nFreier Speicherplatz: 77.8 GB\n"
                             "F\xC3\xBCr die Installation ben\xC3\xB6tigt: 60 KB\njpg \xC3\x9C"
                             "berhaupt nichts "
                             "tun! Lassen Sie dies aus, es sei denn, Sie m\xC3\xB6"
                             "chten am Aerivon-Betaprogramm "
                             "teilnehmen!";
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        const font_face& face = OGL_get_font(mode)->faces.front();
        const float step = OGL_line_step(mode);
        EXPECT_GE(step, face.ascent + face.descent);
        const std::vector<OGL_placed_line> lines = OGL_place_string(text, 20.0f, 400.0f, 200.0f, mode, 0);
        ASSERT_GE(lines.size(), 5u);
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            SCOPED_TRACE(std::string(lines[i].text.begin, lines[i].text.end));
            EXPECT_EQ(lines[i].baseline - lines[i + 1].baseline, step);
            float lowest = 1e9f, highest = -1e9f;
            for (const OGL_placed_glyph& g : lines[i].glyphs)
                lowest = std::min(lowest, g.bottom);
            for (const OGL_placed_glyph& g : lines[i + 1].glyphs)
                highest = std::max(highest, g.bottom + static_cast<float>(g.glyph->bottom - g.glyph->top));
            EXPECT_GE(lowest, highest);
        }
    }
}

TEST_F(OglFontTest, AtlasGrowsFromNoRowsToThePowerOfTwoOfTheFirstShelf) {
    font_record& font = *OGL_get_font(1);
    const float before = OGL_font_tex_mem();
    EXPECT_EQ(font.atlas_height, 0);
    OGL_glyph_advance(font, ' ');
    EXPECT_EQ(font.atlas_height, 0) << "a blank has no bitmap";
    OGL_glyph_advance(font, 'A');
    const glyph_record* a = OGL_find_glyph(font, 'A');
    ASSERT_NE(a, nullptr);
    const int first_shelf = font.shelf.shelf_height;
    EXPECT_EQ(first_shelf, a->bottom - a->top);
    EXPECT_EQ(font.atlas_height, OGL_next_power_of_two(first_shelf));
    EXPECT_EQ(OGL_font_tex_mem(), before + static_cast<float>(font.atlas_height));
    // The bitmap went into the atlas rows of its rectangle.
    int ink = 0;
    for (int y = a->top; y < a->bottom; ++y)
        for (int x = a->left; x < a->right; ++x)
            ink += font.atlas[static_cast<size_t>(y) * OGL_ATLAS_WIDTH + x] != 0;
    EXPECT_GT(ink, 10);
    // Reloading gives the rows back.
    OGL_load_font(1);
    EXPECT_EQ(OGL_get_font(1)->atlas_height, 0);
    EXPECT_EQ(OGL_font_tex_mem(), before);
}

TEST(OglTextLayoutTest, ShelfPackerAndGrowth) {
    OGL_shelf s;
    int left = -1, top = -1;
    EXPECT_FALSE(OGL_shelf_place(s, 1025, 5, &left, &top)) << "wider than a row";
    EXPECT_EQ(s.pen_x, 0);
    EXPECT_TRUE(OGL_shelf_place(s, 10, 12, &left, &top));
    EXPECT_EQ(OGL_atlas_rows_needed(s, 0), 16);
    EXPECT_TRUE(OGL_shelf_place(s, 1024, 7, &left, &top));
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 12) << "a full-row glyph starts a new shelf";
    EXPECT_EQ(s.pen_x, 1024);
    EXPECT_EQ(OGL_atlas_rows_needed(s, 16), 32); // 16 + 7 rounded up
    EXPECT_TRUE(OGL_shelf_place(s, 1, 1, &left, &top));
    EXPECT_EQ(top, 19);
    OGL_shelf one;
    EXPECT_TRUE(OGL_shelf_place(one, 1, 1, &left, &top));
    EXPECT_EQ(OGL_atlas_rows_needed(one, 0), 1);
    EXPECT_EQ(OGL_next_power_of_two(0), 1);
    EXPECT_EQ(OGL_next_power_of_two(2), 2);
    EXPECT_EQ(OGL_next_power_of_two(300), 512);
}

TEST_F(OglFontTest, JapaneseComesFromTheFallbackFaceAndUnknownCodePointsAreErrors) {
    font_record& font = *OGL_get_font(0);
    ASSERT_EQ(font.faces.size(), 2u);
    const float w = OGL_measure_string("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"); // 日本語
    EXPECT_GT(w, 20.0f);
    for (uint32_t cp : {0x65E5u, 0x672Cu, 0x8A9Eu}) {
        const glyph_record* g = OGL_find_glyph(font, cp);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->error, 0);
        EXPECT_GT(g->right - g->left, 4);
    }
    // A private-use code point that no face holds.
    EXPECT_EQ(OGL_glyph_advance(font, 0xF8FF), 0.0f);
    const glyph_record* none = OGL_find_glyph(font, 0xF8FF);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->error, OGL_GLYPH_NO_FACE);
    EXPECT_EQ(none->right - none->left, 0);
}

} // namespace
