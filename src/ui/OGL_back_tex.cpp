// OGL_back_tex: the start-up picture "intro.png" cut into 512 x 512 texture tiles.
#include "ui/OGL_back_tex.h"

#include <algorithm>
#include <cstring>

#include "ui/RLE_blit.h"

std::vector<uint32_t> OGL_back_tex_encode(const uint32_t* picture, int width, int height, uint32_t* scratch) {
    // A picture larger than the scratch image is cut to it: the tiles never reach beyond it anyway.
    const int w = std::clamp(width, 0, BACK_TEX_SCRATCH);
    const int h = std::clamp(height, 0, BACK_TEX_SCRATCH);
    for (int y = 0; y < h; ++y)
        std::memcpy(scratch + static_cast<size_t>(y) * BACK_TEX_SCRATCH,
                    picture + static_cast<size_t>(y) * width, static_cast<size_t>(w) * sizeof(uint32_t));
    return RLE_encode(scratch, static_cast<size_t>(BACK_TEX_SCRATCH) * BACK_TEX_SCRATCH, BACK_TEX_TILE);
}
