// QTIM_capture: screen capture: the screenshot PNG and the per-frame capture driver.
#include "ui/QTIM_capture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "base/APP_clock.h"
#include "base/FILE_ops.h"
#include "base/UTL_memory.h"
#include "platform/APP_time.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_png.h"
#include "ui/screen_state.h"

QTIM_capture_record QTIM_capture;

namespace {

constexpr int max_shot_side = 4096;
constexpr int fallback_side = 2048;

// Movie timing (main thread): seconds since the last movie frame, and the skip-first-frame flag.
struct capture_timing {
    double accumulated = 0.0;
    int skip_first = 0;
};
capture_timing timing;

} // namespace

double QTIM_get_seconds() { return static_cast<double>(APP_get_microseconds()) / 1000000.0; }

QTIM_area QTIM_screenshot_area(int drawable_width, int drawable_height, int max_side) {
    QTIM_area a;
    a.width = std::clamp(drawable_width, 0, max_side);
    a.height = std::clamp(drawable_height, 0, max_side);
    a.x = std::max(0, (drawable_width - a.width) / 2);
    a.y = std::max(0, (drawable_height - a.height) / 2);
    a.bytes = static_cast<size_t>(a.width) * static_cast<size_t>(a.height) * 3;
    return a;
}

std::string QTIM_screenshot_name() {
    const std::string base = std::string("Sim-Root").substr(0, 23) + "_";
    for (int n = 1;; ++n) {
        std::string name = base + std::to_string(n) + ".png";
        if (!FILE_is_file(name) && !FILE_is_folder(name))
            return name;
    }
}

void QTIM_screenshot() {
    QTIM_area area =
        QTIM_screenshot_area(screen_state.drawable_width, screen_state.drawable_height, max_shot_side);
    if (area.width == 0 || area.height == 0)
        return;
    unsigned char* pixels = TMAN_scratch_pixels;
    unsigned char* owned = nullptr;
    if (area.bytes > TMAN_SCRATCH_BYTES) {
        owned = static_cast<unsigned char*>(MEM_malloc_noting_failure(area.bytes));
        if (owned)
            pixels = owned;
        else
            area = QTIM_screenshot_area(screen_state.drawable_width, screen_state.drawable_height,
                                        fallback_side);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(area.x, area.y, area.width, area.height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    TEX_write_png(QTIM_screenshot_name(), area.width, area.height, 3, pixels);
    std::free(owned);
}

void QTIM_frame() {
    if (QTIM_capture.screenshot_requested) {
        QTIM_capture.screenshot_requested = 0;
        QTIM_screenshot();
    }
    // Movie timing. Only the idle state exists here: nothing can start a recording without a movie
    // library, so a due frame only clears the skip flag.
    timing.accumulated += APP_clock.frame_time;
    const double frame_period = static_cast<double>(std::max(QTIM_capture.time_scale, 1)) /
                                static_cast<double>(std::max(QTIM_capture.fps_numerator, 1));
    if (timing.accumulated >= frame_period && QTIM_capture.movie_state == 0)
        timing.skip_first = 0;
}
