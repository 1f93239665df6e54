// The drawn alert, the popup menu, resizing and a worker's exception report, in the toolkit driver on an X
// server of its own, driven with xdotool.
#include <gtest/gtest.h>

#include "shell_harness.h"

namespace {

// Window 800 x 600; the alert's 420 x 260 view has its origin at (190, 170). A view point (x, y) is the
// window pixel (190 + x, 600 - 170 - y).
constexpr int alert_x(float x) { return 190 + static_cast<int>(x); }
constexpr int alert_y(float y) { return 430 - static_cast<int>(y); }

class ShellDriverGuiTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
    }
    // Starts the driver with --lang=en and a log in the home folder; waits for two presented frames.
    void run(std::vector<std::string> args) {
        args.push_back("--lang=en");
        args.push_back("--log_path=" + s.home.file("log.txt"));
        s.start(TOOLKIT_DRIVER, args);
        ASSERT_TRUE(s.process->wait_for_output("ready\n", 20000)) << s.process->errors();
        ASSERT_FALSE(s.window().empty());
    }
    std::string log() { return test::read_file(s.home.file("log.txt")); }
    shell::session s;
};

} // namespace

TEST_F(ShellDriverGuiTest, AWarningLooksAsDrawnAndReturnDismissesIt) {
    run({"--alert=1", "--line1=The first line of the warning.", "--line2=A second line",
         "--line3=and a third one that is long enough to be wrapped inside the box twice over.",
         "--line4=The end."});
    s.screenshot("alert_kind1");
    shell::expect_golden(s.last_shot, "shell_alert_kind1");
    s.key("Return");
    EXPECT_TRUE(s.process->wait_for_output("alert returned\n", 5000));
    EXPECT_NE(log().find("| and a third one that is long enough"), std::string::npos);
    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
}

TEST_F(ShellDriverGuiTest, EscDismissesAWarningButNotTheLanguageChooser) {
    run({"--alert=0", "--line1=-", "--line2=-", "--line3=-", "--line4=-"});
    s.key("Escape");
    EXPECT_FALSE(s.process->wait_for_output("alert returned\n", 700));
    s.key("Return");
    EXPECT_TRUE(s.process->wait_for_output("alert returned\n", 5000));
    EXPECT_EQ(log().find("E/SYS"), std::string::npos); // the chooser is not logged

    shell::session second;
    second.start(TOOLKIT_DRIVER, {"--alert=1", "--line1=Warned.", "--lang=en"});
    ASSERT_TRUE(second.process->wait_for_output("ready\n", 20000));
    second.window();
    second.key("Escape");
    EXPECT_TRUE(second.process->wait_for_output("alert returned\n", 5000));
}

TEST_F(ShellDriverGuiTest, ADismissedFatalAlertEndsWithZeroAndNestedAlertsWithOne) {
    run({"--alert=2", "--line1=Fatal."});
    s.click(alert_x(210), alert_y(18)); // "Understood"
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_NE(log().find("| (toolkit_driver.cpp:99)"), std::string::npos);

    shell::session nested;
    nested.start(TOOLKIT_DRIVER, {"--alert=1", "--line1=First.", "--nested", "--lang=en"});
    EXPECT_EQ(nested.process->wait_exit(20000), 1);
    EXPECT_NE(nested.process->errors().find("A second alert."), std::string::npos);
}

TEST_F(ShellDriverGuiTest, OnlyALinkLongerThanItsSchemeGetsLearnMore) {
    const std::string record = s.home.file("xdg-open.txt");
    shell::fake_program(s.home.file("bin"), "xdg-open", record);
    run({"--alert=1", "--line1=Just text.", "--line4=http://"});
    s.click(alert_x(140), alert_y(18)); // where "Learn More" would stand
    EXPECT_FALSE(s.process->wait_for_output("alert returned\n", 500));
    s.click(alert_x(210), alert_y(18)); // "Understood" in the middle
    EXPECT_TRUE(s.process->wait_for_output("alert returned\n", 5000));
    EXPECT_FALSE(test::read_file(record).size());
    s.process->signal(SIGTERM);
    s.process->wait_exit(10000);

    shell::session linked;
    shell::fake_program(linked.home.file("bin"), "xdg-open", record);
    const std::string url = "http://www.aerivon.example/help?a=1&b='two' $(x)";
    linked.start(TOOLKIT_DRIVER, {"--alert=1", "--line1=See the page.", "--line4=" + url, "--lang=en"});
    ASSERT_TRUE(linked.process->wait_for_output("ready\n", 20000));
    linked.click(alert_x(140), alert_y(18));
    EXPECT_TRUE(linked.process->wait_for_output("alert returned\n", 5000));
    ASSERT_TRUE(shell::wait_until([&] { return !test::read_file(record).empty(); }, 5000));
    EXPECT_EQ(test::read_file(record), "1\n" + url + "\n");
}

TEST_F(ShellDriverGuiTest, APopupLooksAsDrawnAndAClickChooses) {
    run({"--popup=5"});
    s.screenshot("popup");
    shell::expect_golden(s.last_shot, "shell_popup");
    // Row 3 spans y 261..273 of the 800 x 600 view of screen 0; window y = 600 - y.
    s.click(400, 600 - 267);
    EXPECT_TRUE(s.process->wait_for_output("chosen 3\n", 5000)) << s.process->output();
}

TEST_F(ShellDriverGuiTest, ResizingKeepsTheAlertCentred) {
    shell::session big("1280x1024x24");
    big.start(TOOLKIT_DRIVER, {"--alert=1", "--line1=Centred.", "--lang=en"});
    ASSERT_TRUE(big.process->wait_for_output("origin 190 170\n", 20000));
    big.xdo("windowsize " + big.window() + " 1000 800");
    EXPECT_TRUE(big.process->wait_for_output("origin 290 270\n", 5000)) << big.process->output();
}

TEST_F(ShellDriverGuiTest, AWorkerReportEndsTheProgramWithZeroFromItsThread) {
    // The worker starts after the first frame, with the window up.
    s.start(TOOLKIT_DRIVER, {"--worker_report", "--lang=en", "--log_path=" + s.home.file("log.txt")});
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    const std::string err = s.process->errors();
    EXPECT_EQ(err.find("X Error"), std::string::npos) << err;
    EXPECT_EQ(err.find("GL"), std::string::npos) << err;
    EXPECT_NE(log().find("EXCEPTION REPORTED FROM THREAD!!  File: toolkit_driver.cpp, line 7.\n"
                         "Reported from a worker.\n"),
              std::string::npos);
}
