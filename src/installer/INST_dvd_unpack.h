// INST_dvd_unpack: the per-frame step that installs the planned packages from the discs, and the clean-up
// that makes the plan's deletions after the last disc.
//
// DESIGN: two work queues carry dvd_unpack_tasks: the copy queue (1 thread, 30 in flight) reads the disc
// one file at a time; the extraction queue (a thread per processor, 30 in flight) puts the files into
// place. Both are made by the first step of an install and freed when it ends (result 1) or by
// INST_release_dvd_queues. The main thread posts, hands copied tasks from the first queue to the second
// and collects them, all without waiting, so a frame never waits for the disc. The caller keeps the next
// entry index and says which disc is in the drive. The last task error is main-thread state.
//
// One call of INST_dvd_unpack_step(next, disc):
// | step | what                                                                                        |
// |------|---------------------------------------------------------------------------------------------|
// | 1    | make the queues when there are none                                                         |
// | 2    | skip entries whose current record is not planned for download                               |
// | 3    | post planned entries to the copy queue while it has room, up to the first entry of another disc |
// | 4    | hand copied tasks to the extraction queue while it has room                                  |
// | 5    | collect extracted tasks into the last error; a failed one ends the call with 3               |
// | 6    | every entry passed and nothing in flight: free both queues, 1                               |
// | 7    | nothing in flight and the next planned entry lies on another disc: 2; else 0               |
#pragma once
#include <string>

// 0 working; 1 all done (queues freed); 2 the next planned package lies on another disc (call again with
// that disc's number once it is in the drive); 3 a task failed (INST_take_last_error gives its code and
// text; later calls collect the tasks still in flight). `next` is the caller's entry index, 0 at the start
// of an install; `disc` the DVD number of the disc in the drive.
int INST_dvd_unpack_step(int* next, int disc);

// The last collected task's error code (0 for none) with its English text in `out`; both are cleared.
int INST_take_last_error(std::string& out);

// Lets every task in flight finish: tasks still on the copy queue are copied and then extracted, tasks on
// the extraction queue are extracted, and each is deleted. Then both queues are freed. Does nothing when
// no install runs. Returns true (it serves as a page's cancel confirmation); once it returns, no task
// writes anything.
bool INST_release_dvd_queues();

// Makes the plan's deletions: each current record planned for deletion has its file deleted (read-only
// cleared first), its matches flag 0 and its sig_have "NONE", whatever the deletion gave; then the folders
// those files lay in, up to the install folder, are removed deepest first when they list empty. With the
// installer logging its actions each deletion is logged ("DELETING  file ...", "cleanup: DELETING  file
// ..."); a failed one is logged always, and the clean-up goes on.
void INST_cleanup_deleted_files();
