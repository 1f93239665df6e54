// Memory reserve, checked allocation and the memory report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <new>
#include <optional>
#include <regex>
#include <sstream>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/CMND_registry.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/UTL_memory.h"
#include "base/xmap.h"
#include "support/test_support.h"

using testing::HasSubstr;

namespace {

void* volatile sink;

// Threadsafe death tests run the test again in a fresh child up to the death statement. A folder made by
// the parent reaches that child through the environment, so both use the same files and only the parent
// makes and removes it.
class ChildFolder {
  public:
    ChildFolder() {
        if (const char* inherited = std::getenv(var)) {
            path_ = inherited;
        } else {
            dir_.emplace();
            path_ = dir_->path();
            setenv(var, path_.c_str(), 1);
        }
    }
    ~ChildFolder() {
        if (dir_)
            unsetenv(var);
    }
    ChildFolder(const ChildFolder&) = delete;
    ChildFolder& operator=(const ChildFolder&) = delete;
    std::string file(const std::string& rel) const { return path_ + "/" + rel; }

  private:
    static constexpr const char* var = "AERIVON_MEMORY_TEST_FOLDER";
    std::optional<test::TempDir> dir_;
    std::string path_;
};

// A malloc of an impossible size must return null here; the sanitizers' allocators abort instead unless
// told otherwise.
bool impossible_malloc_returns_null() {
#ifdef AERIVON_SANITIZED
    for (const char* var : {"ASAN_OPTIONS", "TSAN_OPTIONS"}) {
        const char* value = std::getenv(var);
        if (value && std::strstr(value, "allocator_may_return_null=1"))
            return true;
    }
    return false;
#else
    return true;
#endif
}

uint64_t vm_size() {
    std::string status = test::read_file("/proc/self/status");
    size_t at = status.find("\nVmSize:");
    return at == std::string::npos ? 0 : std::strtoull(status.c_str() + at + 8, nullptr, 10) * 1024;
}

[[noreturn]] void fail_child(const char* what) {
    std::fprintf(stderr, "child: %s\n", what);
    std::fflush(stderr);
    _exit(1);
}

// Lets the process map only `extra` bytes more than it has mapped now.
void limit_address_space(uint64_t extra) {
    rlimit rl;
    rl.rlim_cur = rl.rlim_max = vm_size() + extra;
    if (setrlimit(RLIMIT_AS, &rl) != 0)
        fail_child("setrlimit");
}

[[noreturn]] void first_new_is_rescued_then_second_throws() {
    MEM_reserve_init();
    if (MEM_is_low())
        fail_child("memory low before any failure");
    limit_address_space(uint64_t(2) << 20);
    const size_t chunk = size_t(40) << 20;
    char* first = new char[chunk];
    first[0] = 1;
    sink = first;
    if (!MEM_is_low())
        fail_child("the first 40 MiB fitted without the reserve");
    try {
        char* second = new char[chunk];
        second[0] = 1;
        sink = second;
    } catch (const std::bad_alloc&) {
        _exit(0);
    }
    fail_child("the second 40 MiB did not throw");
}

[[noreturn]] void two_threads_fail_at_once() {
    OPT_parse_only("--qa_script");
    // One arena: a thread's own arena could grow inside address space it reserved before the limit.
    mallopt(M_ARENA_MAX, 1);
    MEM_reserve_init();
    // The thread that takes the reserve frees it late, so the other one fails and finds it gone first.
    MEM_set_release_hook([] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
    const size_t chunk = size_t(30) << 20;
    void* got[2] = {nullptr, nullptr};
    std::barrier ready(3);
    std::atomic<bool> go{false};
    std::thread threads[2];
    for (int t = 0; t < 2; ++t)
        threads[t] = std::thread([&, t] {
            std::free(std::malloc(64));
            ready.arrive_and_wait();
            while (!go.load())
                ;
            got[t] = MEM_checked_malloc(chunk);
            static_cast<char*>(got[t])[0] = 1;
        });
    ready.arrive_and_wait();
    // Each request alone is too big; both fit once the reserve is gone.
    limit_address_space(uint64_t(4) << 20);
    go.store(true);
    for (std::thread& t : threads)
        t.join();
    if (!got[0] || !got[1])
        fail_child("MEM_checked_malloc returned null");
    std::fprintf(stderr, "both allocated\n");
    std::fflush(stderr);
    _exit(0);
}

[[noreturn]] void checked_malloc_of_impossible_size(const std::string& log, const char* options) {
    OPT_parse_only(options);
    LOG_init();
    FILE_open_ofstream(LOG_stream, log, std::ios_base::out, 0);
    volatile size_t impossible = SIZE_MAX;
    sink = MEM_checked_malloc(impossible);
    fail_child("MEM_checked_malloc returned");
}

const char* const alert_block[] = {
    "| Aerivon is totally out of memory.\n",
    "| Next time, turn down your rendering settings or remove add-ons to avoid this problem.\n",
    "| If you cannot restart Aerivon you may have to delete your preferences, in the Output folder.\n",
    "| http://www.aerivon.example/support/out_of_memory.html\n",
    "| (UTL_memory:1071)\n",
};

bool has_framed_block(const std::string& log) { return log.find("E/SYS: +--------") != std::string::npos; }

std::string hex16(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%016" PRIxPTR, reinterpret_cast<uintptr_t>(p));
    return buf;
}

// Checks one report: the sections in order, region lines that walk the address space upwards from 0, the
// totals and the heap blocks.
void check_report(const std::string& report) {
    EXPECT_EQ(report.rfind("Windows Virtual Memory Info:\n    Load:                  ", 0), 0u);
    EXPECT_THAT(report,
                HasSubstr("\n    This copy of Aerivon is running with 3 GB of available address space.\n"));
    EXPECT_THAT(report, HasSubstr("\n    Page Fault Count:      "));
    EXPECT_THAT(report, HasSubstr("\n    I will now print the contents of virtual memory.\n"
                                  "        ptr        base_ptr     len      prot   state  type\n"));
    static const std::regex region(
        R"(        0x([0-9a-f]{16}) 0x([0-9a-f]{16}) +\d+[BKMG]    \( *(na|r|rw|x|xr|xrw|\?) +)"
        R"((commit|free) +(private|mapped|image|)\) (.*))");
    std::istringstream lines(report);
    std::string line;
    int regions = 0;
    uint64_t last = 0;
    bool saw_free = false, saw_image = false, saw_stack = false;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, region))
            continue;
        SCOPED_TRACE(line);
        uint64_t address = std::strtoull(m[1].str().c_str(), nullptr, 16);
        if (regions++ == 0)
            EXPECT_EQ(address, 0u);
        else
            EXPECT_GT(address, last);
        last = address;
        if (m[4] == "free") {
            saw_free = true;
            EXPECT_EQ(m[2], "0000000000000000");
            EXPECT_EQ(m[5], "");
        } else {
            EXPECT_NE(m[5], "");
        }
        if (m[6] == "base_tests" && m[3] == "xr" && m[5] == "image")
            saw_image = true;
        if (m[6] == "[stack]" && m[3] == "rw" && m[5] == "private")
            saw_stack = true;
    }
    EXPECT_GT(regions, 10);
    EXPECT_TRUE(saw_free);
    EXPECT_TRUE(saw_image);
    EXPECT_TRUE(saw_stack);
    for (const char* total :
         {"\n    Total Free:    ", "\n    Total Commited ", "\n    Total Reserved ", "\n    Total Images   ",
          "\n    Total Mapped   ", "\n    Total Private  ", "\n    Largest Free   "})
        EXPECT_THAT(report, HasSubstr(total));
    EXPECT_THAT(report,
                HasSubstr("\n    Aerivon has has 1 heaps - I will now list them.\n        Process Heap 0x"));
    EXPECT_THAT(report, HasSubstr("\n    Summary info for all heaps:\n        Total Size:          "));
}

} // namespace

