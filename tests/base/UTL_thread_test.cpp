// Thread primitives and the blocking queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/UTL_thread.h"
#include "base/thread_test_support.h"

namespace {

using test::eventually;

using std::chrono::milliseconds;
using std::chrono::steady_clock;

#if defined(__SANITIZE_THREAD__)
constexpr int stress_items = 100000;
#else
constexpr int stress_items = 1000000;
#endif

void* item(uintptr_t n) { return reinterpret_cast<void*>(n); }

struct Queue {
    THREAD_queue* q = THREAD_queue_create();
    ~Queue() { THREAD_queue_destroy(q); }
    int32_t counter() const { return UTL_sem_counter(q->semaphore); }
};

TEST(ThreadQueueTest, PollOfEmptyQueueGivesNullAndLeavesCounter) {
    Queue queue;
    EXPECT_EQ(THREAD_queue_pop(queue.q, 0), nullptr);
    EXPECT_EQ(queue.counter(), 0);
}

TEST(ThreadQueueTest, TimedPopOfEmptyQueueWaitsItsTimeThenGivesNull) {
    Queue queue;
    auto start = steady_clock::now();
    EXPECT_EQ(THREAD_queue_pop(queue.q, 100), nullptr);
    EXPECT_GE(steady_clock::now() - start, milliseconds(100));
    EXPECT_EQ(queue.counter(), 0);
}

TEST(ThreadQueueTest, ItemsPopInPushOrderAndNullIsAnItem) {
    Queue queue;
    for (uintptr_t i = 1; i <= 10; ++i)
        THREAD_queue_push(queue.q, item(i));
    THREAD_queue_push(queue.q, nullptr);
    THREAD_queue_push(queue.q, item(11));
    EXPECT_EQ(queue.counter(), 12);
    for (uintptr_t i = 1; i <= 10; ++i)
        EXPECT_EQ(THREAD_queue_pop(queue.q, 0), item(i));
    EXPECT_EQ(THREAD_queue_pop(queue.q, 0), nullptr);
    EXPECT_EQ(queue.counter(), 1) << "the null item was taken like any other";
    EXPECT_EQ(THREAD_queue_pop(queue.q, 0), item(11));
    EXPECT_EQ(queue.counter(), 0);
    EXPECT_EQ(queue.q->count, 0);
}

TEST(ThreadQueueTest, EachPushWakesOneOfTwoBlockedConsumers) {
    Queue queue;
    std::mutex m;
    std::vector<void*> got;
    auto consumer = [&] {
        void* p = THREAD_queue_pop(queue.q, -1);
        std::lock_guard<std::mutex> g(m);
        got.push_back(p);
    };
    auto received = [&] {
        std::lock_guard<std::mutex> g(m);
        return got.size();
    };
    std::thread a(consumer), b(consumer);
    ASSERT_TRUE(eventually([&] { return queue.counter() == -2; }));
    THREAD_queue_push(queue.q, item(1));
    ASSERT_TRUE(eventually([&] { return received() == 1; }));
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(received(), 1u) << "one push woke two consumers";
    EXPECT_EQ(queue.counter(), -1);
    THREAD_queue_push(queue.q, item(2));
    a.join();
    b.join();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], item(1));
    EXPECT_EQ(got[1], item(2));
    EXPECT_EQ(queue.counter(), 0);
}

