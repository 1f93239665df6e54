// The thread module: pool, asynchronous calls, thread start with its OpenGL steps, exceptions from threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/APP_alert.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/exce_class.h"
#include "base/hl_thread.h"
#include "base/thread_test_support.h"

namespace {

using test::eventually;

using std::chrono::milliseconds;

// Every case starts and ends with the thread module stopped, threaded OpenGL off and default hooks.
class ThreadModule : public testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override {
        if (THREAD_started())
            THREAD_exit();
        reset();
    }
    static void reset() {
        OPT_parse_only("");
        threaded_avail = false;
        THREAD_set_gl_hooks({});
    }
    // Starts the module with threaded OpenGL on and the given options.
    static void start_threaded(const char* options) {
        OPT_parse_only(options);
        threaded_avail = true;
        THREAD_init();
        THREAD_start_workers();
    }
    // The next fatal exception posted by a thread, waiting at most five seconds.
    static std::unique_ptr<exce_class> next_fatal() {
        return std::unique_ptr<exce_class>(
            static_cast<exce_class*>(THREAD_queue_pop(THREAD_exception_queue(1), 5000)));
    }
};

using ThreadCallTest = ThreadModule;
using PoolTest = ThreadModule;
using ThreadSpawnTest = ThreadModule;
using ThreadExceptionTest = ThreadModule;

int add_one(void* p) { return *static_cast<int*>(p) + 1; }

TEST_F(ThreadCallTest, WithoutThreadedGlACallRunsAtOnceOnTheCaller) {
    THREAD_init();
    THREAD_start_workers();
    EXPECT_EQ(THREAD_worker_count(), 0);
    int value = 41;
    THREAD_call* call = THREAD_call_start(add_one, &value);
    EXPECT_EQ(call->result, 42);
    EXPECT_STREQ(call->description(), "THREAD_call async call");
    EXPECT_TRUE(THREAD_call_wait(call, 0));
    EXPECT_TRUE(THREAD_call_wait(call, -1));
    EXPECT_EQ(THREAD_call_finish(call), 42);
}

