// WIN_resize: follows a change of the main window's drawable size.
#include "ui/WIN_resize.h"

#include "ui/APP_screens.h"
#include "ui/MENU_menus.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"

void WIN_resize(int width, int height) {
    if (width == 0 || height == 0)
        return;
    screen_state_record& s = screen_state;
    MENU_shift(static_cast<float>(height - s.drawable_height));
    s.drawable_width = width;
    s.drawable_height = height;
    if (!s.fullscreen) {
        s.window_width = width;
        s.window_height = height;
    }
    OGL_setup_ui_view(0);
    APP_set_screen(s.screen_id);
}
