// Screen capture: the size clamp (no window), and a requested screenshot of a drawn pattern read back from
// its PNG file (needs an X display; tools/test.sh runs Xvfb).
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "base/APP_clock.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "gui_harness.h"
#include "support/test_support.h"
#include "ui/APP_frame.h"
#include "ui/MENU_menus.h"
#include "ui/OGL_extensions.h"
#include "ui/QTIM_capture.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

TEST(CaptureTest, ScreenshotAreaIsClampedAndCentred) {
    struct {
        int drawable_w, drawable_h, max_side;
        int x, y, w, h;
        size_t bytes;
    } cases[] = {
        {5000, 3000, 4096, 452, 0, 4096, 3000, 36864000},
        {5000, 3000, 2048, 1476, 476, 2048, 2048, 12582912},
        {800, 600, 4096, 0, 0, 800, 600, 1440000},
        {0, 600, 4096, 0, 0, 0, 600, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.drawable_w << "x" << c.drawable_h << " max " << c.max_side);
        const QTIM_area a = QTIM_screenshot_area(c.drawable_w, c.drawable_h, c.max_side);
        EXPECT_EQ(a.x, c.x);
        EXPECT_EQ(a.y, c.y);
        EXPECT_EQ(a.width, c.w);
        EXPECT_EQ(a.height, c.h);
        EXPECT_EQ(a.bytes, c.bytes);
    }
}

// Window 0 with the real probe; the current folder is a temporary one (the Sim-Root folder is empty).
class CaptureGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!gui::have_display())
            GTEST_SKIP() << "no X display (tools/test.sh runs the window tests under Xvfb)";
        char buf[4096];
        old_cwd = getcwd(buf, sizeof buf) ? buf : "/";
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
        screen_state = screen_state_record();
        OGL_capabilities = OGL_capabilities_record();
        OGL_set_driver(nullptr);
        OPT_parse_only("--qa_script=1");
        ASSERT_TRUE(WIN_create_window(0));
        OGL_capabilities.OGL_probe();
    }
    void TearDown() override {
        if (WIN_table_window(0))
            WIN_destroy_window(0);
        OPT_parse_only("");
        LOG_stream.close();
        if (!old_cwd.empty() && chdir(old_cwd.c_str()) != 0)
            ADD_FAILURE() << "chdir back";
    }

    test::TempDir dir;
    std::string old_cwd;
};

TEST_F(CaptureGuiTest, RequestedShotTakesTheNextNumberAndKeepsThePixelsTopRowFirst) {
    const int w = screen_state.drawable_width, h = screen_state.drawable_height;
    // A pattern whose every row and column differ, drawn bottom-up as GL counts rows.
    std::vector<unsigned char> drawn(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &drawn[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>(x);
            p[1] = static_cast<unsigned char>(y);
            p[2] = static_cast<unsigned char>((x >> 8) | (y >> 8) << 4);
        }
    for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_DITHER, GL_FOG})
        glDisable(cap);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRasterPos2f(-1.0f, -1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(w, h, GL_RGB, GL_UNSIGNED_BYTE, drawn.data());

    test::write_file(dir.file("Sim-Root_1.png"), "taken");
    test::write_file(dir.file("Sim-Root_2.png"), "taken");
    QTIM_capture.screenshot_requested = 1;
    QTIM_frame();
    EXPECT_EQ(QTIM_capture.screenshot_requested, 0);
    QTIM_frame(); // no request, no file
    EXPECT_EQ(QTIM_screenshot_name(), "Sim-Root_4.png");

    const std::string bytes = test::read_file(dir.file("Sim-Root_3.png"));
    EXPECT_EQ(bytes.find("gAMA"), std::string::npos);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    image.format = PNG_FORMAT_RGB;
    ASSERT_EQ(static_cast<int>(image.width), w);
    ASSERT_EQ(static_cast<int>(image.height), h);
    std::vector<unsigned char> file_pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, file_pixels.data(), 0, nullptr));
    for (int row = 0; row < h; ++row) // file row 0 is the top of the window
        ASSERT_EQ(0,
                  std::memcmp(&file_pixels[static_cast<size_t>(row) * w * 3],
                              &drawn[static_cast<size_t>(h - 1 - row) * w * 3], static_cast<size_t>(w) * 3))
            << "file row " << row;
}

// The frame callback runs the driver after the frame's drawing and before the frame is presented.
TEST_F(CaptureGuiTest, AFrameTakesTheRequestedShotOfWhatItDrew) {
    screen_state.screen_id = 0;
    ui_state = ui_shared_state();
    MENU_init(1);
    APP_clock = frame_clock();
    APP_set_screen0_frame([] {
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    });
    QTIM_capture.screenshot_requested = 1;
    APP_frame();
    APP_set_screen0_frame(nullptr);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, "Sim-Root_1.png"));
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    const size_t middle = (static_cast<size_t>(image.height / 2) * image.width + image.width / 2) * 3;
    EXPECT_EQ(pixels[middle], 51);
    EXPECT_EQ(pixels[middle + 1], 102);
    EXPECT_EQ(pixels[middle + 2], 153);
}

} // namespace
