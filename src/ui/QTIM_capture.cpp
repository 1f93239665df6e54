// QTIM_capture: screen capture: the screenshot PNG, movie recording, and the per-frame capture driver.
#include "ui/QTIM_capture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/UTL_memory.h"
#include "base/hl_thread.h"
#include "platform/APP_time.h"
#include "platform/WIN_movie.h"
#include "platform/WIN_system.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_state.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_obj.h"
#include "ui/TEX_png.h"
#include "ui/screen_state.h"

QTIM_capture_record QTIM_capture;

namespace {

constexpr int max_shot_side = 4096;
constexpr int fallback_side = 2048;
constexpr int alert_line = 189;
constexpr const char* alert_source = "qtim"; // the recorder's alerts name their source as the module
constexpr uint32_t movie_texture_flags =
    0x2 | TEX_NEAREST | TEX_NO_DDS | TEX_CLAMP_T | TEX_CLAMP_S | TEX_SIZED | TEX_RAW | TEX_FULL_SIZE;

// One frame on its way to the compressor: RGB rows bottom first, and its duration in time-scale units.
struct movie_frame {
    std::vector<uint8_t> rgb;
    double duration;
};

// The recording. The main thread owns it; the compressor thread uses `writer`, `queue`, the frame size and
// the tick counters between its start and the join in QTIM_movie_finish.
struct movie_record {
    bool exists = false;
    WIN_movie* writer = nullptr;
    THREAD_queue* queue = nullptr;
    UTL_thread_handle handle = 0, copy = 0;
    unsigned pack_buffer = 0; // the pixel-pack buffer of the read-back, 0 when none
    int width = 0, height = 0;
    double ticks_per_unit = 1.0; // movie ticks per time-scale unit: the frame rate's numerator
    double units_written = 0.0;  // compressor thread: the frames' durations so far
    int64_t ticks_written = 0;   // compressor thread: the ticks given to the frames so far
};
movie_record movie;

// Movie timing (main thread): seconds since the last due frame, the skip-first-frame flag, and the clock
// (APP_get_microseconds) at the previous driver call, negative before the first.
struct capture_timing {
    double accumulated = 0.0;
    int skip_first = 0;
    int64_t last_call_us = -1;
};
capture_timing timing;

// The recorder step names, as the user's alert names them, by WIN_movie_step.
const char* const step_names[] = {
    "CreateMovieFile",       "NewMovieTrack",    "CompressSequenceBegin", "GetMaxCompressionSize",
    "CompressSequenceBegin", "BeginMediaEdits",  "CompressSequenceFrame", "AddMediaSample",
    "EndMediaEdits",         "AddMovieResource", "CloseMovieFile",
};

// The kind-2 alert of a failed recorder step.
void alert_failure(const WIN_movie_failure& failure, const std::string& path) {
    const std::string name = step_names[failure.step];
    const std::string first = failure.step == WIN_movie_create_file
                                  ? "Could not " + name + " to file: " + path
                                  : "Could not " + name + ".";
    std::string fourth;
    if (failure.step == WIN_movie_find_codec || failure.step == WIN_movie_open_codec)
        fourth = "YOU HAVE TO INSTALL THE LATEST QUICKTIME WITH AUTHORING MODULE FROM "
                 "https://ffmpeg.org/download.html!";
    else if (failure.step == WIN_movie_add_sample)
        fourth = "Please report this to Nordvane Systems.";
    APP_alert(0, first, "(" + name + " failed)", std::to_string(failure.code), fourth, 2, alert_source,
              alert_line);
}

// The compressor thread: encodes the frames in order until a null frame. A failed frame is alerted; the
// frames that follow it are left in the queue for the finish to free.
int compressor(void*) {
    WIN_set_thread_name("QT_Thread");
    for (;;) {
        auto* frame = static_cast<movie_frame*>(THREAD_queue_pop(movie.queue, -1));
        if (!frame)
            return 0;
        // Ticks from the running total, so that rounding never drifts from the frames' real durations.
        movie.units_written += frame->duration;
        const auto end = static_cast<int64_t>(std::llround(movie.units_written * movie.ticks_per_unit));
        const int64_t ticks = std::max<int64_t>(1, end - movie.ticks_written);
        movie.ticks_written += ticks;
        WIN_movie_failure failure;
        const bool ok =
            WIN_movie_add_frame(movie.writer, frame->rgb.data(), movie.width * 3, ticks, &failure);
        delete frame;
        if (!ok) {
            alert_failure(failure, "");
            return 1;
        }
    }
}

void release_capture_texture() {
    if (TMAN_get(QTIM_MOVIE_TEXTURE))
        TMAN_unload(QTIM_MOVIE_TEXTURE);
}

// Main thread: reads the movie's area of the back buffer into `rgb` (rows bottom first), through the
// pixel-pack buffer when the driver offers one.
void read_back(const QTIM_area& area, std::vector<uint8_t>& rgb) {
    const OGL_capabilities_record& caps = OGL_capabilities;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, movie.width);
    const int w = std::min(area.width, movie.width), h = std::min(area.height, movie.height);
    if (caps.pbo_avail && caps.glGenBuffersARB && caps.glBindBufferARB && caps.glBufferDataARB &&
        caps.glMapBufferARB && caps.glUnmapBufferARB) {
        if (!movie.pack_buffer)
            caps.glGenBuffersARB(1, &movie.pack_buffer);
        caps.glBindBufferARB(GL_PIXEL_PACK_BUFFER, movie.pack_buffer);
        caps.glBufferDataARB(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(rgb.size()), nullptr,
                             GL_STREAM_READ);
        glReadPixels(area.x, area.y, w, h, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        if (const void* mapped = caps.glMapBufferARB(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY)) {
            std::memcpy(rgb.data(), mapped, rgb.size());
            caps.glUnmapBufferARB(GL_PIXEL_PACK_BUFFER);
        }
        caps.glBindBufferARB(GL_PIXEL_PACK_BUFFER, 0);
    } else {
        glReadPixels(area.x, area.y, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    }
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
}

} // namespace

void QTIM_init() { QTIM_capture.available = WIN_movie_available(); }

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

std::string QTIM_screenshot_name(const std::string& extension) {
    const std::string base = std::string("Sim-Root").substr(0, 23) + "_";
    for (int n = 1;; ++n) {
        std::string name = base + std::to_string(n) + extension;
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

bool QTIM_movie_exists() { return movie.exists; }

void QTIM_movie_start() {
    if (movie.exists) {
        APP_alert(0, "Trying to create a movie but one already exists", "", "", "", 2, alert_source,
                  alert_line);
        return;
    }
    QTIM_capture_record& c = QTIM_capture;
    const QTIM_area area =
        QTIM_screenshot_area(screen_state.drawable_width, screen_state.drawable_height, QTIM_MOVIE_SIDE);
    c.area_width = area.width;
    c.area_height = area.height;
    // The encoder takes even sides only.
    c.movie_width = std::max(2, area.width & ~1);
    c.movie_height = std::max(2, area.height & ~1);
    c.frames_recorded = 0;
    const int scale = std::max(c.time_scale, 1), numerator = std::max(c.fps_numerator, 1);

    const std::string path = QTIM_screenshot_name(".mov");
    WIN_movie_failure failure;
    WIN_movie* writer =
        WIN_movie_open(path.c_str(), c.movie_width, c.movie_height, scale, numerator, &failure);
    if (!writer) {
        alert_failure(failure, path);
        return;
    }
    movie = movie_record();
    movie.exists = true;
    movie.writer = writer;
    movie.width = c.movie_width;
    movie.height = c.movie_height;
    movie.ticks_per_unit = numerator;
    movie.queue = THREAD_queue_create();
    THREAD_spawn(compressor, nullptr, &movie.handle, nullptr, &movie.copy, 0);
}

void QTIM_movie_add_frame(std::vector<uint8_t> rgb, double duration) {
    if (!movie.exists)
        return;
    rgb.resize(static_cast<size_t>(movie.width) * movie.height * 3);
    THREAD_queue_push(movie.queue, new movie_frame{std::move(rgb), duration});
    ++QTIM_capture.frames_recorded;
}

void QTIM_movie_capture(double duration) {
    if (!movie.exists || !TMAN_get(QTIM_MOVIE_TEXTURE))
        return;
    const int dw = screen_state.drawable_width, dh = screen_state.drawable_height;
    const QTIM_area area = QTIM_screenshot_area(dw, dh, QTIM_MOVIE_SIDE);
    if (area.width == 0 || area.height == 0)
        return;
    // Copy the area into the capture texture, then draw it back where it came from as one quad.
    OGL_reset_state_cache();
    OGL_set_state(1, 1, 1, 0, 1, 1);
    TMAN_bind_ref(QTIM_MOVIE_TEXTURE, 0, GL_REPLACE);
    glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, area.x, area.y, area.width, area.height);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, dw, dh);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, dw, 0, dh, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float s = static_cast<float>(area.width) / QTIM_MOVIE_SIDE;
    const float t = static_cast<float>(area.height) / QTIM_MOVIE_SIDE;
    const auto x0 = static_cast<float>(area.x), y0 = static_cast<float>(area.y);
    const auto x1 = x0 + static_cast<float>(area.width), y1 = y0 + static_cast<float>(area.height);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(s, 0);
    glVertex2f(x1, y0);
    glTexCoord2f(s, t);
    glVertex2f(x1, y1);
    glTexCoord2f(0, t);
    glVertex2f(x0, y1);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);

