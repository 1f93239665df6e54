// The bounded work-task queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/APP_alert.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/UTL_progress.h"
#include "base/UTL_work_queue.h"
#include "base/exce_class.h"
#include "base/hl_thread.h"
#include "base/thread_test_support.h"

namespace {

using test::eventually;

using std::chrono::milliseconds;

// Counts its runs; optionally waits for a gate to open first.
struct CountingTask : UTL_work_task {
    std::atomic<int> runs{0};
    std::atomic<bool>* gate = nullptr;
    void run() override {
        if (gate)
            eventually([&] { return gate->load(); });
        ++runs;
    }
    int result(std::string& message) override {
        message = "ran " + std::to_string(runs.load());
        return 0;
    }
};

TEST(WorkQueueTest, LimitHoldsPostsUntilAFinishedTaskIsTakenBack) {
    UTL_work_queue* queue = UTL_work_queue_create(1, 4);
    std::atomic<bool> gate{false};
    CountingTask tasks[4];
    tasks[0].gate = &gate;
    for (auto& t : tasks) {
        ASSERT_TRUE(UTL_work_queue_can_post(queue));
        UTL_work_queue_post(queue, &t);
    }
    EXPECT_FALSE(UTL_work_queue_can_post(queue));
    EXPECT_EQ(UTL_work_queue_try_done(queue), nullptr);
    EXPECT_EQ(queue->in_flight, 4) << "an empty done queue leaves in flight alone";
    EXPECT_FALSE(UTL_work_queue_can_post(queue));
    gate = true;
    UTL_work_task* back = UTL_work_queue_wait_done(queue);
    EXPECT_EQ(back, &tasks[0]);
    EXPECT_TRUE(UTL_work_queue_can_post(queue));
    std::string message;
    EXPECT_EQ(back->result(message), 0);
    EXPECT_EQ(message, "ran 1");
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(UTL_work_queue_wait_done(queue), &tasks[i]);
    EXPECT_EQ(queue->in_flight, 0);
    EXPECT_EQ(UTL_work_queue_wait_done(queue), nullptr) << "nothing in flight: no wait";
    UTL_work_queue_destroy(queue);
}

TEST(WorkQueueTest, DestroyRunsEveryQueuedTaskFirst) {
    UTL_work_queue* queue = UTL_work_queue_create(2, 100);
    std::atomic<bool> gate{false};
    std::vector<CountingTask> tasks(50);
    tasks[0].gate = &gate;
    tasks[1].gate = &gate;
    for (auto& t : tasks)
        UTL_work_queue_post(queue, &t);
    // The count over every queue: this one's 50, then one taken back; the rest leave with the queue.
    UTL_work_queue* other = UTL_work_queue_create(1, 1);
    CountingTask more;
    UTL_work_queue_post(other, &more);
    EXPECT_EQ(UTL_work_tasks_in_flight(), 51);
    EXPECT_EQ(UTL_work_queue_wait_done(other), &more);
    UTL_work_queue_destroy(other);
    EXPECT_EQ(UTL_work_tasks_in_flight(), 50);
    std::thread opener([&] {
        std::this_thread::sleep_for(milliseconds(20));
        gate = true;
    });
    UTL_work_queue_destroy(queue);
    opener.join();
    for (auto& t : tasks)
        EXPECT_EQ(t.runs.load(), 1);
    EXPECT_EQ(UTL_work_tasks_in_flight(), 0);
}

struct NumberedTask : UTL_work_task {
    int id = 0;
    std::atomic<int> runs{0};
    void run() override { ++runs; }
    int result(std::string& message) override {
        message = std::to_string(id);
        return id;
    }
};

TEST(WorkQueueTest, ConcurrentTasksOnEightThreadsEachComeBackOnce) {
    constexpr int count = 10000;
    std::vector<NumberedTask> tasks(count);
    std::vector<int> came_back(count, 0);
    UTL_work_queue* queue = UTL_work_queue_create(8, 32);
    int posted = 0, taken = 0;
    std::string message;
    while (taken < count) {
        while (posted < count && UTL_work_queue_can_post(queue)) {
            tasks[posted].id = posted;
            UTL_work_queue_post(queue, &tasks[posted++]);
        }
        UTL_work_task* back = UTL_work_queue_try_done(queue);
        if (!back)
            back = UTL_work_queue_wait_done(queue);
        ASSERT_NE(back, nullptr);
        ++came_back[back->result(message)];
        ++taken;
    }
    EXPECT_EQ(UTL_work_queue_try_done(queue), nullptr);
    UTL_work_queue_destroy(queue);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(came_back[i], 1) << i;
        ASSERT_EQ(tasks[i].runs.load(), 1) << i;
    }
}

// The wake hook's calls, from any thread.
std::atomic<int> wakes{0};
void count_wake() { ++wakes; }

