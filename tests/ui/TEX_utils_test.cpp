// Image utilities: sizes, downsampling, bleeding, normal maps, gamma conversion of S3TC blocks checked
// through libsquish's decoder, and loading a file by its magic.
#include <gtest/gtest.h>
#include <squish.h>

#include <cmath>
#include <cstdlib>

#include "base/OPT_options.h"
#include "support/test_support.h"
#include "tex_test_images.h"
#include "ui/TEX_utils.h"

namespace {

TEX_image_info image(uint32_t format, int w, int h, int pad = 0, int mips = 0) {
    TEX_image_info info;
    info.format = format;
    info.width = w;
    info.height = h;
    info.pad = pad;
    info.has_mipmaps = mips;
    return info;
}

TEST(TexUtilsTest, ImageSizes) {
    struct {
        const char* what;
        TEX_image_info info;
        size_t bytes;
    } cases[] = {
        {"4 x 4 RGBA with mipmaps", image(GL_RGBA, 4, 4, 0, 1), 64 + 16 + 4},
        {"4 x 2 RGB with mipmaps", image(GL_RGB, 4, 2, 0, 1), 24 + 6 + 3},
        {"3 x 2 RGB padded", image(GL_RGB, 3, 2, 3), 24},
        {"ALPHA padded", image(GL_ALPHA, 3, 2, 1), 8},
        {"RG ignores padding", image(GL_RG, 3, 2, 5), 12},
        {"float RGBA", image(GL_RGBA32F, 2, 2), 64},
        {"DXT1 8 x 8", image(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 8), 32},
        {"DXT1 2 x 2 is one block", image(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 2, 2), 8},
        {"DXT5 4 x 4 with mipmaps", image(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 4, 4, 0, 1), 48},
        {"unknown format", image(GL_DEPTH_STENCIL, 4, 4), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TEX_image_size(c.info), c.bytes);
    }
}

TEST(TexUtilsTest, DownsampleTakesTheFloorOfTheMeans) {
    unsigned char rgb[12] = {10, 20, 30, 11, 21, 31, 12, 22, 32, 14, 24, 35};
    TEX_image_info info = image(GL_RGB, 2, 2);
    TEX_downsample(info, rgb, 2, 2);
    EXPECT_EQ(info.width, 1);
    EXPECT_EQ(info.height, 1);
    EXPECT_EQ(rgb[0], (10 + 11 + 12 + 14) / 4);
    EXPECT_EQ(rgb[1], (20 + 21 + 22 + 24) / 4);
    EXPECT_EQ(rgb[2], (30 + 31 + 32 + 35) / 4);

    // 4 x 2 ALPHA with 2 bytes of row padding, by 2 x 1: packed from the start, padding kept.
    unsigned char alpha[12] = {0, 2, 4, 8, 99, 99, 1, 3, 5, 7, 99, 99};
    info = image(GL_ALPHA, 4, 2, 2);
    TEX_downsample(info, alpha, 2, 1);
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(info.height, 2);
    const unsigned char want[] = {1, 6, 2, 6};
    EXPECT_EQ(alpha[0], want[0]);
    EXPECT_EQ(alpha[1], want[1]);
    EXPECT_EQ(alpha[4], want[2]);
    EXPECT_EQ(alpha[5], want[3]);

    // A factor beyond the side is cut down to it.
    unsigned char line[8] = {0, 0, 0, 8, 4, 4, 4, 4};
    info = image(GL_RGBA, 2, 1);
    TEX_downsample(info, line, 8, 8);
    EXPECT_EQ(info.width, 1);
    EXPECT_EQ(info.height, 1);
    EXPECT_EQ(line[0], 2);
    EXPECT_EQ(line[3], 6);
}

TEST(TexUtilsTest, BleedFillsFromOpaqueNeighboursOnly) {
    // Fully transparent: unchanged.
    std::vector<unsigned char> clear(5 * 5 * 4, 0);
    for (size_t i = 0; i < clear.size(); i += 4)
        clear[i] = static_cast<unsigned char>(i);
    std::vector<unsigned char> before = clear;
    TEX_bleed_transparent(image(GL_RGBA, 5, 5), clear.data());
    EXPECT_EQ(clear, before);

    // One opaque texel at (0, 0) of a 6 x 1 strip: texels 1 and 2 take its colour, 3 and on do not.
    std::vector<unsigned char> strip(6 * 4, 0);
    strip[0] = 200;
    strip[1] = 100;
    strip[2] = 50;
    strip[3] = 255;
    strip[4 * 4] = 7; // texel 4 keeps its own colour
    TEX_bleed_transparent(image(GL_RGBA, 6, 1), strip.data());
    for (int x = 1; x <= 2; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(strip[x * 4], 200);
        EXPECT_EQ(strip[x * 4 + 1], 100);
        EXPECT_EQ(strip[x * 4 + 2], 50);
        EXPECT_EQ(strip[x * 4 + 3], 0);
    }
    EXPECT_EQ(strip[3 * 4], 0);
    EXPECT_EQ(strip[4 * 4], 7);

    // Two opaque texels average; a filled texel never counts as a source.
    std::vector<unsigned char> pair(3 * 4, 0);
    pair[0] = 10;
    pair[3] = 255;
    pair[8] = 31;
    pair[11] = 1;
    TEX_bleed_transparent(image(GL_RGBA, 3, 1), pair.data());
    EXPECT_EQ(pair[4], (10 + 31) / 2);
}

TEST(TexUtilsTest, HeightToNormalOnARamp) {
    // Heights 0, 51, 102, 153 along x in the third byte; one row, so dy wraps onto itself.
    unsigned char rgb[12] = {0, 0, 0, 0, 0, 51, 0, 0, 102, 0, 0, 153};
    TEX_height_to_normal(rgb, image(GL_RGB, 4, 1), 1.0f);
    for (int x = 0; x < 3; ++x) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(rgb[x * 3], 153, 1); // (0.2 + 1) x 127.5, truncated
        EXPECT_EQ(rgb[x * 3 + 1], 127);
        EXPECT_EQ(rgb[x * 3 + 2], 51 * x); // RGB keeps its heights
    }
    EXPECT_NEAR(rgb[9], 51, 1); // wraps: (0 - 0.6 + 1) x 127.5

