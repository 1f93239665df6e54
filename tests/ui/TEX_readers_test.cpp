// The BMP, DDS and PNG readers on files made here, on cut and crafted files, and on the corpus.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <filesystem>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "support/test_support.h"
#include "tex_test_images.h"
#include "ui/OGL_colour_settings.h"
#include "ui/TEX_bmp.h"
#include "ui/TEX_dds.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_png.h"
#include "ui/TEX_utils.h"

namespace {

using teximg::bytes_file;

// Alerts go to the (unopened) log only: an automated run, so no message box waits.
class ReaderTest : public ::testing::Test {
  protected:
    void SetUp() override { OPT_parse_only("--qa_script=1"); }
    void TearDown() override { OPT_parse_only(""); }
};

struct owned_pixels {
    unsigned char* p = nullptr;
    ~owned_pixels() { std::free(p); }
};

// Decodes a PNG into a fresh buffer; the result, the description and the bytes.
struct png_result {
    int ok = 0, hint = 0;
    TEX_image_info info;
    std::string pixels;
};
png_result read_png(const std::string& bytes, uint32_t desired, int alpha_mode, int pow2 = 0, int gamma = 0) {
    png_result r;
    owned_pixels buf;
    bytes_file f(bytes);
    r.info.format = desired;
    r.ok = TEX_read_png("test.png", f, buf.p, 0, 0, pow2, alpha_mode, gamma, r.info, r.hint);
    if (r.ok)
        r.pixels.assign(reinterpret_cast<char*>(buf.p), TEX_image_size(r.info));
    return r;
}

TEST_F(ReaderTest, BmpThreeByTwoWithPowerOfTwoPadsAZeroColumnAndKeysMagenta) {
    // Bottom row: red, green, magenta; top row: blue, white, black (BGR in the file).
    std::string bmp =
        teximg::make_bmp(3, 2, {0, 0, 255, 0, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 0, 0, 0});
    bytes_file f(bmp);
    owned_pixels buf;
    TEX_image_info info;
    ASSERT_EQ(TEX_read_bmp("t.bmp", f, buf.p, 0, GL_RGBA, 0, 1, info), 1);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.pad, 4);
    const uint8_t* g = colour_settings.gamma_a;
    const uint8_t want[2][16] = {
        {g[255], g[0], g[0], 255, g[0], g[255], g[0], 255, 0, 0, 0, 0, 0, 0, 0, 0},
        {g[0], g[0], g[255], 255, g[255], g[255], g[255], 255, g[0], g[0], g[0], 255, 0, 0, 0, 0},
    };
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 16; ++i) {
            SCOPED_TRACE(testing::Message() << "row " << row << " byte " << i);
            EXPECT_EQ(buf.p[row * 16 + i], want[row][i]);
        }
}

TEST_F(ReaderTest, BmpAlphaIsTheMeanAndRgbKeepsMagenta) {
    std::string bmp = teximg::make_bmp(2, 1, {30, 60, 91, 255, 0, 255});
    owned_pixels alpha, rgb;
    TEX_image_info info;
    bytes_file f(bmp);
    ASSERT_EQ(TEX_read_bmp("t.bmp", f, alpha.p, 0, GL_ALPHA, 0, 0, info), 1);
    EXPECT_EQ(alpha.p[0], (30 + 60 + 91) / 3);
    ASSERT_EQ(TEX_read_bmp("t.bmp", f, rgb.p, 0, GL_RGB, 0, 0, info), 1);
    EXPECT_EQ(rgb.p[3], 255);
    EXPECT_EQ(rgb.p[4], 0);
    EXPECT_EQ(rgb.p[5], 255);
}