TEST(MemoryTest, ScaleBytesPicksTheUnitAboveEachThreshold) {
    struct Case {
        uint64_t n;
        uint64_t number;
        char unit;
    };
    const Case cases[] = {
        {0, 0, 'B'},
        {1433, 1433, 'B'},
        {1434, 1, 'K'},
        {1468006, 1433, 'K'},
        {1468007, 1, 'M'},
        {8589934592ull, 8192, 'M'},
        {15032385536ull, 14336, 'M'},
        {15032385537ull, 14, 'G'},
        {uint64_t(1) << 47, 131072, 'G'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(MEM_scale_bytes(c.n), c.number);
        EXPECT_EQ(MEM_scale_unit(c.n), c.unit);
    }
}

TEST(MemoryTest, FirstFailedNewIsRescuedByTheReserveAndTheNextOneThrows) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "the sanitizer's shadow memory needs the address space that RLIMIT_AS takes away";
#endif
    EXPECT_EXIT(first_new_is_rescued_then_second_throws(), testing::ExitedWithCode(0), "");
}

TEST(MemoryTest, TwoThreadsFailingAtOnceBothGetMemoryOnceTheReserveIsFreed) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "the sanitizer's shadow memory needs the address space that RLIMIT_AS takes away";
#endif
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EXIT(two_threads_fail_at_once(), testing::ExitedWithCode(0), HasSubstr("both allocated"));
    }
}

