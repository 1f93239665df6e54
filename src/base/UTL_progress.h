// UTL_progress: the signal of background work that finished something the main thread waits for.
//
// DESIGN: a worker (the HTTP I/O thread when a transfer ends, a work queue that asks for it when a task
// comes back) calls UTL_progress_signal, which calls the wake hook, so that a run loop sleeping between
// frames runs its next frame at once rather than at the end of its wait. The hook is read under a lock
// and must itself be safe to call from any thread.
#pragma once

// Any thread: something finished.
void UTL_progress_signal();
// The function each signal calls (null: none). Main thread.
void UTL_progress_set_wake(void (*wake)());
