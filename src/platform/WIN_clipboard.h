// WIN_clipboard: the system's plain-text clipboard, in UTF-8. On X11 the program owns what it puts there,
// so the text is gone once the program exits.
#pragma once
#include <string>

// Puts the text on the clipboard as plain text (up to its first NUL byte). Failures are quiet. Main thread.
void WIN_clipboard_put(const std::string& text);
// When the clipboard holds a non-empty plain text, calls `callback` once with it (valid during the call
// only); otherwise never. Failures are quiet. Main thread.
void WIN_clipboard_get(void (*callback)(const char* text, void* user), void* user);
