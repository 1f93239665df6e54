// FILE_compress: MD5 signatures of files and the expansion of zip and 7z archives into folders.
//
// Every operation returns 0 or an error code: an errno value, a minizip code (negative), or one of the
// system's own: 20001 the archive cannot be opened as such, 20002 a header, data or decoding failure,
// 20004 a short write without an errno, 20014 an entry name that leads outside the folder. Failures are
// written to LOG_stream; nothing here raises an alert. Paths are UTF-8, relative to the Sim-Root folder
// unless absolute.
//
// Every file an expansion writes goes first to a temporary sibling in its destination folder, which is
// closed, checked and renamed over the destination: a failure removes the sibling and leaves the old
// file as it was. Written files get mode 0666 plus the archive's execute bits (a zip made on Unix, or a
// 7z entry's permissions), less the umask. Entry names are normalised (FILE_normalize_path), written
// under that name, and must pass FILE_is_safe_relative: a refused name is logged and fails the
// expansion with 20014. Link entries are skipped, so no link is ever created. Expansions and signatures
// keep their state on the stack and may run on any thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct unz_file_info64_s;

// Error site of the last failing zip operation ("FILE_compress" and a line), for log lines only.
extern std::atomic<const char*> FILE_compress_site_file;
extern std::atomic<int> FILE_compress_site_line;

// No bound on the size of an entry.
inline constexpr uint64_t FILE_NO_ENTRY_LIMIT = UINT64_MAX;

// What made the last expansion on the calling thread return 20002 (each expansion resets it).
enum class FILE_read_failure { none, short_read, entry_too_large };
FILE_read_failure FILE_last_read_failure();

// The MD5 signature of the file as 32 lowercase hexadecimal characters in `out`; read in 1 MiB pieces.
// Returns 0, 12 when no buffer can be had, the errno of a failed open or read (5 when the read failed
// without one); a folder gives 21 (EISDIR). `out` is left alone on failure.
int FILE_md5_hex(const std::string& path, std::string& out);

// Expands every entry of the zip archive into `folder` (ending in '/'), in archive order. Folder entries
// make their folder (one level; an existing one is fine); file entries need their folder to exist.
// Names beginning with "__MACOSX" and link entries are skipped. An entry larger than `entry_limit` bytes
// (declared, or found while reading) is refused with 20002 and its partial file removed. Returns 0, 20001
// when the archive cannot be opened (but EMFILE, ENFILE or ENOMEM when its file could not be opened for
// want of a descriptor or memory), a refused name 20014, or the first failing entry's code (minizip's,
// errno, 20002, 20004).
// With `only`, just the file entry of that (normalised) name is written and no folder is made; the names of
// the other file entries go to `skipped` (when given). Every name is still checked.
int zip_to_file(const std::string& zip_path, const std::string& folder,
                uint64_t entry_limit = FILE_NO_ENTRY_LIMIT, const std::string* only = nullptr,
                std::vector<std::string>* skipped = nullptr);

// Writes the current entry of the open minizip archive `zip` (an unzFile) to `path`, replacing it
// atomically. `info` is the entry's information. Returns 0; minizip's code when the entry cannot be
// opened or its CRC is wrong (UNZ_CRCERROR, -105); 12 when no buffer can be had; 20002 when the data
// cannot be read or its size differs from the declared one; errno when the output cannot be made,
// written or closed (20004 when a write fails without an errno).
int FILE_zip_entry_to_file(void* zip, const std::string& path, const unz_file_info64_s& info,
                           uint64_t limit = FILE_NO_ENTRY_LIMIT);

// Expands every file entry of the 7z archive into `folder` (ending in '/'); folder entries create
// nothing, so the folders must exist. With `use_name` the output path of each entry is `folder` +
// the text that `name` held on entry (which must pass FILE_is_safe_relative); when `name` is given it
// receives the last output path. Returns 0, the errno of a failed archive open, 20001 when it is no
// 7z archive (ENOMEM when no memory was left to read it as one), 20002 for a header, data, decoding or CRC
// failure (also for encrypted entries), 20014 for a refused name, errno when an output cannot be made,
// written or closed (20004 without an errno). An entry larger than `entry_limit` bytes fails with 20002 as
// soon as that many have been written. `only` and `skipped` as for zip_to_file.
int FILE_7z_to_folder(const std::string& archive_path, const std::string& folder, std::string* name = nullptr,
                      bool use_name = false, uint64_t entry_limit = FILE_NO_ENTRY_LIMIT,
                      const std::string* only = nullptr, std::vector<std::string>* skipped = nullptr);
