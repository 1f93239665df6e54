// UTL_progress: the signal of finished background work (see the header).
#include "base/UTL_progress.h"

#include <mutex>

namespace {

struct progress_state {
    std::mutex lock;
    void (*wake)() = nullptr;
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
}

void UTL_progress_set_wake(void (*wake)()) {
    progress_state& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.wake = wake;
}
