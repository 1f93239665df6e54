// UTL_memory: checked allocation, the emergency reserve and the memory report.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Takes the 75 MiB reserve (once; a second call keeps the block already held) and installs
// MEM_new_handler as operator new's failure handler. Called early at start-up on the main thread.
void MEM_reserve_init();
// operator new's failure handler: gives the reserve back when this thread is the one that takes it (the
// memory-low flag is set and new retries); otherwise throws std::bad_alloc.
void MEM_new_handler();

// malloc that never returns null: on failure the reserve is given back (by this thread, or by the thread
// that took it first: its release is waited for) and malloc retried once; when that fails too,
// MEM_out_of_memory ends the program. Any thread.
void* MEM_checked_malloc(size_t size);
// malloc; a failure (null result) sets the memory-low flag. Any thread.
void* MEM_malloc_noting_failure(size_t size);
// True once the reserve was given back or MEM_malloc_noting_failure saw a failure.
bool MEM_is_low();
// Gives the reserve back if still held, then raises the fatal out-of-memory alert (kind 2).
[[noreturn]] void MEM_out_of_memory();

// Writes the reason to the log stream and the memory report to "MemoryLog.txt" in the executable's folder:
// created by the first report of the run, appended to by later ones; the report goes to standard output
// when the file cannot be opened. Runs on the calling thread, takes no lock.
void MEM_dump_info(const std::string& reason);
// The "Dump Memory Info" action: MEM_dump_info("Remote command (from plugin)").
void MEM_dump_info_action();
// Writes the whole report to `file`, then closes it (standard output is only flushed).
void MEM_write_report(FILE* file);

// A size as a number and a unit letter: above 14 GiB in 'G', above 1.4 MiB in 'M', above 1.4 KiB in 'K',
// else bytes 'B'. MEM_scale_bytes gives the number, MEM_scale_unit the letter.
uint64_t MEM_scale_bytes(uint64_t n);
char MEM_scale_unit(uint64_t n);

// Tests: the folder (ending in '/') that MemoryLog.txt is written to; "" restores the executable's folder.
void MEM_set_report_folder(const std::string& folder);
// Tests: `hook` runs on the thread that took the reserve, just before it frees it (null: none).
void MEM_set_release_hook(void (*hook)());
