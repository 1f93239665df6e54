// APP_time: the high-resolution clock.
#pragma once
#include <cstdint>

// Microseconds since the first call (which gives 0), from the monotonic clock.
int64_t APP_get_microseconds();
