// INST_dvd_unpack: the disc install step, its queues and the clean-up after the last disc.
#include "installer/INST_dvd_unpack.h"

#include <cerrno>
#include <set>
#include <vector>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "base/UTL_thread.h"
#include "base/UTL_work_queue.h"
#include "installer/INST_download.h"
#include "installer/INST_globals.h"
#include "installer/dvd_unpack_task.h"

namespace {

constexpr int tasks_in_flight = 30;

// The two queues (null while no install runs) and the last task error. Main thread only.
struct dvd_unpack_state {
    UTL_work_queue* copy = nullptr;
    UTL_work_queue* extract = nullptr;
    int last_error = 0;
    std::string last_error_text;
} state;

bool log_actions() { return PREF_installer.log_actions != 0; }

// The current record of entry k, or null for an entry without one.
const file_record* current(int k) {
    const package_entry& e = INST_directory.packages[static_cast<size_t>(k)];
    return e.empty() ? nullptr : &e.back();
}

bool planned(int k) {
    const file_record* r = current(k);
    return r && r->plan_download;
}

void free_queues() {
    UTL_work_queue_destroy(state.copy);
    UTL_work_queue_destroy(state.extract);
    state.copy = nullptr;
    state.extract = nullptr;
}

} // namespace

int INST_dvd_unpack_step(int* next, int disc) {
    const int count = static_cast<int>(INST_directory.packages.size());
    if (!state.copy) {
        state.copy = UTL_work_queue_create(1, tasks_in_flight);
        state.extract = UTL_work_queue_create(UTL_cpu_count(), tasks_in_flight);
    }

    while (*next < count && !planned(*next))
        ++*next;

    const std::string work = INST_work_path("");
    while (*next < count && UTL_work_queue_can_post(state.copy)) {
        const file_record* r = current(*next);
        if (r && r->dvd != disc)
            break;
        if (r && r->plan_download)
            UTL_work_queue_post(state.copy, new dvd_unpack_task(*next, work));
        ++*next;
    }

    while (UTL_work_queue_can_post(state.extract)) {
        UTL_work_task* copied = UTL_work_queue_try_done(state.copy);
        if (!copied)
            break;
        UTL_work_queue_post(state.extract, copied);
    }

    while (UTL_work_task* done = UTL_work_queue_try_done(state.extract)) {
        state.last_error = done->result(state.last_error_text);
        delete done;
        if (state.last_error != 0)
            return 3;
    }

    const bool idle = state.copy->in_flight == 0 && state.extract->in_flight == 0;
    if (*next >= count && idle) {
        free_queues();
        return 1;
    }
    if (*next < count && idle && planned(*next) && current(*next)->dvd != disc)
        return 2;
    return 0;
}

int INST_take_last_error(std::string& out) {
    out = state.last_error_text;
    const int code = state.last_error;
    state.last_error_text.clear();
    state.last_error = 0;
    return code;
}

bool INST_release_dvd_queues() {
    if (!state.copy)
        return true;
    while (UTL_work_task* copied = UTL_work_queue_wait_done(state.copy))
        UTL_work_queue_post(state.extract, copied);
    while (UTL_work_task* done = UTL_work_queue_wait_done(state.extract))
        delete done;
    free_queues();
    return true;
}

void INST_cleanup_deleted_files() {
    std::set<std::string> folders;
    for (package_entry& entry : INST_directory.packages) {
        if (entry.empty() || !entry.back().plan_delete)
            continue;
        file_record& r = entry.back();
        const std::string local = INST_install_folder + r.path;
        INST_last_action = 0;
        FILE_clear_read_only(local);
        const int result = FILE_delete(local);
        if (log_actions() || (result != 0 && result != ENOENT))
            LOG_stream << "DELETING  file " << local << ", with result=" << result << ".\n";
        for (size_t slash = r.path.find('/'); slash != std::string::npos; slash = r.path.find('/', slash + 1))
            folders.insert(INST_install_folder + r.path.substr(0, slash + 1));
        r.matches = 0;
        r.sig_have = "NONE";
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        std::vector<std::string> names;
        std::vector<int> types;
        if (FILE_list_folder(*it, 0, names, types) > 0)
            continue;
        const int result = FILE_delete(*it);
        if (log_actions() || (result != 0 && result != ENOENT))
            LOG_stream << "cleanup: DELETING  file " << *it << ", with result=" << result << ".\n";
    }
}
