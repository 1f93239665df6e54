// INST_activity: whether the installer has anything running, for the run loop's pacing (the toolkit asks
// through APP_set_busy_query once per frame and idles the window while the answer is APP_IDLE).
#pragma once
#include <cstdint>

// APP_ANIMATING within 1 s of a page change, or while a worker task other than an expansion is in flight
// (a scan, a disc copy or unpack: their queues are refilled once a frame); else APP_WORKING while an HTTP
// transfer is under way, an expansion is in flight or waiting, or the wizard's page animates (its progress
// bar); else APP_IDLE. Main thread.
int INST_work_in_flight();

// The pace of the installing pages' loop over the download step within one frame: true while less than
// 0.02 s have passed since `start_us` (APP_get_microseconds when the page call began). When the step's
// last call changed nothing the main thread acts on (no package taken, no retry queued, no expansion
// posted or taken back) and no work signalled since, it first sleeps until background work signals
// (UTL_progress) or the 0.02 s end, instead of calling the step again at once. Main thread.
bool INST_download_frame_goes_on(int64_t start_us);
