// The installer started from a disc copies itself into a private work folder, starts the copy and ends;
// the copy runs on and never restarts again. The disc is a folder named in the list of test roots; the
// copy's window goes to an Xvfb of the test's own.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/WIN_mounts.h"
#include "support/test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::vector<char*> pointers(std::vector<std::string>& words) {
    std::vector<char*> out;
    for (std::string& w : words)
        out.push_back(w.data());
    out.push_back(nullptr);
    return out;
}

// An Xvfb of the test's own, stopped when the object goes.
class xserver {
  public:
    xserver() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 3);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> argv = {"Xvfb", "-displayfd", "3",         "-screen",
                                         "0",    "800x600x24", "-nolisten", "tcp"};
        if (posix_spawnp(&pid_, "Xvfb", &fa, nullptr, pointers(argv).data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        pollfd p{fds[0], POLLIN, 0};
        char c;
        std::string number;
        while (pid_ > 0 && poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    ~xserver() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    xserver(const xserver&) = delete;
    xserver& operator=(const xserver&) = delete;
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// The pids of the processes whose executable lies under `folder` (ending in '/'), with that path.
std::vector<std::pair<pid_t, std::string>> processes_under(const std::string& folder) {
    std::vector<std::pair<pid_t, std::string>> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string exe = fs::read_symlink(e.path() / "exe", ec).string();
        if (!ec && exe.rfind(folder, 0) == 0)
            out.emplace_back(static_cast<pid_t>(std::stoi(name)), exe);
    }
    return out;
}

bool wait_for(const std::function<bool()>& done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Orphans of the test (the restarted copy) become its children, so it can reap them.
struct subreaper {
    subreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~subreaper() { prctl(PR_SET_CHILD_SUBREAPER, 0); }
};

TEST(DvdRestartTest, RunFromADiscRestartsOnceFromThePrivateWorkFolder) {
    xserver x;
    if (x.display().empty())
        GTEST_SKIP() << "no Xvfb to run the installer's window on";
    subreaper reaper;
    // The disc root beside the temporary folder, and the disc root holding it.
    for (const bool tmp_inside_disc : {false, true}) {
        SCOPED_TRACE(tmp_inside_disc ? "the disc holds TMPDIR" : "TMPDIR beside the disc");
        test::TempDir top;
        const std::string disc = top.file("disc"), home = top.file("home");
        const std::string tmp = tmp_inside_disc ? disc + "/tmp" : top.file("tmp");
        fs::create_directories(disc);
        fs::create_directories(tmp);
        fs::create_directories(home + "/Desktop");
        test::write_file(disc + "/dvd_version.txt", "I\n1000 version\nDVD\nVERSION Aerivon 10\n");
        fs::copy_file(AERIVON_EXE, disc + "/aerivon-installer");
        test::write_file(top.file("roots"), disc + "\n");

        std::vector<std::string> env = {"HOME=" + home,
                                        "TMPDIR=" + tmp,
                                        "DISPLAY=" + x.display(),
                                        "SDL_VIDEODRIVER=x11",
                                        std::string(WIN_DVD_ROOTS_VARIABLE) + "=" + top.file("roots"),
                                        "PATH=/usr/bin:/bin",
                                        "LANG=en_US.UTF-8"};
        std::vector<std::string> argv = {disc + "/aerivon-installer"};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, top.file("out.txt").c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_addopen(&fa, 2, top.file("err.txt").c_str(), O_WRONLY | O_CREAT, 0644);
        pid_t first = -1;
        ASSERT_EQ(
            posix_spawn(&first, argv[0].c_str(), &fa, nullptr, pointers(argv).data(), pointers(env).data()),
            0);
        posix_spawn_file_actions_destroy(&fa);
        int status = 0;
        ASSERT_EQ(waitpid(first, &status, 0), first);
        EXPECT_TRUE(WIFEXITED(status)) << status;

        // The copy has passed the disc check and brought the program up.
        const std::string log = home + "/Desktop/Aerivon Installer Log.txt";
        const bool up =
            wait_for([&] { return test::read_file(log).find("os_dir_temp") != std::string::npos; }, 30);
        const auto running = processes_under(tmp + "/");
        ASSERT_EQ(running.size(), 1u) << test::read_file(top.file("err.txt"));
        EXPECT_TRUE(up) << test::read_file(log);
        const fs::path exe = running[0].second;
        EXPECT_EQ(exe.parent_path().parent_path(), fs::path(tmp));
        EXPECT_EQ(exe.parent_path().filename().string().rfind("aerivon-installer-", 0), 0u) << exe;
        EXPECT_EQ(fs::status(exe.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
        // One restart: one work folder holds a copy of the program.
        int copies = 0;
        for (const auto& e : fs::directory_iterator(tmp))
            copies += fs::exists(e.path() / "aerivon-installer") ? 1 : 0;
        EXPECT_EQ(copies, 1);

        const pid_t copy = running[0].first;
        kill(copy, SIGTERM);
        if (!wait_for([&] { return waitpid(copy, nullptr, WNOHANG) == copy; }, 10)) {
            kill(copy, SIGKILL);
            waitpid(copy, nullptr, 0);
        }
    }
}

} // namespace
