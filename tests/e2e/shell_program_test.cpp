// The program's start-up, frames and exit as a user sees them: its window on an X server of its own, the
// log, the language chooser, the preferences, and a run without a display.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/test_support.h"
#include "ui/shell_harness.h"

namespace {

const std::string prefs_rel = ".local/share/Aerivon Installer.prf";

// Colour 43, the screen background: the swatch pixel of the interface image (texel row 155 from the bottom
// of 512 rows is file row 356).
std::array<int, 3> colour_43() {
    const shell::image px = shell::parse_ppm(
        shell::capture("convert '" AERIVON_INTERFACE_PNG "' -crop 1x1+319+356 -depth 8 ppm:- 2>/dev/null"));
    return px.empty() ? std::array<int, 3>{-1, -1, -1} : px.at(0, 0);
}

// True when every pixel of the picture has colour c.
bool uniform(const shell::image& img, std::array<int, 3> c) {
    if (img.empty())
        return false;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y) != c)
                return false;
    return true;
}

// Waits until the window shows only the background (the first frames ran).
bool shows_screen_0(shell::session& s) {
    const auto c = colour_43();
    return shell::wait_until([&] { return uniform(s.screenshot(), c); }, 10000);
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class ShellProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
    }
    shell::session s;
};

} // namespace

TEST_F(ShellProgramTest, AnAutomatedRunLogsItsHeaderShowsScreenZeroAndEndsOnSigterm) {
    const std::string log_path = s.home.file("log.txt");
    s.start(AERIVON_EXE, {"--qa_script=1", "--lang=en", "--log_path=" + log_path});
    ASSERT_FALSE(s.window().empty()) << s.process->errors();
    EXPECT_TRUE(shows_screen_0(s)) << "the frames are not presented";
    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait_exit(10000), 0);

    const std::string log = test::read_file(log_path);
    const char* in_order[] = {
        "Installer log.txt for Aerivon Demo Installer 3.22r1 compiled on ",
        "\n\nThis log file is generated automatically by Nordvane Systems applications",
        "\nIf you need to contact tech support",
        "\n\nIf you got a hard system crash",
        "\n\nLinux ",
        sizeof(void*) == 8 ? "\nThis is a 64-bit version of Linux.\n" : "\nThis is a ",
        "\nCPU type: ",
        "\nPhysical Memory (total for computer): ",
        "\nMaximum Virtual Memory (for Aerivon only): ",
        "\nCPU 0: ",
        "\n\nSim-Root folder:'', case sensitive=0\n\n-----",
        "\nApplication was launched with the following command line options...\n\t'--lang'='en'\n",
        "\t'--qa_script'='1'\n-----",
        "\nOpenGL Vendor    : ",
        "\nThis video card is: ",
        "\nCPU count        : ",
        "\nClean exit from threads.\n",
    };
    size_t at = 0;
    for (const char* item : in_order) {
        const size_t found = log.find(item, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << item << "\n" << log;
        at = found;
    }
    EXPECT_FALSE(exists(s.home.file(prefs_rel)));
}

TEST_F(ShellProgramTest, ARunWithoutOptionsSavesThePreferencesOnSigterm) {
    s.start(AERIVON_EXE, {});
    ASSERT_FALSE(s.window().empty()) << s.process->errors();
    ASSERT_TRUE(shows_screen_0(s));
    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    const std::string log = test::read_file(s.home.file("Desktop/Aerivon Installer Log.txt"));
    EXPECT_NE(log.find("\nSim-Root folder:'', case sensitive=0\n\n"), std::string::npos);
    EXPECT_EQ(log.find("Application was launched"), std::string::npos);
    EXPECT_EQ(log.find("CHANGING LANGUAGE"), std::string::npos); // English: no chooser, nothing to load
    EXPECT_EQ(test::read_file(s.home.file(prefs_rel)).rfind("I\n10 version\n", 0), 0u);
}

TEST_F(ShellProgramTest, TheLanguageChooserComesUpWhenTheLanguageIsNotAvailable) {
    const std::string log_path = s.home.file("log.txt");
    s.start(AERIVON_EXE, {"--log_path=" + log_path}, {{"LANG", "C"}});
    ASSERT_FALSE(s.window().empty());
    // The chooser: "Deutsch" is the third radio; its box is centred 25 left of the middle of the 420-wide
    // alert view and at y 143 of it, the view's origin being (190, 170) in the 800 x 600 window.
    // Until the chooser is drawn the window is black, or partly the background: wait for the title band,
    // which is lighter than both.
    const auto background = colour_43();
    ASSERT_TRUE(shell::wait_until(
        [&] {
            const shell::image img = s.screenshot();
            if (img.empty())
                return false;
            const auto band = img.at(400, 600 - 170 - 250);
            return band[0] + band[1] + band[2] > background[0] + background[1] + background[2] + 60;
        },
        10000));
    shell::expect_golden(s.last_shot, "shell_chooser");
    s.click(190 + 185, 600 - 170 - 143);
    s.key("Return");
    EXPECT_TRUE(shows_screen_0(s)); // start-up went on to screen 0
    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_NE(test::read_file(log_path).find(" ==== CHANGING LANGUAGE TO: Deutsch. ====\n"),
              std::string::npos);
}

TEST(ShellProgramNoDisplayTest, TheWindowAlertGoesToStderrAndTheLog) {
    for (bool automated : {false, true}) {
        SCOPED_TRACE(automated);
        test::TempDir home;
        const std::string log_path = home.file("log.txt");
        std::vector<std::string> argv = {AERIVON_EXE, "--lang=en", "--log_path=" + log_path};
        if (automated)
            argv.push_back("--qa_script=1");
        // The X11 video driver, as the tests use everywhere: SDL would fall back to drawing off screen.
        const test::ChildResult r = test::run_child(argv,
                                                    {{"HOME", home.path()},
                                                     {"DISPLAY", std::nullopt},
                                                     {"WAYLAND_DISPLAY", std::nullopt},
                                                     {"SDL_VIDEODRIVER", "x11"}},
                                                    30);
        const std::string first = "I could not set up the graphics for Aerivon!";
        EXPECT_EQ(r.exit_code, automated ? 1 : 0);
        EXPECT_EQ(r.err.find(first) != std::string::npos, !automated) << r.err;
        const std::string log = test::read_file(log_path);
        EXPECT_NE(log.find("E/SYS: | " + first), std::string::npos) << log;
        EXPECT_NE(log.find("E/SYS: | (hl_init.cpp:900)"), std::string::npos);
    }
}
