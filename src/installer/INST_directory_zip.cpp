// INST_directory_zip: the directory file out of its archive.
#include "installer/INST_directory_zip.h"

#include <cerrno>

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"

namespace {

// The directory of a whole installation is a few megabytes; anything near this is no directory.
constexpr uint64_t directory_limit = 256ull * 1024 * 1024;

} // namespace

int INST_unzip_directory_file(const std::string& zip_path, const std::string& folder, install_directory& dir,
                              int* unzip_result, bool read_after_failure) {
    const std::string text = folder + "directory.txt";
    const int removed = FILE_delete(text);
    if (removed != 0 && removed != ENOENT) {
        LOG_stream << "The old directory file " << text << " cannot be removed (error " << removed
                   << "); it is not read.\n";
        *unzip_result = removed;
        if (!read_after_failure)
            return -1;
        dir.version = 0;
        dir.packages.clear();
        return 3;
    }
    *unzip_result = zip_to_file(zip_path, folder, directory_limit);
    if (*unzip_result != 0 && !read_after_failure)
        return -1;
    return UTL_read_directory_file(text, dir);
}
