// WIN_mounts: device notifications from the mount table (/proc/self/mountinfo).
#pragma once
#include <string>

struct WIN_mount_change {
    bool media_arrived = false;   // a new iso9660 or udf mount
    bool devices_changed = false; // any other mount came or went
};

// Compares two mountinfo texts. Mounts are told apart by id, mount point, file-system type and source, so
// a remount with other options is no change.
WIN_mount_change WIN_diff_mountinfo(const std::string& before, const std::string& after);

// The watch of the run loop (main thread). WIN_mounts_reset takes the current table as the base (and opens
// it); WIN_mounts_poll returns what changed since the last look. The kernel marks the open table when it
// changes, so a look without a change costs one poll() and no read.
void WIN_mounts_reset();
WIN_mount_change WIN_mounts_poll();
