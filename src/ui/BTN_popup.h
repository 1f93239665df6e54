// BTN_popup: the popup button, which opens the menu layer's popup slot under itself to choose an item.
// Main thread only, inside the frame callback.
#pragma once
#include <string>
#include <vector>

// A popup button centred near (x, y) showing item *selection of `items`, which holds the items separated
// by `separator`. A click on it opens the popup menu, the selected item level with the button; choosing a
// row sets *selection (clamped to the items) and returns true in that frame. A negative *selection shows
// no item and stays as it is until a row is chosen. The label's left part goes left of the button, its
// right part right of it, its tip part into the tooltip. An item text holding '|' is a programming error:
// the kind-3 alert "Found | char in text string!".
bool BTN_popup(float x, float y, int* selection, const std::string& items, const std::string& label,
               char separator);

// The items of an items text (an empty text gives one empty item), each '|' raising the alert and dropped.
std::vector<std::string> BTN_popup_items(const std::string& items, const std::string& label, char separator);
// The drawn width for the item width w: x 0.95 for languages 1, 4 and 5, x 0.9 for 2 and 3 (at least 20
// in both cases), else w.
float BTN_popup_drawn_width(float w, int language);
