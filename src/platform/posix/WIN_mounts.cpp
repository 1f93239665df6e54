// WIN_mounts: device notifications from /proc/self/mountinfo.
#include "platform/WIN_mounts.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

struct mount_entry {
    std::string key; // id, mount point, type, source
    std::string type;
    bool operator<(const mount_entry& o) const { return key < o.key; }
};

// One entry per well-formed line: "id parent maj:min root point options [optional...] - type source super".
std::set<mount_entry> parse(const std::string& text) {
    std::set<mount_entry> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> f;
        for (std::string w; words >> w;)
            f.push_back(w);
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (f.size() < 5 || dash + 2 >= f.size())
            continue;
        mount_entry e;
        e.type = f[dash + 1];
        e.key = f[0] + ' ' + f[4] + ' ' + e.type + ' ' + f[dash + 2];
        out.insert(e);
    }
    return out;
}

// The open mount table and the text last seen (main thread).
struct mount_watch {
    int fd = -1;
    std::string last;
};
mount_watch watch;

std::string read_table() {
    std::string text;
    if (watch.fd < 0)
        return text;
    if (lseek(watch.fd, 0, SEEK_SET) != 0)
        return text;
    char buf[8192];
    for (;;) {
        ssize_t n = read(watch.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

} // namespace

WIN_mount_change WIN_diff_mountinfo(const std::string& before, const std::string& after) {
    WIN_mount_change change;
    std::set<mount_entry> a = parse(before), b = parse(after);
    for (const auto& e : b)
        if (!a.count(e)) {
            if (e.type == "iso9660" || e.type == "udf")
                change.media_arrived = true;
            else
                change.devices_changed = true;
        }
    for (const auto& e : a)
        if (!b.count(e))
            change.devices_changed = true;
    return change;
}

void WIN_mounts_reset() {
    if (watch.fd < 0)
        watch.fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    watch.last = read_table();
}

WIN_mount_change WIN_mounts_poll() {
    if (watch.fd < 0)
        return {};
    pollfd p{watch.fd, POLLPRI, 0};
    if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLPRI | POLLERR)))
        return {};
    std::string now = read_table();
    WIN_mount_change change = WIN_diff_mountinfo(watch.last, now);
    watch.last = std::move(now);
    return change;
}
