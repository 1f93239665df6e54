// The generated interface art as the program embeds it: every image decodes at its size, the swatches
// hold the declared palette, the words keep inside their slots, and the generator repeats itself byte for
// byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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
