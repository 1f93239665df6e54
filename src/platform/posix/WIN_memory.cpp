// WIN_memory: the memory figures from sysinfo, /proc and the C library's allocator statistics.
#include "platform/WIN_memory.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

// Top of the user address space with 4-level page tables; with 5 levels the walk reaches the last mapping.
static const uint64_t user_space_top = uint64_t(1) << 47;
// Mappings at or above this address are the kernel's (the vsyscall page), not the process's.
static const uint64_t user_space_limit = uint64_t(1) << 57;

// Reads a /proc file whole (their sizes read as 0, so read until the end).
static bool read_proc(const char* path, std::string& out) {
    out.clear();
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[8192];
    for (;;) {
        ssize_t got = read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            close(fd);
            return got == 0;
        }
        out.append(buf, static_cast<size_t>(got));
    }
}

// The value of a "Key:   1234 kB" line of /proc/self/status or /proc/meminfo, in bytes.
static bool kb_field(const std::string& text, const char* key, uint64_t& out) {
    size_t at = 0;
    size_t key_len = std::strlen(key);
    while ((at = text.find(key, at)) != std::string::npos) {
        if ((at == 0 || text[at - 1] == '\n') && text.compare(at + key_len, 1, ":") == 0) {
            unsigned long long kb = 0;
            if (std::sscanf(text.c_str() + at + key_len + 1, "%llu", &kb) != 1)
                return false;
            out = static_cast<uint64_t>(kb) * 1024;
            return true;
        }
        at += key_len;
    }
    return false;
}

bool WIN_global_memory_status(WIN_memory_status& out) {
    out = WIN_memory_status();
    bool ok = true;
    struct sysinfo si;
    if (sysinfo(&si) == 0) {
        uint64_t unit = si.mem_unit ? si.mem_unit : 1;
        out.total_phys = static_cast<uint64_t>(si.totalram) * unit;
        out.avail_phys = static_cast<uint64_t>(si.freeram + si.bufferram) * unit;
        out.total_page_file = static_cast<uint64_t>(si.totalswap) * unit;
        out.avail_page_file = static_cast<uint64_t>(si.freeswap) * unit;
    } else
        ok = false;
    // The kernel's own estimate of what can be had without swapping counts the page cache too.
    std::string meminfo;
    uint64_t available = 0;
    if (read_proc("/proc/meminfo", meminfo) && kb_field(meminfo, "MemAvailable", available))
        out.avail_phys = available;
    if (out.avail_phys > out.total_phys)
        out.avail_phys = out.total_phys;
    if (out.total_phys)
        out.load = static_cast<uint32_t>((out.total_phys - out.avail_phys) * 100 / out.total_phys);

    struct rlimit rl;
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        out.total_virtual = static_cast<uint64_t>(rl.rlim_cur);
    else
        out.total_virtual = user_space_top;
    std::string status;
    uint64_t used = 0;
    if (read_proc("/proc/self/status", status) && kb_field(status, "VmSize", used))
        out.avail_virtual = used < out.total_virtual ? out.total_virtual - used : 0;
    else
        ok = false;
    return ok;
}

bool WIN_process_memory_info(WIN_process_counters& out) {
    out = WIN_process_counters();
    std::string stat, status;
    if (!read_proc("/proc/self/stat", stat) || !read_proc("/proc/self/status", status))
        return false;
    // The command name in parentheses may hold blanks and parentheses: the fields follow the last ')'.
    size_t close_paren = stat.rfind(')');
    if (close_paren == std::string::npos)
        return false;
    unsigned long long minflt = 0, majflt = 0;
    if (std::sscanf(stat.c_str() + close_paren + 1, " %*c %*d %*d %*d %*d %*d %*u %llu %*u %llu", &minflt,
                    &majflt) != 2)
        return false;
    out.page_faults = minflt + majflt;
    bool ok = kb_field(status, "VmHWM", out.peak_working_set) && kb_field(status, "VmRSS", out.working_set) &&
              kb_field(status, "VmPeak", out.peak_page_file) && kb_field(status, "VmSize", out.page_file);
    return ok;
}

