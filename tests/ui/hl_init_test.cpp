// hl_init: the interface colours taken from the interface image, and the processor lines of the header.
#include <gtest/gtest.h>

#include <vector>

#include "platform/WIN_system.h"
#include "ui/hl_init.h"

TEST(HlInitTest, InterfaceColoursComeFromA512SquareImageOnly) {
    std::vector<uint8_t> image(512 * 512 * 4, 0);
    auto put = [&](int column, int row, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = &image[(static_cast<size_t>(row) * 512 + column) * 4];
        p[0] = r, p[1] = g, p[2] = b, p[3] = 7;
    };
    put(319, 155, 255, 0, 51);  // 43
    put(319, 147, 100, 200, 0); // 44
    put(319, 123, 50, 0, 100);  // 47
    put(395, 115, 0, 255, 0);   // 53
    put(319, 67, 1, 2, 3);      // 56
    float rgb[14][3] = {};
    ASSERT_TRUE(APP_interface_colours(image.data(), 512, 512, rgb));
    EXPECT_FLOAT_EQ(rgb[0][0], 1.0f);
    EXPECT_FLOAT_EQ(rgb[0][2], 0.2f);
    EXPECT_FLOAT_EQ(rgb[53 - 43][1], 1.0f);
    EXPECT_FLOAT_EQ(rgb[56 - 43][2], 3 / 255.0f);
    // 48 is the mean of 44 and 47.
    EXPECT_FLOAT_EQ(rgb[48 - 43][0], 75 / 255.0f);
    EXPECT_FLOAT_EQ(rgb[48 - 43][1], 100 / 255.0f);
    EXPECT_FLOAT_EQ(rgb[48 - 43][2], 50 / 255.0f);

    // A 256 x 256 image would be read past its end at row 155 x 512: refused, colours untouched.
    std::vector<uint8_t> small(256 * 256 * 4, 9);
    float untouched[14][3] = {};
    untouched[0][0] = 0.5f;
    for (auto [w, h] : {std::pair{256, 256}, {512, 511}, {1024, 512}})
        EXPECT_FALSE(APP_interface_colours(small.data(), w, h, untouched)) << w << "x" << h;
    EXPECT_FALSE(APP_interface_colours(nullptr, 512, 512, untouched));
    EXPECT_EQ(untouched[0][0], 0.5f);
}

TEST(HlInitTest, ProcessorRecordsComeFromCpuinfo) {
    const std::string text = "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Test CPU @ 3.00GHz\n"
                             "cpu MHz\t\t: 2994.374\n\n"
                             "processor\t: 1\ncpu MHz\t\t: 800.000\n\n"
                             "processor\t: 2\nmodel name\t: Other\n";
    const std::vector<WIN_cpu_record> cpus = WIN_parse_cpuinfo(text);
    ASSERT_EQ(cpus.size(), 3u);
    EXPECT_EQ(cpus[0].index, 0);
    EXPECT_EQ(cpus[0].name, "Test CPU @ 3.00GHz");
    EXPECT_EQ(cpus[0].mhz, 2994);
    EXPECT_TRUE(cpus[1].has_mhz && !cpus[1].has_name);
    EXPECT_EQ(cpus[1].mhz, 800);
    EXPECT_TRUE(cpus[2].has_name && !cpus[2].has_mhz);
    EXPECT_EQ(cpus[2].index, 2);
    EXPECT_TRUE(WIN_parse_cpuinfo("").empty());
    // This machine's own file gives a record per processor online at least.
    EXPECT_GE(WIN_cpu_records().size(), static_cast<size_t>(1));
}