    unsigned char rgba[16] = {0, 0, 0, 9, 0, 0, 51, 9, 0, 0, 102, 9, 0, 0, 153, 9};
    TEX_height_to_normal(rgba, image(GL_RGBA, 4, 1), 2.0f);
    EXPECT_NEAR(rgba[0], 178, 1);  // (0.4 + 1) x 127.5
    EXPECT_NEAR(rgba[2], 20, 1);   // 127.5 x 0.16
    EXPECT_EQ(rgba[12], 0);        // (-1.2 + 1) limited to 0
    EXPECT_NEAR(rgba[14], 183, 1); // 127.5 x 1.44
    EXPECT_EQ(rgba[3], 9);
}

// The colours a block decodes to.
std::vector<uint8_t> decode_block(const unsigned char* block, int flags) {
    std::vector<uint8_t> rgba(64);
    squish::Decompress(rgba.data(), block, flags);
    return rgba;
}

uint16_t endpoint(const unsigned char* colour_block, int i) {
    return static_cast<uint16_t>(colour_block[2 * i] | colour_block[2 * i + 1] << 8);
}

// Channel ch (0 red, 1 green, 2 blue) of an RGB565 colour, widened to 8 bits.
int expand(uint16_t c, int ch) {
    int v = ch == 0 ? c >> 11 : ch == 1 ? (c >> 5 & 63) : (c & 31);
    return ch == 1 ? (v << 2 | v >> 4) : (v << 3 | v >> 2);
}

