// INST_activity: whether the installer has anything running, for the run loop's pacing (the toolkit asks
// through APP_set_busy_query once per frame and idles the window while the answer is 0).
#pragma once

// 1 while a worker task is in flight on any work queue (scan, expansion, disc copy or unpack), an HTTP
// transfer is under way, or the wizard's page animates (its progress bar, or a page change in the last
// frame); else 0. Main thread.
int INST_work_in_flight();
