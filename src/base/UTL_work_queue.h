// UTL_work_queue: the bounded work-task queue: tasks run on the queue's own threads and come back to the
// thread that posted them, with a limit on how many are in flight.
//
// DESIGN: the poster (one thread, usually the main one) owns a task until it posts it and again once it
// takes it back; in between exactly one worker runs it. The queue never deletes a task. Only the poster
// touches the limit and the in-flight count. An exception escaping a task's run is posted as a fatal
// alert (as on every thread path) and ends that worker, so the task never comes back: the main thread
// therefore never waits for a task without also reporting posted fatal alerts, which end the program.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/UTL_thread.h"

class UTL_work_task {
  public:
    virtual ~UTL_work_task();
    // The whole work, on a worker thread.
    virtual void run() = 0;
    // After the task came back: its status and a message text.
    virtual int result(std::string& message) = 0;
};

struct UTL_work_queue {
    THREAD_queue* input = nullptr; // tasks to run; null stops one worker
    THREAD_queue* done = nullptr;  // finished tasks
    int32_t limit = 0;             // most tasks in flight
    int32_t in_flight = 0;         // posted and not yet taken back
    bool signal_done = false;      // each finished task signals UTL_progress (set before the first post)
    std::vector<UTL_thread_handle> handles;
    std::vector<UTL_thread_handle> copies;
    std::vector<unsigned long> ids;
};

// Makes the queue and starts `threads` workers (through UTL_create_thread: they never get an OpenGL
// context). `limit` is the most tasks in flight that UTL_work_queue_can_post allows.
UTL_work_queue* UTL_work_queue_create(int threads, int limit);
// In flight < limit.
bool UTL_work_queue_can_post(const UTL_work_queue* queue);
// Counts the task in flight and queues it. The queue does not refuse: check UTL_work_queue_can_post first.
void UTL_work_queue_post(UTL_work_queue* queue, UTL_work_task* task);
// A finished task, or null at once when none is waiting (in flight then stays as it was).
UTL_work_task* UTL_work_queue_try_done(UTL_work_queue* queue);
// Null at once when nothing is in flight; otherwise waits for the next finished task. On the main thread
// it waits in slices of 100 ms and reports posted fatal alerts between them (which end the program), so
// a worker that died cannot hang it.
UTL_work_task* UTL_work_queue_wait_done(UTL_work_queue* queue);
// Tasks posted and not yet taken back, over every queue of the process (any thread may ask). Tasks left
// in a destroyed queue no longer count.
int UTL_work_tasks_in_flight();
// Stops the workers after every task already queued has run, joins them and frees the queue. Tasks still
// in the done queue are not deleted (drain it first). Null is ignored.
void UTL_work_queue_destroy(UTL_work_queue* queue);
