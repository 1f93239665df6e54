// UTL_dvd: the maker's installation disc: the drive walk that finds it, the version file at its root that
// names the disc's version folder and languages, and the scan that reads the disc's directory.
//
// DESIGN: a disc is a CD/DVD drive root (WIN_optical_roots: the iso9660 and udf mounts, then the test
// roots) that holds a non-empty "dvd_version.txt". The scan fills the DVD fields of an install_directory
// and then its package list from "<root><VERSION>/directory.txt.zip", unzipped into the work folder with
// the routine that never reads a directory file left behind by an earlier disc or fetch. A scanned disc
// (root and version folder set) is not read again until the caller empties those fields. Main thread only.
//
// The dvd_version.txt format: "A" or "I", "1000 version", "DVD", then lines:
// | line                       | effect                                                                 |
// |----------------------------|------------------------------------------------------------------------|
// | "VERSION" [blank rest]     | the version folder = the rest, blanks before it skipped; the last wins |
// | any other non-empty line   | appended to the DVD lines, leading blanks skipped ("LANG <code>" too)  |
#pragma once
#include <string>

#include "installer/UTL_installer.h"

// The name of the version file at a disc's root.
inline constexpr const char UTL_DVD_VERSION_FILE[] = "dvd_version.txt";

// The first CD/DVD drive root (ending in '/') that passes `predicate`, in drive order; "" when none does.
// No other volume is ever given to the predicate.
std::string UTL_find_dvd_drive(bool (*predicate)(const std::string& root));

// True when `root` followed by the probe file name (set to "dvd_version.txt" by every scan) is a file
// that opens and holds at least one byte.
bool UTL_has_dvd_version_file(const std::string& root);

// Scans the disc into `dir`. With no DVD root yet, the drive walk looks for one holding the version file.
// | result | when                                                                                   |
// |--------|----------------------------------------------------------------------------------------|
// | 6      | no drive holds the version file (the DVD root stays empty)                             |
// | 1      | the version folder was already set (nothing is touched), or the file names none        |
// | 7      | the version file does not open or its header is not "A"/"I", 1000, "DVD"              |
// | 0 3 5  | UTL_read_directory_file of the disc's directory file (3 also when the archive held none) |
// The DVD lines are the file's other lines (replacing earlier ones); the disc's languages are read from
// them (LANG_read_dvd_langs). Before the directory is read the product kind is 1 (PRODUCT_KEY overrides).
// An archive that cannot be expanded raises the fatal alert ("UTL_installer", 560, kind 2): "DVD scan:
// The installer cannot extract a file.", the error text, the archive and the work folder.
int UTL_scan_dvd(install_directory& dir);
