// INST_activity: the installer's answer to the toolkit's busy query.
#include "installer/INST_activity.h"

#include <cstdint>

#include "base/UTL_progress.h"
#include "base/UTL_work_queue.h"
#include "base/http.h"
#include "installer/INST_download.h"
#include "installer/INST_expand_queue.h"
#include "installer/INST_wizard.h"
#include "platform/APP_time.h"
#include "ui/APP_frame.h"

namespace {

constexpr int64_t download_frame_us = 20000;

// What the download step leaves for the main thread to see: moves of the dispenser and the expansions.
struct download_marks {
    int next_index = 0;
    size_t retries = 0;
    int expansions = 0;
    bool operator==(const download_marks&) const = default;
};

download_marks marks_now() {
    return {INST_dispenser.next_index, INST_dispenser.retry_list.size(), INST_expansions_in_flight()};
}

// Main thread: the page the last query saw, and when it changed (APP_get_microseconds); the download
// marks and the progress signal count as the download loop last saw them.
struct activity_state {
    page_fn page = nullptr;
    int64_t changed_us = INT64_MIN / 2;
    download_marks marks;
    uint64_t signals = 0;
} state;

} // namespace

int INST_work_in_flight() {
    const int64_t now = APP_get_microseconds();
    if (current_page != state.page) {
        state.page = current_page;
        state.changed_us = now;
    }
    const int expansions = INST_expansions_in_flight();
    if (now - state.changed_us < 1'000'000 || UTL_work_tasks_in_flight() > expansions)
        return APP_ANIMATING;
    if (HTTP_transfers_running() > 0 || expansions > 0 || INST_wizard_animates())
        return APP_WORKING;
    return APP_IDLE;
}

bool INST_download_frame_goes_on(int64_t start_us) {
    const download_marks marks = marks_now();
    const bool moved = !(marks == state.marks);
    state.marks = marks;
    const int64_t left = download_frame_us - (APP_get_microseconds() - start_us);
    if (left <= 0)
        return false;
    if (!moved)
        state.signals = UTL_progress_wait(state.signals, left);
    else
        state.signals = UTL_progress_count();
    return APP_get_microseconds() - start_us < download_frame_us;
}
