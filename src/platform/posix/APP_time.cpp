// APP_time: CLOCK_MONOTONIC microseconds, with a seam through which tests inject time.
#include "platform/APP_time.h"

#include <atomic>
#include <time.h>

// The injected time; any thread (tests set it from the main thread, clock readers anywhere).
static struct {
    std::atomic<bool> injected{false};
    std::atomic<int64_t> us{0};
} time_seam;

static int64_t monotonic_us() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t APP_get_microseconds() {
    if (time_seam.injected.load(std::memory_order_acquire))
        return time_seam.us.load(std::memory_order_relaxed);
    // One reading serves as both the base and the value, so the first call gives exactly 0.
    const int64_t now = monotonic_us();
    static const int64_t base = now;
    return now - base;
}

void APP_inject_microseconds(int64_t us) {
    time_seam.us.store(us, std::memory_order_relaxed);
    time_seam.injected.store(true, std::memory_order_release);
}

void APP_clear_injected_microseconds() { time_seam.injected.store(false, std::memory_order_release); }
