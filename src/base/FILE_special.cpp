// FILE_special: the running executable's path and the special folders of the system.
//
//   kind  folder                                  from
//   0     the executable's folder, ending in '/'  readlink("/proc/self/exe"), less the file name
//   1     the executable's path                   readlink("/proc/self/exe")
//   2, 3  the desktop                             XDG_DESKTOP_DIR of user-dirs.dirs when that folder exists,
//                                                 else $HOME/Desktop when it exists, else $HOME
//   4     the work folder                         a private folder made once per run under $TMPDIR, else
//                                                 (unset, relative, or no folder can be made there) /tmp
//   5     local application data                  $XDG_DATA_HOME, else $HOME/.local/share; made when missing
//
// HOME is the passwd entry's home folder when unset or not absolute; a TMPDIR or XDG folder that is not
// absolute is not used. Every answer is the bytes the system gives, never normalised: a name may hold ':',
// '\' or bytes that are not UTF-8. Kinds 2-5 end in '/'. None is ever relative: a
// lookup that fails answers the root folder "/" (the drive root of the other platforms). The work files
// have fixed names, so they never go into a folder that others may write: when no private work folder can
// be made under /tmp either (or the run gives it up), the answer is a folder under /dev/null, which nobody
// can make, so that every open and every folder made in it fails; any fixed name in /tmp may already be
// another user's folder or link. FILE_work_folder_failure then tells why and where it was tried.
#include "base/FILE_special.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/FILE_ops.h"

std::atomic<int> FILE_case_sensitive{0};

namespace {

// The work folder, made on the first request for kind 4 under the lock; any thread may ask.
struct special_state {
    std::mutex lock;
    bool asked = false;      // the work folder was looked for: the answer stands for the run
    std::string work_folder; // without its final '/'; "" when none could be made or it was given up
    std::string tried;       // the last folder a work folder was tried in, ending in '/'
    int error = 0;           // why there is none: mkdtemp's errno, or the one it was given up for
} state;

// Kind 4 when the run has no work folder: nothing can be opened or made in it (ENOTDIR), by anyone.
constexpr char no_work_folder[] = "/dev/null/aerivon-no-private-folder/";

// The target of a symbolic link, however long: the buffer grows until the answer no longer fills it
// (readlink truncates silently).
bool read_link(const char* link, std::string& out) {
    std::vector<char> buf(256);
    for (;;) {
        ssize_t n = readlink(link, buf.data(), buf.size());
        if (n < 0)
            return false;
        if (static_cast<size_t>(n) < buf.size()) {
            out.assign(buf.data(), static_cast<size_t>(n));
            return true;
        }
        if (buf.size() >= (size_t{1} << 20))
            return false;
        buf.resize(buf.size() * 2);
    }
}

bool is_folder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// A folder named by the environment (an XDG base folder, TMPDIR) is used only when set and absolute.
std::string xdg_base(const char* name) {
    std::string v = env(name);
    return !v.empty() && v[0] == '/' ? v : std::string();
}

// HOME when absolute, else the passwd entry's home folder; "" when neither is an absolute path.
std::string home_folder() {
    std::string home = env("HOME");
    if (!home.empty() && home[0] == '/')
        return home;
    struct passwd pw, *found = nullptr;
    std::vector<char> buf(16384);
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return std::string();
}

// One trailing '/', whatever the folder ended with.
std::string as_folder(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path != "/")
        path += '/';
    return path;
}

// XDG_DESKTOP_DIR from user-dirs.dirs: a line XDG_DESKTOP_DIR="$HOME/name" or XDG_DESKTOP_DIR="/path"
// (shell quoting, '\' escapes the next character); the last such line counts. "" when none.
std::string xdg_desktop(const std::string& home) {
    std::string config = xdg_base("XDG_CONFIG_HOME");
    if (config.empty()) {
        if (home.empty())
            return std::string();
        config = home + "/.config";
    }
    std::ifstream file(config + "/user-dirs.dirs");
    std::string line, found;
    static const std::string key = "XDG_DESKTOP_DIR";
    while (std::getline(file, line)) {
        size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line.compare(p, key.size(), key) != 0)
            continue;
        p = line.find_first_not_of(" \t", p + key.size());
        if (p == std::string::npos || line[p] != '=')
            continue;
        p = line.find_first_not_of(" \t", p + 1);
        if (p == std::string::npos || line[p] != '"')
            continue;
        ++p;
        std::string value;
        if (line.compare(p, 5, "$HOME") == 0 &&
            (p + 5 >= line.size() || line[p + 5] == '/' || line[p + 5] == '"')) {
            if (home.empty())
                continue;
            value = home;
            p += 5;
        } else if (p >= line.size() || line[p] != '/') {
            continue;
        }
        bool closed = false;
        for (; p < line.size(); ++p) {
            if (line[p] == '"') {
                closed = true;
                break;
            }
            if (line[p] == '\\' && p + 1 < line.size())
                ++p;
            value += line[p];
        }
        if (closed)
            found = value;
    }
    return found;
}

