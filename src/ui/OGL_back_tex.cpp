// OGL_back_tex: the start-up picture "intro.png" cut into 512 x 512 texture tiles.
#include "ui/OGL_back_tex.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/APP_alert.h"
#include "base/hl_thread.h"
#include "platform/APP_time.h"
#include "ui/OGL_state.h"
#include "ui/RLE_blit.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_obj.h"
#include "ui/TEX_utils.h"
#include "ui/screen_state.h"

namespace {

const char* const picture_path = "Resources/bitmaps/intro.png";
constexpr uint32_t tile_flags = 0x602; // RGBA, no DDS variant, clamped in t

// The tile grid and the picture last read. Any thread that holds the context may call the routine; the
// lock, made on the first call, is held for the whole of it.
struct back_tex_state {
    std::mutex lock;
    int columns = 4, rows = 4;
    int picture_width = 0, picture_height = 0;
    int64_t prepared_us = 0; // when the picture was last prepared
};
back_tex_state& state() {
    static back_tex_state s;
    return s;
}

} // namespace

std::vector<uint32_t> OGL_back_tex_encode(const uint32_t* picture, int width, int height, uint32_t* scratch) {
    // A picture larger than the scratch image is cut to it: the tiles never reach beyond it anyway.
    const int w = std::clamp(width, 0, BACK_TEX_SCRATCH);
    const int h = std::clamp(height, 0, BACK_TEX_SCRATCH);
    for (int y = 0; y < h; ++y)
        std::memcpy(scratch + static_cast<size_t>(y) * BACK_TEX_SCRATCH,
                    picture + static_cast<size_t>(y) * width, static_cast<size_t>(w) * sizeof(uint32_t));
    return RLE_encode(scratch, static_cast<size_t>(BACK_TEX_SCRATCH) * BACK_TEX_SCRATCH, BACK_TEX_TILE);
}

void OGL_back_tex_load() {
    back_tex_state& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    s.columns = s.rows = 4;
    if (screen_state.screen_id != -1)
        return;

    std::memset(TMAN_scratch_pixels, 0, TMAN_SCRATCH_BYTES);
    unsigned char* picture = nullptr;
    TEX_image_info info;
    if (!TEX_load_image_file(picture_path, picture, 0, GL_RGBA, 0, 0, 0, info)) {
        APP_alert(0, "Trying to load a texture that you do not have!",
                  "This smacks of a mis-installed copy of Aerivon!",
                  "Get a new download from www.aerivon.example. The missing file is:", "intro.png", 2,
                  "OGL_back_tex", 156);
        return;
    }
    s.picture_width = info.width;
    s.picture_height = info.height;

    s.columns = s.rows = 2;
    const std::vector<uint32_t> data =
        OGL_back_tex_encode(reinterpret_cast<const uint32_t*>(picture), info.width, info.height,
                            reinterpret_cast<uint32_t*>(TMAN_scratch_pixels));
    std::free(picture);
    if (data.empty())
        return;
    s.prepared_us = APP_get_microseconds();
    const bool on_main = !THREAD_started() || THREAD_is_main();
    if (on_main)
        OGL_set_state(1, 1, 1, 1, 1, 1);

    std::vector<uint32_t> tile(static_cast<size_t>(BACK_TEX_TILE) * BACK_TEX_TILE);
    for (int row = 0; row < s.rows; ++row)
        for (int col = 0; col < s.columns; ++col) {
            const int ref = BACK_TEX_FIRST_REF + s.columns * row + col;
            if (!TMAN_is_loaded(ref)) {
                TMAN_scratch_width = BACK_TEX_TILE;
                TMAN_scratch_height = BACK_TEX_TILE;
                TMAN_load_bitmap(4, ref, tile_flags, 2, "scratch_array-t_tex_back (tile)");
            }
            if (on_main) {
                TMAN_bind_ref(ref, 0, 0);
            } else if (TEX_obj* t = TMAN_get(ref)) {
                glBindTexture(GL_TEXTURE_2D, t->gl_name.load());
            }
            RLE_blit(data.data(),
                     static_cast<long>(BACK_TEX_SCRATCH) * BACK_TEX_TILE * row + BACK_TEX_TILE * col,
                     BACK_TEX_SCRATCH - BACK_TEX_TILE, BACK_TEX_TILE, BACK_TEX_TILE, tile.data());
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, BACK_TEX_TILE, BACK_TEX_TILE, GL_RGBA, GL_UNSIGNED_BYTE,
                            tile.data());
        }
}
