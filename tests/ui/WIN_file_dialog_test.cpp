// File and folder choosers through the fake zenity and kdialog on PATH (no window): the arguments of each
// mode and backend, the answers, the cancel rules, the order of the backends and the pump while one runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>

#include "platform/WIN_dialog_process.h"
#include "support/fake_dialogs.h"
#include "ui/WIN_file_dialog.h"

namespace {

using v = std::vector<std::string>;

TEST(WinFileDialogTest, EachModeAndBackendGetsItsArguments) {
    test::FakeDialogs both({"zenity", "kdialog"});
    std::string path = "/old/dir/report.txt";
    both.answer("zenity", "/home/u/out.txt");
    ASSERT_TRUE(WIN_choose_file_or_folder(1, "Save it", "/srv/data", path));
    EXPECT_EQ(both.last_call(), (v{"zenity", "--file-selection", "--title=Save it", "--save",
                                   "--filename=/srv/data/report.txt", "--file-filter=All Files | *"}));
    EXPECT_EQ(path, "/home/u/out.txt");

    ASSERT_TRUE(WIN_choose_file_or_folder(0, "Open it", "/srv/data/", path));
    EXPECT_EQ(both.last_call(), (v{"zenity", "--file-selection", "--title=Open it", "--filename=/srv/data/",
                                   "--file-filter=All Files | *"}));

    test::ScopedEnv home("HOME", "/home/tester");
    both.answer("zenity", "/home/tester/games");
    ASSERT_TRUE(WIN_choose_file_or_folder(2, "Where?", "", path));
    EXPECT_EQ(both.last_call(),
              (v{"zenity", "--file-selection", "--title=Where?", "--directory", "--filename=/home/tester/"}));
    EXPECT_EQ(path, "/home/tester/games/") << "a folder gets its '/'";

    both.answer("zenity", "", 2); // any status but 0 and 1: the next backend
    both.answer("kdialog", "/mnt/x");
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        path = "name.txt";
        ASSERT_TRUE(WIN_choose_file_or_folder(mode, "K", "/srv", path));
        const char* verb[] = {"--getopenfilename", "--getsavefilename", "--getexistingdirectory"};
        v expected = {"kdialog", "--title", "K", verb[mode], mode == 1 ? "/srv/name.txt" : "/srv/"};
        if (mode != 2)
            expected.push_back("*|All Files");
        EXPECT_EQ(both.last_call(), expected);
        EXPECT_EQ(path, mode == 2 ? "/mnt/x/" : "/mnt/x");
    }
}

TEST(WinFileDialogTest, TheButtonTextGoesToKdialogOnly) {
    test::FakeDialogs both({"zenity", "kdialog"});
    both.answer("zenity", "/srv/a");
    std::string path;
    ASSERT_TRUE(WIN_choose_file_or_folder(2, "Where?", "/srv", path, "Select"));
    EXPECT_EQ(both.last_call(),
              (v{"zenity", "--file-selection", "--title=Where?", "--directory", "--filename=/srv/"}))
        << "zenity has no option for it";
    both.answer("zenity", "", 2);
    both.answer("kdialog", "/srv/b");
    ASSERT_TRUE(WIN_choose_file_or_folder(2, "Where?", "/srv", path, "Select"));
    EXPECT_EQ(both.last_call(),
              (v{"kdialog", "--title", "Where?", "--ok-label", "Select", "--getexistingdirectory", "/srv/"}));
    EXPECT_EQ(path, "/srv/b/");
}

TEST(WinFileDialogTest, MissingZenityFallsToKdialog) {
    test::FakeDialogs kde({"kdialog"});
    // The answer is the folder's bytes: ':', '\' and Latin-1 bytes are parts of its names.
    for (const std::string answer : {"/data/Games", "/data/Games: Flight/Sims \\ 2026/b\xFF"
                                                    "ad\xFE"}) {
        kde.answer("kdialog", answer);
        std::string path;
        ASSERT_TRUE(WIN_choose_file_or_folder(2, "Folder", "/data", path));
        EXPECT_EQ(path, answer + "/");
    }
    EXPECT_EQ(kde.calls().find("[zenity]"), std::string::npos);
}

TEST(WinFileDialogTest, CancelRules) {
    test::FakeDialogs both({"zenity", "kdialog"});
    both.answer("zenity", "/ignored", 1);
    both.answer("kdialog", "/must/not/be/asked");
    struct row {
        int mode;
        const char* before;
        const char* after;
    } rows[] = {
        {2, "/keep/this/", "/keep/this/"}, // the folder chooser leaves the path alone
        {0, "/some/file", ""},             // the open dialog empties it
        {1, "draft.txt", "draft.txt"},     // the save dialog keeps the name it started with
        {1, "Sims \\ 2026: b\xFF.txt", "Sims \\ 2026: b\xFF.txt"}, // as its bytes
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.mode);
        std::string path = r.before;
        EXPECT_FALSE(WIN_choose_file_or_folder(r.mode, "No", "/tmp", path));
        EXPECT_EQ(path, r.after);
    }
    EXPECT_EQ(both.calls().find("[kdialog]"), std::string::npos) << "a cancel asks no other backend";
}

TEST(WinFileDialogTest, HostileTextsArriveAsOneUnchangedArgumentEach) {
    test::FakeDialogs kde({"kdialog"});
    kde.answer("kdialog", "/tmp/z");
    const std::string prompt = "Say \"hi\" 'there' $(touch /tmp/pwned) `id` ; | &";
    const std::string start = "/tmp/a folder/$(rm -rf x)/";
    std::string path;
    ASSERT_TRUE(WIN_choose_file_or_folder(2, prompt, start, path));
    EXPECT_EQ(kde.last_call(), (v{"kdialog", "--title", prompt, "--getexistingdirectory", start}));
}

TEST(WinFileDialogTest, ThePumpRunsWhileTheDialogIsOpen) {
    test::TempDir d;
    const std::string slow = d.file("slow");
    test::write_file(slow, "#!/bin/sh\n/bin/sleep 0.3; echo /done\n");
    chmod(slow.c_str(), 0755);
    static int pumps = 0;
    std::string out;
    EXPECT_EQ(WIN_run_dialog_process(
                  {slow}, [] { ++pumps; }, out),
              WIN_DIALOG_CONFIRMED);
    EXPECT_EQ(out, "/done");
    EXPECT_GE(pumps, 3);
}

// The chooser starts with the default handling of the signals this process ignores (SIGPIPE for its
// sockets, SIGXFSZ for its writes), as the user's other programs do.
TEST(WinFileDialogTest, TheDialogStartsWithDefaultSignalHandling) {
    struct sigaction ignore = {}, was_pipe = {}, was_size = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &was_pipe);
    sigaction(SIGXFSZ, &ignore, &was_size);
    std::string out;
    EXPECT_EQ(WIN_run_dialog_process({"sed", "-n", "s/^SigIgn:\\t*//p", "/proc/self/status"}, nullptr, out),
              WIN_DIALOG_CONFIRMED);
    sigaction(SIGPIPE, &was_pipe, nullptr);
    sigaction(SIGXFSZ, &was_size, nullptr);
    const unsigned long long ignored = std::stoull(out.empty() ? "0" : out, nullptr, 16);
    for (int signal : {SIGPIPE, SIGXFSZ})
        EXPECT_EQ(ignored >> (signal - 1) & 1, 0u) << strsignal(signal) << " in " << out;
}

} // namespace
