// UTL_progress: the signal of finished background work (see the header).
#include "base/UTL_progress.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

struct progress_state {
    std::mutex lock;
    std::condition_variable signalled;
    void (*wake)() = nullptr;
    uint64_t count = 0;
};

// Never destroyed: workers may still signal while the program ends.
progress_state& state() {
    static progress_state* s = new progress_state;
    return *s;
}

} // namespace

void UTL_progress_signal() {
    progress_state& s = state();
    void (*wake)() = nullptr;
    {
        std::lock_guard<std::mutex> g(s.lock);
        wake = s.wake;
    }
    if (wake)
        wake();
    // Counted after the wake, so that a thread that sees the count sees what the wake did too.
    {
        std::lock_guard<std::mutex> g(s.lock);
        ++s.count;
    }
    s.signalled.notify_all();
}

void UTL_progress_set_wake(void (*wake)()) {
    progress_state& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.wake = wake;
}

uint64_t UTL_progress_count() {
    progress_state& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.count;
}

uint64_t UTL_progress_wait(uint64_t seen, int64_t timeout_us) {
    progress_state& s = state();
    std::unique_lock<std::mutex> g(s.lock);
    if (timeout_us > 0)
        s.signalled.wait_for(g, std::chrono::microseconds(timeout_us), [&] { return s.count != seen; });
    return s.count;
}
