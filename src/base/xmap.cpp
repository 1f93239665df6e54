// xmap: mapped data files and resources, their scanners, the header check and the header writer.
#include "base/xmap.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/UTL_memory.h"
#include "platform/WIN_resource.h"

// Module state. Written once at start-up (granularity) or by the memory module's set-up (hook) before
// any mapping; read by every thread that maps a file.
static struct { size_t granularity = static_cast<size_t>(sysconf(_SC_PAGESIZE)); } xmap_state;

static void report_memory_on_failed_mapping() { MEM_dump_info("a file could not be mapped into memory"); }
void (*XMAP_mapping_failed_hook)() = report_memory_on_failed_mapping;

// One whole line on the log stream, in one write so that lines of other threads cannot cut into it.
static void log_line(const std::string& text) {
    LOG_stream << (text + "\n");
    LOG_stream.flush();
}

static bool is_blank(char c) { return c == ' ' || c == '\t'; }
static bool is_line_end(char c) { return c == '\0' || c == '\r' || c == '\n'; }

static void skip_blanks(xmap_file& f) {
    while (f.cursor < f.end && is_blank(*f.cursor))
        ++f.cursor;
}

xmap_file::xmap_file(const std::string& p, size_t offset, size_t length) {
    XMAP_open(*this, p, offset, length);
}

xmap_file::~xmap_file() { XMAP_close(*this); }

const char* XMAP_open(xmap_file& f, const std::string& path, size_t offset, size_t length) {
    XMAP_close(f);
    f.path.clear();
    if (!path.empty())
        XMAP_map(f, path, offset, length);
    return f.base;
}

void XMAP_set_granularity(int granularity) {
    xmap_state.granularity = granularity > 0 ? static_cast<size_t>(granularity) : 0;
}

int XMAP_close(xmap_file& f) {
    int result = 0;
    if (f.map_addr && !f.not_owned && munmap(f.map_addr, f.map_length) != 0)
        result = errno;
    f.swap = 0;
    f.base = f.cursor = f.end = nullptr;
    f.map_addr = nullptr;
    f.map_length = 0;
    f.not_owned = 0;
    return result;
}

// The path rules for a relative path: no Sim-Root text inside it, no '\' or ':' after a drive prefix.
static void check_relative_path(const std::string& path) {
    if (!FILE_sim_root.empty() && path.find(FILE_sim_root) != std::string::npos)
        APP_alert(0, "retry: We are getting a file string that is not Sim-Root relative!",
                  "This is illegal! All paths must be Sim-Root relative!", "The path in question is:", path,
                  3, "xmap", 166);
    size_t from = 0;
    if (path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
        path[1] == ':' && path[2] == '\\')
        from = 3;
    for (size_t i = from; i < path.size(); ++i)
        if (path[i] == '\\' || path[i] == ':')
            APP_alert(0, "OOPS!", "I got a bad dirchar! I only want '/'!", "The path in question is:", path,
                      3, "xmap", 172);
}

