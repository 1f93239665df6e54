// hl_thread: the main-thread identity, the worker pool, asynchronous calls and exceptions from threads.
//
// DESIGN: the main thread owns the window, OpenGL and every alert. Work runs on the pool's workers (only
// while threaded OpenGL is on; otherwise calls run at once on the caller) and on the work queues'
// threads. An alert raised off the main thread never shows there: it is copied onto one of two queues
// (fatal, non-fatal), and a fatal one ends the raising thread at once. The main thread reports the fatal
// queue whenever it waits for or finishes a call, whenever it waits for a work queue, and once per frame;
// a fatal report ends the program. Every catch-all on a thread path lets abi::__forced_unwind (the unwind
// of UTL_exit_thread) through first.
#pragma once
#include <atomic>

#include "base/UTL_pool.h"
#include "base/UTL_thread.h"

class exce_class;

// For functions that catch abi::__forced_unwind: that unwind carries no exception object, and UBSan's
// null check would take the handler's reference binding for a null reference.
#define THREAD_CATCHES_FORCED_UNWIND __attribute__((no_sanitize("null")))

// Threaded OpenGL: the pool gets workers and threads may share window 0's context only while it is on.
// Off by default; the OpenGL probe sets it, and a failed context setup turns it off.
extern std::atomic<bool> threaded_avail;

// The OpenGL steps of starting a thread, filled in by the toolkit. A null member keeps its default: no
// context, no-op make-current, a worker context that always fails, and a failed-setup step that turns
// threaded_avail off.
struct THREAD_gl_hooks {
    void* (*main_context)() = nullptr;                // window 0's OpenGL context, null when none
    void (*make_current)(void* context) = nullptr;    // makes `context` current here (null releases it)
    int (*init_worker_context)(void* main) = nullptr; // 1 when this thread now has a context sharing `main`
    void (*setup_failed_dialog)() = nullptr;          // turns threaded OpenGL off and tells the user
};
void THREAD_set_gl_hooks(const THREAD_gl_hooks& hooks);

// Once at start-up, on the main thread: "--lock_main_thread" pins this thread to CPU 0 (logged as
// "Thread affinity was <mask> is now 1.\n"); remembers the main thread, makes the exception queues and
// sets the started flag.
void THREAD_init();
// After THREAD_init: logs "CPU count        : <n>\n" and makes the pool, with min(max(n - 1, 1), 32)
// workers while threaded OpenGL is on (n = "--num_workers" + 1, else the CPU count), else with none.
void THREAD_start_workers();
// True between THREAD_init and THREAD_exit.
bool THREAD_started();
// True on the thread that called THREAD_init.
bool THREAD_is_main();
// The pool's worker count (0 without a pool).
int THREAD_worker_count();

// An asynchronous call of function(argument) on the pool. The result is 0 until it has run.
class THREAD_call : public UTL_pool_task {
  public:
    THREAD_call(int (*function)(void*), void* argument);
    ~THREAD_call() override;
    // result = function(argument), then hands the call back through its completion queue; returns 0.
    int run(int worker) override;
    const char* description() override;

    THREAD_queue* completion;
    int (*function)(void*);
    void* argument;
    int result = 0;
};
// Makes a call. With pool workers it is queued at the front (the most recent call runs next); without,
// it runs here at once and is finished on return.
THREAD_call* THREAD_call_start(int (*function)(void*), void* argument);
// Reports posted fatal exceptions; true at once without workers; otherwise waits at most timeout_ms
// (-1: for ever) for the call to come back, reports again and tells whether it came back.
bool THREAD_call_wait(THREAD_call* call, int timeout_ms);
// Reports posted fatal exceptions, deletes the call and returns its result. Only after THREAD_call_wait
// gave true.
int THREAD_call_finish(THREAD_call* call);

// A thread body started by THREAD_spawn; its result is the thread's exit code.
using THREAD_routine = int (*)(void*);
// Starts routine(argument) on a new thread through THREAD_entry and returns once it has begun. With
// want_gl (and threaded OpenGL on) the thread gets a context sharing window 0's; the caller's context is
// released meanwhile and made current again after. Out slots as UTL_create_thread.
void THREAD_spawn(THREAD_routine routine, void* argument, UTL_thread_handle* handle, unsigned long* id,
                  UTL_thread_handle* copy, int want_gl);
// The body of every spawned thread: the OpenGL setup, then the routine; whatever escapes it is posted as
// a fatal alert (see THREAD_post_unhandled) and the thread ends with exit code 0.
void* THREAD_entry(void* spawn_block);
// Called inside a catch handler on a thread path: rethrows abi::__forced_unwind, otherwise posts the
// exception being handled as fatal: an exce_class with kind 3; std::bad_alloc through MEM_out_of_memory;
// another std::exception as "Caught an unhandled C++ exception" + what() (hl_thread 257); anything else
// as "Caught an unhandled unknown exception" (hl_thread 259). Off the main thread it does not return.
void THREAD_post_unhandled();

// Kind 1: a copy goes onto the non-fatal queue. Kinds 2, 3: a copy goes onto the fatal queue, then a
// thread other than the main one ends at once (exit code 0). Kind 0: nothing. Before THREAD_init (no
// queues) the exception is reported where it stands.
void THREAD_post_exception(exce_class& e);
// Main thread: reports (exce_class::report) and deletes every queued fatal exception, then with all != 0
// the non-fatal ones. A fatal report ends the program. The frame loop calls it with 0 once per frame.
void THREAD_rethrow_posted(int all);
// The fatal (fatal != 0) or non-fatal exception queue of exce_class copies; null when not started.
THREAD_queue* THREAD_exception_queue(int fatal);

// At program end: destroys the pool (joining its workers), the run-loop queue and both exception queues
// with the exceptions still in them, clears the started flag and logs "Clean exit from threads.\n".
void THREAD_exit();
