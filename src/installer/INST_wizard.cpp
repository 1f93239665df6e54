// INST_wizard: the wizard frame, the page descriptions and the word buttons of the UI atlas.
#include "installer/INST_wizard.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/APP_clock.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_stand_ins.h"
#include "platform/WIN_message.h"
#include "platform/WIN_system.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_font.h"
#include "ui/OGL_text_record.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

// The wizard's state (main thread): only the frame writes the two pages; the roads' first pages fill the
// step list.
page_fn current_page = INST_page_demo_welcome;
page_fn previous_page = nullptr;
step_list_record step_list;

namespace {

// Set by every wizard frame: its page showed a progress bar or the page changed.
bool animates = false;

// Word edges of the UI atlas per language (English, French, German, Russian, Italian, Spanish), items 0-6.
const int word_edges[6][8] = {
    {0, 56, 145, 246, 357, 489, 605, 691}, {0, 91, 172, 284, 477, 695, 874, 958},
    {0, 96, 181, 256, 422, 611, 762, 859}, {0, 75, 144, 211, 346, 422, 501, 616},
    {0, 54, 212, 312, 480, 673, 840, 921}, {0, 60, 156, 269, 421, 606, 789, 892},
};

// Texel rows of the three looks of the words.
constexpr float row_normal = 46.0f, row_hovered = 0.0f, row_pressed = 23.0f;
constexpr float word_height = 22.0f;
// The choices' centre lines are 28 apart: their 26-unit strips keep a gap.
constexpr float choice_step = 28.0f;
constexpr int ui_atlas_ref = 1022, background_ref = 1043;

void draw_background() {
    OGL_set_colour_slot(113, 1.0f, 1.0f, 1.0f);
    const float w = screen_state.view_width, h = screen_state.view_height, k = 1.0f / 1024.0f;
    const OGL_quad_corner corners[4] = {
        {0, 0, 0, 0}, {0, h, 0, h * k}, {w, h, w * k, h * k}, {w, 0, w * k, 0}};
    OGL_draw_atlas_quad(background_ref, 113, 1.0f, corners, 1, 0, 0);
}

// The steps 20 apart from y 480, wrapped at 170; a name that wraps (in either look: the current step's
// font is wider) moves the steps below it down by its extra lines, whichever step is current.
void draw_step_list(page_fn page) {
    constexpr float wrap = 170.0f;
    float y = 480.0f;
    for (size_t i = 0; i < step_list.names.size(); ++i) {
        const std::string& name = step_list.names[i];
        const bool here = i < step_list.pages.size() && step_list.pages[i] == page;
        OGL_draw_string(here ? 77 : 54, 30.0f, y, name, wrap, here ? 1 : 0, 0, 1.0f);
        const size_t lines = std::max(
            {size_t{1}, OGL_layout_string(name, wrap, 0).size(), OGL_layout_string(name, wrap, 1).size()});
        y -= 20.0f + OGL_line_step(1) * static_cast<float>(lines - 1);
    }
}

// The body from (230, 440), wrapped at 540. A body that would reach below `bottom` starts higher, up to a
// line step under the title, so that it ends above it. It is never drawn smaller: the interface font is
// the smallest text of the program, and scaled below it a text is too small to read. A body that does not
// fit even so (a folder path of thousands of bytes) shows the lines that fit, the last one ending in "…":
// it never runs over the page's widgets below `bottom`.
void draw_body(const std::string& body, float bottom) {
    constexpr float x = 230.0f, wrap = 540.0f, title_y = 480.0f;
    const float line = OGL_line_step(0);
    const std::vector<OGL_text_line> lines = OGL_layout_string(body, wrap, 0);
    const float count = static_cast<float>(lines.size());
    const float y = std::clamp(bottom + 3.0f + line * (count - 1.0f), 440.0f, title_y - line - 2.0f);
    const size_t room = static_cast<size_t>(std::max(0.0f, std::floor((y - bottom - 3.0f) / line))) + 1;
    OGL_draw_string(52, x, y, OGL_clip_lines(body, wrap, room), wrap, 0, 0, 1.0f);
}

void draw_progress(const page_desc& d) {
    const float right = INST_progress_right(d.progress);
    const float ox = screen_state.origin_x, oy = screen_state.origin_y;
    BTN_frame1(5, 500.0f - ox, 155.0f - oy, 520.0f, 61);
    BTN_frame1(6, (right + 240.0f) * 0.5f - ox, 155.0f - oy, right - 240.0f, 61);
    OGL_draw_string(52, 242.0f, 120.0f, d.status, 520.0f, 0, 0, 1.0f);
}

// The width of a word button of the current atlas language.
float word_button_width(int item) {
    int left = 0, right = 0;
    INST_word_columns(item, INST_ui_atlas_language, &left, &right);
    return static_cast<float>(right - left) + 20.0f;
}

// The bottom row, left to right: QUIT and OPTIONS from the left edge, BUY ONLINE centred on 400 (or in
// the middle of the room between OPTIONS and GO BACK when their words would meet it), GO BACK and
// CONTINUE (or QUIT) ending at the right edge.
void draw_bottom_row(const page_desc& d) {
    const bool last = d.next == INST_page_quit;
    const int next_item = last ? 0 : 2;
    float w = 0.0f;
    bool quit_clicked = false, options_clicked = false;
    float left_end = 0.0f;
    if (!last) {
        quit_clicked = INST_draw_text_button(30.0f, 12.0f, 0, 1, &w, 1, 0) != 0;
        const int prefs = d.preferences ? 1 : 0;
        float options_width = 0.0f;
        options_clicked =
            INST_draw_text_button(w + 40.0f, 12.0f, 6, 1, &options_width, prefs, prefs ? 0 : 2) && prefs;
        left_end = w + 30.0f + options_width;
    }
    const float next_width = word_button_width(next_item);
    const float back_right = 760.0f - next_width;
    const float back_left = back_right - word_button_width(1) + 10.0f;
    const float order_width = word_button_width(5);
    float order_x = 400.0f;
    const float gap = 10.0f;
    if (order_x + order_width * 0.5f > back_left - gap || order_x - order_width * 0.5f < left_end + gap)
        order_x = std::round((left_end + back_left) * 0.5f);
    if (INST_draw_text_button(order_x, 12.0f, 5, 0, nullptr, 1, 0))
        WIN_open_url(INST_ORDER_PAGE);
    const int has_next = d.next ? 1 : 0;
    if (INST_draw_text_button(770.0f, 12.0f, next_item, -1, nullptr, has_next, has_next ? 0 : 2) && d.next)
        current_page = d.next;
    const int has_back = d.back ? 1 : 0;
    if (INST_draw_text_button(back_right, 12.0f, 1, -1, nullptr, has_back, has_back ? 0 : 2) && d.back)
        current_page = d.back;
    // The cancel question and the preferences run frames of their own: they come up over the whole page.
    if (quit_clicked && (!d.cancel_confirmation || d.cancel_confirmation()))
        WIN_request_quit();
    if (options_clicked)
        INST_preferences_dialog();
}

} // namespace

