// INST_plan: the install plan and the modified-file question's interface.
#include "installer/INST_plan.h"

#include <algorithm>
#include <set>
#include <vector>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "installer/INST_download.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"
#include "installer/INST_work_lock.h"

namespace {

// Main thread only: the routine that asks the question.
struct plan_state {
    INST_modified_file_asker asker = nullptr;
} state;

bool contains(const std::vector<std::string>& folders, const std::string& folder) {
    return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

bool is_known_version(const package_entry& entry, const std::string& sig) {
    for (const file_record& r : entry)
        if (r.sig_want == sig)
            return true;
    return false;
}

// The download fraction of every current record: the planned expanded size before it over the total.
void set_download_fractions(package_list& list) {
    double total = 0.0;
    for (const package_entry& entry : list)
        if (!entry.empty() && entry.back().plan_download)
            total += entry.back().expanded_kb;
    double before = 0.0;
    for (package_entry& entry : list) {
        if (entry.empty())
            continue;
        file_record& r = entry.back();
        r.download_fraction = total > 0.0 ? static_cast<float>(before / total) : 0.5f;
        if (r.plan_download)
            before += r.expanded_kb;
    }
}

// Removes the private expansion folders a killed run left in the folders of the copy's files.
void remove_unpack_leftovers(const package_list& list) {
    if (INST_install_folder.empty())
        return;
    std::set<std::string> folders;
    for (const package_entry& entry : list) {
        if (entry.empty())
            continue;
        std::string folder;
        FILE_parent_folder(folder, INST_install_folder + entry.back().path);
        folders.insert(folder);
    }
    for (const std::string& folder : folders)
        INST_remove_unpack_leftovers(folder);
}

} // namespace

void INST_set_modified_file_dialog(INST_modified_file_asker asker) { state.asker = asker; }

int INST_modified_file_dialog(const std::string& path, int gone) {
    if (!state.asker) {
        LOG_stream << "Nobody can be asked about the modified file " << path
                   << ": the installation is cancelled.\n";
        return INST_ANSWER_CANCEL;
    }
    const int answer = state.asker(path, gone);
    return answer >= INST_ANSWER_ACT && answer <= INST_ANSWER_KEEP_FOLDER ? answer : INST_ANSWER_CANCEL;
}

int INST_plan_install_actions() {
    install_failed = 0;
    package_list& list = INST_directory.packages;
    std::vector<std::string> act_on_every, keep_every;
    remove_unpack_leftovers(list);

    for (size_t e = 0; e < list.size(); ++e) {
        package_entry& entry = list[e];
        if (entry.empty())
            continue;
        file_record& r = entry.back();
        r.plan_download = 0;
        r.plan_delete = 0;
        if (!INST_record_is_wanted(static_cast<int>(e), static_cast<int>(entry.size() - 1)))
            continue;

        const std::string local = INST_install_folder + r.path;
        bool gone = r.sig_want == "GONE";
        const bool present = r.sig_have != "NONE";
        bool same = present && r.sig_have == r.sig_want;
        if (r.has_tile && !INST_tile_rect_has_selection(r.x0, r.y0, r.x1, r.y1)) {
            gone = true;
            same = false;
        }

        int act = 0;
        if (!present) {
            act = gone ? 0 : 1;
        } else if (same) {
            act = 0;
        } else if (is_known_version(entry, r.sig_have)) {
            act = 1;
        } else {
            std::string folder;
            FILE_parent_folder(folder, local);
            if (contains(act_on_every, folder)) {
                act = 1;
            } else if (contains(keep_every, folder)) {
                act = 0;
            } else {
                LOG_stream << "File: " << local << "  sig_want=" << r.sig_want << "  sig_have=" << r.sig_have
                           << "\n";
                LOG_stream.flush();
                switch (INST_modified_file_dialog(local, gone ? 1 : 0)) {
                case INST_ANSWER_ACT:
                    act = 1;
                    break;
                case INST_ANSWER_KEEP:
                    act = 0;
                    break;
                case INST_ANSWER_ACT_FOLDER:
                    act = 1;
                    act_on_every.push_back(folder);
                    break;
                case INST_ANSWER_KEEP_FOLDER:
                    act = 0;
                    keep_every.push_back(folder);
                    break;
                default:
                    return 0;
                }
            }
        }
        r.plan_download = act && !gone ? 1 : 0;
        r.plan_delete = act && gone ? 1 : 0;
    }

    set_download_fractions(list);
    return 1;
}