// Short time-outs make consumers withdraw while producers release: a unit lost or counted twice shows as
// an item never popped or popped twice, or a counter that does not end at 0.
TEST(ThreadQueueTest, ConcurrentProducersAndTimedConsumersMoveEveryItemOnce) {
    Queue queue;
    std::vector<std::atomic<uint8_t>> seen(stress_items);
    std::atomic<int> popped{0};
    std::atomic<int> duplicates{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < 4; ++p)
        threads.emplace_back([&, p] {
            for (int i = p; i < stress_items; i += 4)
                THREAD_queue_push(queue.q, item(static_cast<uintptr_t>(i) + 1));
        });
    for (int c = 0; c < 4; ++c)
        threads.emplace_back([&, c] {
            int timeout = 1;
            while (popped.load() < stress_items) {
                timeout = timeout % 5 + 1;
                void* p = THREAD_queue_pop(queue.q, (timeout + c) % 5 + 1);
                if (!p)
                    continue;
                if (seen[reinterpret_cast<uintptr_t>(p) - 1].fetch_add(1) != 0)
                    duplicates.fetch_add(1);
                popped.fetch_add(1);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(duplicates.load(), 0);
    int missing = 0;
    for (auto& s : seen)
        missing += s.load() == 0;
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(queue.counter(), 0);
    EXPECT_EQ(queue.q->count, 0);
}

// A push that lands while a timed pop gives up is taken by that pop, or stays for the next one: never
// lost, and the counter ends each round at 0. Pushes aim at the deadline with a spread of delays.
TEST(ThreadQueueTest, ConcurrentPushAtTheTimeOutIsNeverLost) {
    constexpr int rounds = 1000;
    Queue queue;
    std::atomic<int> started{-1}, finished{-1};
    std::vector<void*> got(rounds);
    std::thread consumer([&] {
        for (int r = 0; r < rounds; ++r) {
            while (started.load() < r)
                std::this_thread::yield();
            got[r] = THREAD_queue_pop(queue.q, 1);
            finished = r;
        }
    });
    int lost = 0, bad_counter = 0;
    for (int r = 0; r < rounds; ++r) {
        started = r;
        auto until = steady_clock::now() + std::chrono::microseconds(900 + (r * 37) % 250);
        while (steady_clock::now() < until) {
        }
        THREAD_queue_push(queue.q, item(static_cast<uintptr_t>(r) + 1));
        while (finished.load() < r)
            std::this_thread::yield();
        if (got[r] == nullptr && THREAD_queue_pop(queue.q, 0) != item(static_cast<uintptr_t>(r) + 1))
            ++lost;
        if (queue.counter() != 0)
            ++bad_counter;
    }
    consumer.join();
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(bad_counter, 0);
}

std::atomic<int> signals_caught{0};
void count_signal(int) { signals_caught.fetch_add(1); }

TEST(ThreadQueueTest, ConcurrentSignalsNeitherEndWaitsNorBreakTheCounter) {
    struct sigaction action = {}, previous = {};
    action.sa_handler = count_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: every signal interrupts the sleep
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
    signals_caught = 0;

    Queue queue;
    void* forever_got = item(99);
    std::atomic<bool> forever_back{false};
    void* timed_got = item(99);
    steady_clock::duration timed_took{};
    std::atomic<bool> timed_back{false};
    std::thread forever([&] {
        forever_got = THREAD_queue_pop(queue.q, -1);
        forever_back = true;
    });
    std::thread timed([&] {
        auto start = steady_clock::now();
        timed_got = THREAD_queue_pop(queue.q, 300);
        timed_took = steady_clock::now() - start;
        timed_back = true;
    });
    std::atomic<bool> stop{false};
    std::thread signaller([&] {
        while (!stop) {
            pthread_kill(forever.native_handle(), SIGUSR1);
            pthread_kill(timed.native_handle(), SIGUSR1);
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    // Both threads stay joinable (so signalling them is safe) until the signaller stops.
    ASSERT_TRUE(eventually([&] { return timed_back.load(); }));
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_FALSE(forever_back) << "an interrupted wait returned";
    THREAD_queue_push(queue.q, item(7));
    ASSERT_TRUE(eventually([&] { return forever_back.load(); }));
    stop = true;
    signaller.join();
    forever.join();
    timed.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GT(signals_caught.load(), 20);
    EXPECT_EQ(forever_got, item(7));
    EXPECT_EQ(timed_got, nullptr);
    EXPECT_GE(timed_took, milliseconds(300));
    EXPECT_EQ(queue.counter(), 0);
}

void* return_seven(void*) { return item(7); }
void* exit_with_five(void*) { UTL_exit_thread(5); }
void* join_itself(void* result) {
    *static_cast<int*>(result) = UTL_join_thread(0, pthread_self());
    return nullptr;
}

TEST(ThreadPrimitiveTest, JoinGivesExitCodeAndLogsAFailedWait) {
    test::TempDir dir;
    FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
    UTL_thread_handle h = 0, c = 0;
    unsigned long id = 0;
    UTL_create_thread(return_seven, nullptr, &h, &id, &c);
    ASSERT_NE(c, 0u);
    EXPECT_EQ(h, c);
    EXPECT_EQ(UTL_join_thread(h, c), 7);
    UTL_create_thread(exit_with_five, nullptr, &h, &id, &c);
    EXPECT_EQ(UTL_join_thread(h, c), 5);
    int self_join = 0;
    UTL_create_thread(join_itself, &self_join, &h, &id, &c);
    EXPECT_EQ(UTL_join_thread(h, c), 0);
    EXPECT_EQ(self_join, -1);
    EXPECT_EQ(UTL_join_thread(0, 0), -1);
    LOG_stream.close();
    std::string log = test::read_file(dir.file("log.txt"));
    EXPECT_NE(log.find("Wait on thread for cleanup failed with 35.\n"), std::string::npos) << log; // EDEADLK
    EXPECT_NE(log.find("Wait on thread for cleanup failed with 3.\n"), std::string::npos) << log;  // ESRCH
}

uint64_t low_mask(const cpu_set_t& set) {
    uint64_t mask = 0;
    for (int cpu = 0; cpu < 64; ++cpu)
        if (CPU_ISSET(cpu, &set))
            mask |= uint64_t{1} << cpu;
    return mask;
}

void* report_affinity(void* out) {
    cpu_set_t set;
    sched_getaffinity(0, sizeof set, &set);
    *static_cast<uint64_t*>(out) = low_mask(set);
    return nullptr;
}

[[noreturn]] void lock_main_thread_then_start_one(uint64_t before) {
    test::time_box_child();
    int error = -1;
    uint64_t previous = UTL_lock_to_first_cpu(&error);
    cpu_set_t now;
    sched_getaffinity(0, sizeof now, &now);
    uint64_t worker = 0;
    UTL_thread_handle h, c;
    UTL_create_thread(report_affinity, &worker, &h, nullptr, &c);
    UTL_join_thread(h, c);
    _exit(error == 0 && previous == before && low_mask(now) == 1 && worker == before ? 0 : 1);
}

TEST(ThreadPrimitiveTest, LockedMainThreadLeavesNewThreadsTheirAffinity) {
    cpu_set_t set;
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    EXPECT_EXIT(lock_main_thread_then_start_one(low_mask(set)), testing::ExitedWithCode(0), "");
}

void* wait_for_stop(void* queue) { return THREAD_queue_pop(static_cast<THREAD_queue*>(queue), -1); }

uint64_t address_space_in_use() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// Whatever the alert shows or logs lands in `shown`.
[[noreturn]] void make_threads_without_address_space(const std::string& shown) {
    test::time_box_child();
    OPT_parse_only("--qa_script");
    LOG_init();
    FILE_open_ofstream(LOG_stream, shown, std::ios_base::out | std::ios_base::app, 0);
    int fd = open(shown.c_str(), O_WRONLY | O_APPEND);
    if (fd < 0 || dup2(fd, 2) < 0)
        _exit(90);
    // A few MiB above what is mapped: no room for a thread's stack.
    rlimit limit = {address_space_in_use() + (4u << 20), RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        _exit(91);
    // Stacks of threads that ended earlier are kept for reuse: the first few creations may take those.
    THREAD_queue* stop = THREAD_queue_create();
    for (int i = 0; i < 64; ++i) {
        UTL_thread_handle h = 1, c = 1;
        UTL_create_thread(wait_for_stop, stop, &h, nullptr, &c);
    }
    _exit(92);
}

TEST(ThreadPrimitiveTest, ThreadThatCannotBeMadeRaisesFatalAlert) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "sanitizer shadow memory needs the address space that RLIMIT_AS takes away";
#endif
    test::DeathTestDir dir;
    const std::string shown = dir.file("shown.txt");
    EXPECT_EXIT(make_threads_without_address_space(shown), testing::ExitedWithCode(1), "");
    std::string text = test::read_file(shown);
    EXPECT_NE(text.find("\"CreateThread\" OS error"), std::string::npos) << text;
    EXPECT_NE(text.find("err=11.000000"), std::string::npos) << text;
    EXPECT_NE(text.find("(UTL_thread:109)"), std::string::npos) << text;
}

} // namespace

TEST(ThreadPrimitiveDeathTest, CpuCountIsTheProcessorsThisProcessMayUse) {
    auto pinned_to_one = [] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(0, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0)
            std::_Exit(2);
        std::_Exit(UTL_cpu_count() == 1 ? 0 : 1);
    };
    EXPECT_EXIT(pinned_to_one(), testing::ExitedWithCode(0), "");
}
