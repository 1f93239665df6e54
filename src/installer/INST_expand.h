// INST_expand: puts one fetched package into place, for the web road's download step and the disc road's
// unpack task alike.
//
// DESIGN: nothing is written over an installed file before the new one is known to be right. The file
// of an archive named like the destination is expanded into a stage folder ".aerivon-unpack-XXXXXX"
// beside the destination (same file system, so the final rename is atomic), checked against the record's
// MD5 and renamed over the destination; the archive's other entries are never written. A stage folder
// holds its run's lock while it exists (INST_work_lock). A plain file is checked where it lies (or its MD5
// was computed while it was downloaded) and renamed over the destination; across file systems it is
// copied into a stage folder and renamed from there, so that a copy cut short lies where the next run's
// clean-up looks. No entry may grow past the bound its record allows, so a small archive cannot fill the
// disk. The routine keeps its state on the stack and raises no alert: it runs on the main thread and on
// work-queue threads.
#pragma once
#include <cstdint>
#include <string>

// The prefix of the private folders the expansion makes beside a destination.
inline constexpr const char INST_UNPACK_PREFIX[] = ".aerivon-unpack-";

// True for 32 hexadecimal characters (either case): a signature that can be checked.
bool INST_is_md5_hex(const std::string& s);

// The most bytes one entry of a package may expand to: twice the record's expanded size (kilobytes of
// 1,024 bytes) plus 1 MiB; 4 GiB when the size is 0 or less.
uint64_t INST_entry_limit(float expanded_kb);

// The package kind of a file by its name: ".7z" or ".zip" (at least 4 characters), else "" (plain).
std::string INST_package_kind(const std::string& archive);

// Expands `archive`, a package of the kind `suffix` (".7z", ".zip"; anything else is a plain file), into
// place at `destination`. Only the entry named like the destination is written, into `stage` (a folder
// beside the destination, ending in '/', kept for further packages) or, when that is empty, into a private
// folder made for this call and removed after it; a plain file copied across file systems goes through the
// same folder. When `sig_want` is 32 hexadecimal characters the installed bytes must have that MD5. The
// other entries are not written: the first 20 are named in the log, then "… and N more". `archive` is
// deleted unless `keep_archive`.
//
// Returns 0, or the first error: the expansion's code (errno, 20001, 20002, 20004, 20014, minizip's), 20002
// when the package lacks the file or its MD5 differs, errno of the copy or rename. For 20002, `why` (when
// given) receives which check failed: "signature mismatch", "short read" or "entry larger than its record
// allows". A plain file whose MD5 `have_md5` is given is not read again; one that
// passes is moved into place (so `archive` is then gone, whatever `keep_archive` says).
int INST_expand_into_place(const std::string& archive, const std::string& suffix,
                           const std::string& destination, const std::string& sig_want, float expanded_kb,
                           std::string* why = nullptr, const std::string& stage = "",
                           bool keep_archive = false, const std::string& have_md5 = "");
