// Background tiles: placing pictures of any size into the scratch image (no window), and the tile textures
// made from a real intro.png (needs an X display; tools/test.sh runs Xvfb).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "gui_harness.h"
#include "support/test_support.h"
#include "ui/APP_toolkit_init.h"
#include "ui/OGL_back_tex.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_state.h"
#include "ui/OGL_texture_unit.h"
#include "ui/RLE_blit.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_obj.h"
#include "ui/TEX_png.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

namespace {

uint32_t pattern(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(y % 251) << 12 | (x % 4093); }

std::vector<uint32_t> make_picture(int width, int height) {
    std::vector<uint32_t> p(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[static_cast<size_t>(y) * width + x] = pattern(x, y);
    return p;
}

// Pictures wider or taller than the scratch image are cut to it (run under ASan: nothing is written past
// the scratch image); a small one leaves zeros around it. Every tile of the scratch image is checked.
TEST(BackTexTest, PicturesArePlacedBottomLeftAndCutToTheScratchImage) {
    const int side = BACK_TEX_SCRATCH, tile = BACK_TEX_TILE;
    struct {
        int width, height;
    } cases[] = {{2100, 2100}, {3000, 10}, {700, 600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const std::vector<uint32_t> picture = make_picture(c.width, c.height);
        std::vector<uint32_t> scratch(static_cast<size_t>(side) * side, 0);
        const std::vector<uint32_t> data =
            OGL_back_tex_encode(picture.data(), c.width, c.height, scratch.data());
        std::vector<uint32_t> out(static_cast<size_t>(tile) * tile);
        for (int row = 0; row < side / tile; ++row)
            for (int col = 0; col < side / tile; ++col) {
                RLE_blit(data.data(), static_cast<long>(side) * tile * row + tile * col, side - tile, tile,
                         tile, out.data());
                for (int y = 0; y < tile; ++y)
                    for (int x = 0; x < tile; ++x) {
                        const int px = col * tile + x, py = row * tile + y;
                        const uint32_t want = px < c.width && py < c.height ? pattern(px, py) : 0;
                        ASSERT_EQ(out[static_cast<size_t>(y) * tile + x], want) << px << "," << py;
                    }
            }
    }
}

// ---- the tile textures in a real window

// Window 0 with the real probe and the placeholder, as start-up makes them, in an automated run; the
// Sim-Root folder is a temporary folder holding Resources/bitmaps/.
class BackTexGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!gui::have_display())
            GTEST_SKIP() << "no X display (tools/test.sh runs the window tests under Xvfb)";
        FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
        screen_state = screen_state_record();
        OGL_capabilities = OGL_capabilities_record();
        OGL_set_driver(nullptr);
        OGL_reset_state_cache();
        OGL_reset_unit_cache();
        OPT_parse_only("--qa_script=1");
        ASSERT_TRUE(WIN_create_window(0));
        OGL_capabilities.OGL_probe();
        TMAN_make_placeholder();
        FILE_sim_root = dir.path() + "/";
        test::shell("mkdir -p '" + dir.file("Resources/bitmaps") + "'");
    }
    void TearDown() override {
        FILE_sim_root.clear();
        if (WIN_table_window(0))
            WIN_destroy_window(0);
        OPT_parse_only("");
        LOG_stream.close();
    }
    // Writes intro.png: `salt` changes every pixel.
    void write_picture(int width, int height, uint32_t salt) {
        std::vector<uint32_t> p = make_picture(width, height);
        for (uint32_t& v : p)
            v ^= salt;
        ASSERT_EQ(TEX_write_png(dir.file("Resources/bitmaps/intro.png"), width, height, 4,
                                reinterpret_cast<const unsigned char*>(p.data())),
                  1);
    }
    // Tile `ref` against the crop of the picture that write_picture(width, height, salt) made.
    void expect_tiles(int width, int height, uint32_t salt) {
        const int tile = BACK_TEX_TILE;
        std::vector<uint32_t> texels(static_cast<size_t>(tile) * tile);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 2; ++col) {
                const int ref = BACK_TEX_FIRST_REF + 2 * row + col;
                SCOPED_TRACE(ref);
                ASSERT_EQ(TMAN_is_loaded(ref), 1);
                glBindTexture(GL_TEXTURE_2D, TMAN_get(ref)->gl_name.load());
                GLint w = 0;
                glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
                ASSERT_EQ(w, tile);
                glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
                for (int y = 0; y < tile; ++y)
                    for (int x = 0; x < tile; ++x) {
                        const int px = col * tile + x, py = row * tile + y;
                        const uint32_t want = px < width && py < height ? pattern(px, py) ^ salt : 0;
                        ASSERT_EQ(texels[static_cast<size_t>(y) * tile + x], want) << px << "," << py;
                    }
            }
        OGL_reset_unit_cache();
    }

    test::TempDir dir;
};

TEST_F(BackTexGuiTest, TilesFollowThePictureOnlyOnTheStartUpScreen) {
    write_picture(1100, 700, 0);
    // The toolkit's initialiser hands the load to the second-monitor switch.
    APP_toolkit_init();
    WIN_second_monitor_mode(2);
    WIN_second_monitor_mode(1);
    expect_tiles(1100, 700, 0);
    EXPECT_EQ(TMAN_is_loaded(BACK_TEX_FIRST_REF + 4), 0); // a 2 x 2 grid

    write_picture(1100, 700, 0x00FFFF00);
    screen_state.screen_id = 994;
    OGL_back_tex_load();
    expect_tiles(1100, 700, 0);

    screen_state.screen_id = -1;
    OGL_back_tex_load(); // the tiles exist now: their pixels are replaced in place
    expect_tiles(1100, 700, 0x00FFFF00);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BackTexGuiTest, MissingPictureEndsTheProgram) {
    EXPECT_EXIT(
        {
            LOG_stream.close();
            test::route_log_to_stderr();
            OGL_back_tex_load();
        },
        testing::ExitedWithCode(1), "Trying to load a texture that you do not have!(.|\n)*intro.png");
}

} // namespace
