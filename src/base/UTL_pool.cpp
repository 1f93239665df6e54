// UTL_pool: the worker pool that runs UTL_pool_task objects on threads started through THREAD_spawn.
#include "base/UTL_pool.h"

#include <new>

#include "base/hl_thread.h"

namespace {

// Made by UTL_pool_create per worker, freed by the worker as it starts.
struct worker_start {
    UTL_thread_pool* pool;
    int index;
};

// The worker's loop. What escapes a task reaches THREAD_entry, which posts it and ends the thread.
int pool_worker(void* p) {
    auto* start = static_cast<worker_start*>(p);
    THREAD_queue* tasks = start->pool->tasks;
    const int index = start->index;
    delete start;
    for (;;) {
        UTL_sem_wait(tasks->semaphore, -1);
        UTL_enter_crit(&tasks->lock);
        while (tasks->count == 0) {
            UTL_leave_crit(&tasks->lock);
            UTL_sem_wait(tasks->semaphore, -1);
            UTL_enter_crit(&tasks->lock);
        }
        auto* task = static_cast<UTL_pool_task*>(tasks->items.front());
        tasks->items.pop_front();
        --tasks->count;
        UTL_leave_crit(&tasks->lock);
        if (!task)
            return 0;
        if (task->run(index) != 0)
            delete task;
    }
}

} // namespace

UTL_pool_task::~UTL_pool_task() = default;

UTL_thread_pool* UTL_pool_create(int n) {
    if (n < 0)
        n = 0;
    UTL_thread_pool* pool = nullptr;
    try {
        pool = new UTL_thread_pool;
        pool->tasks = THREAD_queue_create();
        pool->handles.assign(n, 0);
        pool->copies.assign(n, 0);
        pool->ids.assign(n, 0);
    } catch (std::bad_alloc&) {
        if (pool)
            THREAD_queue_destroy(pool->tasks);
        delete pool;
        return nullptr;
    }
    for (int i = 0; i < n; ++i) {
        auto* start = new worker_start{pool, i + 1};
        THREAD_spawn(pool_worker, start, &pool->handles[i], &pool->ids[i], &pool->copies[i], 1);
    }
    return pool;
}

void UTL_pool_destroy(UTL_thread_pool* pool) {
    if (!pool)
        return;
    const int n = UTL_pool_worker_count(pool);
    for (int i = 0; i < n; ++i)
        UTL_pool_post(pool, nullptr, 1);
    for (int i = 0; i < n; ++i)
        UTL_join_thread(pool->handles[i], pool->copies[i]);
    THREAD_queue_destroy(pool->tasks);
    delete pool;
}

void UTL_pool_post(UTL_thread_pool* pool, UTL_pool_task* task, int at_front) {
    UTL_enter_crit(&pool->tasks->lock);
    try {
        if (at_front)
            pool->tasks->items.push_front(task);
        else
            pool->tasks->items.push_back(task);
    } catch (...) {
        UTL_leave_crit(&pool->tasks->lock);
        throw;
    }
    ++pool->tasks->count;
    UTL_leave_crit(&pool->tasks->lock);
    UTL_sem_release(pool->tasks->semaphore);
}

int UTL_pool_worker_count(const UTL_thread_pool* pool) {
    return pool ? static_cast<int>(pool->handles.size()) : 0;
}
