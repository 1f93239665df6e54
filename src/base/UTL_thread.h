// UTL_thread: processors, critical sections, threads, the counting semaphore and the blocking queue.
//
// DESIGN: UTL_semaphore keeps its count in user space and touches the OS semaphore only when a thread
// must really sleep. The counter is the number of free units when positive, and minus the number of
// threads that are (about to be) asleep when negative, so the OS semaphore's count always equals the
// number of sleepers that a release has already counted. A timed-out sleeper withdraws its decrement;
// when a release counted it first, it takes the unit that release is posting instead of returning empty.
#pragma once
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>

// The number of processors online.
int UTL_cpu_count();

// Pins the calling thread to CPU 0 and returns its previous mask of the first 64 CPUs. Threads made later
// by UTL_create_thread keep the previous mask (a thread would otherwise inherit its maker's). *error is 0,
// or the errno of a refused change (the thread then keeps its mask). Once, at start-up, before threads.
uint64_t UTL_lock_to_first_cpu(int* error);

// A critical section: a recursive mutex (the owning thread may enter again), made by UTL_init_crit and
// unmade by UTL_delete_crit, which must find it unowned.
struct UTL_crit {
    std::optional<std::recursive_mutex> mutex;
};
void UTL_init_crit(UTL_crit* crit);
void UTL_delete_crit(UTL_crit* crit);
void UTL_enter_crit(UTL_crit* crit);
void UTL_leave_crit(UTL_crit* crit);

// A thread's start routine; the pointer it returns, read as an int, is the thread's exit code.
using UTL_thread_routine = void* (*)(void*);
// A started thread; 0 names no thread.
using UTL_thread_handle = unsigned long;

// Starts routine(context) on a new thread. On success the handle goes to *handle and *copy, and an id to
// *id. When the thread cannot be made, the fatal alert "\"CreateThread\" OS error" / "err=<code>" (kind
// 3, UTL_thread 109) is raised and *copy (and *handle) receive 0. Any pointer may be null.
void UTL_create_thread(UTL_thread_routine routine, void* context, UTL_thread_handle* handle,
                       unsigned long* id, UTL_thread_handle* copy);
// Waits for the thread in *copy to end and returns its exit code. A wait that fails (no thread, or the
// thread joining itself) writes "Wait on thread for cleanup failed with <error>.\n" to LOG_stream and
// returns -1 without waiting. `handle` is the first slot that UTL_create_thread filled; the wait is on
// `copy`.
int UTL_join_thread(UTL_thread_handle handle, UTL_thread_handle copy);
// Ends the calling thread with `code` (the stack unwinds through abi::__forced_unwind).
[[noreturn]] void UTL_exit_thread(int code);

// The counting semaphore (see DESIGN above). Made with an initial count of free units.
struct UTL_semaphore;
void UTL_sem_create(UTL_semaphore** out, int32_t initial);
void UTL_sem_destroy(UTL_semaphore* sem);
// Makes one unit available, waking one sleeper if there is one.
void UTL_sem_release(UTL_semaphore* sem);
// Takes one unit. timeout_ms 0: only when one is free, never blocking; -1: blocks without limit; other:
// blocks at most that many milliseconds. True when a unit was taken. A wait interrupted by a signal goes
// on with the same deadline.
bool UTL_sem_wait(UTL_semaphore* sem, int timeout_ms);
// The counter as it stands (free units, or minus the sleepers).
int32_t UTL_sem_counter(const UTL_semaphore* sem);

// The blocking queue of pointers. It owns its list nodes, never the items; a null item is an ordinary
// item, and a pop that finds nothing also gives null. The pool reaches into the fields directly.
struct THREAD_queue {
    UTL_crit lock;
    UTL_semaphore* semaphore = nullptr; // one unit per item
    std::list<void*> items;             // oldest first; touched only under `lock`
    int count = 0;                      // items.size(), under `lock`
};
// Throws std::bad_alloc when memory cannot be had.
THREAD_queue* THREAD_queue_create();
// Frees the queue and its nodes (not what the items point to). No thread may still use it. Null is ignored.
void THREAD_queue_destroy(THREAD_queue* queue);
// Appends the item at the back.
void THREAD_queue_push(THREAD_queue* queue, void* item);
// The oldest item, or null when none came within timeout_ms (0 polls, -1 waits for ever).
void* THREAD_queue_pop(THREAD_queue* queue, int timeout_ms);
