// WIN_resize: follows a change of the main window's drawable size.
#pragma once

// Only when both are non-zero: moves the menus by the change of height, stores the drawable size (and,
// when windowed, the window size), rebuilds the interface view and sets the current screen again, which
// re-centres its view. Main thread.
void WIN_resize(int width, int height);
