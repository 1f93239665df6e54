// UTL_installer: the formats the maker's servers publish (the server list and the directory file), the
// package list they fill, and the world tile grid.
//
// DESIGN: both readers scan a mapped view (xmap) and return the system's reader codes: 0 read, 3 the file
// did not open, 5 its header was not accepted. Everything read from a server is bounded before the engine
// sees it: a file record whose path would leave the install folder is dropped, a tile rectangle is
// clipped to the grid, a server that names no host or no absolute base path is skipped, and the server
// list never holds more than UTL_MAX_SERVERS entries. Dropped input is written to LOG_stream. All of this
// runs on the main thread.
#pragma once
#include <string>
#include <vector>

// The maker's web site, which publishes the server list.
inline constexpr const char UTL_MAKER_HOST[] = "www.aerivon.example";
// Where the list lies on that host, and the name it gets in the work folder.
inline constexpr const char UTL_SERVER_LIST_PATH[] = "/_lookup_10_/server_list_10.txt";
inline constexpr const char UTL_SERVER_LIST_NAME[] = "server_list_10.txt";
// The most servers a list may hold; further ones are dropped with a log line.
inline constexpr int UTL_MAX_SERVERS = 64;
// The most FILE records a directory file may hold; one that holds more is refused as a whole.
inline constexpr long long UTL_MAX_DIRECTORY_RECORDS = 2000000;

// One download server.
struct server_record {
    std::string host;      // handed to the HTTP client as the server of a transfer
    std::string base_path; // begins with '/'; the directory fetch appends the install name and "/"
    std::string address;   // the whole entry as written (stored, not read)
};

// What the server list says, with the command-line overrides applied.
struct server_list {
    int version = 0;                // header version of the last read (1000); 0 before, or after a failure
    std::string beta_name;          // install name of the beta versions (BETA)
    std::string final_name;         // install name of the final versions (FINAL)
    int beta_version = 0;           // BETA_VERSION (stored, not read)
    int final_version = 0;          // FINAL_VERSION (stored, not read)
    std::string beta_installer[2];  // BETA_INSTALLER_WIN: its word, then the rest of the line
    std::string final_installer[2]; // FINAL_INSTALLER_WIN: the same
    std::vector<server_record> servers;
};

// One version of one file of an installation.
struct file_record {
    int os = 0;           // 0 every system, 1 Macintosh, 2 Windows, 3 Linux
    int flags = 0;        // the stored flag bits 0x10 and 0x20
    int archive_kind = 0; // 0x40 zip, 0x80 7z, anything else a plain file
    int extra = 0;        // stored and copied, never read
    float download_kb = 0.0f;
    float expanded_kb = 0.0f;
    std::string sig_want;               // MD5 in hex the installed file must have, or "GONE"
    std::string path;                   // relative to the install folder; passes FILE_is_safe_relative
    int dvd = -1;                       // disc that holds the package
    int has_tile = 0;                   // 1 for a scenery record covering x0..x1 by y0..y1
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // inclusive, inside the grid; x0 > x1 or y0 > y1 covers nothing
    std::string sig_have; // the local file's MD5, "NONE" when absent, "UNREADABLE"; empty until scanned
    int matches = 0;      // sig_have == sig_want
    int plan_download = 0;
    int plan_delete = 0;
    float download_fraction = 0.0f;
};

// The history of one file path, older versions first; the last record is the current version.
using package_entry = std::vector<file_record>;
// Every file of an installation, in directory-file order, addressed by index.
using package_list = std::vector<package_entry>;

// The directory of the installation being worked on.
struct install_directory {
    int version = 0;                    // 1000 or 1004 once read; 0 cleared or failed; -1 while fetched
    std::string dvd_root;               // root of the installation DVD, empty when none is known
    std::string version_folder;         // folder of the directory file and the packages
    std::vector<std::string> dvd_lines; // the other lines of the DVD's version file
    package_list packages;
    int product_kind = 0; // PRODUCT_KEY; 2 a DVD of global scenery only
};

// 36 x 18 cells of 10 x 10 degrees: x = (longitude + 180) / 10, y = (latitude + 90) / 10.
inline constexpr int UTL_TILES_X = 36;
inline constexpr int UTL_TILES_Y = 18;
struct tile_grid {
    int cells[UTL_TILES_X * UTL_TILES_Y] = {}; // cell (x, y) is element x * 18 + y; non-zero = set
    int& at(int x, int y) { return cells[x * UTL_TILES_Y + y]; }
    int at(int x, int y) const { return cells[x * UTL_TILES_Y + y]; }
};

// Polls the fetch of the server list from the maker's web site into the work folder, once per frame
// (HTTP transfer key 0). 2 while the transfer runs; 4 when it failed (the list is left as it was); else
// the result of UTL_read_server_list on the fetched file.
int UTL_fetch_server_list(server_list& list);

// Reads the server list file at `path` into `list`, then applies "--install_name", "--server",
// "--add_server" and "--server_clone". The header version is zeroed and the servers emptied first; the
// other fields keep their values unless the file or an option sets them. 0 read; 3 the file did not
// open; 5 the header is not "A"/"I", 1000, SERVERS. A server whose host is empty or ends in '/', or whose
// base path does not begin with '/', is skipped with a log line; so is an option value without '/'.
int UTL_read_server_list(const std::string& path, server_list& list);

// Empties both install names and the servers; the other fields stay.
void INST_reset_server_list(server_list& list);

// A random integer from lo to hi inclusive. hi below lo raises the fatal alert (kind 3).
int UTL_rand_range(int lo, int hi);

// Reads the directory file at `path` into `dir`: its version, package list and product kind (the DVD
// fields are not touched). 0 read; 3 the file did not open; 5 the header is not "A"/"I", 1000 or 1004,
// INSTALLER, or the file holds more than UTL_MAX_DIRECTORY_RECORDS FILE records, or its records do not fit
// in memory (the list is then empty, the version 0). A FILE record whose path fails FILE_is_safe_relative,
// holds '\' or holds a control byte is dropped with a log line; a tile rectangle is clipped to the grid; a
// negative size reads as 0. A path ending in '/' raises the fatal alert (kind 2) the reading would otherwise
// carry on after.
int UTL_read_directory_file(const std::string& path, install_directory& dir);

// Empties the strings, the DVD lines and the package list; version and product kind 0.
void UTL_install_directory_clear(install_directory& dir);

// True when the path holds "Global Scenery/", "/-global overlays-/", "/-global terrain-/" or
// "/default scenery/DSF 820" (case-sensitive).
bool UTL_is_global_scenery_path(const std::string& path);

// True, with the tile in *x and *y, when the path's last component begins with a tile name: a sign and
// two digits of latitude, then a sign and three digits of longitude ("+47-123.dsf" gives x 5, y 13),
// inside the grid. *x and *y are left alone otherwise.
bool UTL_parse_tile_name(const std::string& path, int* x, int* y);
