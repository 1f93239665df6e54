// Fixtures shared by the installer's tests: a log captured into a file, options set for one test, a limit
// on the size of the files written, and the installer's globals restored afterwards.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"
#include "platform/WIN_system.h"
#include "support/test_support.h"

namespace test {

// LOG_stream goes to a file of its own while the object lives.
class LogCapture {
  public:
    LogCapture() : path_(dir_.file("log.txt")) {
        FILE_open_ofstream(LOG_stream, path_, std::ios_base::out, 0x40);
    }
    ~LogCapture() { LOG_stream.close(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    // Everything written so far.
    std::string text() {
        LOG_stream.flush();
        return read_file(path_);
    }

  private:
    TempDir dir_;
    std::string path_;
};

// Files of this process cannot grow past `bytes` while the object lives (RLIMIT_FSIZE), and it has the
// program's signal handling: a write past the limit fails with EFBIG, as one on a full file system fails
// with ENOSPC. Children started meanwhile inherit the limit. 0 changes nothing.
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        if (bytes == 0 || getrlimit(RLIMIT_FSIZE, &was_) != 0)
            return;
        rlimit low = was_;
        low.rlim_cur = bytes < was_.rlim_max ? bytes : was_.rlim_max;
        sigaction(SIGXFSZ, nullptr, &file_size_);
        sigaction(SIGHUP, nullptr, &hang_up_);
        WIN_set_signal_handling();
        active_ = setrlimit(RLIMIT_FSIZE, &low) == 0;
        EXPECT_TRUE(active_);
    }
    ~ScopedFileSizeLimit() {
        if (!active_)
            return;
        setrlimit(RLIMIT_FSIZE, &was_);
        sigaction(SIGXFSZ, &file_size_, nullptr);
        sigaction(SIGHUP, &hang_up_, nullptr);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    rlimit was_{};
    bool active_ = false;
    struct sigaction file_size_ {};
    struct sigaction hang_up_ {};
};

// No descriptor is left to this process while the object lives (`take` false: nothing changes): the
// limit is lowered to 256 and what is left of it taken, so that the next open or socket() fails with
// EMFILE.
class ScopedNoDescriptors {
  public:
    explicit ScopedNoDescriptors(bool take) {
        if (!take || getrlimit(RLIMIT_NOFILE, &was_) != 0)
            return;
        rlimit low = was_;
        low.rlim_cur = std::min<rlim_t>(was_.rlim_cur, 256);
        active_ = setrlimit(RLIMIT_NOFILE, &low) == 0;
        EXPECT_TRUE(active_);
        for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            taken_.push_back(fd);
    }
    ~ScopedNoDescriptors() {
        for (int fd : taken_)
            close(fd);
        if (active_)
            setrlimit(RLIMIT_NOFILE, &was_);
    }
    ScopedNoDescriptors(const ScopedNoDescriptors&) = delete;
    ScopedNoDescriptors& operator=(const ScopedNoDescriptors&) = delete;

  private:
    rlimit was_{};
    bool active_ = false;
    std::vector<int> taken_;
};

// The command-line options for one test; emptied again afterwards.
class ScopedOptions {
  public:
    explicit ScopedOptions(const char* text) { OPT_parse_only(text); }
    ~ScopedOptions() { OPT_parse_only(""); }
    ScopedOptions(const ScopedOptions&) = delete;
    ScopedOptions& operator=(const ScopedOptions&) = delete;
};

// Resets the installer's globals before and after a test.
class InstallerTest : public testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        INST_release_checksum_queue();
        INST_install_folder.clear();
        FILE_sim_root.clear();
        INST_work_folder.clear();
        INST_selected_os = 2; // the records these tests build are Windows files
        INST_servers = server_list{};
        INST_directory = install_directory{};
        INST_set_include_flags(0, 0);
        INST_tile_selection = tile_grid{};
        INST_offered_tiles = tile_grid{};
    }
};

// Death tests re-run the test in a child, which ends inside the statement. The child makes its own folder
// there, names it on stderr as "<<dir:...>>", and logs into it; the parent reads that log and removes it.
inline std::string child_folder_with_log() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/aerivon-inst-XXXXXX";
    if (!mkdtemp(folder.data()))
        std::_Exit(90);
    std::fprintf(stderr, "<<dir:%s>>", folder.c_str());
    LOG_init();
    FILE_open_ofstream(LOG_stream, folder + "/log.txt", std::ios_base::out, 0x40);
    return folder + "/";
}

// A matcher that keeps the child's stderr.
inline testing::Matcher<const std::string&> capture(std::string& into) {
    return testing::Truly([&into](const std::string& err) {
        into = err;
        return true;
    });
}

// The log of the child whose stderr is `err` ("<no log>" when it named no folder); its folder is removed.
inline std::string child_log(const std::string& err) {
    size_t at = err.find("<<dir:"), end = err.find(">>", at);
    if (at == std::string::npos || end == std::string::npos)
        return "<no log>";
    const std::string folder = err.substr(at + 6, end - at - 6);
    std::string text = read_file(folder + "/log.txt");
    std::filesystem::remove_all(folder);
    return text;
}

// Occurrences of `needle` in `hay`.
inline int count_of(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + needle.size()))
        ++n;
    return n;
}

// A temporary folder holding a work folder (`work`) and a copy (`install`) with the sub-folder `sub`, and the
// log captured.
class CopyTest : public InstallerTest {
  protected:
    explicit CopyTest(const std::string& sub) : sub_(sub) {}
    void SetUp() override {
        InstallerTest::SetUp();
        work = dir.file("work/");
        install = dir.file("copy/");
        std::filesystem::create_directories(work);
        std::filesystem::create_directories(install + sub_);
    }
    TempDir dir;
    LogCapture log;
    std::string work, install;

  private:
    std::string sub_;
};

} // namespace test