    std::vector<uint8_t> rgb(static_cast<size_t>(movie.width) * movie.height * 3);
    read_back(area, rgb);
    QTIM_movie_add_frame(std::move(rgb), duration);
}

void QTIM_movie_finish() {
    QTIM_capture_record& c = QTIM_capture;
    if (!movie.exists) {
        APP_alert(0, "Cannot finish record of a movie that was not started!", "", "", "", 2, alert_source,
                  alert_line);
        return;
    }
    if (c.frames_recorded <= 2) {
        c.movie_state = 1;
        return;
    }
    QTIM_movie_end();
}

void QTIM_movie_end() {
    QTIM_capture_record& c = QTIM_capture;
    if (!movie.exists)
        return;
    THREAD_queue_push(movie.queue, nullptr);
    UTL_join_thread(movie.handle, movie.copy);
    // Frames left behind by a compressor that stopped on a failure.
    while (void* left = THREAD_queue_pop(movie.queue, 0))
        delete static_cast<movie_frame*>(left);
    THREAD_queue_destroy(movie.queue);
    if (movie.pack_buffer && OGL_capabilities.glDeleteBuffersARB)
        OGL_capabilities.glDeleteBuffersARB(1, &movie.pack_buffer);
    WIN_movie_failure failure;
    const bool closed = WIN_movie_close(movie.writer, &failure);
    movie = movie_record();
    c.movie_state = 0;
    release_capture_texture();
    if (!closed)
        alert_failure(failure, "");
}

