// INST_expand: puts one fetched package into place, for the web road's download step and the disc road's
// unpack task alike.
//
// DESIGN: nothing is written over an installed file before the new one is known to be right. An archive
// is expanded into a private folder ".aerivon-unpack-XXXXXX" made beside the destination (same file
// system, so the final rename is atomic); only the file named like the destination is taken from it,
// checked against the record's MD5 and renamed over the destination. A plain file is checked where it
// lies and copied into place through a sibling. No entry may grow past the bound its record allows, so a
// small archive cannot fill the disk. The routine keeps its state on the stack and raises no alert: it
// runs on the main thread and on work-queue threads.
#pragma once
#include <cstdint>
#include <string>

// The prefix of the private folders the expansion makes beside a destination.
inline constexpr const char INST_UNPACK_PREFIX[] = ".aerivon-unpack-";

// The most bytes one entry of a package may expand to: twice the record's expanded size (kilobytes of
// 1,024 bytes) plus 1 MiB; 4 GiB when the size is 0 or less.
uint64_t INST_entry_limit(float expanded_kb);

// Expands `archive` (".7z" or ".zip" by its name, at least 4 characters; anything else is a plain file)
// into place at `destination` and deletes `archive` in every case. When `sig_want` is 32 hexadecimal
// characters the installed bytes must have that MD5. Other files the package holds are not installed; the
// first 20 are named in the log, then "… and N more".
//
// Returns 0, or the first error: the expansion's code (errno, 20001, 20002, 20004, minizip's), 20002 when
// the package lacks the file or its MD5 differs, errno of the copy or rename. For 20002, `why` (when
// given) receives which check failed: "signature mismatch", "refused entry name", "short read" or "entry
// larger than its record allows".
int INST_expand_into_place(const std::string& archive, const std::string& destination,
                           const std::string& sig_want, float expanded_kb, std::string* why = nullptr);
