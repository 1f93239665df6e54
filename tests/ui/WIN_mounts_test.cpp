// Device notifications from the mount table: the diff of two mountinfo texts.
#include <gtest/gtest.h>

#include "platform/WIN_mounts.h"

namespace {

const std::string base = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
                         "23 22 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
                         "24 22 0:22 / /tmp rw,nosuid,nodev - tmpfs tmpfs rw,size=1024k\n";

TEST(WinMountsTest, DiffTellsMediaFromOtherChanges) {
    const std::string cdrom =
        "40 22 11:0 / /media/cdrom ro,nosuid,nodev,relatime shared:30 - iso9660 /dev/sr0 ro\n";
    const std::string dvd = "41 22 11:0 / /media/dvd ro,relatime - udf /dev/sr0 ro,utf8\n";
    const std::string usb = "42 22 8:17 / /media/usb rw,relatime shared:31 - vfat /dev/sdb1 rw,fmask=0022\n";
    std::string remounted = base;
    remounted.replace(remounted.find("rw,size=1024k"), 13, "ro,size=2048k");
    struct {
        const char* what;
        std::string before, after;
        bool media, devices;
    } cases[] = {
        {"nothing", base, base, false, false},
        {"a CD arrives", base, base + cdrom, true, false},
        {"a DVD arrives", base, base + dvd, true, false},
        {"a stick arrives", base, base + usb, false, true},
        {"a CD and a stick arrive", base, base + cdrom + usb, true, true},
        {"the CD goes", base + cdrom, base, false, true},
        {"remounted with other options", base, remounted, false, false},
        {"order does not matter", base + cdrom + usb, base + usb + cdrom, false, false},
        {"malformed lines are ignored", base, base + "garbage line\n43 22\n\n", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WIN_mount_change ch = WIN_diff_mountinfo(c.before, c.after);
        EXPECT_EQ(ch.media_arrived, c.media);
        EXPECT_EQ(ch.devices_changed, c.devices);
    }
}

TEST(WinMountsTest, WatchReportsNothingWhileTheTableStands) {
    WIN_mounts_reset();
    for (int i = 0; i < 3; ++i) {
        WIN_mount_change ch = WIN_mounts_poll();
        EXPECT_FALSE(ch.media_arrived);
        EXPECT_FALSE(ch.devices_changed);
    }
}

} // namespace
