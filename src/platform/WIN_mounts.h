// WIN_mounts: the CD/DVD drives and device notifications, from the mount table (/proc/self/mountinfo).
#pragma once
#include <string>
#include <vector>

struct WIN_mount_change {
    bool media_arrived = false;   // a new iso9660 or udf mount, or a new root in the test-root list
    bool devices_changed = false; // any other mount came or went
};

// Compares two mountinfo texts. Mounts are told apart by id, mount point, file-system type and source, so
// a remount with other options is no change.
WIN_mount_change WIN_diff_mountinfo(const std::string& before, const std::string& after);

// The watch of the run loop (main thread). WIN_mounts_reset takes the current table and test roots as the
// base (and opens the table); WIN_mounts_poll returns what changed since the last look. The kernel marks
// the open table when it changes, so a look without a change costs one poll() and no read of it; the
// test-root list, when one is named, is read again at every look and a root added to it is a medium
// arriving.
void WIN_mounts_reset();
WIN_mount_change WIN_mounts_poll();

// One mount of the table: where it is mounted (octal escapes such as \040 decoded) and its type.
struct WIN_mount {
    std::string point;
    std::string type;
};
// The well-formed lines of a mountinfo text, in table order.
std::vector<WIN_mount> WIN_parse_mountinfo(const std::string& text);

// The variable that names the file of test roots: folders, one per line, that count as CD/DVD drives
// after the real ones, so that a folder can stand in for a disc. Unset: no test roots.
inline constexpr const char WIN_DVD_ROOTS_VARIABLE[] = "AERIVON_DVD_ROOTS";

// The roots of the CD/DVD drives, each ending in '/': the mount points of type iso9660 or udf of the
// mountinfo text in table order, then the test roots in file order (empty lines skipped). No other volume
// is ever listed. Without an argument, of this process's mount table.
std::vector<std::string> WIN_optical_roots(const std::string& mountinfo);
std::vector<std::string> WIN_optical_roots();
