// Background tiles: pictures of any size placed into the scratch image (no window), and the tile textures
// made from a real intro.png (needs an X display; tools/test.sh runs Xvfb).
#include <gtest/gtest.h>

#include <filesystem>

#include "base/FILE_ops.h"
#include "ui/APP_toolkit_init.h"
#include "ui/OGL_back_tex.h"
#include "ui/RLE_blit.h"
#include "ui/TEX_obj.h"
#include "ui/TEX_png.h"
#include "ui_gui_fixture.h"

namespace {

// Every fourth row is flat (its runs would cross the tile edges if the encoder let them); the others differ
// in every pixel.
uint32_t pattern(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(y % 251) << 12 | (y % 4 ? x % 4093 : 0);
}

std::vector<uint32_t> make_picture(int width, int height, uint32_t salt = 0) {
    std::vector<uint32_t> p(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = pattern(static_cast<int>(i % width), static_cast<int>(i / width)) ^ salt;
    return p;
}

// Tile `t` (row t / columns, column t % columns) holds the picture's crop, zeros beyond the picture.
void expect_crop(const uint32_t* tile, int t, int columns, int width, int height, uint32_t salt) {
    const int n = BACK_TEX_TILE;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int px = t % columns * n + x, py = t / columns * n + y;
            const uint32_t want = px < width && py < height ? pattern(px, py) ^ salt : 0;
            ASSERT_EQ(tile[y * n + x], want) << "tile " << t << " at " << px << "," << py;
        }
}

// Larger pictures are cut to the scratch image: under ASan nothing is written past it.
TEST(BackTexTest, PicturesArePlacedBottomLeftAndCutToTheScratchImage) {
    const int side = BACK_TEX_SCRATCH, n = BACK_TEX_TILE, columns = side / n;
    for (auto [width, height] : {std::pair{2100, 2100}, {3000, 10}, {700, 600}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const std::vector<uint32_t> picture = make_picture(width, height);
        std::vector<uint32_t> scratch(static_cast<size_t>(side) * side, 0), tile(static_cast<size_t>(n) * n);
        const std::vector<uint32_t> data = OGL_back_tex_encode(picture.data(), width, height, scratch.data());
        for (int t = 0; t < columns * columns; ++t) {
            RLE_blit(data.data(), static_cast<long>(side) * n * (t / columns) + n * (t % columns), side - n,
                     n, n, tile.data());
            expect_crop(tile.data(), t, columns, width, height, 0);
        }
    }
}

// An automated run in a window, with Resources/bitmaps/ in the Sim-Root folder.
class BackTexGuiTest : public uitest::GuiFixture {
  protected:
    void SetUp() override {
        GuiFixture::SetUp();
        OPT_parse_only("--qa_script=1");
        FILE_sim_root = dir.path() + "/";
        std::filesystem::create_directories(dir.file("Resources/bitmaps"));
        screen_state.screen_id = -1;
    }
    void TearDown() override {
        FILE_sim_root.clear();
        GuiFixture::TearDown();
    }
    void write_picture(uint32_t salt) {
        const std::vector<uint32_t> p = make_picture(1100, 700, salt);
        ASSERT_TRUE(TEX_write_png(dir.file("Resources/bitmaps/intro.png"), 1100, 700, 4,
                                  reinterpret_cast<const unsigned char*>(p.data())));
    }
    void expect_tiles(uint32_t salt) {
        std::vector<uint32_t> texels(static_cast<size_t>(BACK_TEX_TILE) * BACK_TEX_TILE);
        for (int t = 0; t < 4; ++t) {
            ASSERT_TRUE(TMAN_is_loaded(BACK_TEX_FIRST_REF + t));
            glBindTexture(GL_TEXTURE_2D, TMAN_get(BACK_TEX_FIRST_REF + t)->gl_name.load());
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
            expect_crop(texels.data(), t, 2, 1100, 700, salt);
        }
        OGL_reset_unit_cache();
    }
};

TEST_F(BackTexGuiTest, TilesFollowThePictureOnlyOnTheStartUpScreen) {
    write_picture(0);
    APP_toolkit_init(); // hands the load to the second-monitor switch
    WIN_second_monitor_mode(2);
    WIN_second_monitor_mode(1);
    expect_tiles(0);
    EXPECT_FALSE(TMAN_is_loaded(BACK_TEX_FIRST_REF + 4)); // a 2 x 2 grid

    write_picture(0x00FFFF00);
    screen_state.screen_id = 994;
    OGL_back_tex_load();
    expect_tiles(0);
    screen_state.screen_id = -1;
    OGL_back_tex_load(); // the tiles exist: their pixels are replaced in place
    expect_tiles(0x00FFFF00);
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
