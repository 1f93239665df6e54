// INST_folders: install folder creation and its alert.
#include "installer/INST_folders.h"

#include <cerrno>
#include <set>
#include <vector>

#include "base/APP_alert.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"

namespace {

// The fixed folders of the simulator's output tree, made in this order.
const char* const fixed_folders[] = {"Output/",           "Output/FMS plans",  "Output/logbooks",
                                     "Output/replays",    "Output/situations", "Resources/",
                                     "Output/preferences"};

// 0 when the folder exists afterwards, else the error. A folder this call made is added to `made`.
int make_folder(const std::string& path, std::vector<std::string>& made) {
    int err = FILE_make_folder(path);
    if (err == 0) {
        made.push_back(path);
        return 0;
    }
    // "Already exists" counts as made only for a folder: a file there would make every later step fail.
    if (err == EEXIST && !FILE_is_folder(path))
        err = ENOTDIR;
    return FILE_mkdir_failed(err) ? err : 0;
}

// A failed step takes back the folders it made, children first, so that the same choice can be made
// again: each goes only while it is empty (rmdir), and a folder that was there before is not in `made`.
// Then the alert.
int give_up(const std::string& path, int err, const std::vector<std::string>& made) {
    size_t removed = 0;
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        if (FILE_delete(it->back() == '/' ? *it : *it + "/") == 0)
            ++removed;
    if (!made.empty())
        LOG_stream << "Removed " << removed << " of the " << made.size()
                   << " folders made before the failure (a folder that is not empty stays).\n";
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
    std::vector<std::string> made;
    const auto make = [&made](const std::string& path) {
        const int err = make_folder(path, made);
        return err ? give_up(path, err, made) : 0;
    };
    std::string folder = INST_install_folder;
    if (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    const size_t first = folder.find('/');
    if (first != std::string::npos) {
        for (size_t at = folder.find('/', first + 1);; at = folder.find('/', at + 1)) {
            const std::string prefix = at == std::string::npos ? folder : folder.substr(0, at);
            if (!prefix.empty())
                if (int err = make(prefix))
                    return err;
            if (at == std::string::npos)
                break;
        }
    } else if (!folder.empty()) {
        if (int err = make(folder))
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
        if (int err = make(INST_install_folder + rel))
            return err;

    for (const char* fixed : fixed_folders)
        if (int err = make(INST_install_folder + fixed))
            return err;
    return 0;
}