bool desktop_folder(std::string& out) {
    const std::string home = home_folder();
    std::string desktop = xdg_desktop(home);
    if (!is_folder(desktop)) {
        if (home.empty())
            return false;
        desktop = is_folder(home + "/Desktop") ? home + "/Desktop" : home;
    }
    out = as_folder(desktop);
    return true;
}

// Removes the work folder at a normal exit when nothing was left in it.
void remove_work_folder_if_empty() {
    if (!state.work_folder.empty())
        rmdir(state.work_folder.c_str());
}

// Makes a work folder in `base` (ending in '/'); false when none can be made there.
bool make_work_folder(const std::string& base) {
    state.tried = base;
    std::string tmpl = base + "aerivon-installer-XXXXXX";
    if (!mkdtemp(tmpl.data())) { // mode 0700
        state.error = errno;
        return false;
    }
    state.work_folder = tmpl;
    std::atexit(remove_work_folder_if_empty);
    return true;
}

// The work folder; when none can be made, no_work_folder (its name is not one of the run folders that
// clean-ups look for).
void work_folder(std::string& out) {
    std::lock_guard<std::mutex> g(state.lock);
    if (!state.asked) {
        state.asked = true;
        const std::string base = xdg_base("TMPDIR");
        const std::string first = base.empty() ? std::string("/tmp/") : as_folder(base);
        if (!make_work_folder(first) && first != "/tmp/")
            make_work_folder("/tmp/");
    }
    out = state.work_folder.empty() ? std::string(no_work_folder) : state.work_folder + "/";
}

// Makes the folder and its missing parents (mode 0700, as for every XDG folder).
void make_folders(const std::string& folder) {
    for (size_t p = folder.find('/', 1);; p = folder.find('/', p + 1)) {
        std::string part = folder.substr(0, p);
        if (!part.empty() && !is_folder(part))
            mkdir(part.c_str(), 0700);
        if (p == std::string::npos)
            break;
    }
}

bool data_folder(std::string& out) {
    std::string data = xdg_base("XDG_DATA_HOME");
    if (data.empty()) {
        std::string home = home_folder();
        if (home.empty())
            return false;
        data = home + "/.local/share";
    }
    out = as_folder(data);
    make_folders(out);
    return true;
}

} // namespace

int FILE_work_folder_failure(std::string& tried) {
    std::lock_guard<std::mutex> g(state.lock);
    const bool none = state.asked && state.work_folder.empty();
    tried = none ? state.tried : std::string();
    return none ? state.error : 0;
}

void FILE_give_up_work_folder(int error) {
    std::lock_guard<std::mutex> g(state.lock);
    if (state.work_folder.empty())
        return;
    state.work_folder.clear();
    state.error = error;
}

void APP_get_exe_path(std::string& out, int mode) {
    out.clear();
    read_link("/proc/self/exe", out);
    FILE_case_sensitive = 0;
    if (mode == 2) {
        std::string folder;
        FILE_parent_folder(folder, out);
        out = folder;
    }
}

void FILE_get_special_folder(int kind, std::string& out) {
    if (kind == 0 || kind == 1) {
        APP_get_exe_path(out, kind == 0 ? 2 : 1);
        return;
    }
    if (kind < 2 || kind > 5) {
        out.clear();
        return;
    }
    std::string found;
    bool ok = true;
    if (kind == 2 || kind == 3)
        ok = desktop_folder(found);
    else if (kind == 4)
        work_folder(found);
    else
        ok = data_folder(found);
    out = ok ? found : std::string("/");
}