const char* XMAP_map(xmap_file& f, const std::string& path, size_t offset, size_t length) {
    const size_t remainder = xmap_state.granularity != 0 ? offset % xmap_state.granularity : 0;
    const size_t map_offset = offset - remainder;

    f.path = path;
    std::string name = path;
    const bool resource = WIN_strip_resource_prefix(name);
    if (!resource && !FILE_is_absolute(path))
        check_relative_path(path);

    XMAP_close(f);

    if (resource) {
        size_t size = 0;
        const unsigned char* data = WIN_load_gui_resource(name.c_str(), &size);
        if (!data)
            return nullptr;
        f.base = f.cursor = reinterpret_cast<const char*>(data);
        f.end = f.base + size;
        f.not_owned = 1;
        return f.base;
    }

    std::string absolute = path;
    FILE_make_absolute(absolute);
    int fd = open(absolute.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        log_line("GetFileSize failed for " + path);
        close(fd);
        return nullptr;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    if (size == 0) {
        close(fd);
        return nullptr;
    }
    // Only bytes inside the file may be mapped: a page past its end faults on the first touch.
    if (offset >= size || length > size - offset) {
        const long long remaining = static_cast<long long>(size) - static_cast<long long>(map_offset);
        log_line("Warning: remaining file space is " + std::to_string(remaining) + " and offset is " +
                 std::to_string(map_offset) + " for file " + path);
        close(fd);
        return nullptr;
    }
    length = length != 0 ? length + remainder : size - map_offset;

    // mmap wants page-aligned offsets whatever granularity was set.
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t slack = map_offset % page;
    void* addr =
        mmap(nullptr, length + slack, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(map_offset - slack));
    const int err = errno;
    close(fd);
    if (addr == MAP_FAILED) {
        if (XMAP_mapping_failed_hook)
            XMAP_mapping_failed_hook();
        log_line("Mem file error.  Err=" + std::to_string(err) + ", file=" + absolute);
        return nullptr;
    }
    f.map_addr = addr;
    f.map_length = length + slack;
    f.base = static_cast<const char*>(addr) + slack;
    f.end = f.base + length;
    f.cursor = f.base + remainder;
    return f.base;
}

bool XMAP_at_line_end(const xmap_file& f) { return f.cursor >= f.end || is_line_end(*f.cursor); }

bool XMAP_at_blank(const xmap_file& f) { return f.cursor < f.end && is_blank(*f.cursor); }

void XMAP_read_word(xmap_file& f, std::string* out) {
    skip_blanks(f);
    const char* start = f.cursor;
    while (f.cursor < f.end && !is_blank(*f.cursor) && !is_line_end(*f.cursor))
        ++f.cursor;
    if (out)
        out->assign(start, f.cursor);
}

void XMAP_read_line(xmap_file& f, std::string* out) {
    skip_blanks(f);
    const char* start = f.cursor;
    while (f.cursor < f.end && !is_line_end(*f.cursor))
        ++f.cursor;
    if (out)
        out->assign(start, f.cursor);
    while (f.cursor < f.end && (is_line_end(*f.cursor) || is_blank(*f.cursor)))
        ++f.cursor;
}

int XMAP_read_int(xmap_file& f) {
    skip_blanks(f);
    int sign = 1;
    if (f.cursor < f.end && *f.cursor == '-') {
        sign = -1;
        ++f.cursor;
    }
    if (f.cursor < f.end && *f.cursor == '+') {
        sign = 1;
        ++f.cursor;
    }
    if (f.cursor >= f.end)
        return 0;
    uint32_t value = 0;
    while (f.cursor < f.end && !is_blank(*f.cursor) && !is_line_end(*f.cursor)) {
        value = value * 10u + static_cast<uint32_t>(static_cast<unsigned char>(*f.cursor) - '0');
        ++f.cursor;
    }
    return static_cast<int>(sign < 0 ? 0u - value : value);
}

int32_t XMAP_read_int32(xmap_file& f) {
    if (f.cursor >= f.end || f.end - f.cursor < 4) {
        f.cursor = f.end;
        return 0;
    }
    uint32_t v;
    std::memcpy(&v, f.cursor, 4);
    f.cursor += 4;
    if (f.swap)
        v = __builtin_bswap32(v);
    return static_cast<int32_t>(v);
}

bool XMAP_match_token(xmap_file& f, const char* literal, bool line_end_ok, char extra) {
    skip_blanks(f);
    const char* start = f.cursor;
    for (const char* p = literal; *p; ++p, ++f.cursor) {
        if (f.cursor >= f.end || *f.cursor != *p) {
            f.cursor = start;
            return false;
        }
    }
    if (f.cursor >= f.end) {
        if (line_end_ok)
            return true;
        f.cursor = start;
        return false;
    }
    const char c = *f.cursor;
    if (is_blank(c) || (line_end_ok && is_line_end(c)) || (extra != 0 && c == extra))
        return true;
    f.cursor = start;
    return false;
}

int check_file(xmap_file& f, int type, const int* versions, const char* keyword, std::string* rest) {
    if (type != XMAP_TYPE_BINARY && type != XMAP_TYPE_TEXT) {
        APP_alert(0, "Bad check_file type!", f.path, "", "", 3, "xmap", 41);
        type = XMAP_TYPE_TEXT;
    }
    if (!f.base || f.base == f.end)
        return 0;
    f.cursor = f.base;
    int version = 0;
    if (type == XMAP_TYPE_TEXT) {
        if (f.end - f.base > 3 && std::memcmp(f.base, "\xEF\xBB\xBF", 3) == 0)
            f.cursor += 3;
        const char first = *f.cursor;
        XMAP_read_line(f, nullptr);
        if (first != 'A' && first != 'I')
            return 0;
        version = XMAP_read_int(f);
        XMAP_read_line(f, rest);
    } else {
        const char first = *f.cursor++;
        if (first == 'a')
            f.swap = 1;
        else if (first == 'i')
            f.swap = 0;
        else
            return 0;
        version = XMAP_read_int32(f);
    }
    bool accepted = false;
    for (const int* v = versions; v && *v; ++v)
        if (*v == version)
            accepted = true;
    if (!accepted)
        return 0;
    if (keyword) {
        if (!XMAP_match_token(f, keyword, true, 0))
            return 0;
        XMAP_read_line(f, nullptr);
    }
    return version;
}

// Writes the header of `type` on the freshly opened stream.
static void write_header(x_ofstream& out, int type, int version, const std::string& copyright) {
    if (type == XMAP_TYPE_BINARY) {
        const uint32_t v = static_cast<uint32_t>(version);
        const char bytes[5] = {'i', static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                               static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
        out.write(bytes, 5);
    } else {
        out.setf(std::ios_base::fixed, std::ios_base::floatfield);
        out << "I\n"
            << version << " version" << (copyright == "no-copyright-string" ? "" : copyright) << "\n";
    }
}

bool ouf_open(x_ofstream& out, const std::string& path, int type, int version, const std::string& copyright) {
    if (type != XMAP_TYPE_BINARY && type != XMAP_TYPE_TEXT) {
        APP_alert(0, "Bad ouf_open type!", path, "", "", 3, "FILE_ops", 1285);
        type = XMAP_TYPE_TEXT;
    }
    std::string absolute = path;
    FILE_make_absolute(absolute);
    if (absolute.size() > 3)
        for (size_t i = absolute.size() - 3; i < absolute.size(); ++i)
            if (absolute[i] >= 'A' && absolute[i] <= 'Z')
                absolute[i] = static_cast<char>(absolute[i] + 32);

    const std::ios_base::openmode mode =
        std::ios_base::trunc | (type == XMAP_TYPE_BINARY ? std::ios_base::binary : std::ios_base::openmode());
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (out.is_open())
            out.close();
        out.clear();
        FILE_open_ofstream(out, absolute, mode, 1);
        if (!out.fail())
            write_header(out, type, version, copyright);
        if (out.good())
            return true;
        if (attempt == 0) {
            std::string parent;
            FILE_parent_folder(parent, path);
            FILE_make_folder(parent);
        }
    }
    APP_alert(
        0,
        "I could not save the file! Could the directory that the file sits in be missing? Or flagged as "
        "READ-ONLY by the operating system? (Windows machines typically do this).",
        absolute, "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
        "Try putting this app in the background and then flag the file as NOT read-only, or creating the "
        "folder listed in the path above.",
        1, "FILE_ops", 1336);
    return false;
}