int INST_page_quit(int, page_desc*) {
    WIN_request_quit();
    return 1;
}

void INST_word_columns(int item, int language, int* left, int* right) {
    const int* edges = word_edges[language >= 0 && language < 6 ? language : 0];
    item = std::clamp(item, 0, 6);
    *left = edges[item];
    *right = edges[item + 1];
}

float INST_progress_right(float progress) {
    const float f = std::clamp(0.04f + 0.96f * progress, 0.04f, 1.0f);
    return 240.0f + 520.0f * f;
}

int INST_draw_text_button(float x, float y, int item, int align, float* width, int enabled, int look,
                          float max_width) {
    int left = 0, right = 0;
    INST_word_columns(item, INST_ui_atlas_language, &left, &right);
    // A word wider than max_width allows is drawn smaller, level with the row's middle.
    const float k = max_width > 20.0f && static_cast<float>(right - left) + 20.0f > max_width
                        ? (max_width - 20.0f) / static_cast<float>(right - left)
                        : 1.0f;
    const float ww = static_cast<float>(right - left) * k, wh = word_height * k;
    const float wy = y + (word_height - wh) * 0.5f;
    if (width)
        *width = ww + 20.0f;
    const float x0 = align < 0 ? x - ww : align == 0 ? x - ww * 0.5f : x;
    const APP_input_state& in = ui_state.input;
    const bool on_word =
        in.mouse_x >= x0 && in.mouse_x <= x0 + ww && in.mouse_y >= y && in.mouse_y <= y + word_height;
    const bool dim = look == 2;
    const bool hover = enabled && on_word && !dim;
    const bool held = hover && APP_clock.buttons[0].down;

    OGL_set_colour_slot(113, 1.0f, 1.0f, 1.0f);
    const int frame_style = dim ? 13 : held ? 12 : 11;
    BTN_frame1(frame_style, x0 + ww * 0.5f, y + word_height * 0.5f, ww + 20.0f, 113);
    const float row = held ? row_pressed : hover ? row_hovered : row_normal;
    const float s0 = static_cast<float>(left) / 1024.0f, s1 = static_cast<float>(right) / 1024.0f;
    const float t0 = row / 128.0f, t1 = (row + word_height) / 128.0f;
    const OGL_quad_corner corners[4] = {
        {x0, wy, s0, t0}, {x0, wy + wh, s0, t1}, {x0 + ww, wy + wh, s1, t1}, {x0 + ww, wy, s1, t0}};
    // A word drawn smaller blends its texels: nearest sampling would drop whole rows of the atlas's
    // letters (a flat top, an E without its bar).
    if (k < 1.0f)
        OGL_draw_atlas_quad_smooth(ui_atlas_ref, 113, dim ? 0.5f : 1.0f, corners, 1, 1, 0);
    else
        OGL_draw_atlas_quad(ui_atlas_ref, 113, dim ? 0.5f : 1.0f, corners, 1, 1, 0);
    {
        static const char* const words[7] = {"QUIT",        "GO BACK",    "CONTINUE", "SELECT ALL",
                                             "SELECT NONE", "BUY ONLINE", "OPTIONS"};
        const OGL_text_rect outline =
            BTN_frame1_rect(frame_style, x0 + ww * 0.5f, y + word_height * 0.5f, ww + 20.0f);
        const OGL_text_box_scope box("button", x0 - 10.0f, y, x0 + ww + 10.0f, y + word_height, &outline);
        OGL_text_record_picture(words[std::clamp(item, 0, 6)], {x0, wy, x0 + ww, wy + wh});
    }
    return in.click[0] && on_word ? 1 : 0;
}