TEST_F(PoolTest, WorkerCountFollowsNumWorkersClampedTo1Through32) {
    const int by_cpus = std::clamp(UTL_cpu_count() - 1, 1, 32);
    const struct {
        const char* options;
        int workers;
    } cases[] = {
        {"--num_workers=0", 1},
        {"--num_workers=100", 32},
        {"", by_cpus},
        {"--num_workers=3", 3},
        {"--num_workers=abc", 1},
        {"--num_workers=-7", 1},
        {"--num_workers", 1},
        {"--num_workers=99999999999999", 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        start_threaded(c.options);
        EXPECT_EQ(THREAD_worker_count(), c.workers);
        // The default hooks have no window context: the first worker's setup turns threaded OpenGL off.
        EXPECT_FALSE(threaded_avail);
        int value = 1;
        THREAD_call* call = THREAD_call_start(add_one, &value);
        ASSERT_TRUE(THREAD_call_wait(call, 5000));
        EXPECT_EQ(THREAD_call_finish(call), 2);
        THREAD_exit();
        EXPECT_FALSE(THREAD_started());
    }
}

// Calls that record the order in which they run; the gate call holds the one worker until opened.
struct Order {
    std::mutex m;
    std::vector<int> ran;
    std::atomic<bool> gate_entered{false}, gate_open{false};
};
Order* order;
int gate(void*) {
    order->gate_entered = true;
    eventually([] { return order->gate_open.load(); });
    std::lock_guard<std::mutex> g(order->m);
    order->ran.push_back(0);
    return 0;
}
int record(void* p) {
    std::lock_guard<std::mutex> g(order->m);
    order->ran.push_back(*static_cast<int*>(p));
    return 0;
}

TEST_F(ThreadCallTest, CallPostedLastRunsFirst) {
    Order o;
    order = &o;
    start_threaded("--num_workers=1");
    ASSERT_EQ(THREAD_worker_count(), 1);
    THREAD_call* held = THREAD_call_start(gate, nullptr);
    ASSERT_TRUE(eventually([&] { return o.gate_entered.load(); }));
    int ids[3] = {1, 2, 3};
    THREAD_call* calls[3];
    for (int i = 0; i < 3; ++i)
        calls[i] = THREAD_call_start(record, &ids[i]);
    EXPECT_FALSE(THREAD_call_wait(calls[0], 20));
    o.gate_open = true;
    ASSERT_TRUE(THREAD_call_wait(held, 5000));
    THREAD_call_finish(held);
    for (THREAD_call* call : calls) {
        ASSERT_TRUE(THREAD_call_wait(call, 5000));
        THREAD_call_finish(call);
    }
    EXPECT_EQ(o.ran, (std::vector<int>{0, 3, 2, 1}));
}

// A task that holds its worker until the pool's destruction has put its stops in front of the queue.
struct HoldUntilStopped : UTL_pool_task {
    UTL_thread_pool* pool = nullptr;
    std::atomic<bool> entered{false};
    int run(int) override {
        entered = true;
        eventually([&] {
            UTL_enter_crit(&pool->tasks->lock);
            bool stopping = !pool->tasks->items.empty() && pool->tasks->items.front() == nullptr;
            UTL_leave_crit(&pool->tasks->lock);
            return stopping;
        });
        return 0;
    }
    const char* description() override { return "hold"; }
};
struct CountRuns : UTL_pool_task {
    std::atomic<int> runs{0};
    int run(int) override {
        ++runs;
        return 0;
    }
    const char* description() override { return "count"; }
};

TEST_F(PoolTest, DestroyingPoolLeavesQueuedTasksUnrun) {
    HoldUntilStopped hold;
    CountRuns queued[3];
    UTL_thread_pool* pool = UTL_pool_create(1);
    ASSERT_NE(pool, nullptr);
    hold.pool = pool;
    UTL_pool_post(pool, &hold, 0);
    ASSERT_TRUE(eventually([&] { return hold.entered.load(); }));
    for (auto& t : queued)
        UTL_pool_post(pool, &t, 0);
    UTL_pool_destroy(pool);
    for (auto& t : queued)
        EXPECT_EQ(t.runs.load(), 0);
}

struct DeleteMe : UTL_pool_task {
    static inline std::atomic<int> deleted{0};
    ~DeleteMe() override { ++deleted; }
    int run(int worker) override { return worker > 0 ? 1 : 0; }
    const char* description() override { return "delete me"; }
};

TEST_F(PoolTest, TaskAskingForDeletionIsDeletedByTheWorker) {
    UTL_thread_pool* pool = UTL_pool_create(2);
    DeleteMe::deleted = 0;
    for (int i = 0; i < 10; ++i)
        UTL_pool_post(pool, new DeleteMe, i & 1);
    ASSERT_TRUE(eventually([] { return DeleteMe::deleted.load() == 10; }));
    UTL_pool_destroy(pool);
}

// The OpenGL steps of thread start, seen through the hooks (steps run one at a time: each hands over to
// the next through the thread start).
struct GlRecord {
    std::string steps;
    void* current = nullptr; // the starter's current context
    bool worker_context_ok = true;
};
GlRecord* gl;
int fake_context_storage;
void* fake_context() { return &fake_context_storage; }
void* no_context() { return nullptr; }
void record_make_current(void* c) {
    gl->current = c;
    gl->steps += c ? "current(main) " : "current(null) ";
}
int record_worker_context(void* c) {
    gl->steps += c == &fake_context_storage && !gl->current ? "worker(main) " : "worker(?) ";
    return gl->worker_context_ok ? 1 : 0;
}
void record_failed_dialog() {
    gl->steps += "failed ";
    threaded_avail = false;
}
int thread_body(void*) { return 0; }

TEST_F(ThreadSpawnTest, SharedContextRoadFollowsItsSteps) {
    const struct {
        const char* name;
        bool threaded, has_context, worker_ok;
        int want_gl;
        const char* steps;
        bool threaded_after;
    } cases[] = {
        {"shared", true, true, true, 1, "current(null) worker(main) current(main) ", true},
        {"worker fails", true, true, false, 1, "current(null) worker(main) failed current(main) ", false},
        {"no window context", true, false, true, 1, "failed ", false},
        {"not wanted", true, true, true, 0, "", true},
        {"threaded off", false, true, true, 1, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GlRecord record;
        gl = &record;
        record.worker_context_ok = c.worker_ok;
        THREAD_gl_hooks hooks;
        hooks.main_context = c.has_context ? fake_context : no_context;
        hooks.make_current = record_make_current;
        hooks.init_worker_context = record_worker_context;
        hooks.setup_failed_dialog = record_failed_dialog;
        THREAD_set_gl_hooks(hooks);
        threaded_avail = c.threaded;
        UTL_thread_handle h = 0, copy = 0;
        THREAD_spawn(thread_body, nullptr, &h, nullptr, &copy, c.want_gl);
        EXPECT_EQ(UTL_join_thread(h, copy), 0);
        EXPECT_EQ(record.steps, c.steps);
        EXPECT_EQ(threaded_avail.load(), c.threaded_after);
    }
}

int throw_kind_one(void*) { throw exce_class("Lost the file", "b", "c", "d", "x.cpp", 7, 1); }

TEST_F(ThreadExceptionTest, AlertThrownInPoolTaskArrivesOnFatalQueueAsKindThree) {
    start_threaded("--num_workers=1");
    THREAD_call* call = THREAD_call_start(throw_kind_one, nullptr);
    std::unique_ptr<exce_class> e = next_fatal();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, 3);
    EXPECT_EQ(e->line1, "Lost the file");
    EXPECT_EQ(e->line4, "d");
    EXPECT_STREQ(e->file, "x.cpp");
    EXPECT_EQ(e->line, 7);
    EXPECT_EQ(THREAD_queue_pop(THREAD_exception_queue(0), 0), nullptr);
    // The worker ended with its task: the call never comes back and THREAD_exit still joins.
    THREAD_exit();
    delete call;
}

int throw_runtime_error(void*) { throw std::runtime_error("boom"); }
int throw_int(void*) { throw 5; }
int throw_bad_alloc(void*) { throw std::bad_alloc(); }

TEST_F(ThreadExceptionTest, WhateverEscapesAThreadBecomesAFatalAlert) {
    THREAD_init();
    const struct {
        THREAD_routine routine;
        const char* line1;
        const char* line2;
        const char* file;
        int line, kind;
    } cases[] = {
        {throw_runtime_error, "Caught an unhandled C++ exception", "boom", "hl_thread", 257, 3},
        {throw_int, "Caught an unhandled unknown exception", "", "hl_thread", 259, 3},
        {throw_bad_alloc, "Aerivon is totally out of memory.", nullptr, "UTL_memory", 1071, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line1);
        UTL_thread_handle h = 0, copy = 0;
        THREAD_spawn(c.routine, nullptr, &h, nullptr, &copy, 0);
        EXPECT_EQ(UTL_join_thread(h, copy), 0);
        std::unique_ptr<exce_class> e = next_fatal();
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->line1, c.line1);
        if (c.line2) {
            EXPECT_EQ(e->line2, c.line2);
        }
        EXPECT_STREQ(e->file, c.file);
        EXPECT_EQ(e->line, c.line);
        EXPECT_EQ(e->kind, c.kind);
    }
}

