// MENU_menus: the menu layer.
#include "ui/MENU_menus.h"

#include <algorithm>
#include <climits>
#include <limits>

#include "base/APP_clock.h"
#include "base/CMND_registry.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

// Main thread only.
menu_object MENU_state;

namespace {

int16_t to16(double v) {
    long long i = static_cast<long long>(v); // truncation toward zero
    return static_cast<int16_t>(std::clamp<long long>(i, INT16_MIN, INT16_MAX));
}

template <typename Box> bool contains(const Box& b, float x, float y) {
    return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1;
}

bool choosable(const std::string& text) { return !text.empty() && text[0] != '-' && text[0] != '='; }

void close_menu() { MENU_state.open = -1; }

void clear_clicks() {
    ui_state.input.click[0] = 0;
    ui_state.input.click[1] = 0;
}

// The slot index below the popup whose title box holds the mouse and that is top level or hangs from the
// open slot; -1 for none.
int title_under_mouse() {
    const float x = ui_state.input.mouse_x, y = ui_state.input.mouse_y;
    const int n = std::min<int>(MENU_POPUP_SLOT, static_cast<int>(MENU_state.slots.size()));
    for (int i = 0; i < n; ++i) {
        const menu_slot& s = MENU_state.slots[i];
        if ((s.parent == -1 || s.parent == MENU_state.open) && contains(s, x, y))
            return i;
    }
    return -1;
}

} // namespace

void MENU_init(int mode) {
    if (mode != 1)
        return;
    MENU_state.slots.clear();
    MENU_state.slots.resize(MENU_SLOT_COUNT);
    for (int i = 0; i < MENU_SLOT_COUNT; ++i)
        MENU_clear_slot(i);
    MENU_state.open = -1;
}

void MENU_clear_slot(int i) {
    if (i < 0 || i >= static_cast<int>(MENU_state.slots.size()))
        return;
    MENU_state.slots[i] = menu_slot();
}

void MENU_reset_popup() {
    if (MENU_state.slots.size() < MENU_SLOT_COUNT)
        return;
    menu_slot& p = MENU_state.slots[MENU_POPUP_SLOT];
    p.x0 = p.y0 = p.x1 = p.y1 = -1;
}

void MENU_open_popup(float x, float y, float width, const std::vector<std::string>& items, int* first_row) {
    if (MENU_state.slots.size() < MENU_SLOT_COUNT)
        MENU_init(1);
    int first = first_row ? *first_row : 0;
    MENU_state.open = MENU_POPUP_SLOT;
    menu_slot& p = MENU_state.slots[MENU_POPUP_SLOT];
    p.parent = -1;
    const int n = static_cast<int>(items.size());
    p.x0 = to16(static_cast<int>(x - width / 2) - 2);
    p.x1 = to16(static_cast<int>(x + width / 2) + 4);
    p.y0 = to16(y - MENU_ROW_HEIGHT * (n - first - 1));
    p.y1 = to16(p.y0 + MENU_ROW_HEIGHT * n);
    p.items.assign(n, menu_item());
    // Only the rows count: a start value above a short view (the 380-unit preferences dialog) would scroll
    // the popup away one row per frame for ever.
    float lowest = std::numeric_limits<float>::max(), highest = std::numeric_limits<float>::lowest();
    for (int i = 0; i < n; ++i) {
        menu_item& row = p.items[i];
        const float top = y - static_cast<float>((i - first) * MENU_ROW_HEIGHT);
        row.x0 = p.x0;
        row.x1 = p.x1;
        row.y0 = to16(top - 3);
        row.y1 = to16(top + MENU_ROW_HEIGHT - 3);
        row.text = items[i];
        lowest = std::min<float>(lowest, row.y0);
        highest = std::max<float>(highest, row.y1);
    }
    if (lowest < 0.0f)
        ++first;
    if (highest > screen_state.view_height)
        --first;
    if (first_row)
        *first_row = first;
}

int MENU_bar_hover() {
    if (MENU_state.open < 0)
        return 0;
    const float x = ui_state.input.mouse_x, y = ui_state.input.mouse_y;
    for (int i = 0; i < static_cast<int>(MENU_state.slots.size()); ++i) {
        const menu_slot& s = MENU_state.slots[i];
        if (i != MENU_state.open && s.parent == -1 && contains(s, x, y))
            return 1;
    }
    return 0;
}

int MENU_item_hit() {
    const int open = MENU_state.open;
    if (open < 0 || open >= static_cast<int>(MENU_state.slots.size()))
        return 0;
    const float x = ui_state.input.mouse_x, y = ui_state.input.mouse_y;
    const std::vector<menu_item>& items = MENU_state.slots[open].items;
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        if (!choosable(items[i].text) || !contains(items[i], x, y))
            continue;
        if (open == MENU_POPUP_SLOT) {
            MENU_state.result_owner = MENU_state.popup_owner;
            MENU_state.chosen_item = i;
            MENU_state.popup_owner = 0;
        } else {
            CMND_fire(items[i].word);
        }
        close_menu();
        clear_clicks();
        return 1;
    }
    return 0;
}

