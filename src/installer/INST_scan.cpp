// INST_scan: the job's record filter, the signature scan, the totals and the tile selection.
#include "installer/INST_scan.h"

#include <algorithm>
#include <cstdint>

#include "base/APP_clock.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/UTL_thread.h"
#include "base/UTL_work_queue.h"
#include "installer/INST_globals.h"
#include "installer/checksum_task.h"

int INST_include_simulator = 0;
int INST_include_scenery = 0;
tile_grid INST_tile_selection;
tile_grid INST_offered_tiles;
float INST_total_download_kb = 0.0f;
float INST_total_expanded_kb = 0.0f;
int INST_files_to_install = 0;
int INST_second_file_count = 0;

namespace {

// Main thread only: the checksum queue of the running scan (null when none runs) and the bytes its
// tasks in flight are expected to read.
struct scan_state {
    UTL_work_queue* queue = nullptr;
    int64_t bytes_in_flight = 0;
    int cpus = 1;
} state;

// A checksum task takes up to ten entries, or entries up to 64 MiB, whichever comes first.
constexpr int batch_entries = 10;
constexpr int64_t batch_bytes = int64_t{64} << 20;
// Work kept queued between two polls: every processor has a task, and beyond that tasks are posted
// while the bytes in flight stay under 64 MiB a processor and the tasks under 32 a processor. That is
// enough to keep every core hashing through a slow frame, yet a cancel waits for little.
constexpr int tasks_per_cpu = 32;
constexpr int64_t bytes_per_cpu = int64_t{64} << 20;

// The bytes the current record of `entry` stands for: its expanded size when wanted, else 0 (the task
// skips it).
int64_t entry_bytes(int entry) {
    const package_entry& e = INST_directory.packages[static_cast<size_t>(entry)];
    if (e.empty() || !INST_record_is_wanted(entry, static_cast<int>(e.size()) - 1))
        return 0;
    return static_cast<int64_t>(static_cast<double>(e.back().expanded_kb) * 1024.0);
}

int64_t batch_bytes_of(int first, int end) {
    int64_t total = 0;
    for (int i = first; i < end; ++i)
        total += entry_bytes(i);
    return total;
}

bool room_for_more() {
    const UTL_work_queue* q = state.queue;
    if (q->in_flight < state.cpus)
        return true;
    return UTL_work_queue_can_post(q) && state.bytes_in_flight < bytes_per_cpu * state.cpus;
}

void take_back(UTL_work_task* done) {
    state.bytes_in_flight -= static_cast<checksum_task*>(done)->bytes;
    delete done;
}

void zero_totals() {
    INST_total_download_kb = 0.0f;
    INST_total_expanded_kb = 0.0f;
    INST_files_to_install = 0;
    INST_second_file_count = 0;
}

int rect_selected(const file_record& r) { return INST_tile_rect_has_selection(r.x0, r.y0, r.x1, r.y1); }

} // namespace

void INST_set_include_flags(int include_simulator, int include_scenery) {
    INST_include_simulator = include_simulator;
    INST_include_scenery = include_scenery;
}

job_filter INST_current_job_filter() {
    return {INST_include_simulator, INST_include_scenery, INST_selected_os};
}

int INST_record_is_wanted(int entry, int record) {
    return INST_record_is_wanted(entry, record, INST_current_job_filter());
}

int INST_record_is_wanted(int entry, int record, const job_filter& job) {
    const package_list& list = INST_directory.packages;
    if (entry < 0 || static_cast<size_t>(entry) >= list.size() || record < 0 ||
        static_cast<size_t>(record) >= list[static_cast<size_t>(entry)].size())
        return 0;
    const file_record& r = list[static_cast<size_t>(entry)][static_cast<size_t>(record)];
    if (!(r.has_tile ? job.include_scenery : job.include_simulator))
        return 0;
    return (job.selected_os == 0 || r.os == 0 || r.os == job.selected_os) ? 1 : 0;
}

