// UTL_memory: interim checked allocation.
#include "base/UTL_memory.h"

#include <cstdlib>

#include "base/APP_alert.h"

void* MEM_checked_malloc(size_t size) {
    void* p = std::malloc(size);
    if (!p)
        MEM_out_of_memory();
    return p;
}

void MEM_out_of_memory() {
    APP_alert(0, "Aerivon is totally out of memory.", "", "", "", 2, "UTL_memory", 1071);
    std::abort();
}