TEST(WorkQueueTest, ConcurrentFinishedTasksWakeTheMainThreadOnlyOnceTheyCanBeTakenBack) {
    UTL_progress_set_wake(count_wake);
    for (const bool signal : {false, true}) {
        SCOPED_TRACE(signal ? "signalling queue" : "quiet queue");
        constexpr int count = 200;
        std::vector<NumberedTask> tasks(count);
        UTL_work_queue* queue = UTL_work_queue_create(8, count);
        queue->signal_done = signal;
        wakes = 0;
        const uint64_t before = UTL_progress_count();
        uint64_t seen = before;
        for (int i = 0; i < count; ++i)
            UTL_work_queue_post(queue, &tasks[static_cast<size_t>(i)]);
        int taken = 0;
        if (signal) {
            // Each wake comes after its task reached the done queue: as many as woke can be taken at once.
            // The main thread sleeps between signals.
            for (;;) {
                const int woke = wakes.load();
                for (; taken < woke; ++taken)
                    ASSERT_NE(UTL_work_queue_try_done(queue), nullptr) << taken << " of " << woke;
                if (taken == count)
                    break;
                seen = UTL_progress_wait(seen, 1000000);
            }
            EXPECT_EQ(wakes.load(), count);
            // Each signal is counted just after its wake, so the last count may follow the last wake.
            while (seen - before < static_cast<uint64_t>(count)) {
                const uint64_t now = UTL_progress_wait(seen, 10'000'000);
                if (now == seen)
                    break; // none came in 10 s
                seen = now;
            }
            EXPECT_EQ(UTL_progress_count() - before, static_cast<uint64_t>(count));
        } else {
            for (; taken < count; ++taken)
                ASSERT_NE(UTL_work_queue_wait_done(queue), nullptr);
            EXPECT_EQ(wakes.load(), 0);
            EXPECT_EQ(UTL_progress_wait(before, 1000), before) << "no signal: the wait times out";
        }
        UTL_work_queue_destroy(queue);
    }
    UTL_progress_set_wake(nullptr);
}

struct ThrowingTask : UTL_work_task {
    void run() override { throw std::runtime_error("boom"); }
    int result(std::string&) override { return 1; }
};

TEST(WorkQueueTest, ExceptionEscapingATaskIsPostedAsFatalAlert) {
    THREAD_init();
    UTL_work_queue* queue = UTL_work_queue_create(1, 4);
    ThrowingTask task;
    UTL_work_queue_post(queue, &task);
    auto* e = static_cast<exce_class*>(THREAD_queue_pop(THREAD_exception_queue(1), 5000));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->line1, "Caught an unhandled C++ exception");
    EXPECT_EQ(e->line2, "boom");
    EXPECT_EQ(e->kind, 3);
    EXPECT_STREQ(e->file, "hl_thread");
    EXPECT_EQ(e->line, 257);
    delete e;
    // The worker ended with the task, which never comes back; the queue still comes apart.
    EXPECT_EQ(UTL_work_queue_try_done(queue), nullptr);
    UTL_work_queue_destroy(queue);
    THREAD_exit();
}

// What a checksum task does when the disk or memory fails for good.
struct AlertingTask : UTL_work_task {
    void run() override { APP_alert(0, "Checksum task failed", "Disk gone", "", "", 2, "x.cpp", 7); }
    int result(std::string&) override { return 1; }
};

// The main thread either polls once per frame or waits for the task; the worker that raised the alert
// is gone, so only the posted alert can end the wait. Ends with 3 when nothing ended the program, and is
// killed by the alarm when it hangs.
[[noreturn]] void run_alerting_task(bool qa_script, bool wait, const std::string& log_path) {
    test::time_box_child();
    OPT_parse_only(qa_script ? "--qa_script" : "");
    LOG_init();
    FILE_open_ofstream(LOG_stream, log_path, std::ios_base::out, 0);
    THREAD_init();
    UTL_work_queue* queue = UTL_work_queue_create(1, 4);
    AlertingTask task;
    UTL_work_queue_post(queue, &task);
    if (wait) {
        UTL_work_queue_wait_done(queue);
    } else {
        for (int frame = 0; frame < 600; ++frame) {
            THREAD_rethrow_posted(0);
            if (UTL_work_queue_try_done(queue))
                break;
            std::this_thread::sleep_for(milliseconds(16));
        }
    }
    _exit(3);
}

TEST(WorkQueueTest, FatalAlertInATaskEndsTheProgramFromTheMainThread) {
    test::ScopedEnv no_display("DISPLAY", std::nullopt);
#if defined(__SANITIZE_THREAD__)
    // The worker that raised the alert has ended and nobody joins it before the program ends.
    const char* options = std::getenv("TSAN_OPTIONS");
    test::ScopedEnv no_leak_report("TSAN_OPTIONS",
                                   std::string(options ? options : "") + ":report_thread_leaks=0");
#endif
    test::DeathTestDir dir;
    const struct {
        bool qa_script, wait;
        int exit_code;
    } cases[] = {{true, false, 1}, {false, false, 0}, {true, true, 1}, {false, true, 0}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(std::string(c.qa_script ? "--qa_script, " : "") + (c.wait ? "waiting" : "polling"));
        const std::string log_path = dir.file("log" + std::to_string(i) + ".txt");
        EXPECT_EXIT(run_alerting_task(c.qa_script, c.wait, log_path), testing::ExitedWithCode(c.exit_code),
                    "");
        std::string log = test::read_file(log_path);
        EXPECT_NE(log.find("E/SYS: | Checksum task failed"), std::string::npos) << log;
    }
}

} // namespace
