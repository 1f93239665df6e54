// Window 0 as a program runs it (tests/ui/driver): input through X, the end of the run loop, pacing, the
// probe's log block and the fit check on a small screen. Needs an X display (tools/test.sh runs Xvfb).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "gui_harness.h"
#include "support/close_request.h"
#include "support/test_support.h"

// Xlib last: its macros (None, Bool, ...) would break the headers above.
#include <X11/Xlib.h>

namespace {

class DriverRun {
  public:
    explicit DriverRun(std::vector<std::string> args, const std::string& display = "") {
        std::vector<std::string> argv = {UI_WINDOW_DRIVER, "--log_path=" + dir.file("log.txt")};
        argv.insert(argv.end(), args.begin(), args.end());
        std::map<std::string, std::string> env;
        if (!display.empty())
            env["DISPLAY"] = display;
        child = std::make_unique<gui::child_process>(argv, env, dir.file("out.txt"), dir.file("err.txt"));
    }
    bool ready() { return child->started() && child->wait_for_output("ready\n", 20000); }
    std::string log() const { return test::read_file(dir.file("log.txt")); }
    // The output lines other than pointer motion, window events and visibility.
    std::vector<std::string> events() const {
        std::vector<std::string> lines;
        std::istringstream in(child->output());
        for (std::string l; std::getline(in, l);)
            if (l.rfind("mouse_move", 0) != 0 && l != "refresh" && l.rfind("resize", 0) != 0 &&
                l.rfind("visible", 0) != 0)
                lines.push_back(l);
        return lines;
    }

    test::TempDir dir;
    std::unique_ptr<gui::child_process> child;
};

// The frame count the driver printed when its loop ended, or -1.
long frames_of(const std::string& output) {
    std::smatch m;
    static const std::regex re("frames (\\d+)\\n");
    return std::regex_search(output, m, re) ? std::stol(m[1]) : -1;
}

class WindowGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!gui::have_display())
            GTEST_SKIP() << "no X display (tools/test.sh runs the window tests under Xvfb)";
    }
};

TEST_F(WindowGuiTest, ClickWheelKeyAndTypeReachTheCallbacksInWindowCoordinates) {
    DriverRun run({});
    ASSERT_TRUE(run.ready()) << run.child->errors();
    std::string id = gui::xdotool("search --sync --name '^Sim-Root$'");
    ASSERT_FALSE(id.empty());
    // The window is centred, so window and screen coordinates differ.
    EXPECT_NE(gui::xdotool("getwindowgeometry " + id).find("Position: 240,212"), std::string::npos);
    gui::xdotool("mousemove --window " + id + " 100 150 click 1");
    gui::xdotool("mousemove --window " + id + " 200 120 click 4 click 5");
    gui::xdotool("mousemove --window " + id + " 300 40 click 3");
    gui::xdotool("windowfocus --sync " + id);
    gui::xdotool("key shift+period");
    gui::xdotool("type aZ");
    gui::xdotool("key Left ctrl+a");
    ASSERT_TRUE(run.child->wait_for_output("key_up 1 65 ", 10000)) << run.child->output();
    run.child->signal(SIGTERM);
    EXPECT_EQ(run.child->wait_exit(10000), 0);

    std::vector<std::string> expected = {
        "ready",
        "mouse_down 100 150 0",
        "mouse_up 100 150 0",
        "wheel 200 120 0 1",
        "wheel 200 120 0 -1",
        "mouse_down 300 40 1",
        "mouse_up 300 40 1",
        "key_down 62 185 9", // Shift+'.': code 0xB9 with the shifted character
        "key_up 62 185 16",  // Shift was released first, the character stays
        "key_down 97 65 8",
        "key_up 97 65 16",
        "key_down 90 90 9",
        "key_up 90 90 16",
        "key_down 28 37 8", // left arrow
        "key_up 28 37 16",
        "key_down 1 65 12", // Ctrl+A
        "key_up 1 65 16",
    };
    std::vector<std::string> got = run.events();
    ASSERT_GE(got.size(), expected.size());
    got.resize(expected.size());
    EXPECT_EQ(got, expected);
}

TEST_F(WindowGuiTest, SigtermEndsTheLoopAfterTheFrameAndTheLogHoldsTheProbeBlock) {
    DriverRun run({"--aa=4"});
    ASSERT_TRUE(run.ready()) << run.child->errors();
    EXPECT_FALSE(gui::xdotool("search --sync --name '^Sim-Root$'").empty());
    EXPECT_FALSE(gui::xdotool("search --class '^Sim-Root$'").empty());
    run.child->signal(SIGTERM);
    EXPECT_EQ(run.child->wait_exit(10000), 0);
    std::string out = run.child->output();
    EXPECT_NE(out.find("loop ended\n"), std::string::npos);
    EXPECT_GT(frames_of(out), 0);
    std::string log = run.log();
    // The GLX extension string comes first, then the probe's block.
    EXPECT_EQ(log.find("GLX_"), 0u);
    EXPECT_NE(log.find("GLX_ARB_multisample"), std::string::npos);
    EXPECT_TRUE(std::regex_search(log, std::regex("\nOpenGL Version   : [^\n]+ \\(\\d+/\\d+\\)\n")));
    EXPECT_TRUE(std::regex_search(log, std::regex("\nThis video card is: [^\n]+\n")));
    // The window got the multisampling it asked for, so no note was needed.
    EXPECT_EQ(log.find("Note:"), std::string::npos);
}

