// The program's start-up, frames and exit as a user sees them: its window on an X server of its own, the
// log, the language chooser, the preferences, and a run without a display.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "ui/shell_harness.h"

namespace {

// Waits until the window shows screen 0, the wizard: both of its panels in their fill colour (style 23 of
// the generated art) where no text is drawn; the window is black before its first frame.
bool shows_screen_0(shell::session& s) {
    const std::array<int, 3> panel_fill = {22, 32, 48};
    return shell::wait_until(
        [&] {
            const shell::image img = s.screenshot();
            return !img.empty() && img.at(150, 530) == panel_fill && img.at(700, 400) == panel_fill;
        },
        10000);
}

class ShellProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
    }
    shell::session s;
    const std::string log_path = s.home.file("log.txt");
    const std::string prefs = s.home.file(".local/share/Aerivon Installer.prf");
};

} // namespace

TEST_F(ShellProgramTest, AnAutomatedRunLogsItsHeaderShowsScreenZeroAndEndsOnSigterm) {
    s.start(AERIVON_EXE, {"--qa_script=1", "--lang=en", "--log_path=" + log_path});
    ASSERT_FALSE(s.window().empty()) << s.process->errors();
    EXPECT_TRUE(shows_screen_0(s)) << "the frames are not presented";
    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_TRUE(test::read_file(prefs).empty());

    const std::string log = test::read_file(log_path);
    size_t at = 0;
    for (const char* item :
         {"Installer log.txt for Aerivon Demo Installer 3.22r1 compiled on ",
          "\n\nThis log file is generated automatically", "\nIf you need to contact tech support",
          "\n\nIf you got a hard system crash", "\n\nLinux ", "\nThis is a 64-bit version of Linux.\n",
          "\nCPU type: ", "\nPhysical Memory (total for computer): ",
          "\nMaximum Virtual Memory (for Aerivon only): ", "\nCPU 0: ",
          "\n\nSim-Root folder:'', case sensitive=0\n\n-----",
          "\nApplication was launched with the following command line options...\n\t'--lang'='en'\n",
          "\t'--qa_script'='1'\n-----", "\nOpenGL Vendor    : ", "\nThis video card is: ",
          "\nCPU count        : ", "\nClean exit from threads.\n"}) {
        at = log.find(item, at);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << item << "\n" << log;
    }
}

// In the C locale of SSH logins and containers the program starts in English, with no language chooser.
TEST_F(ShellProgramTest, ARunWithoutOptionsSavesThePreferencesOnSigterm) {
    s.start(AERIVON_EXE, {}, {{"LANG", "C.UTF-8"}});
    ASSERT_FALSE(s.window().empty()) << s.process->errors();
    ASSERT_TRUE(shows_screen_0(s));
    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    const std::string log = test::read_file(s.home.file("Desktop/Aerivon Installer Log.txt"));
    EXPECT_NE(log.find("\nSim-Root folder:'', case sensitive=0\n\n"), std::string::npos);
    EXPECT_EQ(log.find("Application was launched"), std::string::npos);
    EXPECT_EQ(test::read_file(prefs).rfind("I\n10 version\n", 0), 0u);
}

TEST_F(ShellProgramTest, TheLanguageChooserComesUpWhenTheLanguageIsNotAvailable) {
    s.start(AERIVON_EXE, {"--log_path=" + log_path}, {{"LANG", "xx_YY"}});
    ASSERT_TRUE(s.wait_for_alert());
    shell::expect_golden(s.last_shot, "shell_chooser");
    // "Deutsch", the third radio: centred 25 left of the middle of the 420-wide view and at its y 163,
    // the view's origin being (190, 170) in the 800 x 600 window.
    s.click(190 + 185, 600 - 170 - 163);
    s.key("Return");
    EXPECT_TRUE(shows_screen_0(s)); // start-up went on
    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_NE(test::read_file(log_path).find(" ==== CHANGING LANGUAGE TO: Deutsch. ====\n"),
              std::string::npos);
}

// The chooser over the window's black: the language it came with stays when a quit cancels it, and the run
// ends as any run does. Outside its centred 420 x 260 view (origin (190, 170)) nothing is painted.
TEST_F(ShellProgramTest, AQuitWhileTheLanguageChooserShowsCancelsItAndEndsTheRun) {
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "window closed" : "SIGTERM");
        std::remove(log_path.c_str());
        s.start(AERIVON_EXE, {"--log_path=" + log_path}, {{"LANG", "sv_SE.UTF-8"}});
        ASSERT_TRUE(s.wait_for_alert());
        const shell::image shot = shell::read_image(s.last_shot);
        for (const auto& [x, y] : {std::pair{5, 595}, {100, 500}, {400, 590}, {700, 100}, {180, 430}})
            EXPECT_EQ(shot.at(x, y), (std::array<int, 3>{0, 0, 0}))
                << x << ", " << y << " in " << s.last_shot;
        s.click(190 + 185, 600 - 170 - 163); // "Deutsch", not accepted
        if (close)
            ASSERT_TRUE(s.close_window());
        else
            s.process->signal(SIGTERM);
        EXPECT_EQ(s.process->wait_exit(10000), 0);
        const std::string log = test::read_file(log_path);
        EXPECT_EQ(log.find("CHANGING LANGUAGE TO: Deutsch"), std::string::npos) << log;
        EXPECT_NE(log.find("\nClean exit from threads.\n"), std::string::npos) << log;
    }
}

