// INST_folders: install folder creation and its alert.
#include "installer/INST_folders.h"

#include <cerrno>
#include <set>

#include "base/APP_alert.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"

namespace {

// The fixed folders of the simulator's output tree, made in this order.
const char* const fixed_folders[] = {"Output/",           "Output/FMS plans",  "Output/logbooks",
                                     "Output/replays",    "Output/situations", "Resources/",
                                     "Output/preferences"};

// 0 when the folder exists afterwards; else the error, reported.
int make_folder(const std::string& path) {
    int err = FILE_make_folder(path);
    // "Already exists" counts as made only for a folder: a file there would make every later step fail.
    if (err == EEXIST && !FILE_is_folder(path))
        err = ENOTDIR;
    if (!FILE_mkdir_failed(err))
        return 0;
    INST_report_folder_error(path, err);
    return err;
}

} // namespace

void INST_report_folder_error(const std::string& path, int code) {
    std::string l1, l2, l3, l4, text;
    LANG_translate(l1,
                   "I am unable to install or update Aerivon. An error occurred while creating new folders. "
                   "Make sure you are installing to a directory that you have access to!");
    LANG_translate(l2, "Error: ");
    FILE_error_text(text, code);
    l2 += text;
    LANG_translate(l3, "Install Location: ");
    l3 += INST_install_folder;
    LANG_translate(l4, "Install Path:");
    l4 += path;
    APP_alert(0, l1, l2, l3, l4, 1, "utils", 180);
}

int INST_create_install_folders() {
    std::string folder = INST_install_folder;
    if (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    const size_t first = folder.find('/');
    if (first != std::string::npos) {
        for (size_t at = folder.find('/', first + 1);; at = folder.find('/', at + 1)) {
            const std::string prefix = at == std::string::npos ? folder : folder.substr(0, at);
            if (!prefix.empty())
                if (int err = make_folder(prefix))
                    return err;
            if (at == std::string::npos)
                break;
        }
    } else if (!folder.empty()) {
        if (int err = make_folder(folder))
            return err;
    }

    std::set<std::string> needed;
    const package_list& list = INST_directory.packages;
    for (size_t e = 0; e < list.size(); ++e) {
        if (list[e].empty() || !list[e].back().plan_download ||
            !INST_record_is_wanted(static_cast<int>(e), static_cast<int>(list[e].size() - 1)))
            continue;
        std::string path = list[e].back().path;
        for (size_t cut = path.rfind('/'); cut != std::string::npos; cut = path.rfind('/')) {
            path.erase(cut);
            if (!path.empty())
                needed.insert(path);
        }
    }
    for (const std::string& rel : needed)
        if (int err = make_folder(INST_install_folder + rel))
            return err;

    for (const char* fixed : fixed_folders)
        if (int err = make_folder(INST_install_folder + fixed))
            return err;
    return 0;
}
