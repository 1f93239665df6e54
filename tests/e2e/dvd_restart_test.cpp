// Started from a disc, the installer copies itself into its private work folder, starts the copy and ends;
// the copy runs on and never restarts. The disc is a folder in the list of test roots.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>

#include "platform/WIN_mounts.h"
#include "ui/shell_harness.h"

namespace {

namespace fs = std::filesystem;

// The processes whose executable lies under `folder`: pid and executable.
std::vector<std::pair<pid_t, fs::path>> processes_under(const std::string& folder) {
    std::vector<std::pair<pid_t, fs::path>> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string exe = fs::read_symlink(e.path() / "exe", ec).string();
        if (!ec && exe.rfind(folder, 0) == 0)
            out.emplace_back(std::stoi(e.path().filename().string()), exe);
    }
    return out;
}

TEST(DvdRestartTest, RunFromADiscRestartsOnceFromThePrivateWorkFolder) {
    prctl(PR_SET_CHILD_SUBREAPER, 1); // the orphaned copy becomes ours to reap
    for (const bool tmp_on_disc : {false, true}) {
        SCOPED_TRACE(tmp_on_disc ? "TMPDIR on the disc" : "TMPDIR beside the disc");
        shell::session s;
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
        const std::string disc = s.home.file("disc"), tmp = tmp_on_disc ? disc + "/tmp" : s.home.file("tmp");
        fs::create_directories(disc);
        fs::create_directories(tmp);
        test::write_file(disc + "/dvd_version.txt", "I\n1000 version\nDVD\nVERSION Aerivon 10\n");
        fs::copy_file(AERIVON_EXE, disc + "/aerivon-installer");
        test::write_file(s.home.file("roots"), disc + "\n");

        s.start(disc + "/aerivon-installer", {},
                {{"TMPDIR", tmp}, {WIN_DVD_ROOTS_VARIABLE, s.home.file("roots")}});
        EXPECT_GE(s.process->wait_exit(10000), 0);
        // The copy passed the disc check and brought the program up.
        const std::string log = s.home.file("Desktop/Aerivon Installer Log.txt");
        EXPECT_TRUE(shell::wait_until(
            [&] { return test::read_file(log).find("os_dir_temp") != std::string::npos; }, 30000));
        const auto running = processes_under(tmp + "/");
        ASSERT_EQ(running.size(), 1u);
        const fs::path folder = running[0].second.parent_path();
        EXPECT_EQ(folder.parent_path(), fs::path(tmp));
        EXPECT_EQ(folder.filename().string().rfind("aerivon-installer-", 0), 0u) << folder;
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
        int copies = 0; // one restart: one work folder holds the program
        for (const auto& e : fs::directory_iterator(tmp))
            copies += fs::exists(e.path() / "aerivon-installer") ? 1 : 0;
        EXPECT_EQ(copies, 1);

        kill(running[0].first, SIGKILL);
        waitpid(running[0].first, nullptr, 0);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

} // namespace
