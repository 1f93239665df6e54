// UTL_memory: checked allocation, the emergency reserve and the memory report.
//
// DESIGN: the reserve is one untouched 75 MiB block. The first allocation that fails gives it back and
// retries; exactly one thread frees it, because the pointer is only ever taken by an atomic exchange.
// A thread whose malloc failed while another thread was giving the reserve back waits for that release to
// finish (the release count) and then retries too, so the freed memory can serve both. operator new's
// handler does not wait: when it cannot free the reserve itself it throws, as new must not loop.
#include "base/UTL_memory.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "base/APP_alert.h"
#include "base/CMND_registry.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "platform/WIN_memory.h"

static const size_t reserve_size = 78643200; // 75 MiB

// Module state. The reserve, the low flag and the release count: any thread that allocates (atomics).
// The report flag: whichever thread writes a report. The report folder and the release hook: the main
// thread, before reports and allocations use them.
static struct {
    std::atomic<void*> reserve{nullptr};
    std::atomic<bool> low{false};
    std::atomic<int> releasing{0}; // threads inside give_back_reserve
    std::atomic<bool> report_first{true};
    std::string report_folder;
    std::atomic<void (*)()> release_hook{nullptr};
} mem_state;

// What operator new's handler throws when the reserve cannot help.
namespace {
class bad_allocation : public std::bad_alloc {
  public:
    const char* what() const noexcept override { return "bad allocation"; }
};
} // namespace

// Frees the reserve when this thread is the one that takes it, and returns true then. With `wait`, a
// thread that finds it gone first waits for a release still running on another thread.
static bool give_back_reserve(bool wait) {
    mem_state.releasing.fetch_add(1);
    void* block = mem_state.reserve.exchange(nullptr);
    if (block) {
        if (void (*hook)() = mem_state.release_hook.load())
            hook();
        std::free(block);
        mem_state.low.store(true);
    }
    mem_state.releasing.fetch_sub(1);
    // A winner counts itself in before it takes the pointer, so a thread that saw the pointer gone sees
    // the count until the winner's free is done.
    if (!block && wait)
        while (mem_state.releasing.load() != 0)
            std::this_thread::yield();
    return block != nullptr;
}

void MEM_reserve_init() {
    if (!mem_state.reserve.load()) {
        void* block = std::malloc(reserve_size);
        void* none = nullptr;
        if (block && !mem_state.reserve.compare_exchange_strong(none, block))
            std::free(block);
    }
    std::set_new_handler(MEM_new_handler);
}

void MEM_new_handler() {
    if (give_back_reserve(false))
        return;
    throw bad_allocation();
}

void* MEM_checked_malloc(size_t size) {
    void* p = std::malloc(size);
    if (p)
        return p;
    // Retry even when another thread took the reserve first: once its release is done, the freed memory may
    // serve this request too.
    give_back_reserve(true);
    p = std::malloc(size);
    if (!p)
        MEM_out_of_memory();
    return p;
}

void* MEM_malloc_noting_failure(size_t size) {
    void* p = std::malloc(size);
    if (!p)
        mem_state.low.store(true);
    return p;
}

bool MEM_is_low() { return mem_state.low.load(); }

void MEM_out_of_memory() {
    give_back_reserve(false);
    std::string line1, line2, line3;
    LANG_translate(line1, "Aerivon is totally out of memory.", 0);
    LANG_translate(
        line2, "Next time, turn down your rendering settings or remove add-ons to avoid this problem.", 0);
    LANG_translate(
        line3, "If you cannot restart Aerivon you may have to delete your preferences, in the Output folder.",
        0);
    APP_alert(0, line1, line2, line3, "http://www.aerivon.example/support/out_of_memory.html", 2,
              "UTL_memory", 1071);
    // A fatal alert ends the process, or on a worker thread ends the thread; it never comes back.
    std::abort();
}

uint64_t MEM_scale_bytes(uint64_t n) {
    if (n > 15032385536ull)
        return n >> 30;
    if (n > 1468006) // 1.4 MiB = 1,468,006.4
        return n >> 20;
    if (n > 1433) // 1.4 KiB = 1,433.6
        return n >> 10;
    return n;
}

char MEM_scale_unit(uint64_t n) {
    if (n > 15032385536ull)
        return 'G';
    if (n > 1468006)
        return 'M';
    if (n > 1433)
        return 'K';
    return 'B';
}

void MEM_set_report_folder(const std::string& folder) { mem_state.report_folder = folder; }

void MEM_set_release_hook(void (*hook)()) { mem_state.release_hook.store(hook); }

void MEM_dump_info(const std::string& reason) {
    LOG_stream
        << "I am dumping information about memory to MemoryLog.txt.  This memory dump was generated by: "
        << reason << ".\n";
    LOG_stream.flush();
    std::string path = mem_state.report_folder;
    if (path.empty())
        FILE_get_special_folder(0, path);
    path += "MemoryLog.txt";
    const char* mode = mem_state.report_first.exchange(false) ? "w" : "a";
    FILE* file = FILE_fopen_utf8(path, mode);
    MEM_write_report(file ? file : stdout);
}

