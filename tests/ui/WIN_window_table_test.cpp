// Placement of the toolkit's windows: offsets, centring, the fit check and the drawable size.
#include <gtest/gtest.h>

#include "ui/WIN_window_table.h"

namespace {

TEST(WindowPlanTest, PlacementAndFit) {
    struct {
        const char* what;
        int i;
        const char *ox, *oy;
        int sw, sh, ww, wh, fs, fw, fh;
        int x, y, w, h, dw, dh;
        bool logged;
    } cases[] = {
        {"centred", 0, "", "", 1280, 1024, 800, 600, 0, 0, 0, 240, 212, 800, 600, 800, 600, false},
        {"offsets lose to a known screen", 0, "100", "50", 1280, 1024, 800, 600, 0, 0, 0, 240, 212, 800, 600,
         800, 600, false},
        {"offsets act without a screen width", 0, "100", "50", 0, 0, 800, 600, 0, 0, 0, 100, 50, 1024, 768,
         1024, 768, true},
        {"too large: logged, shrunk, placed at 0,0", 0, "", "", 1024, 768, 1280, 1024, 0, 0, 0, 0, 0, 1024,
         768, 1024, 768, true},
        {"exactly the screen", 0, "", "", 1024, 768, 1024, 768, 0, 0, 0, 0, 0, 1024, 768, 1024, 768, false},
        {"window 1 windowed, no screen", 1, "7", "9", 0, 0, 640, 480, 0, 0, 0, 640, 9, 1024, 768, 1024, 768,
         true},
        {"window 1 full screen, centred", 1, "", "", 1280, 1024, 800, 600, 1, 0, 0, 240, 212, 800, 600, 1280,
         1024, false},
        {"full screen with its own size", 0, "", "", 1280, 1024, 800, 600, 1, 1024, 768, 240, 212, 800, 600,
         1024, 768, false},
        {"offset text that is no number", 0, "abc", "-20", 0, 0, 100, 100, 0, 0, 0, 0, -20, 1024, 768, 1024,
         768, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WIN_window_plan p = WIN_plan_window(c.i, c.ox, c.oy, c.sw, c.sh, c.ww, c.wh, c.fs, c.fw, c.fh);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
        EXPECT_EQ(p.window_width, c.w);
        EXPECT_EQ(p.window_height, c.h);
        EXPECT_EQ(p.drawable_width, c.dw);
        EXPECT_EQ(p.drawable_height, c.dh);
        EXPECT_EQ(!p.log_text.empty(), c.logged);
    }
    WIN_window_plan p = WIN_plan_window(0, "", "", 1024, 768, 1280, 1024, 0, 0, 0);
    EXPECT_EQ(p.log_text,
              "The window was last: 1280,1024 and my monitor is 1024,768.  Setting window to 1024x768 it "
              "fits on screen.\n");
}

} // namespace
