// APP_clock: interim clock.
#include "base/APP_clock.h"

frame_clock APP_clock;

void APP_seconds_to_hms(float seconds, float* hours, float* minutes, float* secs) {
    *hours = static_cast<float>(static_cast<int>(seconds / 3600.0f));
    *minutes = static_cast<float>(static_cast<int>(seconds / 60.0f)) - *hours * 60.0f;
    *secs = seconds - *hours * 3600.0f - *minutes * 60.0f;
}
