// UTL_dvd: the drive walk, the disc's version file and the scan of the disc's directory.
#include "installer/UTL_dvd.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/APP_alert.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/xmap.h"
#include "installer/INST_directory_zip.h"
#include "installer/INST_globals.h"
#include "platform/WIN_mounts.h"

namespace {

// The file UTL_has_dvd_version_file looks for on a root (main thread).
struct dvd_state {
    std::string probe_name = UTL_DVD_VERSION_FILE;
} state;

// Reads the lines after the header into the version folder and the DVD lines.
void read_version_lines(xmap_file& f, install_directory& dir) {
    while (f.cursor < f.end) {
        if (XMAP_match_token(f, "VERSION", true, 0)) {
            XMAP_read_line(f, &dir.version_folder);
            continue;
        }
        std::string line;
        XMAP_read_line(f, &line);
        if (!line.empty())
            dir.dvd_lines.push_back(line);
    }
}

void report_unzip_failure(int code, const std::string& archive, const std::string& folder) {
    std::string l1, l2, l3, l4, templ, text;
    LANG_translate(l1, "DVD scan: The installer cannot extract a file.");
    FILE_error_text(text, code);
    LANG_translate(templ, "Error: %1:message%.");
    LANG_subst1(l2, templ, text);
    LANG_translate(templ, "Compressed File: %1:file%.");
    LANG_subst1(l3, templ, archive);
    LANG_translate(templ, "Destination Path: %1:file%.");
    LANG_subst1(l4, templ, folder);
    APP_alert(0, l1, l2, l3, l4, 2, "UTL_installer", 560);
}

} // namespace

std::string UTL_find_dvd_drive(bool (*predicate)(const std::string& root)) {
    for (const std::string& root : WIN_optical_roots())
        if (predicate(root))
            return root;
    return std::string();
}

bool UTL_has_dvd_version_file(const std::string& root) {
    const std::string path = root + state.probe_name;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) == 0 || ec)
        return false;
    FILE* f = FILE_fopen_utf8(path, "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

int UTL_scan_dvd(install_directory& dir) {
    if (dir.dvd_root.empty()) {
        state.probe_name = UTL_DVD_VERSION_FILE;
        dir.dvd_root = UTL_find_dvd_drive(UTL_has_dvd_version_file);
        if (dir.dvd_root.empty())
            return 6;
    }
    if (!dir.version_folder.empty())
        return 1;

    const std::string version_file = dir.dvd_root + UTL_DVD_VERSION_FILE;
    {
        xmap_file f(version_file);
        static const int versions[] = {1000, 0};
        if (!f.base || check_file(f, XMAP_TYPE_TEXT, versions, "DVD", nullptr) != 1000)
            return 7;
        // A disc read again (one without a VERSION line is, on every frame of the welcome page) must not
        // pile up its lines.
        dir.dvd_lines.clear();
        read_version_lines(f, dir);
    }
    LANG_read_dvd_langs(version_file);
    if (dir.version_folder.empty())
        return 1;

    const std::string archive = dir.dvd_root + dir.version_folder + "/directory.txt.zip";
    const std::string work = INST_work_path("");
    dir.product_kind = 1;
    int unzip = 0;
    const int result = INST_unzip_directory_file(archive, work, dir, &unzip, true);
    if (unzip != 0)
        report_unzip_failure(unzip, archive, work);
    return result;
}