bool INST_wizard_animates() { return animates; }

void INST_wizard_frame() {
    draw_background();
    BTN_frame2(23, 10.0f, 50.0f, 190.0f, 453.0f, "", 1.0f);
    BTN_frame2(23, 210.0f, 50.0f, 580.0f, 453.0f, "", 1.0f);
    if (!current_page) {
        draw_step_list(nullptr);
        WIN_request_quit();
        return;
    }

    page_desc d;
    const page_fn page = current_page;
    const int entered = page != previous_page ? 1 : 0;
    int result = 0;
    {
        const OGL_text_box_scope panel("panel", 210.0f, 50.0f, 790.0f, 503.0f);
        result = page(entered, &d);
    }
    previous_page = page;
    // After the page: a road's first page fills the steps in the frame that enters it.
    draw_step_list(page);
    // The quit page only ends the road: it has no title to log.
    if (entered && page != INST_page_quit && PREF_installer.log_actions) {
        LOG_stream << "Wizard page: " << d.title << "\n";
        LOG_stream.flush();
    }

    {
        const OGL_text_box_scope panel("panel", 210.0f, 50.0f, 790.0f, 503.0f);
        OGL_draw_string(52, 500.0f, 480.0f, d.title, 540.0f, 1, 1, 1.0f);
        draw_body(d.body, d.body_bottom);
        // The choices share one width: 250, or what their longest label needs, up to the panel's width.
        float choice_width = 250.0f;
        for (const std::string& label : d.choice_labels)
            choice_width = std::max(choice_width, BTN_push_width_for(label));
        choice_width = std::min(choice_width, 560.0f);
        for (size_t i = 0; i < d.choice_labels.size(); ++i)
            if (BTN_push(500.0f, 350.0f - choice_step * static_cast<float>(i), choice_width, 0, 1,
                         d.choice_labels[i], "-") &&
                i < d.choice_targets.size())
                current_page = d.choice_targets[i];
        if (d.progress >= 0.0f)
            draw_progress(d);
    }
    animates = d.progress >= 0.0f || entered || result != 0;
    draw_bottom_row(d);
    if (result && d.next)
        current_page = d.next;
}
