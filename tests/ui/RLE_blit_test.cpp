// Run-length images: skipping and decoding at their edges (OGL_back_tex_test cuts real tiles).
#include <gtest/gtest.h>

#include <vector>

#include "ui/RLE_blit.h"

namespace {

TEST(RleBlitTest, SkipConsumesWholeRunsAndDataThatEndsEarlyGivesZeroPixels) {
    const uint32_t minus7 = static_cast<uint32_t>(-7);
    const std::vector<uint32_t> data = {minus7, 0xAA, 2, 0x11, 0x22, 0}; // 7 x 0xAA, 0x11, 0x22, end
    const uint32_t* p = data.data();
    EXPECT_EQ(RLE_skip(p, 5), 0);
    EXPECT_EQ(p, data.data() + 2);
    EXPECT_EQ(RLE_skip(p, 3), 1);
    EXPECT_EQ(p, data.data() + 5);
    // A blit that runs past the end of the data gets zero pixels for the rest.
    std::vector<uint32_t> out(9, 0xFFFFFFFF);
    RLE_blit(data.data() + 2, 0, 2, 3, 3, out.data());
    EXPECT_EQ(out, (std::vector<uint32_t>{0x11, 0x22, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace
