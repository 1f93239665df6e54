// INST_download: the download step that carries out the plan over the network, the expansion of each
// downloaded package into place, and the reset of the download state.
//
// DESIGN: the step is polled on the main thread: the installing pages call INST_download_step once (or a
// few times) per frame and no call blocks. The bytes move elsewhere: the HTTP client's I/O thread writes
// each transfer to its file, and finished downloads are expanded on the expansion queue
// (INST_expand_queue); the main thread only starts transfers, reads where they stand and applies what the
// queue hands back. There is one download slot per server of INST_servers, made the first time its server
// is served, and each call gives every slot whose retry time has come one poll of its HTTP transfer (caller
// key = slot index + 5). The dispenser hands out package indices in order. Whatever one server's copy of a
// package can make fail (the transfer, an archive that cannot be opened or read, a zip or 7z error, a
// failed check) benches its slot for 30 seconds and puts the package on a retry list; a slot wanting work
// takes new entries first, then the retry list's oldest package that its server has not failed 5 times; a
// package that failed 5 times on every server fails the install with the alert (whose first line, for a
// package whose transfer failed last, is "The installer cannot download a file.", and whose third is
// "File: " with the package's server and path, as nothing was extracted). A transfer that fails on this
// machine (its download file cannot be written, or no thread or descriptor is left) benches no server: it
// ends the install at once with the same first line, and the third names that download file in the work
// folder, whose disk it is. Each slot has a small pool of download files in the work folder,
// "<slot>-<n>.download" (at most 3, made as needed and written over for the whole run, so that the file
// system is not made to flush new files); a finished download is
// handed, with its file, to the expansion queue with the stage folder of its destination's folder (one per
// folder while it has jobs in flight), and the slot fetches its next package at once (it waits only while
// every file of its pool is being expanded). The call that takes a result back applies it to the job's own
// package and slot (record, sizes, benching, alerts: a server benched for an expansion keeps the transfer
// it is on) and frees the file. A plain package's MD5 is computed while its bytes arrive, on a thread of
// its own (INST_running_md5) that reads the download file up to what the I/O thread wrote; its
// job finishes the digest, and a package that passes is renamed into place (copied across file systems).
// A failure of this machine (an expansion that cannot write, a planned deletion that fails) raises one
// alert, sets `install_failed`, and ends the step at the end of that call, after waiting for the
// expansions still in flight; from then on no slot takes work. Once nothing is left to fetch and nothing
// is in flight, the step ends (a benched server is not waited for): the slot files and
// stage folders are removed and then the folders the deletions emptied, deepest first. Time is read
// through INST_download_clock, which tests replace.
//
// A slot, from the step's view:
// | state, package index | retry time  | its pool    | on the next call                                |
// |----------------------|-------------|-------------|-------------------------------------------------|
// | 0, k < count         | any         | -           | polls k's transfer again (a bench set for an    |
// |                      |             |             | expansion taken back starts when it ends)       |
// | 1, any               | reached     | a file free | takes the next index, else a retry it may take  |
// | 0, count             | reached     | a file free | takes a retry that waits, else stays idle       |
// | 1, or 0 with count   | not reached | -           | skipped (benched); the step may end without it  |
// | 1, or 0 with count   | any         | all busy    | skipped until one of its expansions is taken    |
// |                      |             |             | back                                            |
#pragma once
#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

// One server's download state; fields in this order.
struct download_slot {
    int package_index = 0;         // the entry worked on; the entry count once nothing is left
    int state = 1;                 // 1 wants a new work item, 0 busy with its package
    float size_in_progress = 0.0f; // KB of the current transfer received so far, rebuilt by every call
    float size_finished = 0.0f;    // KB of this slot's finished transfers
    float retry_time = 0.0f;       // the slot is served once INST_download_clock() reaches this
    std::string status_text;       // empty, or "Server is not responding normally." after a failure
    int expanding = 0;             // its finished downloads being expanded off the main thread
    int file = -1;                 // the pool file of its current transfer; -1 when none is taken
    std::vector<bool> files_busy;  // its pool of download files: true while a transfer or expansion has one
    struct INST_running_md5* md5 = nullptr; // the MD5 of its current plain transfer, computed as it arrives
};

// How often each server failed to deliver one package (the transfer, or a fault of its copy of the package),
// by slot index.
struct package_failures {
    std::vector<int> per_slot;
};

