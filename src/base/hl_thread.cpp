// hl_thread: the main-thread identity, the worker pool, asynchronous calls and exceptions from threads.
#include "base/hl_thread.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <new>
#include <pthread.h>
#include <string>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/UTL_memory.h"
#include "base/exce_class.h"

std::atomic<bool> threaded_avail{false};

namespace {

void no_make_current(void*) {}
void* no_main_context() { return nullptr; }
int no_worker_context(void*) { return 0; }
void threaded_gl_off() { threaded_avail = false; }

// Module state. main_id, started and the queue pointers are written by THREAD_init and THREAD_exit and
// read by any thread; pool and runloop are made and freed by the main thread (or by the thread that ends
// the program); gl is set at start-up before any thread is spawned.
struct thread_state {
    std::atomic<unsigned long> main_id{0};
    std::atomic<bool> started{false};
    std::atomic<THREAD_queue*> nonfatal{nullptr};
    std::atomic<THREAD_queue*> fatal{nullptr};
    std::atomic<UTL_thread_pool*> pool{nullptr};
    THREAD_queue* runloop = nullptr;
    THREAD_gl_hooks gl{no_main_context, no_make_current, no_worker_context, threaded_gl_off};
} state;

// Lives on the starter's stack until the new thread pushes onto start_queue.
struct spawn_block {
    THREAD_routine routine;
    void* argument;
    THREAD_queue* start_queue;
    int gl_wanted;
    void* context; // window 0's OpenGL context, to share objects with
};

// A decimal integer as atoi reads it, saturated to the int range; text that is no number gives 0.
int parse_saturated(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT_MAX} + 1);
    value = negative ? -value : std::min<int64_t>(value, INT_MAX);
    return static_cast<int>(value);
}

void delete_queued_exceptions(THREAD_queue* queue) {
    UTL_enter_crit(&queue->lock);
    for (void* item : queue->items)
        delete static_cast<exce_class*>(item);
    queue->items.clear();
    queue->count = 0;
    UTL_leave_crit(&queue->lock);
}

} // namespace

void THREAD_set_gl_hooks(const THREAD_gl_hooks& hooks) {
    state.gl.main_context = hooks.main_context ? hooks.main_context : no_main_context;
    state.gl.make_current = hooks.make_current ? hooks.make_current : no_make_current;
    state.gl.init_worker_context = hooks.init_worker_context ? hooks.init_worker_context : no_worker_context;
    state.gl.setup_failed_dialog = hooks.setup_failed_dialog ? hooks.setup_failed_dialog : threaded_gl_off;
}

void THREAD_init() {
    if (OPT_has("--lock_main_thread")) {
        int error = 0;
        uint64_t previous = UTL_lock_to_first_cpu(&error);
        if (error == 0)
            LOG_stream << "Thread affinity was " << previous << " is now 1.\n";
        else
            LOG_stream << "Thread affinity was " << previous << "; setting it to 1 failed with " << error
                       << ".\n";
    }
    state.main_id = pthread_self();
    state.nonfatal = THREAD_queue_create();
    state.fatal = THREAD_queue_create();
    state.started = true;
}

void THREAD_start_workers() {
    int cpus = UTL_cpu_count();
    LOG_stream << "CPU count        : " << cpus << "\n";
    int n = cpus;
    if (OPT_has("--num_workers")) {
        int value = parse_saturated(OPT_get("--num_workers"));
        n = value == INT_MAX ? INT_MAX : value + 1;
    }
    int workers = 0;
    if (threaded_avail)
        workers = n <= 1 ? 1 : std::min(n - 1, 32);
    state.pool = UTL_pool_create(workers);
    state.runloop = THREAD_queue_create();
}

bool THREAD_started() { return state.started; }

bool THREAD_is_main() {
    unsigned long main = state.main_id;
    return main != 0 && pthread_equal(static_cast<pthread_t>(main), pthread_self());
}

int THREAD_worker_count() { return UTL_pool_worker_count(state.pool); }

THREAD_call::THREAD_call(int (*fn)(void*), void* arg)
    : completion(THREAD_queue_create()), function(fn), argument(arg) {}

THREAD_call::~THREAD_call() { THREAD_queue_destroy(completion); }

int THREAD_call::run(int worker) {
    (void)worker;
    result = function(argument);
    // After this push the poster owns the call again: nothing here may touch it.
    THREAD_queue_push(completion, this);
    return 0;
}

const char* THREAD_call::description() { return "THREAD_call async call"; }

THREAD_call* THREAD_call_start(int (*function)(void*), void* argument) {
    auto* call = new THREAD_call(function, argument);
    UTL_thread_pool* pool = state.pool;
    if (UTL_pool_worker_count(pool) > 0)
        UTL_pool_post(pool, call, 1);
    else
        call->run(-1);
    return call;
}

