// Run-length images: skipping and decoding at their edges, and encode-then-blit against the plain crop.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/RLE_blit.h"

namespace {

uint32_t neg(int n) { return static_cast<uint32_t>(-n); }

TEST(RleBlitTest, SkipConsumesWholeRunsAndStopsOnTheEndMarker) {
    // A 7-pixel repeat run, a 2-pixel literal run, the end.
    const std::vector<uint32_t> data = {neg(7), 0xAA, 2, 0x11, 0x22, 0};
    const uint32_t* p = data.data();
    EXPECT_EQ(RLE_skip(p, 5), 0);
    EXPECT_EQ(p, data.data() + 2);
    EXPECT_EQ(RLE_skip(p, 1), 0);
    EXPECT_EQ(p, data.data() + 5);
    EXPECT_EQ(RLE_skip(p, 1), 1);
    EXPECT_EQ(p, data.data() + 5);
    EXPECT_EQ(RLE_skip(p, 0), 0);
}

TEST(RleBlitTest, DataThatEndsEarlyDecodesAsZeroPixels) {
    const std::vector<uint32_t> data = {neg(3), 0x55, 1, 0x77, 0};
    // Three rows of 4 pixels, no skip: the 4 pixels of data then zeros.
    std::vector<uint32_t> out(12, 0xFFFFFFFF);
    RLE_blit(data.data(), 0, 0, 4, 3, out.data());
    const std::vector<uint32_t> expected = {0x55, 0x55, 0x55, 0x77, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(out, expected);
    std::vector<uint32_t> two(2, 0xFFFFFFFF);
    const uint32_t* end = RLE_decode(data.data() + 4, two.data(), 2);
    EXPECT_EQ(end, data.data() + 4);
    EXPECT_EQ(two, std::vector<uint32_t>(2, 0));
}

// Rows 2048 long cut into 512-pixel tiles, as the background uses them: flat areas, stripes of two equal
// pixels (never a repeat run), noise, and runs that would cross every tile edge if the encoder let them.
TEST(RleBlitTest, EncodeThenBlitGivesEveryTileItsCrop) {
    const int width = 2048, height = 1024, tile = 512;
    std::vector<uint32_t> image(static_cast<size_t>(width) * height);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            uint32_t v;
            if (y % 64 < 16)
                v = 0xFF000000u | static_cast<uint32_t>(y); // flat across tile edges
            else if (y % 64 < 32)
                v = static_cast<uint32_t>(x / 2); // pairs
            else if (x % 700 < 350)
                v = seed >> 8; // noise
            else
                v = 0x12345678u;
            image[static_cast<size_t>(y) * width + x] = v;
        }
    const std::vector<uint32_t> data = RLE_encode(image.data(), image.size(), tile);
    EXPECT_LT(data.size(), image.size());
    std::vector<uint32_t> out(static_cast<size_t>(tile) * tile);
    for (int row = 0; row < height / tile; ++row)
        for (int col = 0; col < width / tile; ++col) {
            SCOPED_TRACE(testing::Message() << "tile " << row << "," << col);
            RLE_blit(data.data(), static_cast<long>(width) * tile * row + tile * col, width - tile, tile,
                     tile, out.data());
            for (int y = 0; y < tile; ++y)
                for (int x = 0; x < tile; ++x)
                    ASSERT_EQ(out[static_cast<size_t>(y) * tile + x],
                              image[static_cast<size_t>(row * tile + y) * width + col * tile + x])
                        << x << "," << y;
        }
}

} // namespace
