// FILE_ops: interim path and file operations.
#include "base/FILE_ops.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

std::string FILE_sim_root;
const char* FILE_error_site_file = "";
int FILE_error_site_line = 0;

void FILE_normalize_path(std::string& path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
}

bool FILE_is_absolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\');
}

void FILE_make_absolute(std::string& path) {
    if (!FILE_is_absolute(path))
        path = FILE_sim_root + path;
}

void FILE_wide_absolute_path(const std::string& path, std::u16string& out) {
    std::string p = path;
    FILE_make_absolute(p);
    out.assign(p.begin(), p.end());
}

bool FILE_is_utf8(const char*, const char*) { return true; }

bool FILE_is_file(const std::string& path) {
    struct stat st;
    std::string p = path;
    FILE_make_absolute(p);
    return stat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FILE_is_folder(const std::string& path) {
    struct stat st;
    std::string p = path;
    FILE_make_absolute(p);
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int FILE_delete(const std::string& path) {
    std::string p = path;
    FILE_make_absolute(p);
    int r = (!p.empty() && p.back() == '/') ? rmdir(p.c_str()) : unlink(p.c_str());
    return r == 0 ? 0 : errno;
}

int FILE_clear_read_only(const std::string&) { return ENOSYS; }
int FILE_copy(const std::string&, const std::string&) { return ENOSYS; }

int FILE_make_folder(const std::string& path) {
    std::string p = path;
    FILE_make_absolute(p);
    return mkdir(p.c_str(), 0777) == 0 ? 0 : errno;
}

bool FILE_mkdir_failed(int err) { return err != 0 && err != 183 && err != EEXIST; }
int FILE_free_disk_space(const std::string&, uint64_t*, uint64_t*) { return ENOSYS; }
void FILE_last_component(std::string& out, const std::string& path) { out = path; }
void FILE_parent_folder(std::string& out, const std::string& path) { out = path; }
int FILE_list_folder(const std::string&, int, std::vector<std::string>& names, std::vector<int>& types) {
    names.clear();
    types.clear();
    return 0;
}
int FILE_delete_tree(const std::string&) { return ENOSYS; }
int FILE_copy_tree(const std::string&, const std::string&) { return ENOSYS; }

FILE* FILE_fopen_utf8(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());
}

int FILE_shell_open(const std::string&, const std::string&, int) { return ENOSYS; }
int FILE_eject_disc(const std::string&) { return ENOSYS; }
bool FILE_is_safe_relative(const std::string& path) { return path.find("..") == std::string::npos; }
