// close_request: what a window manager sends when the user closes a window, for tests on an X server
// without one. (Xlib's macros stay in the .cpp.)
#pragma once
#include <string>

namespace gui {

// WM_DELETE_WINDOW in a WM_PROTOCOLS message to `window` on `display` ("" for $DISPLAY). False when the
// display cannot be opened.
bool send_close_request(unsigned long window, const std::string& display = "");

} // namespace gui
