// The drawn alert, the popup menu, resizing and a worker's exception report, in the toolkit driver on an X
// server of its own, driven with xdotool.
#include <gtest/gtest.h>

#include "shell_harness.h"

namespace {

// The alert's 420 x 260 view has its origin at (190, 170) of the 800 x 600 window: its buttons stand at
// view y 18, "Understood" at x 210 alone or 280 beside "Learn More" at 140.
constexpr int button_y = 600 - 170 - 18;
constexpr int alert_x(int x) { return 190 + x; }

class ShellDriverGuiTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
    }
    // Starts the driver with --lang=en and the log in the home folder; waits for two presented frames.
    void run(shell::session& on, std::vector<std::string> args) {
        args.insert(args.end(), {"--lang=en", "--log_path=" + on.home.file("log.txt")});
        on.start(TOOLKIT_DRIVER, args);
        ASSERT_TRUE(on.process->wait_for_output("ready\n", 20000)) << on.process->errors();
        ASSERT_FALSE(on.window().empty());
    }
    bool returned(shell::session& on, int timeout_ms = 5000) {
        return on.process->wait_for_output("alert returned\n", timeout_ms);
    }
    shell::session s;
};

} // namespace

TEST_F(ShellDriverGuiTest, AWarningLooksAsDrawnAndReturnDismissesIt) {
    run(s, {"--alert=1", "--line1=The first line of the warning.", "--line2=A second line",
            "--line3=and a third one that is long enough to be wrapped inside the box twice over.",
            "--line4=The end."});
    s.screenshot();
    shell::expect_golden(s.last_shot, "shell_alert_kind1");
    s.key("Return");
    EXPECT_TRUE(returned(s));
    EXPECT_NE(test::read_file(s.home.file("log.txt")).find("| and a third one"), std::string::npos);
}

TEST_F(ShellDriverGuiTest, EscDismissesAWarningButNotTheLanguageChooser) {
    run(s, {"--alert=0", "--line1=-", "--line2=-", "--line3=-", "--line4=-"});
    s.key("Escape");
    EXPECT_FALSE(returned(s, 700));
    s.key("Return");
    EXPECT_TRUE(returned(s));
    EXPECT_EQ(test::read_file(s.home.file("log.txt")).find("E/SYS"), std::string::npos); // not logged

    shell::session warning;
    run(warning, {"--alert=1", "--line1=Warned."});
    warning.key("Escape");
    EXPECT_TRUE(returned(warning));
}

TEST_F(ShellDriverGuiTest, ADismissedFatalAlertEndsWithZeroAndNestedAlertsWithOne) {
    run(s, {"--alert=2", "--line1=Fatal."});
    s.click(alert_x(210), button_y);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_NE(test::read_file(s.home.file("log.txt")).find("| (toolkit_driver.cpp:99)"), std::string::npos);

    // The second alert shows in the platform's box, over the drawn one. Answered, or ended by SIGTERM, it
    // ends the run with 1; the box goes with it.
    for (const bool term : {false, true}) {
        SCOPED_TRACE(term ? "SIGTERM" : "answered");
        shell::session nested;
        nested.start(TOOLKIT_DRIVER, {"--alert=1", "--line1=First.", "--nested", "--lang=en"});
        ASSERT_FALSE(nested.message_box().empty()) << nested.process->errors();
        if (term)
            nested.process->signal(SIGTERM);
        else
            ASSERT_TRUE(nested.answer_message_box());
        EXPECT_EQ(nested.process->wait_exit(10000), 1);
        EXPECT_NE(nested.process->errors().find("A second alert."), std::string::npos);
        EXPECT_TRUE(shell::wait_until([&] { return nested.message_box(0).empty(); }, 2000));
    }
}

TEST_F(ShellDriverGuiTest, OnlyALinkLongerThanItsSchemeGetsLearnMore) {
    const std::string record = s.home.file("xdg-open.txt");
    shell::fake_program(s.home.file("bin"), "xdg-open", record);
    run(s, {"--alert=1", "--line1=Just text.", "--line4=http://"});
    s.click(alert_x(140), button_y); // where "Learn More" would stand
    EXPECT_FALSE(returned(s, 500));
    s.click(alert_x(210), button_y);
    EXPECT_TRUE(returned(s));

    shell::session linked;
    shell::fake_program(linked.home.file("bin"), "xdg-open", record);
    const std::string url = "http://www.aerivon.example/help?a=1&b='two' $(x)";
    run(linked, {"--alert=1", "--line1=See the page.", "--line4=" + url});
    linked.click(alert_x(140), button_y);
    EXPECT_TRUE(returned(linked));
    EXPECT_TRUE(shell::wait_until([&] { return test::read_file(record) == "1\n" + url + "\n"; }, 5000))
        << test::read_file(record);
}

TEST_F(ShellDriverGuiTest, APopupLooksAsDrawnAndAClickChooses) {
    run(s, {"--popup=5"});
    s.screenshot();
    shell::expect_golden(s.last_shot, "shell_popup");
    s.click(400, 600 - 267); // row 3 spans y 261..273 of screen 0's 800 x 600 view
    EXPECT_TRUE(s.process->wait_for_output("chosen 3\n", 5000)) << s.process->output();
}

TEST_F(ShellDriverGuiTest, ResizingKeepsTheAlertCentred) {
    shell::session big("1280x1024x24");
    run(big, {"--alert=1", "--line1=Centred."});
    ASSERT_TRUE(big.process->wait_for_output("origin 190 170\n", 1000));
    big.xdo("windowsize " + big.window() + " 1000 800");
    EXPECT_TRUE(big.process->wait_for_output("origin 290 270\n", 5000)) << big.process->output();
}

TEST_F(ShellDriverGuiTest, AWorkerReportEndsTheProgramWithZeroFromItsThread) {
    // The worker starts after the first frame, with the window up.
    s.start(TOOLKIT_DRIVER, {"--worker_report", "--lang=en", "--log_path=" + s.home.file("log.txt")});
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_EQ(s.process->errors().find("X Error"), std::string::npos) << s.process->errors();
    EXPECT_EQ(s.process->errors().find("GL"), std::string::npos) << s.process->errors();
    EXPECT_NE(test::read_file(s.home.file("log.txt"))
                  .find("EXCEPTION REPORTED FROM THREAD!!  File: toolkit_driver.cpp, line 7.\nReported from "
                        "a worker.\n"),
              std::string::npos);
}
