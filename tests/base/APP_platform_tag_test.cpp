// The User-agent's platform text.
#include <gtest/gtest.h>

#include <sys/utsname.h>

#include "base/APP_platform_tag.h"

TEST(PlatformTagTest, KernelReleaseAndMachineMakeTheTag) {
    struct {
        const char* release;
        const char* machine;
        const char* tag;
    } cases[] = {
        {"6.1.0-18-amd64", "x86_64", "IBM6.1_64_32bit"},
        {"5.10.0", "i686", "IBM5.10_32_32bit"},
        {"4.19", "aarch64", "IBM4.19_32_32bit"},
        {"6", "x86_64", "IBM6.0_64_32bit"},
        {"", "", "IBM0.0_32_32bit"},
        {"99999999999.1", "x86_64", "IBM999999.1_64_32bit"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(APP_format_platform_tag(c.release, c.machine), c.tag) << c.release;
}

TEST(PlatformTagTest, ThisMachinesTagComesFromUname) {
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    EXPECT_EQ(APP_platform_tag(), APP_format_platform_tag(u.release, u.machine));
    EXPECT_EQ(APP_platform_tag().rfind("IBM", 0), 0u);
}