void MEM_dump_info_action() { MEM_dump_info("Remote command (from plugin)"); }

// Registered during static initialisation; the action list's head is constant-initialised, so the order of
// initialisers does not matter.
static CMND_action dump_memory_action;
static const bool dump_memory_registered =
    (CMND_add_action(&dump_memory_action, "Dump Memory Info", MEM_dump_info_action), true);

// ---- the report

// One sized line: label, the size as number and unit, its explanation.
static void size_line(FILE* f, const char* label, uint64_t n, const char* text) {
    std::fprintf(f, "%s%5" PRIu64 "%c  %s\n", label, MEM_scale_bytes(n), MEM_scale_unit(n), text);
}

static const char* protection_text(int p) {
    switch (p) {
    case WIN_PROT_NA:
        return "na";
    case WIN_PROT_R:
        return "r";
    case WIN_PROT_RW:
        return "rw";
    case WIN_PROT_WC:
        return "wc";
    case WIN_PROT_X:
        return "x";
    case WIN_PROT_XR:
        return "xr";
    case WIN_PROT_XRW:
        return "xrw";
    case WIN_PROT_EWC:
        return "ewc";
    default:
        return "?";
    }
}

static const char* state_text(int s) {
    switch (s) {
    case WIN_STATE_COMMIT:
        return "commit";
    case WIN_STATE_RESERVE:
        return "reserve";
    case WIN_STATE_FREE:
        return "free";
    default:
        return "unknown";
    }
}

static const char* type_text(const WIN_memory_region& r) {
    if (r.state == WIN_STATE_FREE)
        return "";
    switch (r.type) {
    case WIN_TYPE_PRIVATE:
        return "private";
    case WIN_TYPE_MAPPED:
        return "mapped";
    case WIN_TYPE_IMAGE:
        return "image";
    default:
        return "unknown";
    }
}

static void write_machine(FILE* f) {
    WIN_memory_status ms;
    WIN_global_memory_status(ms);
    std::fprintf(f, "Windows Virtual Memory Info:\n");
    std::fprintf(f, "    Load:                  %5" PRIu32 "%%  Percent of physical memory in use.\n",
                 ms.load);
    size_line(f, "    Total Physical Memory: ", ms.total_phys, "Memory installed in this machine.");
    size_line(f, "    Avail Physical Memory: ", ms.avail_phys,
              "Memory programs can still have without swapping.");
    size_line(f, "    Total Pagefile Memory: ", ms.total_page_file, "Swap space on disk.");
    size_line(f, "    Avail Pagefile Memory: ", ms.avail_page_file, "Swap space not in use.");
    size_line(f, "    Total Virtual Memory:  ", ms.total_virtual, "Address space this process may use.");
    size_line(f, "    Avail Virtual Memory:  ", ms.avail_virtual,
              "Address space this process has not used yet.");
    if (ms.total_virtual > 2147483648ull)
        std::fprintf(f, "    This copy of Aerivon is running with 3 GB of available address space.\n");
    else
        std::fprintf(f, "\tThis copy of Aerivon is running with 2 GB of available address space.\n");
}

static void write_process(FILE* f) {
    WIN_process_counters pc;
    if (!WIN_process_memory_info(pc)) {
        std::fprintf(f, "    This operating system is too old to list per-process information.\n");
        return;
    }
    std::fprintf(
        f, "    Page Fault Count:      %10" PRIu64 "  Times this process touched memory not yet in RAM.\n",
        pc.page_faults);
    size_line(f, "    Peak Working Set:      ", pc.peak_working_set,
              "Most RAM this process has held at once.");
    size_line(f, "    Working Set:           ", pc.working_set, "RAM this process holds now.");
    size_line(f, "    Peak Paged Pool:       ", pc.peak_paged_pool,
              "Most pageable kernel memory used for us.");
    size_line(f, "    Paged Pool:            ", pc.paged_pool, "Pageable kernel memory used for us now.");
    size_line(f, "    Peak Nonpaged Pool:    ", pc.peak_nonpaged_pool,
              "Most resident kernel memory used for us.");
    size_line(f, "    Nonpaged Pool:         ", pc.nonpaged_pool, "Resident kernel memory used for us now.");
    size_line(f, "    Peak Pagefile Usage:   ", pc.peak_page_file,
              "Most address space this process has mapped.");
    size_line(f, "    Pagefile Usage:        ", pc.page_file, "Address space this process has mapped now.");
}