void MENU_press(int button) {
    const int found = screen_state.screen_id == 0 ? title_under_mouse() : -1;
    if (found < 0) {
        if (!MENU_item_hit())
            close_menu();
        return;
    }
    MENU_state.open = MENU_state.open == found ? -1 : found;
    APP_input_state& in = ui_state.input;
    const int b = button >= 0 && button < APP_MOUSE_BUTTONS ? button : 0;
    in.press_time[b] = APP_clock.elapsed;
    in.press_x = in.mouse_x;
    in.press_y = in.mouse_y;
    clear_clicks();
}

int MENU_release() {
    if (screen_state.screen_id == 0) {
        const int found = title_under_mouse();
        if (found >= 0) {
            if (found == MENU_state.open)
                close_menu();
            return 0;
        }
    }
    return MENU_item_hit();
}

void MENU_shift(float dy) {
    for (menu_slot& s : MENU_state.slots) {
        s.y0 = to16(s.y0 + dy);
        s.y1 = to16(s.y1 + dy);
        for (menu_item& r : s.items) {
            r.y0 = to16(r.y0 + dy);
            r.y1 = to16(r.y1 + dy);
        }
    }
}

void MENU_draw_bar() {
    const int open = MENU_state.open;
    if (open < 0 || open == MENU_POPUP_SLOT)
        return;
    const float w = static_cast<float>(screen_state.drawable_width);
    BTN_frame1(1, w / 2, static_cast<float>(screen_state.drawable_height) - 9, w, 61);
    for (const menu_slot& s : MENU_state.slots)
        if (s.parent == -1 && !s.title.empty())
            OGL_draw_string(47, s.x0 + 10.0f, s.y0 + 5.0f, s.title, 9999.0f, 0, 0, 1.0f);
}

void MENU_draw() {
    const int open = MENU_state.open;
    if (open < 0 || open >= static_cast<int>(MENU_state.slots.size()))
        return;
    const menu_slot& m = MENU_state.slots[open];
    const bool popup = open == MENU_POPUP_SLOT;

    // The rows' frame, over the rows that have text.
    bool any = false;
    int fx0 = 0, fy0 = 0, fx1 = 0, fy1 = 0;
    for (const menu_item& r : m.items) {
        if (r.text.empty())
            continue;
        if (!any) {
            fx0 = r.x0, fx1 = r.x1, fy0 = r.y0 - 2, fy1 = r.y1 + 2;
            any = true;
        } else {
            fx0 = std::min<int>(fx0, r.x0), fx1 = std::max<int>(fx1, r.x1);
            fy0 = std::min(fy0, r.y0 - 2), fy1 = std::max(fy1, r.y1 + 2);
        }
    }
    BTN_frame2(20, static_cast<float>(fx0), static_cast<float>(fy0), static_cast<float>(fx1 - fx0),
               static_cast<float>(fy1 - fy0), "", 1.0f);

    // The bar title and the hovered row are lit.
    if (!popup)
        OGL_draw_rect(45, 0.25f, m.x0, m.y0, m.x1 - m.x0, m.y1 - m.y0);
    const float mx = ui_state.input.mouse_x, my = ui_state.input.mouse_y;
    const menu_item* hovered = nullptr;
    for (const menu_item& r : m.items)
        if (choosable(r.text) && mx >= r.x0 && mx <= r.x1 && my >= r.y0 && my <= r.y1 - 1)
            hovered = &r;
    if (hovered)
        OGL_draw_rect(45, 0.25f, hovered->x0, hovered->y0, hovered->x1 - hovered->x0,
                      hovered->y1 - hovered->y0);

    // Column breaks.
    for (size_t i = 1; i < m.items.size(); ++i) {
        const float x0 = m.items[i].x0;
        if (m.items[i].x0 == m.items[i - 1].x0)
            continue;
        OGL_draw_line(44, 1.0f, x0 - 1, static_cast<float>(fy0), x0 - 1, static_cast<float>(fy1));
        OGL_draw_line(46, 1.0f, x0, static_cast<float>(fy0), x0, static_cast<float>(fy1));
    }

    for (const menu_item& r : m.items) {
        if (r.text.empty())
            continue;
        if (r.text[0] == '-') {
            OGL_draw_line(44, 1.0f, r.x0, r.y0 + 1.0f, r.x1 - 1.0f, r.y0 + 1.0f);
            OGL_draw_line(46, 1.0f, r.x0, r.y0, r.x1 - 1.0f, r.y0);
        } else {
            OGL_draw_string(47, r.x0 + (popup ? 3.0f : 18.0f), r.y0 + 2.0f, r.text, 9999.0f, 0, 0, 1.0f);
        }
    }

    // Sub-menu arrows.
    for (const menu_slot& s : MENU_state.slots)
        if (s.parent == open)
            OGL_draw_atlas_sprite(static_cast<float>(fx1) - 8, s.y0 + 6.0f, 167, 187, 9, 9, 61);
}
