// FILE_ops: paths and the file-system layer. Paths are UTF-8, '/'-separated, folders end in '/'; a relative
// path is relative to the Sim-Root folder. Operations return 0 or an errno value.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The simulator folder the program works on; empty after start-up. Changed only on the main thread.
extern std::string FILE_sim_root;

// Error site of the last failing delete or folder creation.
extern const char* FILE_error_site_file;
extern int FILE_error_site_line;

void FILE_normalize_path(std::string& path);
bool FILE_is_absolute(const std::string& path);
void FILE_make_absolute(std::string& path);
void FILE_wide_absolute_path(const std::string& path, std::u16string& out);
bool FILE_is_utf8(const char* begin, const char* end);
bool FILE_is_file(const std::string& path);
bool FILE_is_folder(const std::string& path);
int FILE_delete(const std::string& path);
int FILE_clear_read_only(const std::string& path);
int FILE_copy(const std::string& source, const std::string& destination);
int FILE_make_folder(const std::string& path);
bool FILE_mkdir_failed(int err);
int FILE_free_disk_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes);
void FILE_last_component(std::string& out, const std::string& path);
void FILE_parent_folder(std::string& out, const std::string& path);
int FILE_list_folder(const std::string& folder, int kind, std::vector<std::string>& names,
                     std::vector<int>& types);
int FILE_delete_tree(const std::string& folder);
int FILE_copy_tree(const std::string& source, const std::string& destination);
// fopen of the path as given, close-on-exec.
FILE* FILE_fopen_utf8(const std::string& path, const char* mode);
int FILE_shell_open(const std::string& path, const std::string& params, int quit);
int FILE_eject_disc(const std::string& path);
// A relative path that stays inside its folder: no absolute path, drive prefix, empty, "." or ".."
// component, '\' or NUL (a folder's final '/' allowed).
bool FILE_is_safe_relative(const std::string& path);

// Special folders: 0 executable's folder, 1 executable's path, 2 and 3 desktop, 4 work (temporary) folder,
// 5 local application data. Folders end in '/'.
void FILE_get_special_folder(int kind, std::string& out);
