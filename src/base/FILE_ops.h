// FILE_ops: paths and the file-system layer. Paths are '/'-separated, folders end in '/'; a relative path is
// relative to the Sim-Root folder. A folder that the system or the user names is taken as the bytes it is
// (any byte but '/' and NUL may stand in a name, UTF-8 or not); only names from packages and lists are
// normalised. Operations return 0 or an errno value.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The simulator folder the program works on; empty after start-up. Changed only on the main thread.
extern std::string FILE_sim_root;

// Error site of the last failing delete or folder creation: "FILE_ops" and a line (146 folder delete,
// 149 file delete, 324 folder creation). Kept per thread, so that a caller's report names its own failure
// even while other threads fail at the same time.
extern thread_local const char* FILE_error_site_file;
extern thread_local int FILE_error_site_line;

// For names written on other systems (package entries, list paths), never for a folder the system names:
// bytes that are not well-formed UTF-8 are taken as Windows-1252 and converted; then every '\' and ':'
// becomes '/', except inside a leading drive prefix ("C:\").
void FILE_normalize_path(std::string& path);
// A leading drive prefix (letter, ':', '\') or a first character '/' or '\'.
bool FILE_is_absolute(const std::string& path);
// Prefixes the Sim-Root folder to a relative path.
void FILE_make_absolute(std::string& path);
// FILE_make_absolute (an empty path gives the Sim-Root folder), then UTF-16.
void FILE_wide_absolute_path(const std::string& path, std::u16string& out);
// Every sequence well-formed: a lead byte 110xxxxx, 1110xxxx or 11110xxx followed by 1, 2 or 3 bytes
// 10xxxxxx. An empty range is valid.
bool FILE_is_utf8(const char* begin, const char* end);
// Exists and is not a folder (links are followed).
bool FILE_is_file(const std::string& path);
// Less one trailing '/', exists and is a folder (links are followed).
bool FILE_is_folder(const std::string& path);
// "" gives 2 (ENOENT). A path ending in '/' removes that empty folder, any other path unlinks the file
// (a link itself, never its target). 0 or errno; the error site is set on failure.
int FILE_delete(const std::string& path);
// Gives the owner write permission when it lacks it (links are left alone). 0 or errno.
int FILE_clear_read_only(const std::string& path);
// Copies one file with the source's permission bits, replacing the destination atomically: the bytes go
// to a temporary sibling that is closed, checked and renamed over the destination; on failure the
// sibling is removed and the old destination stays. The same file (device and inode) gives EINVAL and
// touches nothing; a folder gives EISDIR. 0 or errno.
int FILE_copy(const std::string& source, const std::string& destination);
// Creates one folder (mode 0777 less umask; one trailing '/' ignored). 0 or errno, EEXIST (17) when it
// exists already; the error site is set on failure.
int FILE_make_folder(const std::string& path);
// True for an error other than 0, 183 and EEXIST: the filter for folders created blindly.
bool FILE_mkdir_failed(int err);
// Size and space free to the caller of the volume that holds (or will hold) the path: asked of the path
// itself when it is a folder, else of the nearest existing folder above it, so a folder not yet made
// gives its future volume. Either output may be null. 0 or errno.
int FILE_free_disk_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes);
// The last component with its trailing separator when it has one: "a/b/c/" gives "c/", "abc" "abc". The
// separator is '/' (and a drive prefix's '\'): "/a/Sims \ 2026/" gives "Sims \ 2026/".
void FILE_last_component(std::string& out, const std::string& path);
// The path less its last component: "a/b/c/" gives "a/b/"; fewer than 4 characters are kept as they are.
// Separators as for FILE_last_component.
void FILE_parent_folder(std::string& out, const std::string& path);
// Lists a folder into parallel lists of names and types (1 folder, 0 anything else; links are never
// followed), sorted by lowered bytes, ties in byte order; returns the count. Kind 0 (and the unbuilt
// browser kinds) leave out names beginning with '.'; kind 16 lists nothing; kind 17 lists the child
// components of the command paths under `folder`: type 17, or 1 (without the final '/') for a branch.
// A folder that cannot be read lists nothing. A disk path longer than 3 characters that does not end in
// '/' raises the fatal alert ("FILE_ops", 658).
int FILE_list_folder(const std::string& folder, int kind, std::vector<std::string>& names,
                     std::vector<int>& types);
// Deletes everything under the folder (a path ending in '/'), then the folder. Every entry but "." and
// ".." is taken, hidden ones too; a link is unlinked, never descended. 0 or the first error.
int FILE_delete_tree(const std::string& folder);
// Copies a file (FILE_copy), or a folder tree into `destination` (both without a trailing '/'). Every
// entry is taken, hidden ones too; a link inside the tree is never descended (FILE_copy reads a link to
// a file, a link to a folder fails with EISDIR). 0 or the first error.
int FILE_copy_tree(const std::string& source, const std::string& destination);
// fopen of the path (relative to the Sim-Root folder unless absolute), close-on-exec.
FILE* FILE_fopen_utf8(const std::string& path, const char* mode);
// Opens the absolute path the way a desktop does, in a session of its own, never through a shell: an
// executable regular file is started with the parameters split at blanks as its arguments; anything else
// goes to "xdg-open" as its one argument. When it started, this process ends: with `quit`, after
// APP_quit(1), with exit code 0; without, at once with code 1. Otherwise returns the spawn's errno.
int FILE_shell_open(const std::string& path, const std::string& params, int quit);
// Ejects the medium in the drive whose mount holds the path (CDROMEJECT on the mount's block device).
// 0 or errno (ENOTBLK when the mount has no block device).
int FILE_eject_disc(const std::string& path);
// A relative path that stays inside its folder: after FILE_normalize_path, no absolute path, drive
// prefix, empty, "." or ".." component, '\' or NUL (a folder's final '/' allowed).
bool FILE_is_safe_relative(const std::string& path);

// Special folders: 0 executable's folder, 1 executable's path, 2 and 3 desktop, 4 work (temporary) folder,
// 5 local application data. Folders end in '/'. Kinds 2-5 are absolute: "/" when the system cannot tell
// them (see FILE_special.cpp).
void FILE_get_special_folder(int kind, std::string& out);
