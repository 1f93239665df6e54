// UTL_work_queue: the bounded work-task queue.
#include "base/UTL_work_queue.h"

#include <cxxabi.h>

#include <atomic>

#include "base/UTL_progress.h"
#include "base/hl_thread.h"

namespace {

// How long the main thread sleeps on the done queue before it looks at posted fatal alerts again.
constexpr int wait_slice_ms = 100;

// The sum of every queue's in-flight count.
std::atomic<int> all_in_flight{0};

THREAD_CATCHES_FORCED_UNWIND void* work_queue_worker(void* p) {
    auto* queue = static_cast<UTL_work_queue*>(p);
    for (;;) {
        auto* task = static_cast<UTL_work_task*>(THREAD_queue_pop(queue->input, -1));
        if (!task)
            return nullptr;
        try {
            task->run();
        } catch (abi::__forced_unwind&) {
            throw;
        } catch (...) {
            // Posts the alert and, off the main thread, ends this one; the task stays with nobody.
            THREAD_post_unhandled();
            return nullptr;
        }
        THREAD_queue_push(queue->done, task);
        if (queue->signal_done)
            UTL_progress_signal();
    }
}

} // namespace

UTL_work_task::~UTL_work_task() = default;

UTL_work_queue* UTL_work_queue_create(int threads, int limit) {
    if (threads < 0)
        threads = 0;
    auto* queue = new UTL_work_queue;
    queue->input = THREAD_queue_create();
    queue->done = THREAD_queue_create();
    queue->limit = limit;
    queue->in_flight = 0;
    queue->handles.assign(threads, 0);
    queue->copies.assign(threads, 0);
    queue->ids.assign(threads, 0);
    for (int i = 0; i < threads; ++i)
        UTL_create_thread(work_queue_worker, queue, &queue->handles[i], &queue->ids[i], &queue->copies[i]);
    return queue;
}

bool UTL_work_queue_can_post(const UTL_work_queue* queue) { return queue->in_flight < queue->limit; }

void UTL_work_queue_post(UTL_work_queue* queue, UTL_work_task* task) {
    ++queue->in_flight;
    all_in_flight.fetch_add(1, std::memory_order_relaxed);
    THREAD_queue_push(queue->input, task);
}

UTL_work_task* UTL_work_queue_try_done(UTL_work_queue* queue) {
    auto* task = static_cast<UTL_work_task*>(THREAD_queue_pop(queue->done, 0));
    if (task) {
        --queue->in_flight;
        all_in_flight.fetch_sub(1, std::memory_order_relaxed);
    }
    return task;
}

UTL_work_task* UTL_work_queue_wait_done(UTL_work_queue* queue) {
    if (queue->in_flight < 1)
        return nullptr;
    UTL_work_task* task;
    if (THREAD_is_main()) {
        while (!(task = static_cast<UTL_work_task*>(THREAD_queue_pop(queue->done, wait_slice_ms))))
            THREAD_rethrow_posted(0);
    } else {
        task = static_cast<UTL_work_task*>(THREAD_queue_pop(queue->done, -1));
    }
    --queue->in_flight;
    all_in_flight.fetch_sub(1, std::memory_order_relaxed);
    return task;
}

int UTL_work_tasks_in_flight() { return all_in_flight.load(std::memory_order_relaxed); }

void UTL_work_queue_destroy(UTL_work_queue* queue) {
    if (!queue)
        return;
    for (size_t i = 0; i < queue->handles.size(); ++i)
        THREAD_queue_push(queue->input, nullptr);
    for (size_t i = 0; i < queue->handles.size(); ++i)
        UTL_join_thread(queue->handles[i], queue->copies[i]);
    THREAD_queue_destroy(queue->input);
    THREAD_queue_destroy(queue->done);
    all_in_flight.fetch_sub(queue->in_flight, std::memory_order_relaxed);
    delete queue;
}
