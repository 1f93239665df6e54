// Expansions off the main thread: jobs beyond the queue's bound wait and still all come back once, with
// their results; leaving a download waits for the jobs in flight, so nothing of them stays behind; and the
// download step applies each result in a later call than the one that finished the transfer.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "base/FILE_compress.h"
#include "base/FILE_error_text.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "base/UTL_thread.h"
#include "installer/INST_download.h"
#include "installer/INST_expand.h"
#include "installer/INST_expand_queue.h"
#include "installer/INST_work_lock.h"
#include "installer_fixtures.h"
#include "support/demo_release.h"
#include "support/engine_harness.h"

namespace {

namespace fs = std::filesystem;

std::string md5_of(const std::string& path) {
    std::string out;
    return FILE_md5_hex(path, out) == 0 ? out : "missing";
}

struct ConcurrentExpansionTest : test::CopyTest {
    ConcurrentExpansionTest() : CopyTest("f") {}
    void TearDown() override {
        INST_expansion_release();
        InstallerTest::TearDown();
    }
    // A zip of one file "f/<name>" holding `text`, at work + name + ".zip".
    std::string package(const std::string& name, const std::string& text) {
        test::write_file(dir.file(name), text);
        EXPECT_EQ(
            test::shell("cd '" + dir.path() + "' && zip -q -m '" + work + name + ".zip' '" + name + "'"), 0);
        return work + name + ".zip";
    }
    // Names beginning with ".aerivon-unpack-" in the copy's folder.
    int stages() {
        int n = 0;
        for (const auto& e : fs::directory_iterator(install + "f"))
            n += e.path().filename().string().rfind(INST_UNPACK_PREFIX, 0) == 0;
        return n;
    }
};

TEST_F(ConcurrentExpansionTest, JobsPastTheBoundWaitAndEachComesBackOnce) {
    const int count = UTL_cpu_count() * 6 + 3;
    std::map<int, int> want; // package -> code
    for (int i = 0; i < count; ++i) {
        const std::string name = std::to_string(i);
        const std::string text = "file " + name + "\n";
        INST_expansion job;
        job.slot = i % 3;
        job.package = i;
        job.archive = package(name, text);
        job.suffix = ".zip";
        job.destination = install + "f/" + name;
        test::write_file(dir.file("want"), i % 5 == 4 ? "other\n" : text); // every fifth is not what it says
        job.sig_want = md5_of(dir.file("want"));
        job.expanded_kb = 1.0f;
        want[i] = i % 5 == 4 ? 20002 : 0;
        INST_expansion_post(job);
    }
    EXPECT_EQ(INST_expansions_in_flight(), count);
    std::map<int, int> got;
    ASSERT_TRUE(test::Engine::poll([&] {
        INST_expansion job;
        while (INST_expansion_take(job)) {
            EXPECT_EQ(got.count(job.package), 0u) << job.package;
            got[job.package] = job.code;
            EXPECT_EQ(job.why, job.code ? "signature mismatch" : "") << job.package;
        }
        return static_cast<int>(got.size()) == count;
    }));
    EXPECT_EQ(got, want);
    EXPECT_EQ(INST_expansions_in_flight(), 0);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(fs::exists(install + "f/" + std::to_string(i)), want[i] == 0) << i;
        EXPECT_TRUE(fs::exists(work + std::to_string(i) + ".zip")) << i; // the slot's to write over
    }
    EXPECT_EQ(stages(), 0);
}

TEST_F(ConcurrentExpansionTest, LeavingTheDownloadWaitsForTheJobsInFlight) {
    // Big enough to be under way when the download is left; the record learns what was installed.
    const std::string text(64 << 20, 'e');
    file_record r;
    r.path = "f/big";
    r.sig_want = md5_of((test::write_file(dir.file("big-want"), text), dir.file("big-want")));
    r.sig_have = "NONE";
    INST_directory.packages = {{r}};
    INST_install_folder = install;
    INST_expansion job;
    job.archive = package("big", text);
    job.suffix = ".zip";
    job.destination = install + "f/big";
    job.sig_want = r.sig_want;
    job.expanded_kb = 65536.0f;
    INST_reset_downloads();
    INST_next_work_item(0, 1);
    INST_dispenser.slots[0].expanding = 1;
    INST_expansion_post(job);
    INST_reset_downloads();
    EXPECT_EQ(INST_expansions_in_flight(), 0);
    EXPECT_EQ(stages(), 0);
    EXPECT_EQ(md5_of(install + "f/big"), r.sig_want);
    EXPECT_EQ(INST_directory.packages[0].back().sig_have, r.sig_want);
    EXPECT_EQ(INST_directory.packages[0].back().matches, 1);
}

