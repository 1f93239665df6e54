// INST_fetch_limits: transfer byte caps and the retry pacing of the server-list and directory fetches.
#include "installer/INST_fetch_limits.h"

#include <algorithm>

#include "installer/INST_download.h"

namespace {

constexpr float first_wait = 1.0f;
constexpr float longest_wait = 30.0f;

struct pacing {
    float wait = 0.0f;      // the wait after the last failure; 0 after a success or before any try
    float failed_at = 0.0f; // INST_download_clock seconds
    float next_try = 0.0f;
};

// One pacing per fetch kind; main thread only.
pacing paced[2];

} // namespace

int64_t INST_package_byte_cap(float download_kb) {
    if (!(download_kb > 0.0f))
        return int64_t{4} << 30;
    return static_cast<int64_t>(static_cast<double>(download_kb) * 2000.0) + (int64_t{1} << 20);
}

bool INST_fetch_due(fetch_kind kind) {
    // A clock that went back (a new clock source) does not make the wait longer.
    const float now = INST_download_clock();
    return now >= paced[kind].next_try || now < paced[kind].failed_at;
}

void INST_fetch_failed(fetch_kind kind) {
    pacing& p = paced[kind];
    p.wait = p.wait > 0.0f ? std::min(p.wait * 2.0f, longest_wait) : first_wait;
    p.failed_at = INST_download_clock();
    p.next_try = p.failed_at + p.wait;
}

void INST_fetch_succeeded(fetch_kind kind) { paced[kind] = pacing{}; }

float INST_fetch_wait(fetch_kind kind) { return paced[kind].wait; }
