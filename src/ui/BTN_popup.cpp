// BTN_popup: the popup button over the menu layer's popup slot.
#include "ui/BTN_popup.h"

#include <algorithm>
#include <cmath>

#include "base/APP_alert.h"
#include "base/APP_clock.h"
#include "base/BTN_split_label.h"
#include "base/LANG_localise.h"
#include "ui/BTN_widgets.h"
#include "ui/MENU_menus.h"
#include "ui/OGL_font.h"
#include "ui/widget_state.h"

namespace {

// The first row of the open popup, which the menu layer scrolls while the popup does not fit. Only one
// popup is open at a time. Main thread only.
int popup_first_row = 0;

// Room between a label and the popup's frame.
constexpr float label_gap = 6.0f;

} // namespace

std::vector<std::string> BTN_popup_items(const std::string& items, const std::string& label, char separator) {
    std::vector<std::string> out(1);
    for (char c : items) {
        if (c == '|') {
            APP_alert(0, "Found | char in text string!", items, "", label, 3, "butn", 1270);
            continue;
        }
        if (c == separator)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

float BTN_popup_drawn_width(float w, int language) {
    if (language == 1 || language == 4 || language == 5)
        return std::max(20.0f, w * 0.95f);
    if (language == 2 || language == 3)
        return std::max(20.0f, w * 0.9f);
    return w;
}

bool BTN_popup(float x, float y, int* selection, const std::string& items, const std::string& label,
               char separator) {
    std::vector<std::string> list = BTN_popup_items(items, label, separator);
    const int count = static_cast<int>(list.size());
    // A negative selection stands for no item: it shows none until a row is chosen.
    if (*selection >= 0)
        *selection = std::min(*selection, count - 1);

    float w = 20.0f;
    for (const std::string& item : list)
        w = std::max(w, std::trunc(OGL_measure_string(item)));
    const float drawn = BTN_popup_drawn_width(w, LANG_current_language());

    std::string left, right, tip;
    BTN_split_label(label, left, right, tip);
    BTN_frame1(10, x + 10.0f, y + 5.0f, drawn + 28.0f, 61);
    const OGL_text_rect outline = BTN_frame1_rect(10, x + 10.0f, y + 5.0f, drawn + 28.0f);
    // The labels keep a gap of label_gap from the frame's ends.
    BTN_draw_label(outline.x0 - label_gap, y, 0, left, 0);
    BTN_draw_label(outline.x1 + label_gap, y, 2, right, 0);

    const int id = static_cast<int>(y * 1024.0f + x);
    APP_input_state& in = ui_state.input;
    const bool over = in.mouse_x >= x + 10.0f - w / 2.0f - 15.0f &&
                      in.mouse_x <= x + 10.0f + w / 2.0f + 15.0f && in.mouse_y >= y - 2.0f &&
                      in.mouse_y <= y + 8.0f;
    bool open = MENU_state.open == MENU_POPUP_SLOT && MENU_state.popup_owner == id;
    if (in.click[0] && !open && over) {
        in.press_time[0] = APP_clock.elapsed;
        in.press_x = in.mouse_x;
        in.press_y = in.mouse_y;
        in.click[0] = 0;
        MENU_state.popup_owner = id;
        popup_first_row = std::max(0, *selection);
        open = true;
        // The popup slot opens below, on the first call of MENU_open_popup.
    }

    bool chosen = false;
    if (MENU_state.result_owner == id) {
        *selection = std::clamp(MENU_state.chosen_item, 0, count - 1);
        MENU_state.result_owner = 0;
        chosen = true;
    }

    const OGL_text_box_scope box("popup", outline.x0, outline.y0, outline.x1, outline.y1, &outline);
    if (open && MENU_state.popup_owner == id) {
        MENU_open_popup(x, y, w, list, &popup_first_row);
    } else {
        if (*selection >= 0)
            OGL_draw_string(47, x, y, list[static_cast<size_t>(*selection)], 9999.0f, 0, 1, 1.0f);
        if (over)
            ui_state.tooltip = tip;
    }
    return chosen;
}
