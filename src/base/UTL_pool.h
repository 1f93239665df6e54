// UTL_pool: the worker pool that runs UTL_pool_task objects on threads started through THREAD_spawn.
#pragma once
#include <vector>

#include "base/UTL_thread.h"

// A unit of work for the pool.
class UTL_pool_task {
  public:
    virtual ~UTL_pool_task();
    // Does the work. `worker` is 1..n on a pool worker, -1 when run on the calling thread. A non-zero
    // result tells the pool to delete the task afterwards; with 0 the task belongs to whoever made it (and
    // the worker no longer touches it once run has returned).
    virtual int run(int worker) = 0;
    // A fixed text naming the kind of task.
    virtual const char* description() = 0;
};

struct UTL_thread_pool {
    std::vector<UTL_thread_handle> handles;
    std::vector<UTL_thread_handle> copies;
    std::vector<unsigned long> ids;
    THREAD_queue* tasks = nullptr; // UTL_pool_task pointers, oldest first; null stops one worker
};

// Makes a pool and starts n workers (n >= 0); each wants an OpenGL context (see THREAD_spawn). Null when
// the pool's memory cannot be had.
UTL_thread_pool* UTL_pool_create(int n);
// Puts one stop in front of every worker, joins them and frees the pool. Tasks still queued are neither
// run nor deleted. Null is ignored.
void UTL_pool_destroy(UTL_thread_pool* pool);
// Queues the task at the front (at_front != 0: it is the next to run) or at the back.
void UTL_pool_post(UTL_thread_pool* pool, UTL_pool_task* task, int at_front);
// The number of workers; 0 for a null pool.
int UTL_pool_worker_count(const UTL_thread_pool* pool);