TEST(TexUtilsTest, GammaConversionOfS3tcKeepsEachBlocksModeAndPicture) {
    uint8_t brighten[256], invert[256], flat[256], crush[256];
    for (int i = 0; i < 256; ++i) {
        brighten[i] = static_cast<uint8_t>(std::lround(255 * std::pow(i / 255.0, 1.8 / 2.2)));
        invert[i] = static_cast<uint8_t>(255 - i);
        flat[i] = 128;
        crush[i] = static_cast<uint8_t>(i < 128 ? 40 : 200);
    }
    struct {
        const char* what;
        int flags;
        std::vector<unsigned char> block;
        const uint8_t* table;
    } cases[] = {
        {"DXT1 four colours", squish::kDxt1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0x1B, 0x4E, 0xB1}, brighten},
        {"DXT1 four colours, order flipped",
         squish::kDxt1,
         {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0x1B, 0x4E, 0xB1},
         invert},
        {"DXT1 four colours, endpoints made equal",
         squish::kDxt1,
         {0x10, 0x84, 0x08, 0x42, 0xE4, 0x1B, 0x4E, 0xB1},
         flat},
        {"DXT1 four colours, crushed equal",
         squish::kDxt1,
         {0x08, 0x42, 0x04, 0x21, 0x00, 0xFF, 0x55, 0xAA},
         crush},
        {"DXT1 three colours and transparent",
         squish::kDxt1,
         {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0x1B, 0xFF, 0x00},
         brighten},
        {"DXT1 three colours, order flipped",
         squish::kDxt1,
         {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0x1B, 0xFF, 0xC6},
         invert},
        {"DXT3",
         squish::kDxt3,
         {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88, 0x00, 0xF8, 0xE0, 0x07, 0x1B, 0xE4, 0x4E, 0xB1},
         invert},
        {"DXT5",
         squish::kDxt5,
         {0xF0, 0x10, 0x49, 0x92, 0x24, 0x49, 0x92, 0x24, 0xE0, 0x07, 0x00, 0xF8, 0x1B, 0xE4, 0x4E, 0xB1},
         brighten},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool dxt1 = c.flags == squish::kDxt1;
        std::vector<unsigned char> converted = c.block;
        const uint32_t format = dxt1                       ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                                : c.flags == squish::kDxt3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                                           : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
        TEX_gamma_convert(image(format, 4, 4), converted.data(), c.table);
        const unsigned char* before_colour = c.block.data() + (dxt1 ? 0 : 8);
        const unsigned char* after_colour = converted.data() + (dxt1 ? 0 : 8);
        if (dxt1) {
            EXPECT_EQ(endpoint(before_colour, 0) > endpoint(before_colour, 1),
                      endpoint(after_colour, 0) > endpoint(after_colour, 1));
        } else {
            EXPECT_TRUE(
                std::equal(c.block.begin(), c.block.begin() + 8, converted.begin())); // alpha untouched
        }
        // Texels on an endpoint decode to its converted colour (less the 565 rounding); the others lie
        // between the converted endpoints; transparency stays where it was.
        std::vector<uint8_t> before = decode_block(c.block.data(), c.flags);
        std::vector<uint8_t> after = decode_block(converted.data(), c.flags);
        const uint32_t indices = before_colour[4] | before_colour[5] << 8 | before_colour[6] << 16 |
                                 static_cast<uint32_t>(before_colour[7]) << 24;
        for (int t = 0; t < 16; ++t) {
            SCOPED_TRACE(t);
            EXPECT_EQ(after[t * 4 + 3], before[t * 4 + 3]);
            if (before[t * 4 + 3] == 0)
                continue;
            const uint32_t index = indices >> (2 * t) & 3;
            for (int ch = 0; ch < 3; ++ch) {
                if (index < 2) {
                    EXPECT_NEAR(after[t * 4 + ch], c.table[before[t * 4 + ch]], 8);
                } else {
                    const int e0 = c.table[expand(endpoint(before_colour, 0), ch)];
                    const int e1 = c.table[expand(endpoint(before_colour, 1), ch)];
                    EXPECT_GE(after[t * 4 + ch], std::min(e0, e1) - 8);
                    EXPECT_LE(after[t * 4 + ch], std::max(e0, e1) + 8);
                }
            }
        }
    }
}

TEST(TexUtilsTest, GammaConversionOfPlainImagesMapsColourNotAlpha) {
    uint8_t invert[256];
    for (int i = 0; i < 256; ++i)
        invert[i] = static_cast<uint8_t>(255 - i);
    unsigned char bgra[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    TEX_gamma_convert(image(GL_BGRA, 2, 1), bgra, invert);
    const unsigned char want[8] = {254, 253, 252, 4, 250, 249, 248, 8};
    EXPECT_TRUE(std::equal(bgra, bgra + 8, want));
    // Two levels: 2 x 2 then 1 x 1.
    unsigned char bgr[15] = {0};
    TEX_gamma_convert(image(GL_BGR, 2, 2, 0, 1), bgr, invert);
    EXPECT_TRUE(std::all_of(bgr, bgr + 15, [](unsigned char b) { return b == 255; }));
}

TEST(TexUtilsDeathTest, GammaConversionOfAnotherFormatEndsTheProgram) {
    OPT_parse_only("--qa_script=1");
    uint8_t table[256] = {};
    unsigned char pixels[4] = {};
    EXPECT_EXIT(TEX_gamma_convert(image(GL_ALPHA, 2, 2), pixels, table), testing::ExitedWithCode(1), "");
    OPT_parse_only("");
}

TEST(TexUtilsTest, LoadImageFileGoesByTheMagic) {
    OPT_parse_only("--qa_script=1");
    test::TempDir dir;
    teximg::png_spec layout;
    layout.rows = {std::string("\x05\x06\x07", 3)};
    test::write_file(dir.file("a.png"), teximg::make_png(layout));
    test::write_file(dir.file("b.bmp"), teximg::make_bmp(1, 1, {5, 6, 7}));
    test::write_file(dir.file("short.bmp"), teximg::make_bmp(1, 1, {5, 6, 7}).substr(0, 40)); // refused
    test::write_file(dir.file("text.png"), "this is not an image at all");
    struct {
        const char* file;
        int ok;
    } cases[] = {{"a.png", 1}, {"b.bmp", 1}, {"short.bmp", 0}, {"text.png", 0}, {"missing.png", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        unsigned char* p = nullptr;
        TEX_image_info info;
        EXPECT_EQ(TEX_load_image_file(dir.file(c.file), p, 0, GL_RGB, 0, 0, 0, info), c.ok);
        if (c.ok) {
            EXPECT_EQ(info.width, 1);
            EXPECT_EQ(p[2] > p[0], c.file[0] == 'a'); // the PNG is 5, 6, 7; the BMP 7, 6, 5
        }
        std::free(p);
    }
    OPT_parse_only("");
}

} // namespace
