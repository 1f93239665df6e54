// UTL_installer: the server list and directory file readers, the random server pick and the tile names.
#include "installer/UTL_installer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/http.h"
#include "base/xmap.h"
#include "installer/INST_fetch_limits.h"
#include "installer/INST_globals.h"

namespace {

// A text for a log line: bytes below 0x20 and 0x7F written as \xNN, so one record stays one line.
std::string printable(const std::string& s) { return LOG_escape(s); }

// ---- server list

// A server the HTTP client can be handed: a host that does not end in a separator (the client treats
// that as a fatal programming error) and a base path that begins with '/'.
bool server_is_usable(const server_record& s) {
    return !s.host.empty() && s.host.back() != '/' && s.host.back() != '\\' && !s.base_path.empty() &&
           s.base_path.front() == '/';
}

// Appends a usable server while the list has room. `origin` names where it came from, for the log.
void add_server(server_list& list, const server_record& s, const char* origin, long long* capped) {
    if (!server_is_usable(s)) {
        LOG_stream << "Server list: skipped the server from " << origin << " with host \""
                   << printable(s.host) << "\" and base path \"" << printable(s.base_path)
                   << "\": it needs a host and a base path that begins with '/'.\n";
        return;
    }
    if (static_cast<int>(list.servers.size()) >= UTL_MAX_SERVERS) {
        ++*capped;
        return;
    }
    list.servers.push_back(s);
}

// "host/path" split at its first '/'; false (and a log line) without one.
bool split_server_value(const std::string& option, const std::string& value, server_record& out) {
    size_t slash = value.find('/');
    if (slash == std::string::npos) {
        LOG_stream << "Server list: ignored " << option << "=\"" << printable(value)
                   << "\": it must be a host followed by a path.\n";
        return false;
    }
    out.host = value.substr(0, slash);
    out.base_path = value.substr(slash);
    out.address = value;
    return true;
}

// The decimal count of "--server_clone"; strtoll saturates, and the cap bounds what is appended.
long long clone_count(const std::string& value) { return std::strtoll(value.c_str(), nullptr, 10); }

void apply_server_options(server_list& list, long long* capped) {
    if (OPT_has("--install_name")) {
        list.final_name = OPT_get("--install_name");
        list.beta_name = list.final_name;
    }
    server_record s;
    if (OPT_has("--server") && split_server_value("--server", OPT_get("--server"), s)) {
        if (server_is_usable(s))
            list.servers.clear();
        add_server(list, s, "--server", capped);
    }
    if (OPT_has("--add_server") && split_server_value("--add_server", OPT_get("--add_server"), s))
        add_server(list, s, "--add_server", capped);
    if (OPT_has("--server_clone") && !list.servers.empty()) {
        const long long n = clone_count(OPT_get("--server_clone"));
        const server_record first = list.servers.front();
        for (long long i = 0; i < n; ++i) {
            if (static_cast<int>(list.servers.size()) >= UTL_MAX_SERVERS) {
                *capped = (n - i > LLONG_MAX - *capped) ? LLONG_MAX : *capped + (n - i);
                break;
            }
            list.servers.push_back(first);
        }
    }
}

// ---- directory file

// A path the engine may join to the install folder: it stays inside it, and holds no '\', which the
// file layer would read as a separator of its own.
bool record_path_is_safe(const std::string& path) {
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) // cannot be asked for over HTTP
            return false;
    return path.find('\\') == std::string::npos && FILE_is_safe_relative(path);
}

// The FILE records from `p` to `end`: lines (ended by LF, CR or both) whose first word, after blanks, is
// "FILE" and a blank. Stops counting past `most`.
long long count_file_records(const char* p, const char* end, long long most) {
    long long n = 0;
    while (p < end && n <= most) {
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        if (end - p > 4 && p[0] == 'F' && p[1] == 'I' && p[2] == 'L' && p[3] == 'E' &&
            (p[4] == ' ' || p[4] == '\t'))
            ++n;
        while (p < end && *p != '\n' && *p != '\r') // every line end counts, as the reader takes them all
            ++p;
        ++p;
    }
    return n;
}

void clip_to_grid(file_record& r) {
    r.x0 = std::max(r.x0, 0);
    r.y0 = std::max(r.y0, 0);
    r.x1 = std::min(r.x1, UTL_TILES_X - 1);
    r.y1 = std::min(r.y1, UTL_TILES_Y - 1);
}

float size_kb(int value) { return value < 0 ? 0.0f : static_cast<float>(value); }

