// APP_clock: the per-frame clock record and the split of seconds into hours, minutes and seconds.
#pragma once

struct frame_clock {
    long frame_count = 0;
    float elapsed = 0.0f; // real seconds since the clock's first call, advanced once per frame
};

// The clock the frame callback advances (main thread); other threads only read `elapsed`.
extern frame_clock APP_clock;

void APP_seconds_to_hms(float seconds, float* hours, float* minutes, float* secs);