// The global download state; fields in this order.
struct download_dispenser {
    int next_index = 0;                       // the next entry not yet handed to any slot
    std::vector<download_slot> slots;         // one per server, in server order, made lazily
    float start_time = 0.0f;                  // clock at the last reset; the pages compute the rate from it
    float size_in_progress = 0.0f;            // KB: the slots' size in progress, rebuilt by every call
    float size_downloaded = 0.0f;             // KB of every finished transfer
    float size_expanded = 0.0f;               // expanded KB of every finished transfer
    std::list<int> retry_list;                // package indices of failed transfers, oldest first
    std::map<int, package_failures> failures; // by package index
    float size_expanding = 0.0f;              // KB: the download sizes of the packages being expanded
    float size_expanding_expanded = 0.0f;     // KB: their expanded sizes
};

// The dispenser (main thread only; the pages read its sizes, slots and start time).
extern download_dispenser INST_dispenser;

// What the step did last, for the pages' status line (main thread only):
// 0 deleting, 1 downloading, 2 skipped (already installed), 3 skipped (not needed).
extern int INST_last_action;
// The progress of the transfer polled last, 0.0 to 1.0 (-0.01 while its length is unknown).
extern float INST_last_fraction;
// The last component of the URL path of the item handled last.
extern std::string INST_last_file_name;
// 1 once an expansion failed; cleared when a plan starts (INST_plan_install_actions).
extern int install_failed;

// Folders below the install folder that deletions may have emptied, each with its trailing '/'. Grows for
// the whole run; the step removes the empty ones when it ends.
extern std::set<std::string> INST_emptied_folders;

// The clock of the dispenser: the frame clock's elapsed seconds, unless a test installed its own source
// (null restores the frame clock).
float INST_download_clock();
void INST_set_download_clock(float (*source)());

// One poll of every served slot (see DESIGN). Returns 1 when the step is over: nothing left to fetch or
// in flight, the retry list empty and the emptied folders removed; or the install failed during this call
// (an expansion, a planned deletion other than of a file already gone: alerted with the path and the
// error, "utils" 451; or a package no server could deliver); 0 while work remains. A planned path that ends
// in '/' raises the fatal alert ("utils", 513). When the step is over and actions are logged, the longest
// time between two calls since INST_reset_downloads is written to the log.
int INST_download_step();

// The package index slot `i` is to work on, given `n` entries. Slots up to i are made first ({0, 1, 0, 0,
// clock, ""}). A busy slot (state 0) keeps its package; one that wants work (or that was handed n while a
// retry waits) takes the next index (which then moves on, never past n), else the oldest package of the
// retry list that slot i has failed fewer than 5 times, else n. The slot becomes busy.
int INST_next_work_item(int i, int n);

// Slot i's transfer failed: its package goes to the back of the retry list, the slot wants work again
// once 30 seconds of the clock have passed, and its status text says "Server is not responding normally."
// (translated). Nothing for a slot that does not exist.
void INST_bench_slot(int i);

// The download suffix of entry `k`'s current record: ".zip" for archive kind 0x40, ".7z" for 0x80, else
// "" (also for an index outside the package list).
std::string INST_archive_suffix(int k);

// Puts one downloaded file into place with INST_expand_into_place (`expanded_kb` bounds each entry). A
// failure sets `install_failed` and raises the alert ("utils", 437, kind 1): "The installer cannot
// extract a file.", "Error: " + the error text (for a failed MD5, "The downloaded file does not have the
// checksum it should have."), "Compressed File: " + archive, "Destination: " + destination; for 20002 the
// line before it says which check failed. With "_log_actions" on, "EXPANDING
// file <destination>, with result=<code>." is logged. The downloaded file is deleted in every case.
int INST_expand_download(const std::string& archive, const std::string& destination,
                         const std::string& sig_want, float expanded_kb = 0.0f);

// Starts the download state afresh (before a download and when a page leaves one): first waits for the
// expansions in flight (recording what they installed, reporting nothing); then for each slot still
// holding a package, its HTTP transfer is dropped; every slot's download files and the stage folders are
// removed (nothing else in the install folder is touched); then no slots, next index 0, an empty retry
// list, the size counters 0 and the start time = the clock.
void INST_reset_downloads();
