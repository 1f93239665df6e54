// APP_alert_box: the drawn alert on screen 994.
#include "ui/APP_alert_box.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/LANG_localise.h"
#include "platform/WIN_message.h"
#include "platform/WIN_system.h"
#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_font.h"
#include "ui/OGL_text_record.h"
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

// Where a path in an alert's line starts: its first '/' that begins a word (after a blank, a colon, a quote
// mark), or npos.
size_t path_start(const std::string& line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '/')
            continue;
        const unsigned char before = i == 0 ? ' ' : static_cast<unsigned char>(line[i - 1]);
        if (!std::isalnum(before) && before != '.' && before != '-' && before != '_' && before != '/')
            return i;
    }
    return std::string::npos;
}

// The lines of kinds 1 to 3, each at its own height, and the source line of kinds 2 and 3 above the panel's
// bottom. A line takes the rows above the next text drawn (or, for the last, above the panel's frame, its
// descenders two units clear of it); one that needs more shows its path shortened in the middle, or its
// end cut, with "…", so that the body stays inside the panel and clear of the buttons below it.
void draw_body(const std::string* lines, bool link, const std::string* source) {
    const float w = screen_state.view_width, wrap = 0.9f * w;
    const float ys[4] = {215, 175, 135, 95};
    const float step = OGL_line_step(0);
    const font_record* font = OGL_get_font(0);
    const float descent = font && !font->faces.empty() ? font->faces.front().descent : 0.0f;
    const float source_y = panel_y + 10.0f;
    size_t rows[4] = {};
    float below = source ? source_y : panel_y + 2.0f + descent - step;
    for (int i = 3; i >= 0; --i)
        if (!lines[i].empty() && (i < 3 || !link)) {
            rows[i] = static_cast<size_t>(std::max(1.0f, std::floor((ys[i] - below) / step)));
            below = ys[i];
        }
    const auto draw = [&](float y, const std::string& text, size_t room) {
        const OGL_text_box_scope panel("panel", 10.0f, panel_y, w - 10.0f, screen_state.view_height - 28.0f);
        const size_t path = path_start(text);
        OGL_draw_string(52, w / 2, y,
                        path == std::string::npos ? OGL_clip_lines(text, wrap, room)
                                                  : OGL_shorten_path_lines(text, path, wrap, room),
                        wrap, 0, 1, 1.0f);
    };
    for (int i = 0; i < 4; ++i)
        if (rows[i] > 0)
            draw(ys[i], lines[i], rows[i]);
    if (source)
        draw(source_y, *source, 1);
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
        draw_body(lines, link, kind == 2 || kind == 3 ? &source : nullptr);
        LANG_translate(label, "Understood");
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
