// UTL_progress: the signal of background work that finished something the main thread waits for.
//
// DESIGN: a worker (the HTTP I/O thread when a transfer ends, a work queue that asks for it when a task
// comes back) calls UTL_progress_signal, which calls the wake hook, so that a run loop sleeping between
// frames runs its next frame at once rather than at the end of its wait. The hook is read under a lock
// and must itself be safe to call from any thread. The signals are counted, so that a main thread with
// nothing to do until some work finishes can sleep until the next one (UTL_progress_wait).
#pragma once
#include <cstdint>

// Any thread: something finished.
void UTL_progress_signal();
// The function each signal calls (null: none). Main thread.
void UTL_progress_set_wake(void (*wake)());
// The number of signals so far.
uint64_t UTL_progress_count();
// Waits until the count differs from `seen` or `timeout_us` microseconds have passed; the count then.
uint64_t UTL_progress_wait(uint64_t seen, int64_t timeout_us);