// The fields of a FILE record after its keyword, up to and including the path.
void read_file_fields(xmap_file& f, int version, const std::string& prefix, file_record& r) {
    if (version == 1000) {
        XMAP_read_int(f); // read and ignored
        r.os = std::clamp(XMAP_read_int(f), 0, 3);
        r.extra = XMAP_read_int(f);
        r.download_kb = size_kb(XMAP_read_int(f));
        r.expanded_kb = size_kb(XMAP_read_int(f));
        r.archive_kind = 0x40;
    } else {
        const int word = XMAP_read_int(f);
        r.os = word & 0x03;
        r.has_tile = (word & 0x08) ? 1 : 0;
        r.flags = word & 0x30;
        r.archive_kind = word & 0xC0;
        r.extra = XMAP_read_int(f);
        r.x0 = XMAP_read_int(f);
        r.y0 = XMAP_read_int(f);
        r.x1 = XMAP_read_int(f);
        r.y1 = XMAP_read_int(f);
        r.download_kb = size_kb(XMAP_read_int(f));
        r.expanded_kb = size_kb(XMAP_read_int(f));
        clip_to_grid(r);
    }
    XMAP_read_word(f, &r.sig_want);
    std::string rest;
    XMAP_read_line(f, &rest);
    r.path = prefix + rest;

    if (version == 1000 && UTL_is_global_scenery_path(r.path)) {
        r.flags = 0x30;
        r.archive_kind = 0;
        int x = 0, y = 0;
        if (UTL_parse_tile_name(r.path, &x, &y)) {
            r.has_tile = 1;
            r.x0 = r.x1 = x;
            r.y0 = r.y1 = y;
        }
    }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_sign(char c) { return c == '+' || c == '-'; }

} // namespace

// ---- server list

int UTL_fetch_server_list(server_list& list) {
    const std::string local = INST_work_path(UTL_SERVER_LIST_NAME);
    switch (net_check(0, UTL_MAKER_HOST, UTL_SERVER_LIST_PATH, local, INST_listing_byte_cap)) {
    case 0:
        return 2;
    case 1:
        return UTL_read_server_list(local, list);
    default:
        return 4;
    }
}

int UTL_read_server_list(const std::string& path, server_list& list) {
    list.version = 0;
    list.servers.clear();
    xmap_file f(path);
    if (!f.base)
        return 3;
    static const int versions[] = {1000, 0};
    list.version = check_file(f, XMAP_TYPE_TEXT, versions, "SERVERS", nullptr);
    if (list.version == 0)
        return 5;

    long long capped = 0;
    while (f.cursor < f.end) {
        if (XMAP_match_token(f, "BETA", false, 0)) {
            XMAP_read_line(f, &list.beta_name);
        } else if (XMAP_match_token(f, "FINAL", false, 0)) {
            XMAP_read_line(f, &list.final_name);
        } else if (XMAP_match_token(f, "BETA_INSTALLER_WIN", true, 0)) {
            XMAP_read_word(f, &list.beta_installer[0]);
            XMAP_read_line(f, &list.beta_installer[1]);
        } else if (XMAP_match_token(f, "FINAL_INSTALLER_WIN", true, 0)) {
            XMAP_read_word(f, &list.final_installer[0]);
            XMAP_read_line(f, &list.final_installer[1]);
        } else if (XMAP_match_token(f, "BETA_VERSION", true, 0)) {
            list.beta_version = XMAP_read_int(f);
            XMAP_read_line(f, nullptr);
        } else if (XMAP_match_token(f, "FINAL_VERSION", true, 0)) {
            list.final_version = XMAP_read_int(f);
            XMAP_read_line(f, nullptr);
        } else if (XMAP_match_token(f, "ENDOFLIST", true, 0)) {
            break;
        } else if (XMAP_match_token(f, "SERVER", true, 0)) {
            server_record s;
            XMAP_read_line(f, &s.host);
            XMAP_read_line(f, &s.base_path);
            XMAP_read_line(f, &s.address);
            add_server(list, s, "the file", &capped);
        } else {
            XMAP_read_line(f, nullptr);
        }
    }
    apply_server_options(list, &capped);
    if (capped > 0)
        LOG_stream << "Server list: kept the first " << UTL_MAX_SERVERS << " servers and dropped " << capped
                   << " more.\n";
    return 0;
}

void INST_reset_server_list(server_list& list) {
    list.beta_name.clear();
    list.final_name.clear();
    list.servers.clear();
}

