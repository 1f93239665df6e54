// INST_scan: which records belong to the current job, the signature scan of the local copy, the totals
// to download and install, and the world-map tile selection.
//
// DESIGN: the scan is a per-frame step. Its state is the caller's next-entry index plus one checksum
// queue (a UTL_work_queue with a thread per processor), made on the first call of a scan and destroyed
// by the call that finishes it or by INST_release_checksum_queue. Tasks are sized by bytes (up to ten
// entries or up to 64 MiB, so each large file hashes on a core of its own); each poll first takes the
// finished tasks back without waiting, then posts until every processor has a task and enough bytes are
// queued to keep the cores busy until the next poll, so a frame never waits for a file. Each task writes only
// the records of its own entries; the main thread reads them once the scan has returned 1. Everything else
// here runs on the main thread.
#pragma once

#include "installer/UTL_installer.h"

// Whether the simulator's own files and the scenery files are part of the current job (both 0 at
// start). Written by INST_set_include_flags only, on the main thread.
extern int INST_include_simulator;
extern int INST_include_scenery;
// Sets both include flags.
void INST_set_include_flags(int include_simulator, int include_scenery);

// What INST_record_is_wanted filters by. A checksum task takes a copy when it is made, as it takes the
// install folder: the pages set the flags again at every frame while the scan's workers run.
struct job_filter {
    int include_simulator;
    int include_scenery;
    int selected_os;
};
// The filter as the include flags and INST_selected_os stand now.
job_filter INST_current_job_filter();

// The user's tile selection and the tiles the package list offers.
extern tile_grid INST_tile_selection;
extern tile_grid INST_offered_tiles;

// Written by INST_compute_totals, zeroed by INST_build_offered_tiles. Sizes in kilobytes.
extern float INST_total_download_kb;
extern float INST_total_expanded_kb;
extern int INST_files_to_install;
extern int INST_second_file_count;

// 1 when record `record` of entry `entry` of INST_directory belongs to the job: a scenery record (one
// with a tile rectangle) needs the include-scenery flag, any other the include-simulator flag, and its OS
// code must be 0, equal the selected OS code, or the selected code must be 0 (every system). 0 otherwise,
// also for indices outside the list.
int INST_record_is_wanted(int entry, int record);
// The same by the given filter.
int INST_record_is_wanted(int entry, int record, const job_filter& job);

// One step of the scan of the install folder's files; call once per frame with the same `next` (0 at
// the start of a scan) until it returns 1. `mode` 0 hashes (MD5), 1 only tests presence (see
// checksum_task.h for the signatures given). `progress` receives entries posted / entries (0 for an empty
// list). When the install folder is no existing folder, every entry's current record gets "NONE" and
// its matches flag at once, wanted or not, and the result is 1 without a queue. Returns 0 while tasks
// remain.
int INST_scan_local_signatures(int* next, int mode, float* progress);
// The whole scan at once, for pages that need the signatures before they draw: the same work and the
// same signatures as polling INST_scan_local_signatures from next 0, but the calling thread sleeps on
// the queue between posts instead of taking a core from the workers.
void INST_scan_local_signatures_wait(int mode);
// Where the checksum task that starts at entry `first` ends (one past its last entry): at most ten
// entries; in mode 0 also no more than 64 MiB of the current records' expanded sizes (wanted records
// only), except that a task always takes at least one entry, so a larger file is a task of its own.
int INST_checksum_batch_end(int first, int mode);

// Waits for every checksum task in flight, deletes it and destroys the queue; nothing then writes the
// records. Does nothing when no scan runs. Returns true (it serves as a page's cancel confirmation).
bool INST_release_checksum_queue();

// The four totals over the current records: a wanted record that is not "GONE", does not match and has
// no tile rectangle or a selected one adds its sizes and 1 file to install; a wanted "GONE" record that
// matches, and a wanted matching record with a selected tile rectangle, add 1 to the second count.
void INST_compute_totals();

// Zeroes the four totals and the offered tiles, then sets every offered cell that a current record's
// tile rectangle covers.
void INST_build_offered_tiles();
// Selection = offered tiles.
void INST_select_offered_tiles();
// Every selection cell 0.
void INST_clear_tile_selection();
// 1 when a selection cell with x0 <= x <= x1 and y0 <= y <= y1 is set; 0 for an empty rectangle. Cells
// outside the grid are never read.
int INST_tile_rect_has_selection(int x0, int y0, int x1, int y1);
