// INST_directory_zip: reads the directory file out of its zip archive, never a copy left by an earlier
// fetch or disc. Main thread only.
#pragma once
#include <string>

#include "installer/UTL_installer.h"

// Removes `folder` + "directory.txt" (folder ends in '/'), expands `zip_path` into `folder` (no entry
// may pass 256 MiB: 20002) and stores
// zip_to_file's result in *unzip_result (or the errno of an old directory.txt that would not go; nothing
// is expanded then). The directory file is then read into `dir` with UTL_read_directory_file when the
// expansion succeeded, or in any case with `read_after_failure`. Returns the reader's result, which is 3
// when the archive held no directory.txt; 3 also when an old file could not be removed (the list is then
// emptied and the version 0, as for a missing file); -1 when nothing was read (`dir` untouched).
int INST_unzip_directory_file(const std::string& zip_path, const std::string& folder, install_directory& dir,
                              int* unzip_result, bool read_after_failure);