int exit_thread_early(void*) { UTL_exit_thread(3); }
int raise_fatal_alert(void*) {
    APP_alert(0, "Disk gone", "", "", "", 2, "x.cpp", 7);
    return 9; // not reached: the alert ends this thread
}
int raise_warning(void*) {
    APP_alert(0, "Slow disk", "", "", "", 1, "x.cpp", 8);
    return 4;
}

TEST_F(ThreadExceptionTest, ThreadsEndedMidTaskStillJoin) {
    start_threaded("--num_workers=2");
    ASSERT_EQ(THREAD_worker_count(), 2);
    // One worker ends inside a task; the other still runs calls.
    THREAD_call* ended = THREAD_call_start(exit_thread_early, nullptr);
    ASSERT_FALSE(THREAD_call_wait(ended, 100));
    int value = 1;
    THREAD_call* call = THREAD_call_start(add_one, &value);
    ASSERT_TRUE(THREAD_call_wait(call, 5000));
    EXPECT_EQ(THREAD_call_finish(call), 2);

    // A fatal alert ends its thread through THREAD_post_exception; a warning lets it go on.
    UTL_thread_handle h = 0, copy = 0;
    THREAD_spawn(raise_fatal_alert, nullptr, &h, nullptr, &copy, 0);
    EXPECT_EQ(UTL_join_thread(h, copy), 0);
    std::unique_ptr<exce_class> e = next_fatal();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->line1, "Disk gone");
    EXPECT_EQ(e->kind, 2);
    THREAD_spawn(raise_warning, nullptr, &h, nullptr, &copy, 0);
    EXPECT_EQ(UTL_join_thread(h, copy), 4);
    // Warnings stay queued for the exit; the per-frame report leaves them alone.
    THREAD_rethrow_posted(0);
    EXPECT_EQ(THREAD_exception_queue(0)->count, 1);
    THREAD_exit(); // joins the worker that ended, and deletes the queued warning
    delete ended;
}

