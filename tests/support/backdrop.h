// backdrop: a checkered window background for pictures of dialogs. A dialog that painted outside its own
// view, or left part of it unpainted, shows against the squares where a plain colour would hide it.
#pragma once
#include "ui/OGL_view.h"
#include "ui/screen_state.h"

namespace test {

// Squares of 40 units in colours 43 and 55 over width x height from the window's corner, whatever the
// view origin.
inline void draw_backdrop(int width, int height) {
    const float ox = screen_state.origin_x, oy = screen_state.origin_y;
    for (int y = 0; y < height; y += 40)
        for (int x = 0; x < width; x += 40)
            OGL_draw_rect((x / 40 + y / 40) % 2 ? 55 : 43, 1.0f, static_cast<float>(x) - ox,
                          static_cast<float>(y) - oy, 40.0f, 40.0f);
}

} // namespace test
