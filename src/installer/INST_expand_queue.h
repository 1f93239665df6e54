// INST_expand_queue: the download step's expansions, run off the main thread.
//
// DESIGN: a finished download becomes one job, expanded into place by INST_expand_into_place on a work
// queue (UTL_work_queue: a thread per processor, a bounded number in flight); jobs beyond the bound wait
// on the main thread and are posted as room comes. A job carries copies of everything it needs, so its
// thread reads no global; the main thread takes finished jobs back, without waiting, and applies them to
// the records itself. Main thread only (apart from the jobs' own work).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct INST_running_md5;

// One package to put into place, and what became of it.
struct INST_expansion {
    int slot = 0;            // the download slot that fetched it
    int package = 0;         // its package_list entry
    std::string archive;     // the downloaded file (kept: the slot writes a later download over it)
    std::string suffix;      // the package kind: ".zip", ".7z" or "" (plain)
    std::string destination; // the file's place in the copy
    std::string stage;       // the stage folder beside the destination, shared by its folder's jobs
    std::string sig_want;
    float expanded_kb = 0.0f;
    float download_kb = 0.0f; // the package's download size, for the pages' progress
    std::string url;          // where it came from, for messages
    int code = 0;             // after the run: 0, or the expansion's error
    std::string why;          // after a 20002: which check failed
    int file = 0;             // the index of `archive` in its slot's pool of download files
    // A plain package's MD5, computed while it downloaded: the job finishes it (`bytes` long) and owns it.
    INST_running_md5* md5 = nullptr;
    int64_t bytes = 0;
};

// Hands a job on (the queue is made by the first job).
void INST_expansion_post(const INST_expansion& job);
// A finished job in `out`, or false when none is ready. Waiting jobs are posted first, while there is room.
bool INST_expansion_take(INST_expansion& out);
// Jobs posted or waiting and not yet taken back.
int INST_expansions_in_flight();
// Runs every job posted or waiting to its end, frees the queue and returns the jobs, in the order they
// finished. Nothing happens (and nothing returns) when there is no queue.
std::vector<INST_expansion> INST_expansion_release();
