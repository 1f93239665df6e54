// APP_alert_box: the drawn alert on screen 994.
#include "ui/APP_alert_box.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "base/LANG_localise.h"
#include "platform/WIN_message.h"
#include "platform/WIN_system.h"
#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

// The bottom of the panel inside the box.
constexpr float panel_y = 48.0f;

// Whatever a frame cut short may have left behind (an open primitive or list, a program, an FBO, a
// scissor box, a polygon mode) would spoil the box: back to the plain state.
void reset_gl_state() {
    glEnd();
    glEndList();
    for (int i = 0; i < 30; ++i)
        glGetError();
    OGL_blend_normal();
    if (OGL_capabilities.glUseProgram)
        OGL_capabilities.glUseProgram(0);
    if (OGL_capabilities.framebuf_avail && OGL_capabilities.glBindFramebufferEXT)
        OGL_capabilities.glBindFramebufferEXT(GL_FRAMEBUFFER, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

} // namespace

bool APP_alert_is_link(const std::string& line4) {
    return line4.size() >= 8 && line4.compare(0, 7, "http://") == 0;
}

bool APP_alert_pass(int return_screen, const std::string* lines, int kind, const std::string& source) {
    const float w = screen_state.view_width;
    std::string label;
    if (kind == 0)
        ui_state.screen_title = "Language/";
    OGL_clear_view();
    BTN_dialog_frame(1, 24);
    // The panel's frame stands clear above the buttons' row (centre line 18, 26 high).
    BTN_panel(0, 16, -1, panel_y, -1, -1, "");

    bool link = false;
    if (kind == 0) {
        const std::vector<int> langs = LANG_available();
        for (size_t i = 0; i < langs.size(); ++i)
            BTN_radio(w / 2 - 25, 200.0f - 20.0f * static_cast<float>(i), &LANG_current_language(),
                      LANG_display_name(langs[i]), langs[i]);
        label = "Accept";
    } else {
        link = APP_alert_is_link(lines[3]);
        const float ys[4] = {215, 175, 135, 95};
        for (int i = 0; i < 4; ++i)
            if (i < 3 || !link)
                OGL_draw_string(52, w / 2, ys[i], lines[i], 0.9f * w, 0, 1, 1.0f);
        LANG_translate(label, "Understood");
        if (kind == 2 || kind == 3)
            OGL_draw_string(52, w / 2, panel_y + 10.0f, source, 0.9f * w, 0, 1, 1.0f);
    }

    float main_x = w / 2;
    if (link) {
        std::string more;
        LANG_translate(more, "Learn More");
        if (BTN_push(w / 3, 18, 0, 0, 1, more, "-")) {
            ui_state.input.enter = 1;
            WIN_open_url(lines[3]);
        }
        main_x = 2 * w / 3;
    }
    const bool clicked = BTN_push(main_x, 18, 0, 0, 1, label, "-");

    APP_input_state& in = ui_state.input;
    if (!(clicked || in.enter || (kind != 0 && in.esc)))
        return false;
    in.enter = 0;
    in.esc = 0;
    if (kind == 0 || kind == 1)
        APP_set_screen(return_screen);
    return true;
}

void APP_draw_alert(int return_screen, const std::string& line1, const std::string& line2,
                    const std::string& line3, const std::string& line4, int kind, const std::string& source) {
    reset_gl_state();
    const float saved_x = ui_state.input.mouse_x, saved_y = ui_state.input.mouse_y;
    const int saved_language = LANG_current_language();
    // An alert raised while a quit is carried out (a file the exit could not save) waits for the user.
    const bool quit_before = WIN_quit_requested();
    APP_set_screen(994);
    const std::string lines[4] = {line1, line2, line3, line4};
    while (screen_state.screen_id == 994) {
        if (APP_alert_pass(return_screen, lines, kind, source)) {
            if (kind == 2 || kind == 3)
                return;
            ui_state.input.mouse_x = saved_x;
            ui_state.input.mouse_y = saved_y;
            break;
        }
        if (screen_state.screen_id == 994)
            APP_run_one_frame();
        // A quit (the window closed, SIGTERM) that comes while the alert shows cancels it: the chooser keeps
        // the language it came with, and only the run loop, once this returns, can carry the quit out.
        if (!quit_before && WIN_quit_requested() && screen_state.screen_id == 994) {
            if (kind == 2 || kind == 3)
                return;
            if (kind == 0)
                LANG_current_language() = saved_language;
            APP_set_screen(return_screen);
            ui_state.input.mouse_x = saved_x;
            ui_state.input.mouse_y = saved_y;
        }
    }
}
