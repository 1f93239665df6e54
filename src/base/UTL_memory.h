// UTL_memory: checked allocation, the emergency reserve and the memory report.
#pragma once
#include <cstddef>

// malloc that never returns null: on failure the reserve is given back and malloc retried; when that
// cannot help, MEM_out_of_memory ends the program.
void* MEM_checked_malloc(size_t size);
// Gives the reserve back if still held, then raises the fatal out-of-memory alert (kind 2).
[[noreturn]] void MEM_out_of_memory();