void* report_on_worker(void*) {
    exce_class e("Line one", "Line two", "Line three", "Line four", "x.cpp", 7, 2);
    e.report();
    return nullptr;
}

[[noreturn]] void report_from_a_worker(const std::string& log_path) {
    test::time_box_child();
    FILE_open_ofstream(LOG_stream, log_path, std::ios_base::out, 0);
    THREAD_init();
    UTL_thread_handle h = 0, copy = 0;
    UTL_create_thread(report_on_worker, nullptr, &h, nullptr, &copy);
    UTL_join_thread(h, copy);
    _exit(5);
}

TEST_F(ThreadExceptionTest, ReportOnAWorkerLogsItAndEndsTheProgramWithZero) {
    test::DeathTestDir dir;
    const std::string log_path = dir.file("log.txt");
    EXPECT_EXIT(report_from_a_worker(log_path), testing::ExitedWithCode(0), "");
    std::string log = test::read_file(log_path);
    EXPECT_NE(log.find("EXCEPTION REPORTED FROM THREAD!!  File: x.cpp, line 7.\n"
                       "Line one\nLine two\nLine three\nLine four\n"),
              std::string::npos)
        << log;
}

[[noreturn]] void start_and_stop_threads(const std::string& log_path) {
    test::time_box_child();
    FILE_open_ofstream(LOG_stream, log_path, std::ios_base::out, 0);
    OPT_parse_only("--lock_main_thread");
    THREAD_init();
    THREAD_start_workers();
    THREAD_exit();
    LOG_stream.close();
    _exit(0);
}

TEST_F(ThreadModule, StartAndExitAreLogged) {
    cpu_set_t set;
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    uint64_t mask = 0;
    for (int cpu = 0; cpu < 64; ++cpu)
        if (CPU_ISSET(cpu, &set))
            mask |= uint64_t{1} << cpu;
    test::DeathTestDir dir;
    const std::string log_path = dir.file("log.txt");
    EXPECT_EXIT(start_and_stop_threads(log_path), testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::read_file(log_path),
              "Thread affinity was " + std::to_string(mask) + " is now 1.\nCPU count        : " +
                  std::to_string(UTL_cpu_count()) + "\nClean exit from threads.\n");
}

} // namespace
