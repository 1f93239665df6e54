// What a run killed in mid-expansion or in mid-copy leaves, and how the next run clears it: the private
// expansion folder in the copy (removed by the plan) and the work folder under the temporary folder
// (removed at start-up once its lock is free). A run that is still going keeps its folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "installer/INST_expand.h"
#include "installer/INST_plan.h"
#include "installer/INST_work_lock.h"
#include "installer_fixtures.h"
#include "support/engine_harness.h"

namespace {

namespace fs = std::filesystem;

// Names in a folder beginning with `prefix`.
std::vector<std::string> named(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            out.push_back(e.path().filename().string());
    return out;
}

// A work folder made as the file layer makes one, under `base`.
std::string make_work_folder(const std::string& base) {
    std::string tmpl = base + "aerivon-installer-XXXXXX";
    EXPECT_NE(mkdtemp(tmpl.data()), nullptr);
    return tmpl + "/";
}

// A child that locks a work folder of its own under `base`, then runs `work`, then sleeps until killed.
pid_t run_child(const std::string& base, const std::function<void()>& work) {
    const pid_t pid = fork();
    if (pid == 0) {
        INST_lock_work_folder(make_work_folder(base));
        work();
        for (;;)
            pause();
    }
    return pid;
}

void kill_child(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

// The size of the first file named ".aerivon-copy-*" under `folder` (links not followed), or -1.
long long copy_sibling_size(const std::string& folder) {
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.path().filename().string().rfind(".aerivon-copy-", 0) == 0)
            return static_cast<long long>(e.file_size());
    return -1;
}

// A fresh folder on a file system other than that of `than` ("" when /dev/shm is not one), removed with
// the object.
struct OtherFileSystem {
    std::string path;
    explicit OtherFileSystem(const std::string& than) {
        struct stat here, there;
        std::string tmpl = "/dev/shm/aerivon-test-XXXXXX";
        if (stat(than.c_str(), &here) == 0 && stat("/dev/shm", &there) == 0 && here.st_dev != there.st_dev &&
            mkdtemp(tmpl.data()))
            path = tmpl + "/";
    }
    ~OtherFileSystem() {
        if (!path.empty())
            fs::remove_all(path);
    }
};

// The temporary folder that holds the runs' work folders is the fixture's "work/".
struct WorkLockTest : test::CopyTest {
    WorkLockTest() : CopyTest("Resources") {}
    std::string& base = work;
};

TEST_F(WorkLockTest, AKilledExpansionLeavesNothingOnceTheNextRunStarts) {
    // 256 MiB of zeros pack into a small zip that takes a while to expand.
    test::write_file(dir.file("make.py"), "import zipfile,sys\n"
                                          "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                                          "with z.open('big.dat','w',force_zip64=True) as f:\n"
                                          "    for i in range(256): f.write(bytes(1<<20))\n"
                                          "z.close()\n");
    ASSERT_EQ(test::shell("python3 '" + dir.file("make.py") + "' '" + dir.file("big.dat.zip") + "'"), 0);
    test::write_file(install + "Resources/big.dat", "old\n");

    // The run being killed: its work folder, and the expansion under way in the copy.
    const pid_t killed = run_child(base, [&] {
        INST_expand_into_place(dir.file("big.dat.zip"), ".zip", install + "Resources/big.dat", "", 300000.0f);
    });
    const bool caught = test::Engine::poll([&] {
        for (const std::string& stage : named(install + "Resources", INST_UNPACK_PREFIX))
            for (const auto& e : fs::directory_iterator(install + "Resources/" + stage))
                if (e.is_regular_file() && e.file_size() > (1u << 20))
                    return true;
        return false;
    });
    kill_child(killed);
    ASSERT_TRUE(caught) << "the expansion was not seen under way";

    // A run killed while it copies a plain package into place from another file system; the copy waits on
    // the bytes of a pipe. Its partial file is no sibling of the destination.
    OtherFileSystem other(install);
    const size_t killed_runs = other.path.empty() ? 1 : 2;
    if (other.path.empty()) {
        std::cout << "/dev/shm is no other file system: the copy across file systems is not tried\n";
    } else {
        const std::string pipe = other.path + "added.txt";
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        const pid_t copying = run_child(
            base, [&] { INST_expand_into_place(pipe, "", install + "Resources/added.txt", "", 1.0f); });
        int fd = -1;
        test::Engine::poll([&] { return (fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0; });
        const bool wrote = fd >= 0 && write(fd, "partial", 7) == 7;
        const bool copying_seen =
            wrote && test::Engine::poll([&] { return copy_sibling_size(install + "Resources") == 7; });
        kill_child(copying);
        if (fd >= 0)
            close(fd);
        ASSERT_TRUE(copying_seen) << "the copy was not seen under way";
        EXPECT_TRUE(named(install + "Resources", ".aerivon-copy-").empty()) << "a sibling of the destination";
    }
    ASSERT_EQ(named(install + "Resources", INST_UNPACK_PREFIX).size(), killed_runs);
    ASSERT_EQ(named(base, "aerivon-installer-").size(), killed_runs);

    // A run that is still going, with a stage folder of its own in the copy, and what the clean-up must
    // leave: a link named like a stage (pointing outside the copy), a folder of another name, a stage-named
    // folder outside the copy, a file in place.
    const pid_t alive = run_child(base, [&] { INST_make_stage_folder(install + "Resources/"); });
    ASSERT_TRUE(test::Engine::poll([&] {
        return named(base, "aerivon-installer-").size() == killed_runs + 1 &&
               named(install + "Resources", INST_UNPACK_PREFIX).size() == killed_runs + 1;
    }));
    std::string live_stage; // the empty one: the killed runs' hold their partial files
    for (const std::string& name : named(install + "Resources", INST_UNPACK_PREFIX))
        if (fs::is_empty(install + "Resources/" + name))
            live_stage = name;
    ASSERT_FALSE(live_stage.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // its lock is taken
    fs::create_directories(dir.file("outside/.aerivon-unpack-kept"));
    test::write_file(dir.file("outside/.aerivon-unpack-kept/f"), "f\n");
    fs::create_directory_symlink(dir.file("outside/.aerivon-unpack-kept"),
                                 install + "Resources/.aerivon-unpack-link");
    fs::create_directories(install + "Resources/other");
    fs::create_directories(base + "unrelated");

    // The next run: its own folder, the clean-up at start, then the plan.
    const std::string own = make_work_folder(base);
    ASSERT_TRUE(INST_lock_work_folder(own));
    EXPECT_EQ(INST_remove_stale_work_folders(base, own, ""), static_cast<int>(killed_runs));
    file_record r;
    r.path = "Resources/big.dat";
    r.sig_want = "0123456789abcdef0123456789abcdef";
    r.sig_have = "NONE";
    INST_directory.packages = {{r}};
    INST_install_folder = install;
    INST_set_include_flags(1, 0);
    ASSERT_EQ(INST_plan_install_actions(), 1);

    std::vector<std::string> left = named(install + "Resources", INST_UNPACK_PREFIX),
                             want = {live_stage, ".aerivon-unpack-link"};
    std::sort(left.begin(), left.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(left, want);
    EXPECT_TRUE(fs::exists(dir.file("outside/.aerivon-unpack-kept/f")));
    EXPECT_TRUE(fs::exists(install + "Resources/other"));
    EXPECT_EQ(test::read_file(install + "Resources/big.dat"), "old\n");
    EXPECT_FALSE(fs::exists(install + "Resources/added.txt"));
    EXPECT_EQ(copy_sibling_size(install), -1);
    EXPECT_EQ(named(base, "aerivon-installer-").size(), 2u); // the live run's and our own
    EXPECT_TRUE(fs::exists(own));
    EXPECT_TRUE(fs::exists(base + "unrelated"));
    EXPECT_NE(log.text().find("of a run that is gone, with result=0."), std::string::npos) << log.text();

    // Once the other run is gone too, its folders go at the next start.
    kill_child(alive);
    EXPECT_EQ(INST_remove_stale_work_folders(base, own, ""), 1);
    EXPECT_EQ(INST_remove_unpack_leftovers(install + "Resources/"), 1);
    EXPECT_FALSE(fs::exists(install + "Resources/" + live_stage));
    EXPECT_EQ(named(base, "aerivon-installer-"),
              std::vector<std::string>{fs::path(own).parent_path().filename()});
}

TEST_F(WorkLockTest, AFolderWithoutALockIsLeftWhileARunCouldStillBeStarting) {
    const std::string young = make_work_folder(base), old = make_work_folder(base);
    const auto long_ago = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    fs::last_write_time(old, long_ago);
    EXPECT_EQ(INST_remove_stale_work_folders(base, "", ""), 1);
    EXPECT_TRUE(fs::exists(young));
    EXPECT_FALSE(fs::exists(old));
    // The folder of the running program (a copy restarted from a disc) is never removed.
    fs::last_write_time(young, long_ago);
    EXPECT_EQ(INST_remove_stale_work_folders(base, "", young), 0);
    EXPECT_TRUE(fs::exists(young));
}

} // namespace