int INST_scan_local_signatures(int* next, int mode, float* progress) {
    package_list& list = INST_directory.packages;
    const int count = static_cast<int>(list.size());

    if (!FILE_is_folder(INST_install_folder)) {
        INST_release_checksum_queue(); // a scan cut short must not write behind this one
        for (package_entry& entry : list)
            if (!entry.empty()) {
                entry.back().sig_have = INST_SIG_NONE;
                entry.back().matches = entry.back().sig_want == entry.back().sig_have ? 1 : 0;
            }
        return 1;
    }

    if (!state.queue) {
        state.cpus = std::max(1, UTL_cpu_count());
        state.queue = UTL_work_queue_create(state.cpus, tasks_per_cpu * state.cpus);
        state.bytes_in_flight = 0;
        LOG_stream << " Start of MD5 at " << APP_clock.elapsed << "\n";
    }
    if (*next < 0)
        *next = 0;
    // Finished tasks first: each one frees its place for the tasks posted below.
    while (UTL_work_task* done = UTL_work_queue_try_done(state.queue))
        take_back(done);
    while (*next < count && room_for_more()) {
        const int end = INST_checksum_batch_end(*next, mode);
        auto* task = new checksum_task(*next, end, mode);
        task->bytes = mode == 0 ? batch_bytes_of(*next, end) : 0;
        state.bytes_in_flight += task->bytes;
        UTL_work_queue_post(state.queue, task);
        *next = end;
    }

    if (progress)
        *progress = count > 0 ? static_cast<float>(std::min(*next, count)) / static_cast<float>(count) : 0.0f;

    if (*next >= count && state.queue->in_flight == 0) {
        UTL_work_queue_destroy(state.queue);
        state.queue = nullptr;
        LOG_stream << " End of MD5 at " << APP_clock.elapsed << "\n";
        return 1;
    }
    return 0;
}

int INST_checksum_batch_end(int first, int mode) {
    const int count = static_cast<int>(INST_directory.packages.size());
    const int last = std::min(count, first + batch_entries);
    if (mode != 0)
        return last;
    int end = first;
    int64_t bytes = 0;
    while (end < last) {
        const int64_t b = entry_bytes(end);
        if (end > first && bytes + b > batch_bytes)
            break;
        bytes += b;
        ++end;
    }
    return end;
}

void INST_scan_local_signatures_wait(int mode) {
    int next = 0;
    while (!INST_scan_local_signatures(&next, mode, nullptr))
        if (UTL_work_task* done = UTL_work_queue_wait_done(state.queue))
            take_back(done);
}

bool INST_release_checksum_queue() {
    if (!state.queue)
        return true;
    while (UTL_work_task* done = UTL_work_queue_wait_done(state.queue))
        take_back(done);
    UTL_work_queue_destroy(state.queue);
    state.queue = nullptr;
    return true;
}

void INST_compute_totals() {
    zero_totals();
    const package_list& list = INST_directory.packages;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].empty())
            continue;
        const file_record& r = list[i].back();
        const int wanted = INST_record_is_wanted(static_cast<int>(i), static_cast<int>(list[i].size()) - 1);
        if (!wanted)
            continue;
        const bool gone = r.sig_want == "GONE";
        if (!gone && !r.matches && (!r.has_tile || rect_selected(r))) {
            INST_total_download_kb += r.download_kb;
            INST_total_expanded_kb += r.expanded_kb;
            ++INST_files_to_install;
        }
        if (gone && r.matches)
            ++INST_second_file_count;
        if (r.has_tile && r.matches && rect_selected(r))
            ++INST_second_file_count;
    }
}

void INST_build_offered_tiles() {
    zero_totals();
    INST_offered_tiles = tile_grid{};
    for (const package_entry& entry : INST_directory.packages) {
        if (entry.empty() || !entry.back().has_tile)
            continue;
        const file_record& r = entry.back();
        for (int x = std::max(r.x0, 0); x <= std::min(r.x1, UTL_TILES_X - 1); ++x)
            for (int y = std::max(r.y0, 0); y <= std::min(r.y1, UTL_TILES_Y - 1); ++y)
                INST_offered_tiles.at(x, y) = 1;
    }
}

void INST_select_offered_tiles() { INST_tile_selection = INST_offered_tiles; }

void INST_clear_tile_selection() { INST_tile_selection = tile_grid{}; }

int INST_tile_rect_has_selection(int x0, int y0, int x1, int y1) {
    if (x0 > x1 || y0 > y1)
        return 0;
    for (int x = std::max(x0, 0); x <= std::min(x1, UTL_TILES_X - 1); ++x)
        for (int y = std::max(y0, 0); y <= std::min(y1, UTL_TILES_Y - 1); ++y)
            if (INST_tile_selection.at(x, y))
                return 1;
    return 0;
}