TEST_F(ReaderTest, BmpCraftedHeadersAreRefusedBeforeAllocating) {
    struct {
        const char* what;
        int32_t w, h;
        int pad_width;
        int ok;
        int pad; // when read
    } cases[] = {
        {"zero width", 0, 2, 0, 0, 0},      {"zero height", 2, 0, 0, 0, 0},
        {"top-down", 2, -2, 0, 0, 0},       {"negative width", -3, 2, 0, 0, 0},
        {"too wide", 4097, 1, 0, 0, 0},     {"too tall", 1, 4097, 0, 0, 0},
        {"widest", 4096, 1, 0, 1, 0},       {"pad width below width", 4, 1, 2, 1, 0},
        {"pad width above", 2, 1, 5, 1, 9}, {"absurd pad width", 2, 1, 1 << 30, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bmp = teximg::make_bmp(c.w, c.h, {});
        bmp.resize(std::min<size_t>(bmp.size(), 200)); // the pixels need not all be there
        bytes_file f(bmp);
        owned_pixels buf;
        TEX_image_info info;
        EXPECT_EQ(TEX_read_bmp("t.bmp", f, buf.p, 0, GL_RGB, c.pad_width, 0, info), c.ok);
        EXPECT_EQ(buf.p != nullptr, c.ok == 1);
        if (c.ok) {
            EXPECT_EQ(info.pad, c.pad);
        }
    }
}

TEST_F(ReaderTest, BmpPixelsPastTheFileEndAreNotRead) {
    std::string bmp = teximg::make_bmp(4, 4, std::vector<uint8_t>(48, 200));
    bmp.resize(54 + 12 + 5); // the first row whole, the second cut inside its second pixel
    bytes_file f(bmp);
    std::vector<unsigned char> caller(4 * 4 * 3, 7);
    unsigned char* p = caller.data();
    TEX_image_info info;
    ASSERT_EQ(TEX_read_bmp("t.bmp", f, p, caller.size(), GL_RGB, 0, 0, info), 1);
    EXPECT_EQ(caller[0], colour_settings.gamma_a[200]);
    EXPECT_EQ(caller[12 + 0], colour_settings.gamma_a[200]); // row 1, pixel 0 is whole
    EXPECT_EQ(caller[12 + 3], 7);                            // row 1, pixel 1 is cut: kept
    EXPECT_EQ(caller[47], 7);
}

TEST_F(ReaderTest, BmpOtherDepthOrCompressionEndsTheProgram) {
    auto read = [](int bits, uint32_t compression) {
        LOG_init();
        FILE_open_ofstream(LOG_stream, "/dev/stderr", std::ios_base::out, 0x40);
        std::string bmp = teximg::make_bmp(2, 2, {}, bits, compression);
        bytes_file f(bmp);
        unsigned char* p = nullptr;
        TEX_image_info info;
        TEX_read_bmp("t.bmp", f, p, 0, GL_RGB, 0, 0, info);
    };
    EXPECT_EXIT(read(32, 0), testing::ExitedWithCode(1), "Wrong bitmap color depth for texture!");
    EXPECT_EXIT(read(24, 1), testing::ExitedWithCode(1), "Bitmap is compressed!");
}

TEST_F(ReaderTest, DdsHeaderFormatsMipmapsAndGamma) {
    const std::string payload = teximg::dxt1_levels();
    struct {
        const char* what;
        std::string file;
        int ok;
        uint32_t format;
        int mipmaps;
        float gamma;
    } cases[] = {
        {"DXT3 without the mipmap flags", teximg::make_dds("DXT3", 4, 4, false, false, payload), 1,
         GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 2.2f},
        {"mipmap count flag only", teximg::make_dds("DXT1", 4, 4, true, false, payload), 1,
         GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 0, 2.2f},
        {"mipmap caps only", teximg::make_dds("DXT5", 4, 4, false, true, payload), 1,
         GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 2.2f},
        {"both", teximg::make_dds("DXT1", 4, 4, true, true, payload, false, true), 1,
         GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 1, 1.8f},
        {"BGR", teximg::make_dds(nullptr, 2, 2, false, false, std::string(12, 'x')), 1, GL_BGR, 0, 2.2f},
        {"BGRA", teximg::make_dds(nullptr, 2, 2, false, false, std::string(16, 'x'), true), 1, GL_BGRA, 0,
         2.2f},
        {"unknown code", teximg::make_dds("DXT2", 4, 4, true, true, payload), 0, 0, 0, 0},
        {"zero width", teximg::make_dds("DXT1", 0, 4, true, true, payload), 0, 0, 0, 0},
        {"too high", teximg::make_dds("DXT1", 4, 4097, true, true, payload), 0, 0, 0, 0},
        {"not a DDS", "DDX " + teximg::make_dds("DXT1", 4, 4, true, true, payload).substr(4), 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bytes_file f(c.file);
        const unsigned char* data = nullptr;
        TEX_image_info info;
        float gamma = 0;
        ASSERT_EQ(TEX_read_dds_header(f, data, info, gamma), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(info.format, c.format);
        EXPECT_EQ(info.has_mipmaps, c.mipmaps);
        EXPECT_EQ(gamma, c.gamma);
        EXPECT_EQ(data, reinterpret_cast<const unsigned char*>(f.base) + 128);
    }
}

TEST_F(ReaderTest, DdsLevelsCutAtEveryLengthAreRefusedUntilWhole) {
    const std::string file = teximg::make_dds("DXT1", 4, 4, true, true, teximg::dxt1_levels());
    for (size_t n = 0; n <= file.size(); ++n) {
        SCOPED_TRACE(n);
        bytes_file f(file, n);
        TEX_image_info info;
        unsigned char* p = nullptr;
        float gamma = 0;
        TEX_dds_result r = TEX_read_dds_levels(f, 1.0f, 4096, info, p, gamma);
        EXPECT_EQ(r, n == file.size() ? TEX_DDS_LEVELS : TEX_DDS_REFUSED);
        EXPECT_EQ(p != nullptr, r == TEX_DDS_LEVELS);
        std::free(p);
    }
}

TEST_F(ReaderTest, DdsLevelsSkipTheLargestWhileTheScaleIsBelowOne) {
    const std::string file = teximg::make_dds("DXT1", 4, 4, true, true, teximg::dxt1_levels());
    bytes_file f(file);
    struct {
        float scale;
        int max_side, side;
    } cases[] = {{1.0f, 4096, 4}, {0.5f, 4096, 2}, {0.25f, 4096, 1}, {0.01f, 4096, 1}, {1.0f, 2, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        TEX_image_info info;
        owned_pixels p;
        float gamma = 0;
        ASSERT_EQ(TEX_read_dds_levels(f, c.scale, c.max_side, info, p.p, gamma), TEX_DDS_LEVELS);
        EXPECT_EQ(info.width, c.side);
        EXPECT_EQ(info.has_mipmaps, 1);
    }
    bytes_file no_mips(teximg::make_dds("DXT3", 4, 4, false, false, std::string(48, '\0')));
    bytes_file npot(teximg::make_dds("DXT1", 6, 4, true, true, std::string(64, '\0')));
    TEX_image_info info;
    unsigned char* p = nullptr;
    float gamma = 0;
    EXPECT_EQ(TEX_read_dds_levels(no_mips, 1.0f, 4096, info, p, gamma), TEX_DDS_NO_MIPMAPS);
    EXPECT_EQ(TEX_read_dds_levels(npot, 1.0f, 4096, info, p, gamma), TEX_DDS_NOT_POW2);
    EXPECT_EQ(p, nullptr);
}

TEST_F(ReaderTest, PngAlphaModesChooseTheLayout) {
    teximg::png_spec grey;
    grey.colour_type = PNG_COLOR_TYPE_GRAY;
    grey.width = 2;
    grey.rows = {std::string("\x10\x20", 2)};
    teximg::png_spec grey_alpha = grey;
    grey_alpha.colour_type = PNG_COLOR_TYPE_GRAY_ALPHA;
    grey_alpha.rows = {std::string("\x10\x80\x20\xFF", 4)};
    teximg::png_spec rgb;
    rgb.rows = {std::string("\x01\x02\x03", 3)};
    teximg::png_spec palette_trns;
    palette_trns.colour_type = PNG_COLOR_TYPE_PALETTE;
    palette_trns.palette = {{9, 8, 7}};
    palette_trns.trns = {100};
    palette_trns.rows = {std::string(1, '\0')};
    struct {
        const char* what;
        const teximg::png_spec& layout;
        uint32_t desired;
        int mode;
        uint32_t format;
        std::string bytes;
    } cases[] = {
        {"grey, mode 2", grey, GL_RGB, 2, GL_ALPHA, std::string("\x10\x20", 2)},
        {"grey, mode 0", grey, GL_RGB, 0, GL_RGB, std::string("\x10\x10\x10\x20\x20\x20", 6)},
        {"grey with alpha, mode 2", grey_alpha, GL_RGB, 2, GL_RGBA,
         std::string("\x10\x10\x10\x80\x20\x20\x20\xFF", 8)},
        {"grey with alpha as ALPHA", grey_alpha, GL_ALPHA, 0, GL_ALPHA, std::string("\x10\x20", 2)},
        {"rgb as RGBA, mode 1", rgb, GL_RGBA, 1, GL_RGB, std::string("\x01\x02\x03", 3)},
        {"rgb as RGBA, mode 0", rgb, GL_RGBA, 0, GL_RGBA, std::string("\x01\x02\x03\xFF", 4)},
        {"palette with tRNS, mode 1", palette_trns, GL_RGB, 1, GL_RGBA, std::string("\x09\x08\x07\x64", 4)},
        {"palette with tRNS as RGB", palette_trns, GL_RGB, 0, GL_RGB, std::string("\x09\x08\x07", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        png_result r = read_png(teximg::make_png(c.layout), c.desired, c.mode);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.info.format, c.format);
        EXPECT_EQ(r.pixels, c.bytes);
    }
}

TEST_F(ReaderTest, PngCommentGivesTheDecodeHint) {
    struct {
        const char* comment;
        uint32_t desired;
        int hint;
    } cases[] = {
        {nullptr, GL_RGB, 2},
        {"made by hand", GL_RGB, 2},
        {"x NORMAL_SEPARATE_ALPHA y", GL_RGB, 3},
        {"NORMAL_HIGH_PRECISION", GL_RGB, 4},
        {"NORMAL_SEPARATE_ALPHA", GL_ALPHA, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.comment ? c.comment : "none");
        teximg::png_spec layout;
        layout.comment = c.comment;
        png_result r = read_png(teximg::make_png(layout), c.desired, 0);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.hint, c.hint);
    }
}

TEST_F(ReaderTest, PngWriteThenReadIsARoundTripWithBottomUpRows) {
    test::TempDir dir;
    const int w = 3, h = 2;
    for (int bpp : {1, 3, 4}) {
        SCOPED_TRACE(bpp);
        std::string pixels;
        for (int i = 0; i < w * h * bpp; ++i)
            pixels += static_cast<char>(i * 11 + bpp);
        const std::string path = dir.file("rt" + std::to_string(bpp) + ".png");
        ASSERT_EQ(TEX_write_png(path, w, h, bpp, reinterpret_cast<const unsigned char*>(pixels.data())), 1);
        const uint32_t format = bpp == 4 ? GL_RGBA : bpp == 3 ? GL_RGB : GL_ALPHA;
        std::string file = test::read_file(path);
        png_result r = read_png(file, format, 0);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.pixels, pixels);
        // The file's first row is the buffer's last; no gamma chunk is written.
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size()));
        image.format = bpp == 4 ? PNG_FORMAT_RGBA : bpp == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
        std::string top_down(PNG_IMAGE_SIZE(image), '\0');
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, top_down.data(), 0, nullptr));
        EXPECT_EQ(top_down.substr(0, w * bpp), pixels.substr(w * bpp, w * bpp));
        EXPECT_EQ(file.find("gAMA"), std::string::npos);
    }
    EXPECT_EQ(TEX_write_png(dir.file("none/x.png"), w, h, 3,
                            reinterpret_cast<const unsigned char*>("abcdefghijklmnopqr")),
              0);
}