TEST_F(ConcurrentExpansionTest, TheStepAppliesEachExpansionInALaterCall) {
    test::TempDir release_dir;
    const std::string release = release_dir.file("release");
    std::string report;
    ASSERT_TRUE(test::make_sample_release(release, {}, &report)) << report;
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    LANG_restart_for_test("");
    test::Engine engine(server.port(), work);
    int calls_with_expansions = 0;
    ASSERT_GT(test::Engine::install(install,
                                    [&](int) {
                                        for (const download_slot& slot : INST_dispenser.slots)
                                            if (slot.expanding) {
                                                ++calls_with_expansions;
                                                break;
                                            }
                                    }),
              0)
        << log.text();
    EXPECT_EQ(install_failed, 0);
    EXPECT_GT(calls_with_expansions, 0);
    EXPECT_EQ(INST_expansions_in_flight(), 0);
    for (const package_entry& entry : INST_directory.packages)
        if (entry.back().plan_download) {
            EXPECT_EQ(md5_of(install + entry.back().path), entry.back().sig_want) << entry.back().path;
        }
    EXPECT_EQ(stages(), 0);
}

// Expansions that fail on this machine (their folder is gone; no descriptor is left to open the archive)
// and come back in one call give one alert, which names the error and each package as the server has it;
// the install fails and the step ends, and no server is benched or tried again for them.
TEST_F(ConcurrentExpansionTest, FailuresOfThisMachineInOneCallGiveOneAlert) {
    test::ScopedOptions options{"--qa_script"};
    LOG_init();
    LANG_restart_for_test("");
    const struct {
        const char* name;
        const char* folder;
        bool no_descriptor_left; // the archives and the stage folder are there, but the table is full
        int error;               // the alert's error; 0: not checked
    } cases[] = {
        {"their folder is gone", "gone/", false, 0},
        {"no descriptor left", "f/", true, EMFILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        INST_install_folder = install;
        INST_servers.servers = {{"mirror1.test", "/pub/", "mirror1.test/pub/"}};
        file_record r;
        r.plan_download = 1;
        r.path = std::string(c.folder) + "a";
        INST_directory.packages = {{r}};
        r.path = std::string(c.folder) + "b";
        INST_directory.packages.push_back({r});
        INST_reset_downloads();
        INST_next_work_item(0, 2);
        INST_dispenser.slots[0].expanding = 2;
        // The step makes the stage folder on the main thread before it posts the job.
        const std::string stage = c.no_descriptor_left ? INST_make_stage_folder(install + c.folder) : "";
        std::vector<INST_expansion> jobs;
        for (const char* name : {"a", "b"}) {
            INST_expansion job;
            job.package = name[0] - 'a';
            job.archive = c.no_descriptor_left ? package(name, "new\n") : work + name + ".zip";
            job.suffix = ".zip";
            job.destination = install + c.folder + name;
            job.stage = stage;
            job.url = std::string("mirror1.test/pub/") + c.folder + name + ".zip";
            jobs.push_back(job);
        }
        // A soft limit within reach, and every descriptor below it taken.
        rlimit was{};
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &was), 0);
        std::vector<int> held;
        if (c.no_descriptor_left) {
            rlimit low = was;
            low.rlim_cur = std::min<rlim_t>(was.rlim_cur, 256);
            ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
            for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
                held.push_back(fd);
        }
        for (const INST_expansion& job : jobs)
            INST_expansion_post(job);
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // both are done by then
        for (int fd : held)
            close(fd);
        setrlimit(RLIMIT_NOFILE, &was);
        const std::string before = log.text();
        EXPECT_EQ(INST_download_step(), 1);
        EXPECT_EQ(install_failed, 1);
        const std::string text = log.text().substr(before.size());
        EXPECT_EQ(test::count_of(text, "| The installer cannot extract a file.\n"), 1) << text;
        EXPECT_NE(text.find(std::string("| Compressed File: mirror1.test/pub/") + c.folder),
                  std::string::npos)
            << text;
        std::string error;
        FILE_error_text(error, c.error);
        EXPECT_TRUE(c.error == 0 || text.find("| Error: " + error + "\n") != std::string::npos) << text;
        EXPECT_EQ(text.find("another server is tried"), std::string::npos) << text;
        EXPECT_TRUE(INST_dispenser.failures.empty());
        EXPECT_TRUE(INST_dispenser.retry_list.empty());
        EXPECT_EQ(md5_of(install + c.folder + "a"), "missing");
        INST_reset_downloads();
        if (!stage.empty())
            INST_remove_stage_folder(stage);
        install_failed = 0;
    }
}

} // namespace
