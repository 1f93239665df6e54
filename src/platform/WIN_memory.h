// WIN_memory: what the memory report reads from the system: the machine's memory status, the process's
// counters, the regions of its address space and its heaps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Sizes in bytes. The page file is the swap space; the virtual figures are the process's address space
// (its RLIMIT_AS when one is set, else the 47-bit user space) and what of it is not mapped yet.
struct WIN_memory_status {
    uint32_t load = 0; // percent of physical memory in use, 0..100
    uint64_t total_phys = 0;
    uint64_t avail_phys = 0;
    uint64_t total_page_file = 0;
    uint64_t avail_page_file = 0;
    uint64_t total_virtual = 0;
    uint64_t avail_virtual = 0;
};
// Fills `out`; false when the system does not tell (the fields it could not read stay 0).
bool WIN_global_memory_status(WIN_memory_status& out);

// Sizes in bytes. The pools are the kernel's; this system keeps none per process, so they are 0. The page
// file figures are the address space the process maps (peak and now).
struct WIN_process_counters {
    uint64_t page_faults = 0;
    uint64_t peak_working_set = 0;
    uint64_t working_set = 0;
    uint64_t peak_paged_pool = 0;
    uint64_t paged_pool = 0;
    uint64_t peak_nonpaged_pool = 0;
    uint64_t nonpaged_pool = 0;
    uint64_t peak_page_file = 0;
    uint64_t page_file = 0;
};
// Fills `out`; false when the per-process figures cannot be read.
bool WIN_process_memory_info(WIN_process_counters& out);

enum WIN_protection {
    WIN_PROT_NA,
    WIN_PROT_R,
    WIN_PROT_RW,
    WIN_PROT_WC,
    WIN_PROT_X,
    WIN_PROT_XR,
    WIN_PROT_XRW,
    WIN_PROT_EWC,
    WIN_PROT_OTHER
};
enum WIN_region_state { WIN_STATE_COMMIT, WIN_STATE_RESERVE, WIN_STATE_FREE };
enum WIN_region_type { WIN_TYPE_NONE, WIN_TYPE_PRIVATE, WIN_TYPE_MAPPED, WIN_TYPE_IMAGE };

// One region of the address space. A free region has allocation base 0, protection WIN_PROT_NA and type
// WIN_TYPE_NONE. `file_name` is the last component of the mapped file's path (or the kernel's name of a
// special region such as "[heap]"), empty for anonymous memory and free regions.
struct WIN_memory_region {
    uint64_t address = 0;
    uint64_t allocation_base = 0;
    uint64_t size = 0;
    int protection = WIN_PROT_NA;
    int state = WIN_STATE_FREE;
    int type = WIN_TYPE_NONE;
    std::string file_name;
};
// Replaces `out` with every region of the user address space from address 0 up, in address order, the
// gaps between mappings as free regions, so that each region begins where the one before it ends. False
// (out empty) when the regions cannot be listed.
bool WIN_query_regions(std::vector<WIN_memory_region>& out);

// One entry of a heap walk. The allocator names no addresses: a region is one arena (the "[heap]" start
// for the main arena, else 0) and its children follow it; a free entry is one free-chunk size class, with
// the class's smallest chunk size where an address would stand.
constexpr uint32_t WIN_HEAP_REGION = 0x0001;      // an arena; region_used and region_free hold its split
constexpr uint32_t WIN_HEAP_UNCOMMITTED = 0x0002; // address space the arena reserved but has not backed
constexpr uint32_t WIN_HEAP_BUSY = 0x0004;        // bytes handed out (an arena's, or the mapped blocks')
struct WIN_heap_entry {
    uint64_t address = 0;
    uint64_t size = 0;
    uint32_t overhead = 0;
    uint32_t flags = 0; // 0 for a free size class
    uint64_t region_used = 0, region_free = 0;
};

// One heap of the process, summed over what the allocator tells (bytes).
struct WIN_heap_info {
    bool is_default = true; // the process heap (every other heap is an additional one)
    uint64_t handle = 0;    // where the heap begins, 0 when unknown
    uint64_t total_size = 0;
    uint64_t total_free = 0;
    uint64_t total_uncommitted = 0;
    uint64_t total_used = 0;
    uint64_t total_overhead = 0;
    uint64_t biggest_uncommitted = 0;
    uint64_t biggest_free = 0;
    std::vector<WIN_heap_entry> entries; // the walk: per arena its region, free classes, busy and uncommitted
};
// Replaces `out` with the process's heaps, the default heap first. Here malloc is the one heap.
void WIN_process_heaps(std::vector<WIN_heap_info>& out);