TEST_F(ReaderTest, EveryReaderSurvivesInputCutAtEveryLength) {
    teximg::png_spec layout;
    layout.width = 5;
    layout.height = 4;
    layout.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < 4; ++y)
        layout.rows.push_back(std::string(20, static_cast<char>(y * 40)));
    layout.comment = "NORMAL_HIGH_PRECISION";
    const std::string png = teximg::make_png(layout);
    for (size_t n = 8; n <= png.size(); ++n) {
        SCOPED_TRACE(n);
        png_result r;
        bytes_file f(png, n);
        owned_pixels buf;
        r.info.format = GL_RGBA;
        r.ok = TEX_read_png("cut.png", f, buf.p, 0, 0, 1, 0, 1, r.info, r.hint);
        // The image is whole once its data chunk is: the end chunk (12 bytes) is not read.
        EXPECT_EQ(r.ok == 1, n >= png.size() - 12);
        EXPECT_EQ(buf.p != nullptr, r.ok == 1);
    }
    const std::string bmp = teximg::make_bmp(5, 3, std::vector<uint8_t>(45, 9));
    for (size_t n = 0; n <= bmp.size(); ++n) {
        SCOPED_TRACE(n);
        bytes_file f(bmp, n);
        owned_pixels buf;
        TEX_image_info info;
        EXPECT_EQ(TEX_read_bmp("cut.bmp", f, buf.p, 0, GL_RGBA, 0, 1, info), n >= 54 ? 1 : 0);
    }
    // Through the loader, which maps files: the shortest cuts are refused before any reader.
    test::TempDir dir;
    for (size_t n : {0, 1, 7, 8, 20}) {
        SCOPED_TRACE(n);
        test::write_file(dir.file("cut.png"), png.substr(0, n));
        owned_pixels buf;
        TEX_image_info info;
        EXPECT_EQ(TEX_load_image_file(dir.file("cut.png"), buf.p, 0, GL_RGBA, 0, 0, 0, info), 0);
    }
}