bool THREAD_call_wait(THREAD_call* call, int timeout_ms) {
    THREAD_rethrow_posted(0);
    if (THREAD_worker_count() == 0)
        return true;
    bool back = THREAD_queue_pop(call->completion, timeout_ms) != nullptr;
    THREAD_rethrow_posted(0);
    return back;
}

int THREAD_call_finish(THREAD_call* call) {
    THREAD_rethrow_posted(0);
    int result = call->result;
    delete call;
    return result;
}

void THREAD_spawn(THREAD_routine routine, void* argument, UTL_thread_handle* handle, unsigned long* id,
                  UTL_thread_handle* copy, int want_gl) {
    spawn_block block{routine, argument, nullptr, want_gl && threaded_avail ? 1 : 0, nullptr};
    if (block.gl_wanted) {
        block.context = state.gl.main_context();
        if (!block.context) {
            block.gl_wanted = 0;
            state.gl.setup_failed_dialog();
        }
    }
    block.start_queue = THREAD_queue_create();
    const bool shared = block.gl_wanted != 0;
    // The new thread's context can share with ours only while ours is current nowhere.
    if (shared)
        state.gl.make_current(nullptr);

    UTL_thread_handle h = 0, c = 0;
    unsigned long i = 0;
    UTL_create_thread(THREAD_entry, &block, &h, &i, &c);
    if (c)
        THREAD_queue_pop(block.start_queue, -1);
    THREAD_queue_destroy(block.start_queue);
    if (handle)
        *handle = h;
    if (id)
        *id = i;
    if (copy)
        *copy = c;

    if (shared && !block.gl_wanted)
        state.gl.setup_failed_dialog();
    if (shared)
        state.gl.make_current(block.context);
}

THREAD_CATCHES_FORCED_UNWIND void* THREAD_entry(void* p) {
    auto* block = static_cast<spawn_block*>(p);
    THREAD_queue* start_queue = block->start_queue;
    bool starter_waiting = true;
    // After this the block and the start queue may be gone.
    auto release_starter = [&] {
        if (starter_waiting) {
            starter_waiting = false;
            THREAD_queue_push(start_queue, nullptr);
        }
    };
    try {
        if (block->gl_wanted && !state.gl.init_worker_context(block->context))
            block->gl_wanted = 0;
        THREAD_routine routine = block->routine;
        void* argument = block->argument;
        release_starter();
        return reinterpret_cast<void*>(static_cast<intptr_t>(routine(argument)));
    } catch (abi::__forced_unwind&) {
        release_starter();
        throw;
    } catch (...) {
        release_starter();
        THREAD_post_unhandled();
    }
    return nullptr;
}

THREAD_CATCHES_FORCED_UNWIND void THREAD_post_unhandled() {
    try {
        throw;
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (exce_class& e) {
        e.make_fatal();
        THREAD_post_exception(e);
    } catch (std::bad_alloc&) {
        MEM_out_of_memory();
    } catch (std::exception& e) {
        exce_class unhandled("Caught an unhandled C++ exception", e.what(), "", "", "hl_thread", 257, 3);
        THREAD_post_exception(unhandled);
    } catch (...) {
        exce_class unhandled("Caught an unhandled unknown exception", "", "", "", "hl_thread", 259, 3);
        THREAD_post_exception(unhandled);
    }
}

void THREAD_post_exception(exce_class& e) {
    if (e.kind < 1 || e.kind > 3)
        return;
    THREAD_queue* queue = e.kind == 1 ? state.nonfatal.load() : state.fatal.load();
    if (!queue) {
        // Nobody would ever read it: show (and for a fatal kind, end) here.
        e.report();
        return;
    }
    THREAD_queue_push(queue, new exce_class(e));
    if (e.kind >= 2 && !THREAD_is_main())
        UTL_exit_thread(0);
}

void THREAD_rethrow_posted(int all) {
    THREAD_queue* queues[2] = {state.fatal, all ? state.nonfatal.load() : nullptr};
    for (THREAD_queue* queue : queues) {
        if (!queue)
            continue;
        while (void* item = THREAD_queue_pop(queue, 0)) {
            std::unique_ptr<exce_class> e(static_cast<exce_class*>(item));
            e->report();
        }
    }
}

THREAD_queue* THREAD_exception_queue(int fatal) { return fatal ? state.fatal.load() : state.nonfatal.load(); }

void THREAD_exit() {
    UTL_pool_destroy(state.pool.exchange(nullptr));
    if (THREAD_queue* runloop = state.runloop) {
        state.runloop = nullptr;
        if (THREAD_queue_pop(runloop, 0)) {
            std::printf("WARNING: runloop not empty.\n");
            std::fflush(stdout);
        }
        THREAD_queue_destroy(runloop);
    }
    for (std::atomic<THREAD_queue*>* slot : {&state.nonfatal, &state.fatal}) {
        if (THREAD_queue* queue = slot->exchange(nullptr)) {
            delete_queued_exceptions(queue);
            THREAD_queue_destroy(queue);
        }
    }
    state.started = false;
    LOG_stream << "Clean exit from threads.\n";
}
