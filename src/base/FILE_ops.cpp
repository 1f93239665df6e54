// FILE_ops: paths and the file-system layer over POSIX.
//
// DESIGN: paths stay UTF-8 down to the system call; a relative path is taken against FILE_sim_root at the
// moment of the call. Every descriptor is opened close-on-exec, so a program started through
// FILE_shell_open inherits none of ours. Tree walks never follow a symbolic link: listings type entries
// without following links, folders are entered with O_NOFOLLOW relative to their parent's descriptor, and a
// link is unlinked or copied, never descended. A copy lands in a temporary sibling that is renamed over the
// destination only once it is complete, so a failed copy leaves the old file as it was.
#include "base/FILE_ops.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <numeric>
#include <spawn.h>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "base/APP_alert.h"
#include "base/CMND_registry.h"
#include "base/STR_utf.h"
#include "platform/WIN_system.h"

// Module state. FILE_sim_root: written on the main thread while no worker uses it, read by any thread.
// The error site: per thread, written by a failing delete or folder creation, read by that thread's caller.
std::string FILE_sim_root;
thread_local const char* FILE_error_site_file = "";
thread_local int FILE_error_site_line = 0;

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 control of the same value.
const unsigned short cp1252_high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_sep(char c) { return c == '/' || c == '\\'; }

bool has_drive_prefix(const std::string& p) {
    return p.size() >= 3 && is_ascii_letter(p[0]) && p[1] == ':' && p[2] == '\\';
}

// The separators between components: every '/', and the '\' of a drive prefix. Any other '\' is a byte of
// a name, as the system takes it ("Sims \ 2026").
bool is_component_end(const std::string& p, size_t i) {
    return p[i] == '/' || (i == 2 && has_drive_prefix(p));
}

std::string absolute(const std::string& path) {
    std::string a = path;
    FILE_make_absolute(a);
    return a;
}

void set_error_site(int line) {
    FILE_error_site_file = "FILE_ops";
    FILE_error_site_line = line;
}

int errno_or(int fallback) { return errno != 0 ? errno : fallback; }

// A disk listing must name a folder: the fatal alert otherwise.
void check_folder_path(const std::string& folder) {
    std::u16string wide;
    FILE_wide_absolute_path(folder, wide);
    if (wide.size() > 3 && wide.back() != u'/' && wide.back() != u'\\')
        APP_alert(0, "I need to end all paths with the directory indicator!",
                  "This is not consistent with my labelling practices!",
                  "Working path does not appear to be a directory!", absolute(folder), 3, "FILE_ops", 658);
}

// Appends the entries of an open folder: every name but "." and "..", or with `all` false also none that
// begins with '.'. Type 1 for a folder, 0 for anything else; links are not followed.
int read_entries(DIR* d, bool all, std::vector<std::string>& names, std::vector<int>& types) {
    for (;;) {
        errno = 0;
        dirent* e = readdir(d);
        if (!e)
            return errno;
        const char* n = e->d_name;
        if (n[0] == '\0' || (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))))
            continue;
        if (!all && n[0] == '.')
            continue;
        int type;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            type = fstatat(dirfd(d), n, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
        } else {
            type = e->d_type == DT_DIR ? 1 : 0;
        }
        names.emplace_back(n);
        types.push_back(type);
    }
}

// Ascending by lowered bytes; names equal but for case keep byte order.
void sort_listing(std::vector<std::string>& names, std::vector<int>& types) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    std::vector<size_t> order(names.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const std::string& x = names[a];
        const std::string& y = names[b];
        size_t n = std::min(x.size(), y.size());
        for (size_t i = 0; i < n; ++i) {
            int cx = lower(static_cast<unsigned char>(x[i]));
            int cy = lower(static_cast<unsigned char>(y[i]));
            if (cx != cy)
                return cx < cy;
        }
        if (x.size() != y.size())
            return x.size() < y.size();
        return x < y;
    });
    std::vector<std::string> sorted_names;
    std::vector<int> sorted_types;
    sorted_names.reserve(order.size());
    sorted_types.reserve(order.size());
    for (size_t i : order) {
        sorted_names.push_back(std::move(names[i]));
        sorted_types.push_back(types[i]);
    }
    names.swap(sorted_names);
    types.swap(sorted_types);
}

// Opens a folder entry for a walk without following a link in its place.
DIR* open_folder_at(int parent_fd, const char* name) {
    int fd = openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* d = fdopendir(fd);
    if (!d) {
        int e = errno;
        close(fd);
        errno = e;
    }
    return d;
}

// Every sorted entry of an open folder, hidden ones too.
int list_all(DIR* d, std::vector<std::string>& names, std::vector<int>& types) {
    int err = read_entries(d, true, names, types);
    if (err == 0)
        sort_listing(names, types);
    return err;
}

