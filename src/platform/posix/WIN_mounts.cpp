// WIN_mounts: the CD/DVD drives and device notifications, from /proc/self/mountinfo.
#include "platform/WIN_mounts.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
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

// Calls `take(fields, dash)` for each well-formed line: "id parent maj:min root point options [optional...]
// - type source super", where fields[dash] is the "-".
template <class F> void for_each_line(const std::string& text, F take) {
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
        take(f, dash);
    }
}

std::set<mount_entry> parse(const std::string& text) {
    std::set<mount_entry> out;
    for_each_line(text, [&](const std::vector<std::string>& f, size_t dash) {
        mount_entry e;
        e.type = f[dash + 1];
        e.key = f[0] + ' ' + f[4] + ' ' + e.type + ' ' + f[dash + 2];
        out.insert(e);
    });
    return out;
}

// The kernel writes a blank, tab, line feed or backslash of a path as '\' and three octal digits.
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        auto octal = [&](size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '7'; };
        if (s[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out += static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool is_optical(const std::string& type) { return type == "iso9660" || type == "udf"; }

std::string as_root(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// The test roots of the list the variable names, in file order; none when it is unset or unreadable.
std::vector<std::string> read_test_roots() {
    std::vector<std::string> roots;
    const char* list = std::getenv(WIN_DVD_ROOTS_VARIABLE);
    if (!list || !*list)
        return roots;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            roots.push_back(as_root(line));
    }
    return roots;
}

std::string read_whole(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The open mount table, the text last seen and the test roots last seen (main thread).
struct mount_watch {
    int fd = -1;
    std::string last;
    std::vector<std::string> test_roots;
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
            if (is_optical(e.type))
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
    watch.test_roots = read_test_roots();
}

WIN_mount_change WIN_mounts_poll() {
    WIN_mount_change change;
    pollfd p{watch.fd, POLLPRI, 0};
    if (watch.fd >= 0 && poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR))) {
        std::string now = read_table();
        change = WIN_diff_mountinfo(watch.last, now);
        watch.last = std::move(now);
    }
    std::vector<std::string> roots = read_test_roots();
    for (const std::string& r : roots)
        if (std::find(watch.test_roots.begin(), watch.test_roots.end(), r) == watch.test_roots.end())
            change.media_arrived = true;
    watch.test_roots = std::move(roots);
    return change;
}

std::vector<WIN_mount> WIN_parse_mountinfo(const std::string& text) {
    std::vector<WIN_mount> mounts;
    for_each_line(text, [&](const std::vector<std::string>& f, size_t dash) {
        mounts.push_back({unescape(f[4]), f[dash + 1]});
    });
    return mounts;
}

std::vector<std::string> WIN_optical_roots() { return WIN_optical_roots(read_whole("/proc/self/mountinfo")); }

std::vector<std::string> WIN_optical_roots(const std::string& mountinfo) {
    std::vector<std::string> roots;
    for (const WIN_mount& m : WIN_parse_mountinfo(mountinfo))
        if (is_optical(m.type))
            roots.push_back(as_root(m.point));
    for (std::string& r : read_test_roots())
        roots.push_back(std::move(r));
    return roots;
}