// Before the graphics are up an alert shows in the platform's box, a window of its own: the refusal of an
// OpenGL below 2.0 (kind 2; kind 1 with --force_run, and start-up goes on), and the window alert on a
// display without OpenGL (kind 3). Answered with Return or a click on its button, a fatal alert ends the run
// with its kind's exit code. SIGTERM while the box shows ends the run as promptly, with the same code; where
// the run goes on, it saves the preferences as any run ended by SIGTERM does.
TEST(ShellProgramBoxTest, TheBoxIsAnsweredOrEndedBySigterm) {
    enum class answer { key, click, sigterm };
    const std::string refusal = "Your graphics hardware cannot support Aerivon.";
    const std::string window_alert = "I could not set up the graphics for Aerivon!";
    const struct {
        bool no_gl, force_run;
        answer how;
        int exit_code;
        const std::string& first;
    } rows[] = {
        {false, false, answer::key, 0, refusal},         {true, false, answer::click, 1, window_alert},
        {false, true, answer::key, 0, refusal},          {false, false, answer::sigterm, 0, refusal},
        {true, false, answer::sigterm, 1, window_alert}, {false, true, answer::sigterm, 0, refusal},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.first << " force_run " << r.force_run << " answer " << static_cast<int>(r.how));
        shell::session s("1024x768x24", r.no_gl ? std::vector<std::string>{"-extension", "GLX"}
                                                : std::vector<std::string>{});
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
        const std::string log_path = s.home.file("log.txt");
        std::vector<std::string> args = {"--lang=en", "--log_path=" + log_path};
        if (r.force_run)
            args.push_back("--force_run");
        // A UTF-8 locale, as on a desktop: the box's title is then UTF-8 text.
        std::map<std::string, std::string> env = {{"LANG", "C.UTF-8"}};
        if (!r.no_gl)
            env["MESA_GL_VERSION_OVERRIDE"] = "1.5";
        s.start(AERIVON_EXE, args, env);
        ASSERT_FALSE(s.message_box().empty()) << s.process->errors();
        if (r.how == answer::sigterm) {
            s.process->signal(SIGTERM);
        } else {
            ASSERT_TRUE(s.answer_message_box(r.how == answer::click));
            if (r.force_run) { // start-up went on
                EXPECT_TRUE(shows_screen_0(s));
                s.process->signal(SIGTERM);
            }
        }
        EXPECT_EQ(s.process->wait_exit(10000), r.exit_code) << s.process->errors();
        EXPECT_TRUE(shell::wait_until([&] { return s.message_box(0).empty(); }, 2000));
        EXPECT_NE(s.process->errors().find(r.first), std::string::npos) << s.process->errors();
        const std::string log = test::read_file(log_path);
        EXPECT_NE(log.find("E/SYS: | " + r.first), std::string::npos) << log;
        EXPECT_EQ(std::filesystem::exists(s.home.file(".local/share/Aerivon Installer.prf")), r.force_run);
    }
}

// The window alert ends the run with exit code 1, its first line on stderr, in an automated run as well;
// the run's work folder goes with it. There is no display on purpose: the box cannot show, and counts as
// dismissed at once.
TEST(ShellProgramNoDisplayTest, TheWindowAlertGoesToStderrAndTheLog) {
    for (bool automated : {false, true}) {
        SCOPED_TRACE(automated);
        test::TempDir home, tmp;
        std::vector<std::string> argv = {AERIVON_EXE, "--lang=en", "--log_path=" + home.file("log.txt")};
        if (automated)
            argv.push_back("--qa_script=1");
        // No video driver named either: the program must not fall back to SDL's invisible offscreen one.
        const test::ChildResult r = test::run_child(argv,
                                                    {{"HOME", home.path()},
                                                     {"TMPDIR", tmp.path()},
                                                     {"DISPLAY", std::nullopt},
                                                     {"WAYLAND_DISPLAY", std::nullopt},
                                                     {"SDL_VIDEODRIVER", std::nullopt}},
                                                    30);
        const std::string first = "I could not set up the graphics for Aerivon!";
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find(first), std::string::npos) << r.err;
        const std::string log = test::read_file(home.file("log.txt"));
        EXPECT_NE(log.find("E/SYS: | " + first), std::string::npos) << log;
        EXPECT_NE(log.find("E/SYS: | (hl_init.cpp:900)"), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
    }
}