// Deletes everything inside the open folder; closes it. Folder entries are emptied through a descriptor
// opened with O_NOFOLLOW, then removed; anything else is unlinked.
int delete_contents(DIR* d) {
    std::vector<std::string> names;
    std::vector<int> types;
    int err = list_all(d, names, types);
    for (size_t i = 0; err == 0 && i < names.size(); ++i) {
        const char* n = names[i].c_str();
        if (types[i] == 1) {
            if (DIR* child = open_folder_at(dirfd(d), n))
                err = delete_contents(child);
            if (err == 0 && unlinkat(dirfd(d), n, AT_REMOVEDIR) != 0) {
                err = errno_or(EIO);
                set_error_site(146);
            }
        } else if (unlinkat(dirfd(d), n, 0) != 0) {
            err = errno_or(EIO);
            set_error_site(149);
        }
    }
    closedir(d);
    return err;
}

int copy_folder(DIR* d, const std::string& src, const std::string& dst) {
    mkdir(dst.c_str(), 0777); // may exist already; a real failure shows in the entries' copies
    std::vector<std::string> names;
    std::vector<int> types;
    int err = list_all(d, names, types);
    for (size_t i = 0; err == 0 && i < names.size(); ++i) {
        std::string s = src + "/" + names[i];
        std::string t = dst + "/" + names[i];
        if (types[i] == 1) {
            DIR* child = open_folder_at(dirfd(d), names[i].c_str());
            err = child ? copy_folder(child, s, t) : errno_or(EIO);
        } else {
            err = FILE_copy(s, t);
        }
    }
    closedir(d);
    return err;
}

int write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno_or(EIO);
        }
        if (w == 0)
            return EIO;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return 0;
}

int copy_bytes(int in, int out) {
    std::vector<char> buf(256 * 1024);
    for (;;) {
        ssize_t n = read(in, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno_or(EIO);
        }
        if (n == 0)
            return 0;
        if (int err = write_all(out, buf.data(), static_cast<size_t>(n)))
            return err;
    }
}

// "\040"-style escapes of /proc/self/mountinfo.
std::string unescape_mount_field(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out.push_back(static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

bool mount_holds(const std::string& mount_point, const std::string& path) {
    if (mount_point == "/")
        return true;
    return path.compare(0, mount_point.size(), mount_point) == 0 &&
           (path.size() == mount_point.size() || path[mount_point.size()] == '/');
}

// The source of the mount that holds the (real) path; the last of stacked mounts wins.
int mount_source_of(const std::string& real, std::string& source) {
    FILE* f = FILE_fopen_utf8("/proc/self/mountinfo", "r");
    if (!f)
        return errno_or(EIO);
    char* line = nullptr;
    size_t cap = 0;
    size_t best = 0;
    bool found = false;
    ssize_t len;
    while ((len = getline(&line, &cap, f)) > 0) {
        std::string_view l(line, static_cast<size_t>(len));
        if (!l.empty() && l.back() == '\n')
            l.remove_suffix(1);
        std::vector<std::string_view> fields;
        size_t start = 0;
        while (start <= l.size()) {
            size_t sp = l.find(' ', start);
            if (sp == std::string_view::npos)
                sp = l.size();
            fields.push_back(l.substr(start, sp - start));
            start = sp + 1;
        }
        auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 3)
            continue;
        std::string mount_point = unescape_mount_field(fields[4]);
        if (mount_holds(mount_point, real) && (!found || mount_point.size() >= best)) {
            best = mount_point.size();
            source = unescape_mount_field(dash[2]);
            found = true;
        }
    }
    std::free(line);
    std::fclose(f);
    return found ? 0 : ENOENT;
}

} // namespace

void FILE_normalize_path(std::string& path) {
    if (!FILE_is_utf8(path.data(), path.data() + path.size())) {
        std::string utf8;
        utf8.reserve(path.size() * 2);
        char buf[4];
        for (char ch : path) {
            unsigned int c = static_cast<unsigned char>(ch);
            unsigned int cp = (c >= 0x80 && c < 0xA0) ? cp1252_high[c - 0x80] : c;
            utf8.append(buf, static_cast<size_t>(STR_utf8_encode(cp, buf)));
        }
        path.swap(utf8);
    }
    for (size_t i = has_drive_prefix(path) ? 3 : 0; i < path.size(); ++i)
        if (path[i] == '\\' || path[i] == ':')
            path[i] = '/';
}

bool FILE_is_absolute(const std::string& path) {
    return has_drive_prefix(path) || (!path.empty() && is_sep(path[0]));
}

