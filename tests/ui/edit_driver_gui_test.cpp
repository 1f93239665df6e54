// The edit driver under Xvfb, driven by xdotool: text typed into its fields, Tab and a popup, checked on a
// screenshot; a click and keys that come in one frame; and the folder chooser answered by the fake zenity,
// the fake kdialog and the in-window chooser.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "golden.h"
#include "gui_harness.h"
#include "support/fake_dialogs.h"

namespace {

class EditDriverGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!gui::have_display())
            GTEST_SKIP() << "no X display (tools/test.sh runs the window tests under Xvfb)";
        mkdir(dir.file("home").c_str(), 0755);
    }
    // Starts the driver; true once its window is up and two frames were presented.
    bool start(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
        args.insert(args.begin(),
                    {EDIT_DRIVER, "--qa_script=1", "--lang=en", "--log_path=" + dir.file("log.txt")});
        env["HOME"] = dir.file("home");
        driver = std::make_unique<gui::child_process>(args, env, dir.file("out.txt"), dir.file("err.txt"));
        if (!driver->started() || !driver->wait_for_output("ready", 20000))
            return false;
        window = gui::xdotool("search --sync --name '^Sim-Root$'");
        return !window.empty();
    }
    // A click at a point of the 800 x 600 window (y up from its bottom), held for a few frames as a hand
    // would: push buttons act on a release that comes after the frame of the press.
    void click(int x, int y) {
        gui::xdotool("mousemove --window " + window + " " + std::to_string(x) + " " +
                     std::to_string(600 - y) + " mousedown 1 sleep 0.1 mouseup 1 sleep 0.1");
    }
    bool says(const std::string& line) { return driver->wait_for_output(line + "\n", 10000); }
    int stop() {
        driver->signal(SIGTERM);
        return driver->wait_exit(10000);
    }

    test::TempDir dir;
    std::unique_ptr<gui::child_process> driver;
    std::string window;
};

// The window's screenshot against a golden file, with the tolerance of the other goldens (12 per channel,
// 0.2 % of the pixels). AERIVON_UPDATE_GOLDENS=1 rewrites it.
::testing::AssertionResult screenshot_matches(const std::string& shot, const std::string& name) {
    unsigned char *a = nullptr, *g = nullptr;
    TEX_image_info ia, ig;
    if (TEX_load_image_file(shot, a, 0, GL_RGBA, 0, 0, 0, ia) != 1)
        return ::testing::AssertionFailure() << "no screenshot";
    const std::string path = golden::golden_path(name);
    long bad = -1;
    if (TEX_load_image_file(path, g, 0, GL_RGBA, 0, 0, 0, ig) == 1 && ia.width == ig.width &&
        ia.height == ig.height && ia.pad == ig.pad) {
        bad = 0;
        for (size_t i = 0; i < static_cast<size_t>(ia.height) * (ia.width * 4 + ia.pad); ++i)
            bad += i % 4 == 0 && (std::abs(a[i] - g[i]) > 12 || std::abs(a[i + 1] - g[i + 1]) > 12 ||
                                  std::abs(a[i + 2] - g[i + 2]) > 12);
    }
    const bool ok = bad >= 0 && bad <= ia.width * ia.height / 500;
    const bool update =
        std::getenv("AERIVON_UPDATE_GOLDENS") && *std::getenv("AERIVON_UPDATE_GOLDENS") == '1';
    if (!ok)
        TEX_write_png(update ? path : golden::out_dir() + "/" + name + ".actual.png", ia.width, ia.height, 4,
                      a);
    std::free(a);
    std::free(g);
    if (ok || update)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": " << bad << " pixels differ (-1: missing or resized)";
}

// Named for tools/update-goldens.sh, which renders the *GoldenGui* tests again.
class EditDriverGoldenGuiTest : public EditDriverGuiTest {};

