// APP_time: the high-resolution clock that the frame clock and the rate displays read.
#pragma once
#include <cstdint>

// Microseconds of the monotonic clock since the first call in the process (which returns exactly 0).
// Any thread may call it.
int64_t APP_get_microseconds();

// Test seam: while set, APP_get_microseconds returns `us` exactly as given (no base is taken off), so a
// test can step time at will. APP_clear_injected_microseconds goes back to the real clock.
void APP_inject_microseconds(int64_t us);
void APP_clear_injected_microseconds();
