// INST_expand_queue: expansions on a work queue (see the header).
#include "installer/INST_expand_queue.h"

#include <cstdlib>
#include <deque>

#include "base/UTL_thread.h"
#include "base/UTL_work_queue.h"
#include "installer/INST_expand.h"
#include "installer/INST_running_md5.h"

namespace {

class expansion_task : public UTL_work_task {
  public:
    explicit expansion_task(const INST_expansion& job) : job_(job) {}
    void run() override {
        std::string md5;
        if (job_.md5) {
            // A file that cannot be read back is this machine's failure, as for any other read.
            job_.code = INST_running_md5_finish(job_.md5, job_.bytes, md5);
            job_.md5 = nullptr;
            if (job_.code != 0)
                return;
        }
        job_.code = INST_expand_into_place(job_.archive, job_.suffix, job_.destination, job_.sig_want,
                                           job_.expanded_kb, &job_.why, job_.stage, true, md5);
    }
    int result(std::string& message) override {
        message = job_.why;
        return job_.code;
    }
    const INST_expansion& job() const { return job_; }

  private:
    INST_expansion job_;
};

// Main thread only.
struct queue_state {
    UTL_work_queue* queue = nullptr;
    std::deque<INST_expansion> waiting; // jobs not posted yet: the queue was full
} state;

// Jobs in flight per processor: enough to keep every thread busy while finished ones wait to be taken.
constexpr int jobs_per_thread = 2;

void post_waiting() {
    while (!state.waiting.empty() && UTL_work_queue_can_post(state.queue)) {
        UTL_work_queue_post(state.queue, new expansion_task(state.waiting.front()));
        state.waiting.pop_front();
    }
}

INST_expansion take_back(UTL_work_task* task) {
    INST_expansion job = static_cast<expansion_task*>(task)->job();
    delete task;
    return job;
}

} // namespace

void INST_expansion_post(const INST_expansion& job) {
    if (!state.queue) {
        static const bool exit_hook = std::atexit([] { INST_expansion_release(); }) == 0;
        (void)exit_hook; // no thread may still write into the copy while the program ends
        const int threads = UTL_cpu_count() > 0 ? UTL_cpu_count() : 1;
        state.queue = UTL_work_queue_create(threads, threads * jobs_per_thread);
        state.queue->signal_done = true; // the download step waits for results within its frame
    }
    state.waiting.push_back(job);
    post_waiting();
}

bool INST_expansion_take(INST_expansion& out) {
    if (!state.queue)
        return false;
    post_waiting();
    UTL_work_task* task = UTL_work_queue_try_done(state.queue);
    if (!task)
        return false;
    out = take_back(task);
    post_waiting();
    return true;
}

int INST_expansions_in_flight() {
    return state.queue ? state.queue->in_flight + static_cast<int>(state.waiting.size()) : 0;
}

std::vector<INST_expansion> INST_expansion_release() {
    std::vector<INST_expansion> jobs;
    if (!state.queue)
        return jobs;
    for (;;) {
        post_waiting();
        UTL_work_task* task = UTL_work_queue_wait_done(state.queue);
        if (!task)
            break;
        jobs.push_back(take_back(task));
    }
    UTL_work_queue_destroy(state.queue);
    state.queue = nullptr;
    return jobs;
}