TEST(MemoryTest, NotingMallocSetsTheLowFlagOnlyWhenMallocFails) {
    if (!impossible_malloc_returns_null())
        GTEST_SKIP() << "run with allocator_may_return_null=1 so that an impossible malloc returns null";
    EXPECT_EXIT(
        {
            void* p = MEM_malloc_noting_failure(100);
            if (!p || MEM_is_low())
                fail_child("a small malloc failed or set the flag");
            std::free(p);
            volatile size_t impossible = SIZE_MAX;
            if (MEM_malloc_noting_failure(impossible) || !MEM_is_low())
                fail_child("an impossible malloc did not set the flag");
            _exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(MemoryDeathTest, CheckedMallocThatCannotBeServedRaisesTheFatalAlert) {
    if (!impossible_malloc_returns_null())
        GTEST_SKIP() << "run with allocator_may_return_null=1 so that an impossible malloc returns null";
    ChildFolder folder;
    test::ScopedEnv display("DISPLAY", std::nullopt), wayland("WAYLAND_DISPLAY", std::nullopt);
    EXPECT_EXIT(checked_malloc_of_impossible_size(folder.file("log.txt"), ""), testing::ExitedWithCode(0),
                HasSubstr("Aerivon is totally out of memory."));
    std::string log = test::read_file(folder.file("log.txt"));
    EXPECT_THAT(log, HasSubstr("Aerivon is totally out of memory."));
    if (has_framed_block(log)) {
        for (const char* line : alert_block)
            EXPECT_THAT(log, HasSubstr(line));
    }
}

TEST(MemoryDeathTest, CheckedMallocThatCannotBeServedEndsAnAutomatedRunWithOne) {
    if (!impossible_malloc_returns_null())
        GTEST_SKIP() << "run with allocator_may_return_null=1 so that an impossible malloc returns null";
    ChildFolder folder;
    test::ScopedEnv display("DISPLAY", std::nullopt), wayland("WAYLAND_DISPLAY", std::nullopt);
    int status = -1;
    auto record = [&status](int s) {
        status = s;
        return true;
    };
    EXPECT_EXIT(checked_malloc_of_impossible_size(folder.file("log.txt"), "--qa_script"), record, "");
    std::string log = test::read_file(folder.file("log.txt"));
    ASSERT_TRUE(has_framed_block(log)) << log;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    for (const char* line : alert_block)
        EXPECT_THAT(log, HasSubstr(line));
}

TEST(MemoryReportTest, TwoReportsInOneRunAreWrittenThenAppended) {
    test::TempDir dir;
    // A mapped file whose middle page is made writable: three regions of one allocation.
    const long page = sysconf(_SC_PAGESIZE);
    test::write_file(dir.file("scenery.dat"), std::string(static_cast<size_t>(3 * page), 'x'));
    int fd = open(dir.file("scenery.dat").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    char* mapped =
        static_cast<char*>(mmap(nullptr, static_cast<size_t>(3 * page), PROT_READ, MAP_PRIVATE, fd, 0));
    close(fd);
    ASSERT_NE(mapped, MAP_FAILED);
    ASSERT_EQ(mprotect(mapped + page, static_cast<size_t>(page), PROT_READ | PROT_WRITE), 0);

    MEM_set_report_folder(dir.path() + "/");
    FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
    MEM_dump_info("the first test report");
    std::string first = test::read_file(dir.file("MemoryLog.txt"));
    MEM_dump_info_action();
    std::string both = test::read_file(dir.file("MemoryLog.txt"));
    LOG_stream.close();
    LOG_stream.clear();
    MEM_set_report_folder("");
    munmap(mapped, static_cast<size_t>(3 * page));

    ASSERT_GT(first.size(), 0u);
    ASSERT_GT(both.size(), first.size());
    EXPECT_EQ(both.compare(0, first.size(), first), 0) << "the second report must be appended";
    std::string second = both.substr(first.size());
    for (const std::string* report : {&first, &second}) {
        check_report(*report);
        for (int i = 0; i < 3; ++i) {
            std::string expected = "        " + hex16(mapped + i * page) + " " + hex16(mapped) +
                                   "     4K    (" + (i == 1 ? " rw" : "  r") +
                                   "  commit  mapped) scenery.dat\n";
            EXPECT_THAT(*report, HasSubstr(expected));
        }
    }
    EXPECT_EQ(test::read_file(dir.file("log.txt")),
              "I am dumping information about memory to MemoryLog.txt.  This memory dump was generated by: "
              "the first test report.\n"
              "I am dumping information about memory to MemoryLog.txt.  This memory dump was generated by: "
              "Remote command (from plugin).\n");
}

// The heap walk: a region line per arena (a second thread's allocation makes a second arena), free-class,
// busy and uncommitted lines, whose sizes add up to what mallinfo2 counts, within the rounding of the
// scaled sizes and what the report allocates for itself.
TEST(MemoryReportTest, HeapWalkListsEveryArenaAndAddsUpToTheAllocatorsTotals) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "the sanitizer's allocator stands in for malloc's arenas";
#endif
    std::atomic<bool> allocated{false}, done{false};
    std::thread other([&] {
        // Kept in a volatile: the optimiser would drop an allocation that nothing reads.
        void* volatile block = std::malloc(100000);
        allocated = true;
        while (!done)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::free(block);
    });
    while (!allocated)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    test::TempDir dir;
    FILE* f = std::fopen(dir.file("report.txt").c_str(), "w");
    ASSERT_NE(f, nullptr);
    // A buffer of our own: the one stdio would take (the file system's block size) is freed by the report's
    // fclose, after the walk.
    static char buffer[4096];
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    MEM_write_report(f);
    const struct mallinfo2 mi = mallinfo2();
    done = true;
    other.join();

    static const std::regex entry(
        R"(            0x[0-9A-F]{8,16}   ( *\d+)([BKMG])\+ *\d+   0x([0-9a-f]{4}) (.*))");
    std::istringstream lines(test::read_file(dir.file("report.txt")));
    // Per kind of line (region, free, busy): the sum of the scaled sizes in bytes and the rounding allowed.
    std::map<std::string, std::pair<uint64_t, uint64_t>> sums;
    int regions = 0;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, entry))
            continue;
        SCOPED_TRACE(line);
        const int shift = std::string("BKMG").find(m[2].str()) * 10;
        const uint64_t unit = uint64_t{1} << shift;
        const std::string kind = m[3] == "0001"   ? "region"
                                 : m[3] == "0000" ? "free"
                                 : m[3] == "0004" ? "busy"
                                                  : "other";
        sums[kind].first += std::stoull(m[1].str()) << shift;
        sums[kind].second += unit;
        if (kind == "region") {
            ++regions;
            EXPECT_THAT(m[4].str(), testing::MatchesRegex(R"(\([0-9]+[BKMG] used, [0-9]+[BKMG] free\))"));
        } else {
            EXPECT_EQ(m[4], kind == "busy" ? "Busy " : kind == "other" ? "Uncommitted " : "");
        }
    }
    EXPECT_GE(regions, 2);
    const uint64_t slack = 16 * 1024;
    const struct {
        const char* kind;
        uint64_t expected;
    } totals[] = {{"region", mi.arena}, {"free", mi.fordblks}, {"busy", mi.uordblks + mi.hblkhd}};
    for (const auto& t : totals) {
        SCOPED_TRACE(t.kind);
        const auto [sum, rounding] = sums[t.kind];
        EXPECT_LE(sum, t.expected + rounding + slack);
        EXPECT_GE(sum + rounding + slack, t.expected);
    }
}