void QTIM_movie_toggle() {
    QTIM_capture_record& c = QTIM_capture;
    if (c.available && !movie.exists) {
        c.movie_state = 1;
        TMAN_scratch_width = QTIM_MOVIE_SIDE;
        TMAN_scratch_height = QTIM_MOVIE_SIDE;
        TMAN_load_bitmap(4, QTIM_MOVIE_TEXTURE, movie_texture_flags, 2, "scratch_array-t_QT_movie");
        QTIM_movie_start();
    } else if (movie.exists && c.frames_recorded > 2) {
        QTIM_movie_finish();
    }
}

void QTIM_frame(bool drawn) {
    QTIM_capture_record& c = QTIM_capture;
    if (c.screenshot_requested) {
        c.screenshot_requested = 0;
        QTIM_screenshot();
    }
    if (c.movie_toggle_requested) {
        c.movie_toggle_requested = 0;
        QTIM_movie_toggle();
    }
    // The real time since the last call: the frame clock's frame time is capped, and a window that idles
    // between frames would make a movie shorter than the time it recorded.
    const int64_t now = APP_get_microseconds();
    if (timing.last_call_us >= 0 && now > timing.last_call_us)
        timing.accumulated += static_cast<double>(now - timing.last_call_us) / 1000000.0;
    timing.last_call_us = now;
    const double frame_period =
        static_cast<double>(std::max(c.time_scale, 1)) / static_cast<double>(std::max(c.fps_numerator, 1));
    if (timing.accumulated < frame_period)
        return;
    // A frame whose drawing was discarded (a hidden window) left nothing to capture: its time goes to the
    // next frame that is drawn.
    if (!drawn && c.movie_state == 1)
        return;
    bool capture = false;
    if (c.movie_state == 1) {
        capture = timing.skip_first != 0;
        timing.skip_first = 1;
    } else {
        timing.skip_first = 0;
        if (c.movie_state == 2)
            QTIM_movie_finish();
    }
    if (capture)
        QTIM_movie_capture(timing.accumulated / std::max(c.time_scale, 1));
    timing.accumulated = 0.0;
}
