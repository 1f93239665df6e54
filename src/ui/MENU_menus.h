// MENU_menus: the menu layer: a fixed table of pull-down menu slots and the popup slot.
//
// Slots 0..1518 are pull-down menus of a menu bar (top level: parent -1) and their sub-menus; slot 1519 is
// the popup that a popup button opens. At most one menu is open at a time. In this program only the popup
// is ever filled, so the bar draws nothing, but its rules stand. The frame callback draws the open menu
// every frame; the mouse callbacks route presses and releases here. Boxes are in view units (y up),
// relative to the view origin like the mouse. Main thread only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int MENU_SLOT_COUNT = 1520;
constexpr int MENU_POPUP_SLOT = 1519;
constexpr int MENU_ROW_HEIGHT = 12;

// One row. Empty text: no row; text beginning with '-': a separator line; with '=': shown, not choosable.
struct menu_item {
    std::string text;
    int word = 0; // the command index a bar item fires
    int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct menu_slot {
    std::string title; // shown in the bar for a top-level menu
    int parent = -1;   // -1 top level, else the slot it hangs from
    int second_word = -1;
    int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0; // the title's box
    std::vector<menu_item> items;
};

struct menu_object {
    std::vector<menu_slot> slots;
    int open = -1;        // the open slot, -1 for none
    int popup_owner = 0;  // set by the popup's opener
    int result_owner = 0; // the popup owner when an item was chosen
    int chosen_item = 0;  // the item chosen in the popup
    int pressed_item = 0; // cleared by every close-box check
};

// The menu object (main thread only).
extern menu_object MENU_state;

// Mode 1: empties the table and makes 1520 cleared slots. Other modes do nothing.
void MENU_init(int mode);
// Empty title, parent -1, second word -1, box 0, no items.
void MENU_clear_slot(int i);
// With the table made: the popup slot's box becomes -1 in all four coordinates (each screen change).
void MENU_reset_popup();
// Opens the popup slot under a popup button at (x, y) of the given width: one 12-high row per item, the
// row `*first_row` level with y. When the lowest row starts below 0, *first_row grows by 1; when the
// highest ends above the view height it shrinks by 1, so a popup that does not fit scrolls one row per
// frame while its opener keeps calling this.
void MENU_open_popup(float x, float y, float width, const std::vector<std::string>& items, int* first_row);
// 1 when a menu is open and the mouse is inside the title box of another top-level slot.
int MENU_bar_hover();
// The handler of every mouse press: on screen 0 a press on a menu title opens or closes that menu
// (recording the press for the quick-release rule); elsewhere, or off every title, the open menu's item
// under the mouse is chosen, or the menu closes when there is none. `button` is the pressed button.
void MENU_press(int button);
// The handler of a release that is not a quick second click: on screen 0 over the open menu's title it
// closes it, over another title it does nothing; anywhere else (and on every other screen) the item under
// the mouse is chosen. Returns 1 when an item was chosen.
int MENU_release();
// With a menu open: chooses the first choosable row (text not beginning with '-' or '=') whose box holds
// the mouse, bounds included. A bar item runs the command hook with its word; a popup row makes the popup
// owner the result owner and the row the chosen item, and clears the popup owner. Either closes the menu,
// clears click edges 0 and 1 and returns 1. No such row: 0.
int MENU_item_hit();
// Draws the bar while a bar menu is open (the wizard screen).
void MENU_draw_bar();
// Draws the open menu (every frame).
void MENU_draw();
// Moves every box and row by dy (the window's height changed).
void MENU_shift(float dy);