static void write_regions(FILE* f) {
    std::fprintf(f, "    I will now print the contents of virtual memory.\n");
    std::fprintf(f, "        ptr        base_ptr     len      prot   state  type\n");
    std::vector<WIN_memory_region> regions;
    WIN_query_regions(regions);
    uint64_t total_free = 0, total_commit = 0, total_reserve = 0, total_image = 0, total_mapped = 0,
             total_private = 0, largest_free = 0;
    for (const WIN_memory_region& r : regions) {
        std::fprintf(f, "        0x%016" PRIx64 " 0x%016" PRIx64 " %5" PRIu64 "%c    (%3s %7s %7s) %s\n",
                     r.address, r.allocation_base, MEM_scale_bytes(r.size), MEM_scale_unit(r.size),
                     protection_text(r.protection), state_text(r.state), type_text(r), r.file_name.c_str());
        if (r.state == WIN_STATE_FREE) {
            total_free += r.size;
            largest_free = std::max(largest_free, r.size);
            continue;
        }
        if (r.state == WIN_STATE_COMMIT)
            total_commit += r.size;
        else if (r.state == WIN_STATE_RESERVE)
            total_reserve += r.size;
        else
            continue;
        if (r.type == WIN_TYPE_IMAGE)
            total_image += r.size;
        else if (r.type == WIN_TYPE_MAPPED)
            total_mapped += r.size;
        else if (r.type == WIN_TYPE_PRIVATE)
            total_private += r.size;
    }
    size_line(f, "    Total Free:    ", total_free, "Address space that nothing uses.");
    size_line(f, "    Total Commited ", total_commit, "Address space backed by memory or by files.");
    size_line(f, "    Total Reserved ", total_reserve, "Address space set aside but not backed yet.");
    size_line(f, "    Total Images   ", total_image, "Code of the program and of its libraries.");
    size_line(f, "    Total Mapped   ", total_mapped,
              "Memory-mapped files, such as the loaded scenery files.");
    size_line(f, "    Total Private  ", total_private, "Memory this process allocated for itself.");
    size_line(f, "    Largest Free   ", largest_free, "The biggest single block of free address space.");
}

static void heap_totals(FILE* f, const char* indent, const WIN_heap_info& h) {
    static const char* const labels[7] = {
        "Total Size:          ", "Total Free:          ", "Total Uncommitted:   ", "Total Used:          ",
        "Total Overhead:      ", "Biggest Uncommitted: ", "Biggest Free:        "};
    static const char* const texts[7] = {"Bytes the heap has taken from the system.",
                                         "Bytes free inside the heap.",
                                         "Address space the heap holds but has not backed yet.",
                                         "Bytes handed out to the program.",
                                         "Bytes the heap spends on its own bookkeeping.",
                                         "The largest range the heap holds but has not backed.",
                                         "The free block at the top of the heap."};
    const uint64_t values[7] = {h.total_size,     h.total_free,          h.total_uncommitted, h.total_used,
                                h.total_overhead, h.biggest_uncommitted, h.biggest_free};
    for (int i = 0; i < 7; ++i)
        std::fprintf(f, "%s%s%5" PRIu64 "%c  %s\n", indent, labels[i], MEM_scale_bytes(values[i]),
                     MEM_scale_unit(values[i]), texts[i]);
}

// One line per entry of the heap walk: address, size, overhead and flags, then "Busy " and "Uncommitted "
// as the flags say, or for a region its split into used and free bytes.
static void heap_entries(FILE* f, const WIN_heap_info& h) {
    for (const WIN_heap_entry& e : h.entries) {
        std::fprintf(f, "            0x%08" PRIX64 "   % 5d%c+%2u   0x%04x ", e.address,
                     static_cast<int>(MEM_scale_bytes(e.size)), MEM_scale_unit(e.size), e.overhead, e.flags);
        if (e.flags & WIN_HEAP_REGION) {
            std::fprintf(f, "(%d%c used, %d%c free)\n", static_cast<int>(MEM_scale_bytes(e.region_used)),
                         MEM_scale_unit(e.region_used), static_cast<int>(MEM_scale_bytes(e.region_free)),
                         MEM_scale_unit(e.region_free));
            continue;
        }
        if (e.flags & WIN_HEAP_BUSY)
            std::fputs("Busy ", f);
        if (e.flags & WIN_HEAP_UNCOMMITTED)
            std::fputs("Uncommitted ", f);
        std::fputs("\n", f);
    }
}

static void write_heaps(FILE* f) {
    std::vector<WIN_heap_info> heaps;
    WIN_process_heaps(heaps);
    std::fprintf(f, "    Aerivon has has %d heaps - I will now list them.\n", static_cast<int>(heaps.size()));
    WIN_heap_info sum;
    for (const WIN_heap_info& h : heaps) {
        std::fprintf(f, "        %s 0x%016" PRIX64 "\n", h.is_default ? "Process Heap" : "Additional Heap",
                     h.handle);
        heap_entries(f, h);
        heap_totals(f, "            ", h);
        sum.total_size += h.total_size;
        sum.total_free += h.total_free;
        sum.total_uncommitted += h.total_uncommitted;
        sum.total_used += h.total_used;
        sum.total_overhead += h.total_overhead;
        sum.biggest_uncommitted = std::max(sum.biggest_uncommitted, h.biggest_uncommitted);
        sum.biggest_free = std::max(sum.biggest_free, h.biggest_free);
    }
    std::fprintf(f, "    Summary info for all heaps:\n");
    heap_totals(f, "        ", sum);
}

void MEM_write_report(FILE* file) {
    write_machine(file);
    write_process(file);
    write_regions(file);
    write_heaps(file);
    if (file == stdout)
        std::fflush(file);
    else
        std::fclose(file);
}