TEST_F(WindowGuiTest, ClosingTheWindowEndsTheLoop) {
    DriverRun run({});
    ASSERT_TRUE(run.ready()) << run.child->errors();
    std::string id = gui::xdotool("search --sync --name '^Sim-Root$'");
    ASSERT_FALSE(id.empty());
    ASSERT_TRUE(gui::send_close_request(std::stoul(id)));
    EXPECT_EQ(run.child->wait_exit(10000), 0);
    EXPECT_NE(run.child->output().find("loop ended\n"), std::string::npos);
}

// With hint 1 an idle loop waits up to 16 ms for input before each frame; with hint 0 it does not wait.
// Each loop runs 700 ms from its first frame, however long its window took to open.
TEST_F(WindowGuiTest, HintOneWaitsForInputAndHintZeroDoesNot) {
    DriverRun idle({"--hint=1", "--run_ms=700", "--window_size=160x120"});
    DriverRun busy({"--hint=0", "--run_ms=700", "--window_size=160x120"});
    EXPECT_EQ(idle.child->wait_exit(20000), 0);
    EXPECT_EQ(busy.child->wait_exit(20000), 0);
    long waiting = frames_of(idle.child->output());
    long running = frames_of(busy.child->output());
    ASSERT_GT(waiting, 0) << idle.child->errors();
    EXPECT_LE(waiting, 700 / 16 + 5);
    EXPECT_GT(running, 2 * waiting);
}

// Unmapping the window (what a window manager does to a minimised one) makes it hidden to the pacing.
TEST_F(WindowGuiTest, AnUnmappedWindowIsNotVisibleUntilMappedAgain) {
    DriverRun run({"--run_ms=4000", "--window_size=160x120"});
    ASSERT_TRUE(run.ready()) << run.child->errors();
    const std::string id = gui::xdotool("search --sync --name '^Sim-Root$'");
    ASSERT_FALSE(id.empty());
    ASSERT_TRUE(run.child->wait_for_output("visible 1\n", 5000));
    gui::xdotool("windowunmap --sync " + id);
    ASSERT_TRUE(run.child->wait_for_output("visible 0\n", 5000)) << run.child->output();
    gui::xdotool("windowmap --sync " + id);
    EXPECT_EQ(run.child->wait_exit(20000), 0);
    std::vector<std::string> changes;
    std::istringstream out(run.child->output());
    for (std::string line; std::getline(out, line);)
        if (line.rfind("visible", 0) == 0)
            changes.push_back(line);
    EXPECT_EQ(changes, (std::vector<std::string>{"visible 1", "visible 0", "visible 1"}));
}

// Start-up asks for full screen before window 0 exists; the window then covers the screen in desktop mode.
TEST_F(WindowGuiTest, FullScreenAskedBeforeTheWindowExistsCoversTheScreen) {
    DriverRun run({"--fullscreen"});
    ASSERT_TRUE(run.ready()) << run.child->errors();
    ASSERT_TRUE(run.child->wait_for_output("resize 1280 1024\n", 10000)) << run.child->output();
    std::string id = gui::xdotool("search --sync --name '^Sim-Root$'");
    std::string geometry = gui::xdotool("getwindowgeometry " + id);
    EXPECT_NE(geometry.find("Position: 0,0"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1280x1024"), std::string::npos) << geometry;
    run.child->signal(SIGTERM);
    EXPECT_EQ(run.child->wait_exit(10000), 0);
}

TEST_F(WindowGuiTest, LargeWindowOnASmallScreenIsLoggedAndFitted) {
    gui::private_xserver server("1024x768x24");
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    DriverRun run({"--window_size=1280x1024"}, server.display());
    ASSERT_TRUE(run.ready()) << run.child->errors();
    std::string id = gui::xdotool("search --sync --name '^Sim-Root$'", server.display());
    ASSERT_FALSE(id.empty());
    std::string geometry = gui::xdotool("getwindowgeometry " + id, server.display());
    EXPECT_NE(geometry.find("Position: 0,0"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;
    run.child->signal(SIGTERM);
    EXPECT_EQ(run.child->wait_exit(10000), 0);
    EXPECT_NE(run.log().find("The window was last: 1280,1024 and my monitor is 1024,768.  Setting window to "
                             "1024x768 it fits on screen.\n"),
              std::string::npos);
}

} // namespace