static int protection_of(const char* perms) {
    bool r = perms[0] == 'r', w = perms[1] == 'w', x = perms[2] == 'x';
    if (!r && !w && !x)
        return WIN_PROT_NA;
    if (x)
        return w ? (r ? WIN_PROT_XRW : WIN_PROT_OTHER) : (r ? WIN_PROT_XR : WIN_PROT_X);
    if (r)
        return w ? WIN_PROT_RW : WIN_PROT_R;
    return WIN_PROT_OTHER; // write-only
}

static void add_free(std::vector<WIN_memory_region>& out, uint64_t from, uint64_t to) {
    WIN_memory_region gap;
    gap.address = from;
    gap.size = to - from;
    out.push_back(gap);
}

bool WIN_query_regions(std::vector<WIN_memory_region>& out) {
    out.clear();
    std::string maps;
    if (!read_proc("/proc/self/maps", maps))
        return false;
    uint64_t cursor = 0;
    uint64_t prev_dev = 0, prev_inode = 0, prev_end = 0, prev_base = 0;
    size_t pos = 0;
    while (pos < maps.size()) {
        size_t eol = maps.find('\n', pos);
        if (eol == std::string::npos)
            eol = maps.size();
        std::string line = maps.substr(pos, eol - pos);
        pos = eol + 1;

        unsigned long long start = 0, end = 0, offset = 0, inode = 0;
        unsigned dev_major = 0, dev_minor = 0;
        char perms[8] = {};
        int name_at = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %7s %llx %x:%x %llu %n", &start, &end, perms, &offset,
                        &dev_major, &dev_minor, &inode, &name_at) < 7 ||
            end <= start || std::strlen(perms) < 3)
            continue;
        if (start >= user_space_limit || start < cursor)
            continue;
        if (start > cursor)
            add_free(out, cursor, start);

        WIN_memory_region region;
        region.address = start;
        region.size = end - start;
        region.protection = protection_of(perms);
        region.state = WIN_STATE_COMMIT;
        std::string path = name_at > 0 ? line.substr(static_cast<size_t>(name_at)) : std::string();
        uint64_t dev = (uint64_t(dev_major) << 32) | dev_minor;
        bool file_backed = inode != 0;
        if (file_backed) {
            region.type = perms[2] == 'x' ? WIN_TYPE_IMAGE : WIN_TYPE_MAPPED;
            // The segments of one file mapped back to back make one allocation, as an image's sections do.
            bool same_file = prev_inode == inode && prev_dev == dev && prev_end == start;
            region.allocation_base = same_file ? prev_base : start;
        } else {
            region.type = WIN_TYPE_PRIVATE;
            region.allocation_base = start;
        }
        size_t slash = path.rfind('/');
        region.file_name = slash == std::string::npos ? path : path.substr(slash + 1);
        out.push_back(region);

        prev_dev = file_backed ? dev : 0;
        prev_inode = inode;
        prev_end = end;
        prev_base = region.allocation_base;
        cursor = end;
    }
    uint64_t top = cursor > user_space_top ? cursor : user_space_top;
    if (cursor < top)
        add_free(out, cursor, top);
    return true;
}

