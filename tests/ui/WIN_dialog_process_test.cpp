// Native dialog child processes: the exit-status rules, the output and the pump, through a fake zenity
// script on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/WIN_dialog_process.h"
#include "support/fake_dialogs.h"

namespace {

int pumps = 0;
void count_pump() { ++pumps; }

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
