// xmap: read-only views of data files (mapped from disk or embedded as resources), the scanners that
// read them, the header check of the system's text and binary data files, and the header writer.
//
// DESIGN: an xmap_file holds one view: a private read-only mapping of a file, or the bytes of an
// embedded "GUI_RES" resource (named "RESOURCE:" + name), which are never released. The scanners move
// a cursor through [base, end) and never read at or past end. Path-rule violations are fatal alerts; a
// file that cannot be mapped gives a null base and a line on LOG_stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/x_ofstream.h"

// Header kinds of the system's data files.
constexpr int XMAP_TYPE_BINARY = 10000; // 'i' or 'a' (byte-swapped), then the version as 4 bytes
constexpr int XMAP_TYPE_TEXT = 10001;   // [BOM] "A"|"I" line, "<version> version[...]" line, [keyword line]

// One view with its scan cursor. Belongs to one thread at a time. Not copyable; the destructor closes it.
struct xmap_file {
    int swap = 0;                 // 1 when a binary header said the integers are byte-swapped ('a')
    std::string path;             // the path as given to the open
    const char* base = nullptr;   // first byte of the view, null when nothing is open
    const char* cursor = nullptr; // scan position
    const char* end = nullptr;    // one past the last byte
    void* map_addr = nullptr;     // the mapping (page-aligned), null for resources and when closed
    size_t map_length = 0;        // its length in bytes
    int not_owned = 0;            // 1 for resource bytes, which are never unmapped or freed

    // XMAP_open: every field empty, then, when `path` is not empty, XMAP_map(path, offset, length).
    explicit xmap_file(const std::string& path = std::string(), size_t offset = 0, size_t length = 0);
    ~xmap_file();
    xmap_file(const xmap_file&) = delete;
    xmap_file& operator=(const xmap_file&) = delete;
};

// Empties `f` (closing what it held), then maps `path` when it is not empty. Returns the base.
const char* XMAP_open(xmap_file& f, const std::string& path, size_t offset = 0, size_t length = 0);

// Maps `length` bytes (0 = to the end of the file) of `path` from `offset`, or the whole resource for a
// "RESOURCE:" path (offset and length ignored). A relative path holding the Sim-Root folder, or '\' or
// ':' (after a drive prefix), raises a kind-3 alert per fault. Returns the base, null on failure: missing
// or unreadable file, empty file, offset at or past the end, offset + length past the end, a missing
// resource, or a refused mapping (then the mapping-failure hook runs and "Mem file error" is logged).
// The cursor stands on the byte at `offset`.
const char* XMAP_map(xmap_file& f, const std::string& path, size_t offset = 0, size_t length = 0);

// Releases the view (owned data only) and clears every field but the path. Returns 0, or the errno of
// a failed munmap.
int XMAP_close(xmap_file& f);

// Alignment of mapping offsets; the page size until set (once, at start-up, before any open).
void XMAP_set_granularity(int granularity);

// Called on a refused mapping, before the "Mem file error" line; by default it writes the memory report
// (MEM_dump_info). Tests may replace it; null means no report.
extern void (*XMAP_mapping_failed_hook)();

// Checks the header from the start of the data. `type` is XMAP_TYPE_TEXT or XMAP_TYPE_BINARY (any other
// raises the kind-3 alert "Bad check_file type!" and is checked as text); `versions` is a 0-terminated
// list of accepted versions; `keyword` (may be null) must be the next word after the version line;
// `rest` (may be null) receives the rest of the version line. Returns the accepted version, or 0 for a
// null or empty view and for any mismatch. The cursor is left on the first line after the header.
int check_file(xmap_file& f, int type, const int* versions, const char* keyword, std::string* rest);

// True when the cursor is at the end or on a NUL, CR or LF.
bool XMAP_at_line_end(const xmap_file& f);
// True when the cursor is on a tab or a space (false at the end).
bool XMAP_at_blank(const xmap_file& f);
// Skips blanks, then takes bytes up to a blank, a line end or the end into `out` (may be null).
void XMAP_read_word(xmap_file& f, std::string* out);
// Skips blanks, takes bytes up to a line end or the end into `out` (may be null), then skips every
// following line-end byte and blank, so the cursor stands on the next line's first word.
void XMAP_read_line(xmap_file& f, std::string* out);
// Skips blanks; an optional '-', then an optional '+' set the sign; every byte up to a blank, line end
// or the end counts as a digit (no character check), accumulated modulo 2^32. 0 at the end.
int XMAP_read_int(xmap_file& f);
// The next 4 bytes as an integer (byte-swapped when `swap` is set). With fewer than 4 bytes left the
// result is 0 and the cursor moves to the end.
int32_t XMAP_read_int32(xmap_file& f);
// True when the next word (after blanks) is `literal`, followed by a blank, a line end or the end (when
// `line_end_ok`), or the `extra` terminator (when not 0); the cursor is then left on that byte.
// Otherwise the cursor is restored and the result is false.
bool XMAP_match_token(xmap_file& f, const char* literal, bool line_end_ok, char extra);

// Opens `out` on `path` (made absolute, its last three characters lower-cased) and writes the header of
// `type`: binary 'i' and the version as 4 little-endian bytes; text "I\n<version> version<copyright>\n"
// (no copyright text when it is "no-copyright-string"), with fixed notation set on the stream. A failed
// first attempt creates the parent folder (one level) and tries again. Returns true when the stream is
// good; after a second failure raises the kind-1 alert ("FILE_ops", 1336) and returns false. A type other
// than the two raises the kind-3 alert "Bad ouf_open type!" and writes a text header.
bool ouf_open(x_ofstream& out, const std::string& path, int type, int version, const std::string& copyright);
