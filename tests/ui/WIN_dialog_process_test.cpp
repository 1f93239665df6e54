// Native dialog child processes: argument lists, the exit-status rules and the output, through fake
// zenity and kdialog scripts on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/WIN_dialog_process.h"
#include "support/fake_dialogs.h"

namespace {

int pumps = 0;
void count_pump() { ++pumps; }

TEST(WinDialogProcessTest, ArgumentListsOfEachModeAndBackend) {
    const std::string p = "Pick", s = "/home/u/";
    using v = std::vector<std::string>;
    EXPECT_EQ(WIN_zenity_arguments(0, p, s),
              (v{"zenity", "--file-selection", "--title=Pick", "--filename=/home/u/"}));
    EXPECT_EQ(WIN_zenity_arguments(1, p, s + "a.txt"),
              (v{"zenity", "--file-selection", "--title=Pick", "--save", "--filename=/home/u/a.txt"}));
    EXPECT_EQ(WIN_zenity_arguments(2, p, s),
              (v{"zenity", "--file-selection", "--title=Pick", "--directory", "--filename=/home/u/"}));
    EXPECT_EQ(WIN_kdialog_arguments(0, p, s), (v{"kdialog", "--title", "Pick", "--getopenfilename", s}));
    EXPECT_EQ(WIN_kdialog_arguments(1, p, s), (v{"kdialog", "--title", "Pick", "--getsavefilename", s}));
    EXPECT_EQ(WIN_kdialog_arguments(2, p, s), (v{"kdialog", "--title", "Pick", "--getexistingdirectory", s}));
}

TEST(WinDialogProcessTest, ExitStatusDecidesAndTheOutputLosesOnlyItsFinalLineEnd) {
    struct row {
        const char* answer;
        int status;
        WIN_dialog_result result;
        const char* out;
    } rows[] = {
        {"/tmp/a b/", 0, WIN_DIALOG_CONFIRMED, "/tmp/a b/"},
        {"/tmp/x\n", 0, WIN_DIALOG_CONFIRMED, "/tmp/x\n"}, // the script adds one more line end
        {"", 0, WIN_DIALOG_CANCELLED, ""},
        {"/tmp/ignored", 1, WIN_DIALOG_CANCELLED, ""},
        {"/tmp/ignored", 5, WIN_DIALOG_UNAVAILABLE, ""},
        {"", 255, WIN_DIALOG_UNAVAILABLE, ""},
    };
    test::FakeDialogs fake({"zenity"});
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.answer) + " / " + std::to_string(r.status));
        fake.answer("zenity", r.answer, r.status);
        std::string out = "stale";
        EXPECT_EQ(WIN_run_dialog_process({"zenity"}, nullptr, out), r.result);
        EXPECT_EQ(out, r.out);
    }
}

TEST(WinDialogProcessTest, MissingProgramIsUnavailable) {
    test::FakeDialogs fake({});
    std::string out;
    EXPECT_EQ(WIN_run_dialog_process({"zenity"}, nullptr, out), WIN_DIALOG_UNAVAILABLE);
    EXPECT_EQ(WIN_run_dialog_process({"/nonexistent/kdialog"}, nullptr, out), WIN_DIALOG_UNAVAILABLE);
}

TEST(WinDialogProcessTest, HostileTextsArriveAsOneUnchangedArgumentEach) {
    test::FakeDialogs fake({"kdialog"});
    fake.answer("kdialog", "/tmp/z");
    const std::string prompt = "Say \"hi\" 'there' $(touch /tmp/pwned) `id` ; |";
    const std::string start = "/tmp/a folder/$(rm -rf x)/";
    std::string out;
    ASSERT_EQ(WIN_run_dialog_process(WIN_kdialog_arguments(2, prompt, start), nullptr, out),
              WIN_DIALOG_CONFIRMED);
    EXPECT_EQ(fake.last_call(),
              (std::vector<std::string>{"kdialog", "--title", prompt, "--getexistingdirectory", start}));
}

TEST(WinDialogProcessTest, PumpRunsWhileTheChildWaits) {
    test::FakeDialogs fake({});
    test::TempDir d;
    std::string script = d.file("slow");
    test::write_file(script, "#!/bin/sh\n/bin/sleep 0.3; echo /done\n");
    chmod(script.c_str(), 0755);
    pumps = 0;
    std::string out;
    EXPECT_EQ(WIN_run_dialog_process({script}, count_pump, out), WIN_DIALOG_CONFIRMED);
    EXPECT_EQ(out, "/done");
    EXPECT_GE(pumps, 2);
}

} // namespace