TEST(MemoryReportTest, ReportGoesToStandardOutputWhenTheFileCannotBeOpened) {
    ChildFolder folder;
    EXPECT_EXIT(
        {
            dup2(2, 1);
            MEM_set_report_folder(folder.file("missing/"));
            MEM_dump_info("test");
            std::fflush(stdout);
            _exit(0);
        },
        testing::ExitedWithCode(0),
        testing::AllOf(testing::StartsWith("Windows Virtual Memory Info:\n"),
                       HasSubstr("\n    Summary info for all heaps:\n")));
    EXPECT_FALSE(test::read_file(folder.file("missing/MemoryLog.txt")).size());
}

TEST(MemoryReportTest, RefusedMappingWritesTheReportBeforeItsErrorLine) {
    test::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0777), 0);
    struct stat st;
    ASSERT_EQ(stat(dir.file("folder").c_str(), &st), 0);
    if (st.st_size == 0)
        GTEST_SKIP() << "this file system gives folders no size, so no mapping is tried";
    MEM_set_report_folder(dir.path() + "/");
    FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
    {
        xmap_file f(dir.file("folder"));
        EXPECT_EQ(f.base, nullptr);
    }
    LOG_stream.close();
    LOG_stream.clear();
    MEM_set_report_folder("");
    EXPECT_EQ(test::read_file(dir.file("MemoryLog.txt")).rfind("Windows Virtual Memory Info:\n", 0), 0u);
    const std::string log = test::read_file(dir.file("log.txt"));
    const size_t report = log.find("I am dumping information about memory to MemoryLog.txt.");
    const size_t error = log.find("Mem file error.  Err=");
    ASSERT_NE(report, std::string::npos);
    ASSERT_NE(error, std::string::npos);
    EXPECT_LT(report, error);
}

TEST(MemoryReportTest, DumpActionIsRegisteredUnderItsLabel) {
    int found = 0;
    for (const CMND_action* a = CMND_first_action(); a; a = a->next)
        if (std::string(a->label) == "Dump Memory Info" && a->callback == MEM_dump_info_action)
            ++found;
    EXPECT_EQ(found, 1);
}
