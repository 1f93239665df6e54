// Shared set-up of the drawing and widget tests: window 0 on the test display (no multisampling), the real
// OpenGL probe, screen 0 with an 800 x 600 view, a test palette, pixel read-back and the flat-colour atlases.
#pragma once
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/APP_clock.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "gui_harness.h"
#include "platform/WIN_resource.h"
#include "platform/WIN_window.h"
#include "support/test_support.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_font.h"
#include "ui/OGL_state.h"
#include "ui/OGL_texture_unit.h"
#include "ui/OGL_view.h"
#include "ui/TEX_manager.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace uitest {

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
inline bool near(const rgb& a, const rgb& b, int tolerance = 2) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// The test palette: the interface colours get distinct values, 61 stays white.
inline rgb palette(int index) {
    return {(index * 53) % 200 + 40, (index * 97) % 200 + 30, (index * 29) % 200 + 50};
}
constexpr rgb background = {0, 0, 0};

// The back buffer as RGB rows, bottom row first.
struct frame {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels; // RGBA
    rgb at(int x, int y) const {
        const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
};

inline frame read_frame() {
    glFinish();
    frame f;
    f.width = screen_state.drawable_width;
    f.height = screen_state.drawable_height;
    f.pixels.resize(static_cast<size_t>(f.width) * f.height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, f.width, f.height, GL_RGBA, GL_UNSIGNED_BYTE, f.pixels.data());
    return f;
}

inline rgb pixel(int x, int y) {
    uint8_t p[4] = {};
    glFinish();
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

inline void clear_to_black() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Points the fonts at the Debian files when this executable embeds no faces, and reloads them in English.
inline void use_test_fonts() {
    size_t size = 0;
    if (!WIN_load_gui_resource("DejaVuSans.ttf", &size)) {
        OGL_font_files.main[0] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        OGL_font_files.main[1] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
        OGL_font_files.fallback[0] = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";
    }
    LANG_current_language() = 0;
    OGL_get_font(0);
    OGL_get_font(1);
    OGL_load_font(2);
}

// Window 0 with the real probe and screen 0; each test starts from a clean input state and palette.
class GuiFixture : public ::testing::Test {
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
        WIN_set_multisample(0);
        OPT_parse_only("");
        ASSERT_TRUE(WIN_create_window(0));
        OGL_capabilities.OGL_probe();
        while (glGetError() != GL_NO_ERROR) {
        }
        TMAN_make_placeholder();
        screen_state.screen_id = 0;
        OGL_setup_ui_view(0);
        screen_state.origin_x = screen_state.origin_y = 0.0f;
        screen_state.view_width = static_cast<float>(screen_state.drawable_width);
        screen_state.view_height = static_cast<float>(screen_state.drawable_height);
        colour_settings = colour_settings_record();
        for (int i = 43; i <= 114; ++i) {
            const rgb c = palette(i);
            OGL_set_colour_slot(i, c.r / 255.0f, c.g / 255.0f, c.b / 255.0f);
        }
        OGL_set_colour_slot(61, 1.0f, 1.0f, 1.0f);
        ui_state = ui_shared_state();
        use_test_fonts();
        clear_to_black();
    }
    void TearDown() override {
        // The texture manager outlives the context: its objects of this window go with it.
        if (WIN_table_window(0))
            for (int ref : {TMAN_PLACEHOLDER, 1021, 1022, 1024, 1025})
                if (TMAN_get(ref))
                    TMAN_unload(ref);
        if (WIN_table_window(0))
            WIN_destroy_window(0);
        LOG_stream.close();
    }

    test::TempDir dir;
};

} // namespace uitest