TEST_F(EditDriverGoldenGuiTest, TypedTextTabAndPopupThenAScreenshot) {
    ASSERT_TRUE(start({"--fields"})) << driver->errors();
    click(350, 403);
    gui::xdotool("type --delay 20 'hello world'");
    ASSERT_TRUE(says("field 0 hello world"));
    gui::xdotool("key shift+Left shift+Left shift+Left shift+Left shift+Left ctrl+x");
    ASSERT_TRUE(says("field 0 hello "));
    gui::xdotool("key Tab ctrl+v");
    ASSERT_TRUE(says("field 1 world")) << "cut from the first field, pasted into the second";
    gui::xdotool("type --delay 20 12345");
    ASSERT_TRUE(says("field 1 world123")) << "8 bytes at most";
    click(410, 303);
    click(400, 279);
    ASSERT_TRUE(says("popup 2"));
    click(700, 100); // no field keeps the focus: no caret in the picture
    gui::xdotool("sleep 0.3");
    const std::string shot = dir.file("shot.png");
    ASSERT_EQ(test::shell("timeout 10 import -window " + window + " " + shot), 0);
    EXPECT_TRUE(screenshot_matches(shot, "edit_driver_fields"));
    EXPECT_EQ(stop(), 0);
}

// What comes while the driver is stopped is taken in one go when it goes on: a click and the keys typed
// after it give the text they give one frame each (into the focused field, then into the other one).
TEST_F(EditDriverGuiTest, KeysAfterAClickInTheSameFrameGoToTheFieldItFocused) {
    ASSERT_TRUE(start({"--fields"})) << driver->errors();
    click(450, 403);
    gui::xdotool("type --delay 20 abc");
    ASSERT_TRUE(says("field 0 abc"));
    struct row {
        int y;
        const char *keys, *line;
    };
    for (const row& r : {row{403, "de", "field 0 abcde"}, row{363, "xy", "field 1 xy"}}) {
        driver->signal(SIGSTOP);
        gui::xdotool("mousemove --window " + window + " 450 " + std::to_string(600 - r.y) +
                     " mousedown 1 mouseup 1 type --delay 20 " + r.keys);
        gui::xdotool("sleep 0.2"); // the X server has passed every event on
        driver->signal(SIGCONT);
        EXPECT_TRUE(says(r.line)) << driver->output();
    }
    EXPECT_EQ(stop(), 0);
}

TEST_F(EditDriverGuiTest, FolderChooserAnsweredByEachBackend) {
    for (const char* d : {"alpha", "beta", "beta/x"})
        mkdir(dir.file(d).c_str(), 0755);
    const std::string root = dir.path() + "/";
    const std::vector<std::string> choose = {"--choose=2", "--prompt=Pick a folder", "--start=" + root};
    {
        test::FakeDialogs both({"zenity", "kdialog"}, false);
        both.answer("zenity", root + "alpha");
        ASSERT_TRUE(start(choose, {{"PATH", both.path()}}));
        EXPECT_TRUE(says("chose 1 " + root + "alpha/")) << driver->output();
        EXPECT_EQ(both.last_call().front(), "zenity");
        stop();
    }
    {
        test::FakeDialogs kde({"kdialog"}, false);
        kde.answer("kdialog", root + "beta");
        ASSERT_TRUE(start(choose, {{"PATH", kde.path()}}));
        EXPECT_TRUE(says("chose 1 " + root + "beta/")) << driver->output();
        stop();
    }
    {
        test::FakeDialogs none({}, false);
        ASSERT_TRUE(start(choose, {{"PATH", none.path()}}));
        // Screen 999 (561 x 474) centred in the 800 x 600 window: origin (120, 63).
        click(120 + 60, 63 + 474 - 108 - 2 * 16); // "beta/", rows 16 apart
        gui::xdotool("type --delay 20 x");        // after the path shown, not over its start
        click(120 + 187, 63 + 18);                // OK
        EXPECT_TRUE(says("chose 1 " + root + "beta/x/")) << driver->output();
        EXPECT_EQ(stop(), 0);
    }
}

} // namespace
