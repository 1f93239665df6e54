// Background tiles: placing pictures of any size into the scratch image (no window), and the tile textures
// made from a real intro.png (needs an X display; tools/test.sh runs Xvfb).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/OGL_back_tex.h"
#include "ui/RLE_blit.h"

namespace {

uint32_t pattern(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(y % 251) << 12 | (x % 4093); }

std::vector<uint32_t> make_picture(int width, int height) {
    std::vector<uint32_t> p(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[static_cast<size_t>(y) * width + x] = pattern(x, y);
    return p;
}

// Pictures wider or taller than the scratch image are cut to it (run under ASan: nothing is written past
// the scratch image); a small one leaves zeros around it. Every tile of the scratch image is checked.
TEST(BackTexTest, PicturesArePlacedBottomLeftAndCutToTheScratchImage) {
    const int side = BACK_TEX_SCRATCH, tile = BACK_TEX_TILE;
    struct {
        int width, height;
    } cases[] = {{2100, 2100}, {3000, 10}, {700, 600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const std::vector<uint32_t> picture = make_picture(c.width, c.height);
        std::vector<uint32_t> scratch(static_cast<size_t>(side) * side, 0);
        const std::vector<uint32_t> data =
            OGL_back_tex_encode(picture.data(), c.width, c.height, scratch.data());
        std::vector<uint32_t> out(static_cast<size_t>(tile) * tile);
        for (int row = 0; row < side / tile; ++row)
            for (int col = 0; col < side / tile; ++col) {
                RLE_blit(data.data(), static_cast<long>(side) * tile * row + tile * col, side - tile, tile,
                         tile, out.data());
                for (int y = 0; y < tile; ++y)
                    for (int x = 0; x < tile; ++x) {
                        const int px = col * tile + x, py = row * tile + y;
                        const uint32_t want = px < c.width && py < c.height ? pattern(px, py) : 0;
                        ASSERT_EQ(out[static_cast<size_t>(y) * tile + x], want) << px << "," << py;
                    }
            }
    }
}

} // namespace
