// The generated interface art as the program embeds it: every image decodes at its size, the swatches
// hold the declared palette, the words keep inside their slots, and the generator repeats itself byte for
// byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "artgen/artgen_layout.h"
#include "base/OPT_options.h"
#include "base/xmap.h"
#include "support/test_support.h"
#include "ui/TEX_png.h"
#include "ui/TEX_utils.h"

namespace {

struct decoded {
    int ok = 0;
    TEX_image_info info;
    std::vector<unsigned char> pixels;
    // Texel (s, t), t from the bottom, of an RGBA image.
    const unsigned char* at(int s, int t) const {
        return &pixels[(static_cast<size_t>(t) * info.width + s) * 4];
    }
};

decoded decode(const std::string& resource, uint32_t format, int gamma = 0) {
    decoded d;
    xmap_file file("RESOURCE:" + resource);
    if (!file.base)
        return d;
    unsigned char* p = nullptr;
    int hint = 0;
    d.info.format = format;
    d.ok = TEX_read_png(resource, file, p, 0, 0, 0, 0, gamma, d.info, hint);
    if (d.ok)
        d.pixels.assign(p, p + TEX_image_size(d.info));
    std::free(p);
    return d;
}

const char* const images[] = {"interface.png",        "background.png",       "map.png",
                              "elements_English.png", "elements_French.png",  "elements_German.png",
                              "elements_Russian.png", "elements_Italian.png", "elements_Spanish.png"};

TEST(ArtworkTest, EveryEmbeddedImageDecodesAtItsSize) {
    OPT_parse_only("--qa_script=1");
    for (const char* name : images) {
        SCOPED_TRACE(name);
        const std::string n = name;
        const artgen::image_spec& layout = n == "interface.png"    ? artgen::interface_image
                                           : n == "background.png" ? artgen::background_image
                                           : n == "map.png"        ? artgen::map_image
                                                                   : artgen::elements_image;
        decoded d = decode(name, layout.channels == 4 ? GL_RGBA : GL_RGB);
        ASSERT_EQ(d.ok, 1);
        EXPECT_EQ(d.info.width, layout.width);
        EXPECT_EQ(d.info.height, layout.height);
    }
    for (const char* font : {"DejaVuSans.ttf", "DejaVuSansBold.ttf", "TT_NewRodin-B.TTF"}) {
        SCOPED_TRACE(font);
        xmap_file file(std::string("RESOURCE:") + font);
        ASSERT_NE(file.base, nullptr);
        EXPECT_GT(file.end - file.base, 100000);
    }
    OPT_parse_only("");
}

TEST(ArtworkTest, SwatchesDecodeToTheDeclaredPalette) {
    // As start-up reads them: RGBA, rows bottom-up; with and without gamma correction (the files say
    // 1/2.2, the display gamma).
    for (int gamma : {0, 1}) {
        SCOPED_TRACE(gamma);
        decoded d = decode("interface.png", GL_RGBA, gamma);
        ASSERT_EQ(d.ok, 1);
        for (const artgen::swatch& w : artgen::swatches) {
            SCOPED_TRACE(w.slot);
            const unsigned char* p = d.at(w.s, w.t);
            EXPECT_EQ(p[0], w.colour.r);
            EXPECT_EQ(p[1], w.colour.g);
            EXPECT_EQ(p[2], w.colour.b);
        }
    }
}

TEST(ArtworkTest, EachWordHasInkOnlyInsideItsSlot) {
    for (const artgen::language_words& language : artgen::languages) {
        SCOPED_TRACE(language.name);
        decoded d = decode(std::string("elements_") + language.name + ".png", GL_RGBA);
        ASSERT_EQ(d.ok, 1);
        for (const artgen::word_row& row : artgen::word_rows) {
            SCOPED_TRACE(row.t0);
            std::vector<int> ink(artgen::word_count, 0);
            for (int t = 0; t < artgen::elements_image.height; ++t) {
                for (int s = 0; s < artgen::words_right_edge; ++s) {
                    if (d.at(s, t)[3] == 0 || t < row.t0 || t >= row.t1)
                        continue;
                    int k = 0;
                    while (k < artgen::word_count && s >= language.edges[k + 1])
                        ++k;
                    ASSERT_LT(k, artgen::word_count)
                        << "ink at (" << s << ", " << t << ") past the last word";
                    EXPECT_GE(s, language.edges[k] + artgen::word_margin);
                    EXPECT_LT(s, language.edges[k + 1] - artgen::word_margin);
                    EXPECT_GE(t, row.t0 + artgen::word_margin);
                    EXPECT_LT(t, row.t1 - artgen::word_margin);
                    ++ink[k];
                }
            }
            for (int k = 0; k < artgen::word_count; ++k)
                EXPECT_GT(ink[k], 20) << language.words[k];
        }
        // Between and around the rows, where the words stop, nothing.
        for (int t : {22, 45, 68, 69, 90})
            for (int s = 0; s < artgen::words_right_edge; ++s)
                ASSERT_EQ(d.at(s, t)[3], 0) << "(" << s << ", " << t << ")";
    }
}

// The lowest row of each column's ink (alpha of half or more) that most columns of the word share: the row
// the letters stand on, whatever a Q's tail or a round letter's overshoot does.
int standing_row(const decoded& d, int s0, int s1, const artgen::word_row& row) {
    std::map<int, int> count;
    for (int s = s0; s < s1; ++s)
        for (int t = row.t0; t < row.t1; ++t)
            if (d.at(s, t)[3] >= 128) {
                ++count[t];
                break;
            }
    int best = -1;
    for (const auto& [t, n] : count)
        if (best < 0 || n > count[best])
            best = t;
    return best;
}

TEST(ArtworkTest, EveryWordOfEveryLanguageStandsOnOneBaseline) {
    for (const artgen::word_row& row : artgen::word_rows) {
        SCOPED_TRACE(row.t0);
        int baseline = -1;
        for (const artgen::language_words& language : artgen::languages) {
            decoded d = decode(std::string("elements_") + language.name + ".png", GL_RGBA);
            ASSERT_EQ(d.ok, 1);
            for (int k = 0; k < artgen::word_count; ++k) {
                const int t = standing_row(d, language.edges[k], language.edges[k + 1], row);
                if (baseline < 0)
                    baseline = t;
                EXPECT_EQ(t, baseline) << language.name << " " << language.words[k];
            }
        }
    }
}

// The nine-slice frames and the three-slice strips repeat their middle rows and columns: each of those
// must equal its neighbour, or the repeats show a seam (as a title band reaching into the middle rows did,
// down the sides of the titled dialog frame every 40 pixels).
TEST(ArtworkTest, FramesAndStripsRepeatTheirMiddlesWithoutASeam) {
    decoded d = decode("interface.png", GL_RGBA);
    ASSERT_EQ(d.ok, 1);
    auto same = [&](int s0, int t0, int s1, int t1) {
        return std::memcmp(d.at(s0, t0), d.at(s1, t1), 4) == 0;
    };
    for (const artgen::frame2_spec& f : artgen::frame2_styles) {
        if (f.image != artgen::IMG_INTERFACE)
            continue;
        SCOPED_TRACE(f.style);
        const double cap = f.style == 20 ? 20 : 0.35 * f.side, bottom = f.style == 20 ? 26 : 0.3 * f.side;
        const int c0 = f.s + static_cast<int>(std::ceil(cap)),
                  c1 = f.s + f.side - static_cast<int>(std::ceil(cap));
        const int r0 = f.t + static_cast<int>(std::ceil(bottom)),
                  r1 = f.t + f.side - artgen::frame2_top_band(f);
        for (int t = r0 + 1; t < r1; ++t)
            for (int s = f.s; s < f.s + f.side; ++s)
                ASSERT_TRUE(same(s, t, s, r0)) << "middle row " << t - f.t << ", column " << s - f.s;
        for (int s = c0 + 1; s < c1; ++s)
            for (int t = f.t; t < f.t + f.side; ++t)
                ASSERT_TRUE(same(s, t, c0, t)) << "middle column " << s - f.s << ", row " << t - f.t;
    }
    for (const artgen::frame1_spec& f : artgen::frame1_styles) {
        if (f.image != artgen::IMG_INTERFACE)
            continue;
        SCOPED_TRACE(f.style);
        for (int s = f.s + f.cap + 1; s < f.s + f.width - f.cap; ++s)
            for (int t = f.t; t < std::min(f.t + f.height, 512); ++t)
                ASSERT_TRUE(same(s, t, f.s + f.cap, t)) << "middle column " << s - f.s << ", row " << t - f.t;
    }
}

// The inner panel's outline stands inside the rectangle the widget draws, grown from the panel's own by 9 at
// the sides, 14 below and 4 above: those texels stay clear (all but 3 below), so a button just under the
// panel stands clear of it.
TEST(ArtworkTest, TheInnerPanelLeavesItsOutsetsClear) {
    decoded d = decode("interface.png", GL_RGBA);
    ASSERT_EQ(d.ok, 1);
    for (const artgen::frame2_inset& in : artgen::frame2_insets)
        for (const artgen::frame2_spec& f : artgen::frame2_styles) {
            if (f.style != in.style)
                continue;
            SCOPED_TRACE(f.style);
            for (int t = f.t; t < f.t + f.side; ++t)
                for (int s = f.s; s < f.s + f.side; ++s)
                    if (s < f.s + in.side || s >= f.s + f.side - in.side || t < f.t + in.bottom ||
                        t >= f.t + f.side - in.top) {
                        ASSERT_EQ(d.at(s, t)[3], 0) << "(" << s - f.s << ", " << t - f.t << ")";
                    }
            // The outline itself, in the middle of each side, right at the outsets.
            const int cs = f.s + f.side / 2, ct = f.t + f.side / 2;
            for (const auto& [s, t] : {std::pair{cs, f.t + in.bottom},
                                       {cs, f.t + f.side - in.top - 1},
                                       {f.s + in.side, ct},
                                       {f.s + f.side - in.side - 1, ct}})
                EXPECT_EQ(d.at(s, t)[3], 255) << "(" << s - f.s << ", " << t - f.t << ")";
        }
}

TEST(ArtworkTest, BackgroundTilesWithoutASeam) {
    decoded d = decode("background.png", GL_RGB);
    ASSERT_EQ(d.ok, 1);
    const int n = artgen::background_image.width;
    auto texel = [&](int s, int t, int c) { return d.pixels[(static_cast<size_t>(t) * n + s) * 3 + c]; };
    // The step across the wrap (last column to the first, last row to the first) is no larger than the step
    // across the same kind of place inside the image (a grid line at 128).
    auto seam = [&](bool columns, int before, int after) {
        long sum = 0;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(columns ? texel(before, i, c) - texel(after, i, c)
                                        : texel(i, before, c) - texel(i, after, c));
        return sum;
    };
    EXPECT_LE(seam(true, n - 1, 0), seam(true, 127, 128) * 5 / 4);
    EXPECT_LE(seam(false, n - 1, 0), seam(false, 127, 128) * 5 / 4);
}

TEST(ArtworkTest, TwoGeneratorRunsGiveIdenticalBytes) {
    test::TempDir dir;
    for (const char* run : {"one", "two"}) {
        test::ChildResult r = test::run_child({AERIVON_ARTGEN, dir.file(run), AERIVON_FONT_BOLD});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    for (const char* name : images) {
        SCOPED_TRACE(name);
        const std::string one = test::read_file(dir.file(std::string("one/") + name));
        ASSERT_FALSE(one.empty());
        EXPECT_TRUE(one == test::read_file(dir.file(std::string("two/") + name)));
        // The build embedded the same bytes.
        xmap_file embedded(std::string("RESOURCE:") + name);
        ASSERT_NE(embedded.base, nullptr);
        EXPECT_TRUE(one == std::string(embedded.base, embedded.end));
    }
}

} // namespace
