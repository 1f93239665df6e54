// APP_time: CLOCK_MONOTONIC microseconds.
#include "platform/APP_time.h"

#include <time.h>

static int64_t now_us() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t APP_get_microseconds() {
    static const int64_t first = now_us();
    return now_us() - first;
}