// The heap walk from malloc_info's report: per arena ("<heap nr=...>") its free size classes, its free
// totals ("fast" and "rest"), the memory it holds ("system current") and its address space ("aspace"),
// then the blocks mapped on their own ("total type=mmap" outside any arena).
static void walk_arenas(uint64_t main_start, std::vector<WIN_heap_entry>& out) {
    char* text = nullptr;
    size_t length = 0;
    FILE* f = open_memstream(&text, &length);
    if (!f)
        return;
    const int rc = malloc_info(0, f);
    std::fclose(f);
    if (rc != 0 || !text) {
        std::free(text);
        return;
    }
    std::vector<WIN_heap_entry> classes;
    uint64_t free_bytes = 0, current = 0, aspace = 0, committed = 0;
    int arena = -1;
    const char* line = text;
    while (*line) {
        const char* end = std::strchr(line, '\n');
        std::string l(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
        line = end ? end + 1 : line + l.size();
        l.erase(0, l.find_first_not_of(' '));
        unsigned long long a = 0, b = 0, c = 0, d = 0;
        char type[16] = {};
        if (std::sscanf(l.c_str(), "<heap nr=\"%llu\"", &a) == 1) {
            arena = static_cast<int>(a);
            classes.clear();
            free_bytes = current = aspace = committed = 0;
        } else if (arena >= 0 &&
                   (std::sscanf(l.c_str(), "<size from=\"%llu\" to=\"%llu\" total=\"%llu\" count=\"%llu\"",
                                &a, &b, &c, &d) == 4 ||
                    std::sscanf(l.c_str(),
                                "<unsorted from=\"%llu\" to=\"%llu\" total=\"%llu\" count=\"%llu\"", &a, &b,
                                &c, &d) == 4)) {
            if (c > 0) {
                WIN_heap_entry e;
                e.address = a;
                e.size = c;
                classes.push_back(e);
            }
        } else if (std::sscanf(l.c_str(), "<total type=\"%15[a-z]\" count=\"%llu\" size=\"%llu\"", type, &a,
                               &b) == 3) {
            if (arena >= 0 && (std::strcmp(type, "fast") == 0 || std::strcmp(type, "rest") == 0)) {
                free_bytes += b;
            } else if (arena < 0 && std::strcmp(type, "mmap") == 0 && b > 0) {
                WIN_heap_entry e;
                e.size = b;
                e.flags = WIN_HEAP_BUSY;
                out.push_back(e);
            }
        } else if (arena >= 0 && std::sscanf(l.c_str(), "<system type=\"current\" size=\"%llu\"", &a) == 1) {
            current = a;
        } else if (arena >= 0 &&
                   std::sscanf(l.c_str(), "<aspace type=\"%15[a-z]\" size=\"%llu\"", type, &a) == 2) {
            (std::strcmp(type, "total") == 0 ? aspace : committed) = a;
        } else if (arena >= 0 && l.rfind("</heap>", 0) == 0) {
            WIN_heap_entry region;
            region.address = arena == 0 ? main_start : 0;
            region.size = current;
            region.flags = WIN_HEAP_REGION;
            region.region_free = std::min(free_bytes, current);
            region.region_used = current - region.region_free;
            out.push_back(region);
            out.insert(out.end(), classes.begin(), classes.end());
            // The free total also counts the arena's top chunk, which no size class lists.
            uint64_t listed = 0;
            for (const WIN_heap_entry& e : classes)
                listed += e.size;
            if (region.region_free > listed) {
                WIN_heap_entry top;
                top.size = region.region_free - listed;
                out.push_back(top);
            }
            WIN_heap_entry busy;
            busy.size = region.region_used;
            busy.flags = WIN_HEAP_BUSY;
            out.push_back(busy);
            if (aspace > committed) {
                WIN_heap_entry reserved;
                reserved.size = aspace - committed;
                reserved.flags = WIN_HEAP_UNCOMMITTED;
                out.push_back(reserved);
            }
            arena = -1;
        }
    }
    std::free(text);
}

void WIN_process_heaps(std::vector<WIN_heap_info>& out) {
    out.clear();
    WIN_heap_info heap;
    {
        // Freed before the allocator is asked, so that the walk does not count its own scratch.
        std::string maps;
        if (read_proc("/proc/self/maps", maps)) {
            size_t at = maps.find("[heap]");
            if (at != std::string::npos) {
                size_t bol = maps.rfind('\n', at);
                unsigned long long start = 0;
                if (std::sscanf(maps.c_str() + (bol == std::string::npos ? 0 : bol + 1), "%llx", &start) == 1)
                    heap.handle = start;
            }
        }
    }
    // Every arena summed: the space taken from the system, the blocks mapped on their own, what is free.
    struct mallinfo2 mi = mallinfo2();
    heap.total_size = mi.arena + mi.hblkhd;
    heap.total_free = mi.fordblks;
    heap.total_used = mi.uordblks + mi.hblkhd;
    heap.total_overhead = heap.total_size > heap.total_used + heap.total_free
                              ? heap.total_size - heap.total_used - heap.total_free
                              : 0;
    heap.biggest_free = mi.keepcost; // the free block at the top of the heap
    walk_arenas(heap.handle, heap.entries);
    out.push_back(heap);
}