void FILE_make_absolute(std::string& path) {
    if (!FILE_is_absolute(path))
        path.insert(0, FILE_sim_root);
}

void FILE_wide_absolute_path(const std::string& path, std::u16string& out) {
    STR_utf8_to_utf16(absolute(path), out);
}

bool FILE_is_utf8(const char* begin, const char* end) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(begin);
    const unsigned char* e = reinterpret_cast<const unsigned char*>(end);
    while (p < e) {
        unsigned char c = *p++;
        if (c < 0x80)
            continue;
        int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || e - p < extra)
            return false;
        for (int k = 0; k < extra; ++k)
            if ((p[k] & 0xC0) != 0x80)
                return false;
        p += extra;
    }
    return true;
}

bool FILE_is_file(const std::string& path) {
    struct stat st;
    return stat(absolute(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FILE_is_folder(const std::string& path) {
    std::string a = absolute(path);
    if (a.size() > 1 && a.back() == '/')
        a.pop_back();
    struct stat st;
    return stat(a.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int FILE_delete(const std::string& path) {
    if (path.empty())
        return ENOENT;
    std::string a = absolute(path);
    bool folder = a.back() == '/';
    if ((folder ? rmdir(a.c_str()) : unlink(a.c_str())) == 0)
        return 0;
    int err = errno_or(EIO);
    set_error_site(folder ? 146 : 149);
    return err;
}

int FILE_clear_read_only(const std::string& path) {
    std::string a = absolute(path);
    struct stat st;
    if (lstat(a.c_str(), &st) != 0)
        return errno_or(EIO);
    if (S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR))
        return 0;
    return chmod(a.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 ? 0 : errno_or(EIO);
}

int FILE_copy(const std::string& source, const std::string& destination) {
    std::string src = absolute(source);
    std::string dst = absolute(destination);
    int in = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno_or(EIO);
    struct stat ss, ds;
    if (fstat(in, &ss) != 0) {
        int err = errno_or(EIO);
        close(in);
        return err;
    }
    if (S_ISDIR(ss.st_mode)) {
        close(in);
        return EISDIR;
    }
    if (stat(dst.c_str(), &ds) == 0 && ds.st_dev == ss.st_dev && ds.st_ino == ss.st_ino) {
        close(in);
        return EINVAL;
    }
    size_t slash = dst.rfind('/');
    std::string tmpl =
        (slash == std::string::npos ? std::string() : dst.substr(0, slash + 1)) + ".aerivon-copy-XXXXXX";
    std::vector<char> temp(tmpl.begin(), tmpl.end());
    temp.push_back('\0');
    int out = mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        int err = errno_or(EIO);
        close(in);
        return err;
    }
    int err = copy_bytes(in, out);
    close(in);
    if (err == 0 && fchmod(out, ss.st_mode & 0777) != 0)
        err = errno_or(EIO);
    if (close(out) != 0 && err == 0)
        err = errno_or(EIO);
    if (err == 0 && rename(temp.data(), dst.c_str()) != 0)
        err = errno_or(EIO);
    if (err != 0)
        unlink(temp.data());
    return err;
}

int FILE_make_folder(const std::string& path) {
    std::string a = absolute(path);
    if (a.size() > 1 && a.back() == '/')
        a.pop_back();
    if (mkdir(a.c_str(), 0777) == 0)
        return 0;
    int err = errno_or(EIO);
    set_error_site(324);
    return err;
}

bool FILE_mkdir_failed(int err) { return err != 0 && err != 183 && err != EEXIST; }

int FILE_free_disk_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes) {
    std::string p = absolute(path);
    for (;;) {
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        if (p.empty())
            p.assign(1, '.'); // p = "." draws a false -Wrestrict from g++ 12 at -O2
        struct stat st;
        if (stat(p.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                break;
        } else if (errno != ENOENT && errno != ENOTDIR) {
            return errno_or(EIO);
        }
        if (p == "/" || p == ".")
            return ENOENT;
        size_t slash = p.rfind('/');
        p = slash == std::string::npos ? std::string(".")
            : slash == 0               ? std::string("/")
                                       : p.substr(0, slash);
    }
    struct statvfs vfs;
    if (statvfs(p.c_str(), &vfs) != 0)
        return errno_or(EIO);
    if (total_bytes)
        *total_bytes = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    if (free_bytes)
        *free_bytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return 0;
}

void FILE_last_component(std::string& out, const std::string& path) {
    size_t end = path.size();
    if (end > 0 && is_component_end(path, end - 1))
        --end;
    size_t start = end;
    while (start > 0 && !is_component_end(path, start - 1))
        --start;
    out = path.substr(start);
}

void FILE_parent_folder(std::string& out, const std::string& path) {
    if (path.size() < 4) {
        out = path;
        return;
    }
    size_t end = path.size();
    if (is_component_end(path, end - 1))
        --end;
    while (end > 0 && !is_component_end(path, end - 1))
        --end;
    out = path.substr(0, end);
}

int FILE_list_folder(const std::string& folder, int kind, std::vector<std::string>& names,
                     std::vector<int>& types) {
    names.clear();
    types.clear();
    if (kind == 16)
        return 0;
    if (kind == 17) {
        std::vector<std::string> children;
        CMND_list_children(folder, children);
        for (std::string& c : children) {
            int type = 17;
            if (!c.empty() && is_sep(c.back())) {
                c.pop_back();
                type = 1;
            }
            names.push_back(std::move(c));
            types.push_back(type);
        }
    } else {
        // The file browser's kinds are not built: every disk listing is kind 0's.
        check_folder_path(folder);
        if (DIR* d = opendir(absolute(folder).c_str())) {
            read_entries(d, false, names, types);
            closedir(d);
        }
    }
    sort_listing(names, types);
    return static_cast<int>(names.size());
}

int FILE_delete_tree(const std::string& folder) {
    check_folder_path(folder);
    std::string a = absolute(folder);
    if (a.empty())
        a = "./";
    else if (a.back() != '/')
        a += '/';
    // The folder named by the caller is entered even through a link; nothing below it is.
    int fd = open(a.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        DIR* d = fdopendir(fd);
        if (!d) {
            int err = errno_or(EIO);
            close(fd);
            return err;
        }
        if (int err = delete_contents(d))
            return err;
    }
    return FILE_delete(a);
}

int FILE_copy_tree(const std::string& source, const std::string& destination) {
    if (!FILE_is_folder(source))
        return FILE_copy(source, destination);
    std::string src = absolute(source);
    int fd = open((src + "/").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!d) {
        int err = errno_or(EIO);
        if (fd >= 0)
            close(fd);
        return err;
    }
    return copy_folder(d, src, absolute(destination));
}

FILE* FILE_fopen_utf8(const std::string& path, const char* mode) {
    std::string m = mode;
    m += 'e';
    return std::fopen(absolute(path).c_str(), m.c_str());
}

int FILE_shell_open(const std::string& path, const std::string& params, int quit) {
    std::string a = absolute(path);
    struct stat st;
    bool program = stat(a.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(a.c_str(), X_OK) == 0;
    std::vector<std::string> args;
    if (program) {
        args.push_back(a);
        size_t i = 0;
        while (i < params.size()) {
            while (i < params.size() && (params[i] == ' ' || params[i] == '\t'))
                ++i;
            size_t start = i;
            while (i < params.size() && params[i] != ' ' && params[i] != '\t')
                ++i;
            if (i > start)
                args.push_back(params.substr(start, i - start));
        }
    } else {
        args = {"xdg-open", a};
    }
    // Its own session, so it outlives us.
    int err = WIN_spawn_detached(args, !program, nullptr);
    if (err != 0)
        return err;
    if (quit) {
        APP_quit(1);
        std::exit(0);
    }
    _exit(1);
}

int FILE_eject_disc(const std::string& path) {
    char* real = realpath(absolute(path).c_str(), nullptr);
    if (!real)
        return errno_or(ENOENT);
    std::string resolved = real;
    std::free(real);
    std::string source;
    if (int err = mount_source_of(resolved, source))
        return err;
    struct stat st;
    if (source.empty() || source[0] != '/' || stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return ENOTBLK;
    int fd = open(source.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fd = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno_or(EIO);
    // Only an optical drive answers the capability request; a disk never gets the eject request.
    int err = 0;
    if (ioctl(fd, CDROM_GET_CAPABILITY, 0) < 0 || ioctl(fd, CDROMEJECT, 0) < 0)
        err = errno_or(EIO);
    close(fd);
    return err;
}

bool FILE_is_safe_relative(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    // A drive prefix, also without its '\' ("C:x" is relative to a drive's current folder).
    if (path.size() >= 2 && is_ascii_letter(path[0]) && path[1] == ':')
        return false;
    std::string p = path;
    FILE_normalize_path(p);
    if (FILE_is_absolute(p) || p.find('\\') != std::string::npos)
        return false;
    if (p.back() == '/')
        p.pop_back(); // a folder entry
    size_t start = 0;
    for (;;) {
        size_t slash = p.find('/', start);
        std::string_view comp(p.data() + start, (slash == std::string::npos ? p.size() : slash) - start);
        if (comp.empty() || comp == "." || comp == "..")
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}