// A grey 1-bit PNG of the given size, all black: small however large.
std::string black_png(int w, int h) {
    teximg::png_spec layout;
    layout.width = w;
    layout.height = h;
    layout.colour_type = PNG_COLOR_TYPE_GRAY;
    layout.depth = 1;
    layout.compression = 9;
    return teximg::make_png(layout);
}

TEST_F(ReaderTest, ScratchImageTakesWhatFitsAndRefusesTheRest) {
    struct {
        int w, h, ok;
    } cases[] = {{2048, 2048, 1}, {4096, 4096, 0}, {2049, 1, 1}, {4096, 1024, 1}, {4096, 1025, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        bytes_file f(black_png(c.w, c.h));
        unsigned char* p = TMAN_scratch_pixels;
        TEX_image_info info;
        info.format = GL_RGBA;
        int hint = 0;
        EXPECT_EQ(TEX_read_png("big.png", f, p, TMAN_SCRATCH_BYTES, 0, 0, 0, 0, info, hint), c.ok);
        EXPECT_EQ(p, TMAN_scratch_pixels);
        if (c.ok) {
            EXPECT_EQ(p[0] | p[1] | p[2], 0);
        }
    }
}

TEST_F(ReaderTest, TooWideImageFailsWithoutAllocating) {
    bytes_file f(black_png(20000, 1));
    unsigned char* p = nullptr;
    TEX_image_info info;
    info.format = GL_RGBA;
    int hint = 0;
    EXPECT_EQ(TEX_read_png("wide.png", f, p, 0, 0, 1, 0, 0, info, hint), 0);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(info.width, 20000); // the texture load reports the size it refused
}

TEST_F(ReaderTest, LayoutThatLibpngCannotDeliverIsRefused) {
    teximg::png_spec rgb;
    rgb.rows = {std::string("\x01\x02\x03", 3)};
    png_result r = read_png(teximg::make_png(rgb), GL_RG, 0);
    EXPECT_EQ(r.ok, 0);
}

TEST_F(ReaderTest, CorpusPngsDecodeOrAreRefused) {
    TEST_NEED_CORPUS(corpus);
    int decoded = 0, refused = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus + "/png")) {
        if (entry.path().extension() != ".png")
            continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(entry.path().string());
        for (uint32_t desired : {GL_RGBA, GL_RGB, GL_ALPHA}) {
            png_result r = read_png(test::read_file(entry.path().string()), desired, 0, 1, 1);
            r.ok ? ++decoded : ++refused;
            if (name.rfind("basn", 0) == 0 || name.rfind("ftb", 0) == 0) {
                EXPECT_EQ(r.ok, 1);
                EXPECT_EQ(r.info.width, 32);
            }
        }
    }
    EXPECT_GT(decoded, 100);
    EXPECT_GT(refused, 0); // the crashers
}

TEST_F(ReaderTest, CorpusDdsHeadersAndLevelsNeverReadPastTheFile) {
    TEST_NEED_CORPUS(corpus);
    int taken = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus + "/dds")) {
        if (entry.path().extension() != ".dds")
            continue;
        SCOPED_TRACE(entry.path().string());
        bytes_file f(test::read_file(entry.path().string()));
        TEX_image_info info;
        owned_pixels p;
        float gamma = 0;
        if (TEX_read_dds_levels(f, 1.0f, 4096, info, p.p, gamma) == TEX_DDS_LEVELS) {
            ++taken;
            EXPECT_GT(TEX_image_size(info), 0u);
        }
    }
    EXPECT_GT(taken, 2);
}

} // namespace
