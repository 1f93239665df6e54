// Screen capture: the size clamp (no window), and the shot that a frame takes of what it drew, read back
// from its PNG file (needs an X display; tools/test.sh runs Xvfb).
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>

#include "ui/APP_frame.h"
#include "ui/MENU_menus.h"
#include "ui/QTIM_capture.h"
#include "ui_gui_fixture.h"

namespace {

TEST(CaptureTest, ScreenshotAreaIsClampedAndCentred) {
    const struct {
        int drawable_w, drawable_h, max_side, x, y, w, h;
        size_t bytes;
    } cases[] = {
        {5000, 3000, 4096, 452, 0, 4096, 3000, 36864000},
        {5000, 3000, 2048, 1476, 476, 2048, 2048, 12582912},
    };
    for (const auto& c : cases) {
        const QTIM_area a = QTIM_screenshot_area(c.drawable_w, c.drawable_h, c.max_side);
        EXPECT_EQ(std::vector<int>({a.x, a.y, a.width, a.height}), std::vector<int>({c.x, c.y, c.w, c.h}));
        EXPECT_EQ(a.bytes, c.bytes);
    }
}

// Every row and column of the window differs; GL counts rows from the bottom.
std::vector<unsigned char> drawn;

class CaptureGuiTest : public uitest::GuiFixture {};

TEST_F(CaptureGuiTest, AFrameSavesWhatItDrewAsTheNextFreeNumberTopRowFirst) {
    const int w = screen_state.drawable_width, h = screen_state.drawable_height;
    drawn.resize(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < drawn.size(); ++i)
        drawn[i] = static_cast<unsigned char>(i % 3 == 0   ? i / 3 % w
                                              : i % 3 == 1 ? i / 3 / w
                                                           : i / 3 / w >> 8);
    APP_set_screen0_frame([] {
        for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_DITHER, GL_FOG})
            glDisable(cap);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRasterPos2f(-1.0f, -1.0f);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glDrawPixels(screen_state.drawable_width, screen_state.drawable_height, GL_RGB, GL_UNSIGNED_BYTE,
                     drawn.data());
    });
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path()); // the Sim-Root folder is empty
    test::write_file("Sim-Root_1.png", "taken");
    test::write_file("Sim-Root_2.png", "taken");
    MENU_init(1);
    QTIM_capture.screenshot_requested = 1;
    APP_frame();
    APP_frame(); // no request, no file
    APP_set_screen0_frame(nullptr);
    const std::string bytes = test::read_file("Sim-Root_3.png");
    EXPECT_EQ(QTIM_screenshot_name(), "Sim-Root_4.png");
    std::filesystem::current_path(old);

    EXPECT_EQ(bytes.find("gAMA"), std::string::npos);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    image.format = PNG_FORMAT_RGB;
    ASSERT_EQ(std::vector<int>({static_cast<int>(image.width), static_cast<int>(image.height)}),
              std::vector<int>({w, h}));
    std::vector<unsigned char> file(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, file.data(), 0, nullptr));
    for (int row = 0; row < h; ++row)
        ASSERT_EQ(0, std::memcmp(&file[row * w * 3], &drawn[(h - 1 - row) * w * 3], w * 3))
            << "file row " << row;
}

} // namespace