int UTL_rand_range(int lo, int hi) {
    if (hi == lo)
        return lo;
    if (hi < lo) {
        char bounds[96];
        std::snprintf(bounds, sizeof bounds, "lo=%1.0f hi=%1.0f", static_cast<double>(lo),
                      static_cast<double>(hi));
        APP_alert(0, "int rand range negative!", bounds, "", "", 3, "hl_math", 712);
        return lo; // only reached when the alert was posted from a worker thread
    }
    const int64_t span = static_cast<int64_t>(hi) - lo + 1;
    return static_cast<int>(lo + std::rand() % span);
}

// ---- directory file

namespace {
void read_records(xmap_file& f, int version, install_directory& dir);
} // namespace

int UTL_read_directory_file(const std::string& path, install_directory& dir) {
    dir.version = 0;
    dir.packages.clear();

    xmap_file f(path);
    if (!f.base)
        return 3;
    static const int versions[] = {1000, 1004, 0};
    const int version = check_file(f, XMAP_TYPE_TEXT, versions, "INSTALLER", nullptr);
    dir.version = version;
    if (version == 0)
        return 5;
    // A directory past the size of any installation is refused before anything is kept of it.
    const long long records = count_file_records(f.cursor, f.end, UTL_MAX_DIRECTORY_RECORDS);
    if (records > UTL_MAX_DIRECTORY_RECORDS) {
        LOG_stream << "Directory file: " << path << " holds more than " << UTL_MAX_DIRECTORY_RECORDS
                   << " FILE records; it is not read.\n";
        dir.version = 0;
        return 5;
    }
    try {
        read_records(f, version, dir);
    } catch (const std::bad_alloc&) {
        dir.packages.clear();
        dir.packages.shrink_to_fit();
        dir.version = 0;
        LOG_stream << "Directory file: " << path << " does not fit in memory; it is not read.\n";
        return 5;
    }
    return 0;
}

namespace {

void read_records(xmap_file& f, int version, install_directory& dir) {
    std::string prefix, previous;
    int dvd = -1;
    while (f.cursor < f.end) {
        if (XMAP_match_token(f, "DIR", false, 0)) {
            XMAP_read_line(f, &prefix);
        } else if (XMAP_match_token(f, "DISK", false, 0)) {
            dvd = XMAP_read_int(f);
            XMAP_read_line(f, nullptr);
        } else if (XMAP_match_token(f, "FILE", false, 0)) {
            file_record r;
            read_file_fields(f, version, prefix, r);
            r.dvd = dvd;
            if (!record_path_is_safe(r.path)) {
                LOG_stream << "Directory file: dropped the record of \"" << printable(r.path)
                           << "\": its path leaves the install folder.\n";
                continue;
            }
            if (dir.packages.empty() || r.path != previous)
                dir.packages.emplace_back();
            previous = r.path;
            if (r.path.back() == '/')
                APP_alert(0, "I am reading the directory text file and found a path that has no file!",
                          "This is impossible to download or delete!", "It is:", r.path, 2, "UTL_installer",
                          316);
            dir.packages.back().push_back(std::move(r));
        } else if (XMAP_match_token(f, "PRODUCT_KEY", false, 0)) {
            dir.product_kind = XMAP_read_int(f);
            XMAP_read_line(f, nullptr);
        } else {
            XMAP_read_line(f, nullptr);
        }
    }
}

} // namespace

void UTL_install_directory_clear(install_directory& dir) {
    dir.version = 0;
    dir.dvd_root.clear();
    dir.version_folder.clear();
    dir.dvd_lines.clear();
    dir.packages.clear();
    dir.product_kind = 0;
}

bool UTL_is_global_scenery_path(const std::string& path) {
    static const char* const marks[] = {"Global Scenery/", "/-global overlays-/", "/-global terrain-/",
                                        "/default scenery/DSF 820"};
    for (const char* mark : marks)
        if (path.find(mark) != std::string::npos)
            return true;
    return false;
}

bool UTL_parse_tile_name(const std::string& path, int* x, int* y) {
    std::string name;
    FILE_last_component(name, path);
    if (name.size() < 7)
        return false;
    if (!is_sign(name[0]) || !is_digit(name[1]) || !is_digit(name[2]) || !is_sign(name[3]) ||
        !is_digit(name[4]) || !is_digit(name[5]) || !is_digit(name[6]))
        return false;
    int lat = (name[1] - '0') * 10 + (name[2] - '0');
    int lon = (name[4] - '0') * 100 + (name[5] - '0') * 10 + (name[6] - '0');
    if (name[0] == '-')
        lat = -lat;
    if (name[3] == '-')
        lon = -lon;
    const int ty = (lat + 90) / 10, tx = (lon + 180) / 10;
    if (ty < 0 || ty >= UTL_TILES_Y || tx < 0 || tx >= UTL_TILES_X)
        return false;
    *x = tx;
    *y = ty;
    return true;
}
