// The web demo road as a user runs it: the program on an X server of its own, clicked through with
// xdotool, installing from the local demo server and its sample release through the proxy preference.
// Click points are the wizard's (x, y up) turned into window pixels of the 800 x 600 window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>

#include "support/demo_release.h"
#include "support/test_support.h"
#include "ui/shell_harness.h"

namespace {

struct point {
    int x, y;
};
constexpr point wizard(int x, int y) { return {x, 600 - y}; }
constexpr point continue_button = wizard(719, 23), back_button = wizard(594, 23),
                quit_button = wizard(58, 23);
constexpr point options_button = wizard(159, 23);
// The preferences dialog, 700 x 380, has its origin at (50, 110); the proxy port field is at (85, 20).
constexpr point proxy_port_field = {50 + 200, 600 - 110 - 23};
constexpr point last_quit = wizard(742, 23), agree_box = wizard(250, 302), first_choice = wizard(500, 350);
// The two-button dialog is 700 x 206, centred: its origin is (50, 197) in the window.
constexpr point dialog_first = {50 + 96, 600 - 197 - 56}, dialog_second = {50 + 96, 600 - 197 - 31};
const std::array<int, 3> panel_fill = {22, 32, 48}; // the wizard panels' fill (style 23)

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// How a test ends a run: QUIT, the window's close box, SIGTERM, its terminal closed (SIGHUP), or the window
// destroyed by another client.
enum class way_out { quit_clicked, close_box, sigterm, sighup, window_destroyed };

class DemoRoadProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
    }
    void serve(const std::vector<std::string>& options = {}, const std::vector<std::string>& faults = {}) {
        ASSERT_TRUE(test::make_sample_release(release.path(), options));
        server = std::make_unique<test::DemoServer>(release.path(), faults);
        ASSERT_TRUE(server->ok()) << server->output();
    }
    // Starts the installer (through `wrapper`, a shell word list run before it, when given).
    void start(std::map<std::string, std::string> env = {}, const std::string& wrapper = "") {
        std::vector<std::string> args = {"--lang=en", "--pref:_log_actions=1", "--log_path=" + log_path};
        if (server)
            args.insert(args.end(), {"--pref:_proxy_host=" + proxy_host,
                                     "--pref:_proxy_port_int=" +
                                         std::to_string(proxy_port ? proxy_port : server->port())});
        env.try_emplace("TMPDIR", tmp.path());
        if (wrapper.empty()) {
            s.start(AERIVON_EXE, args, env);
        } else {
            args.insert(args.begin(), {"-c", wrapper + "; exec \"$0\" \"$@\"", AERIVON_EXE});
            s.start("/bin/sh", args, env);
        }
        ASSERT_FALSE(s.window().empty()) << s.process->errors();
    }
    std::string log() const { return test::read_file(log_path); }
    std::string work_folder() const {
        const std::string text = log(), label = "os_dir_temp\t\t\t=";
        const size_t at = text.find(label);
        return at == std::string::npos
                   ? ""
                   : text.substr(at + label.size(), text.find('\n', at) - at - label.size());
    }
    // Waits for the page's log line, then for the wizard's two panels on the screen.
    void expect_page(const std::string& title) {
        ASSERT_TRUE(shell::wait_until(
            [&] { return log().find("Wizard page: " + title) != std::string::npos; }, 20000))
            << log();
        EXPECT_TRUE(shows(panel_fill, {150, 530}) && shows(panel_fill, {760, 300}))
            << title << ": " << s.last_shot;
    }
    bool shows(const std::array<int, 3>& colour, point p, bool equal = true) {
        return shell::wait_until(
            [&] {
                const shell::image img = s.screenshot();
                return !img.empty() && (img.at(p.x, p.y) == colour) == equal;
            },
            5000);
    }
    void click(point p) { s.click(p.x, p.y); }
    // Clicks a field of the preferences dialog and waits until it has the focus (its caret shows): a key
    // goes to the field that has the focus when the key comes, and a loaded machine may take the keys in
    // the frame that takes the click.
    void focus_field(point field) {
        const shell::image before = s.screenshot();
        click(field);
        ASSERT_TRUE(shell::wait_until(
            [&] {
                const shell::image now = s.screenshot();
                for (int y = field.y - 8; !now.empty() && !before.empty() && y <= field.y + 4; ++y)
                    for (int x = 50 + 85; x < 50 + 540; ++x)
                        if (now.at(x, y) != before.at(x, y))
                            return true;
                return false;
            },
            5000))
            << s.last_shot;
    }
    // Ends the run the way `how` names.
    void take(way_out how) {
        if (how == way_out::quit_clicked)
            click(quit_button);
        else if (how == way_out::close_box)
            ASSERT_TRUE(s.close_window());
        else if (how == way_out::window_destroyed)
            s.xdo("windowclose " + s.window());
        else
            s.process->signal(how == way_out::sighup ? SIGHUP : SIGTERM);
    }
    void walk_to_check_servers() {
        expect_page("Welcome");
        click(continue_button);
        expect_page("End User License Agreement");
        click(agree_box);
        click(continue_button);
        expect_page("Check Servers");
    }
    void walk_to_destination() {
        walk_to_check_servers();
        expect_page("Pick Install Destination for Aerivon10Demo.");
    }
    // GO BACK on the install page, once the first package is in: the question shows over the window.
    void go_back_mid_install() {
        click(continue_button);
        expect_page("Installing");
        ASSERT_TRUE(shell::wait_until([&] { return exists(copy + "Aerivon.exe"); }, 20000));
        click(back_button);
        ASSERT_TRUE(shows(panel_fill, dialog_first, false)) << s.last_shot;
    }
    // tools/check_install.py: every MD5 as the manifest says, and nothing unwanted installed or requested.
    void expect_installed_copy() {
        std::ofstream requests(tmp.file("requests.log"));
        for (const test::demo_request& r : server->requests())
            requests << "{\"path\": \"" << r.path << "\"}\n";
        requests.close();
        EXPECT_EQ(test::shell("python3 " + test::tools_dir() + "/check_install.py " +
                              shell::sh_quote(release.file("manifest.json")) + " " + shell::sh_quote(copy) +
                              " " + shell::sh_quote(tmp.file("requests.log"))),
                  0);
    }

    std::string proxy_host = "127.0.0.1";
    int proxy_port = 0; // the demo server's unless set
    shell::session s{"800x600x24"};
    test::TempDir release, tmp;
    std::unique_ptr<test::DemoServer> server;
    std::string log_path = s.home.file("log.txt");
    std::string copy = s.home.file("Desktop/Aerivon 10 Demo/");
};

// The simulator started by "Fly Aerivon 10 Now" gets the user's environment: the drawing-thread count and
// the window class set for the installer's own window are not in it, and values the user set are. The
// installer's window keeps a class the user set. A HOME whose names hold ':', '\' or Latin-1 bytes is the
// folder it names: the copy goes onto its desktop, is registered as those bytes and flies from there.
struct fly_row {
    const char* name;
    // As the user set them; null: not set at all, whatever the test's own environment holds.
    const char* threads;  // LP_NUM_THREADS
    const char* wm_class; // SDL_VIDEO_X11_WMCLASS
    // HOME, with XDG_CONFIG_HOME, XDG_DATA_HOME, TMPDIR and the log inside it, under the session's home;
    // null: the session's home.
    const char* home = nullptr;
};

void PrintTo(const fly_row& row, std::ostream* out) { *out << row.name; }

class FlyTest : public DemoRoadProgramTest, public testing::WithParamInterface<fly_row> {};

TEST_P(FlyTest, TheRoadInstallsRegistersAndFliesTheDemo) {
    const std::map<std::string, const char*> users = {{"LP_NUM_THREADS", GetParam().threads},
                                                      {"SDL_VIDEO_X11_WMCLASS", GetParam().wm_class}};
    std::map<std::string, std::string> env;
    std::string unset;
    for (const auto& [name, value] : users)
        value ? void(env[name] = value) : void(unset += " " + name);
    std::string home = s.home.path();
    if (GetParam().home) {
        home = s.home.file(GetParam().home);
        ASSERT_EQ(test::shell("mkdir -p " + shell::sh_quote(home + "/Desktop") + " " +
                              shell::sh_quote(home + "/tmp")),
                  0);
        env.insert({{"HOME", home},
                    {"XDG_CONFIG_HOME", home + "/.config"},
                    {"XDG_DATA_HOME", home + "/.local/share"},
                    {"TMPDIR", home + "/tmp"}});
        log_path = home + "/log.txt";
        copy = home + "/Desktop/Aerivon 10 Demo/";
    }
    serve();
    start(env, unset.empty() ? "" : "unset" + unset);
    const std::string wm_class = GetParam().wm_class ? GetParam().wm_class : "Sim-Root";
    EXPECT_NE(("\n" + s.xdo("search --class '^" + wm_class + "$'") + "\n").find("\n" + s.window() + "\n"),
              std::string::npos);
    walk_to_destination();
    click(continue_button);
    expect_page("Finshed Web Demo Install");
    expect_installed_copy();
    EXPECT_EQ(test::read_file(home + "/.local/share/aerivon_install_10.txt"), copy + "\n");
    const std::string text = log();
    EXPECT_NE(text.find("EXPANDING file " + copy + "Aerivon.exe, with result=0."), std::string::npos) << text;
    EXPECT_EQ(text.find("E/SYS: |"), std::string::npos) << "an alert was raised:\n" << text;
    EXPECT_NE(text.find("Sim-Root folder:'" + copy + "'\n"), std::string::npos) << text;
    const std::string work = work_folder();

    click(first_choice); // "Fly Aerivon 10 Now"
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_TRUE(
        shell::wait_until([&] { return test::read_file(copy + "launch_marker.txt") == "started\n"; }, 5000));
    const std::string environment = "\n" + test::read_file(copy + "launch_environment.txt");
    for (const auto& [name, value] : users) {
        const size_t at = environment.find("\n" + name + "=");
        EXPECT_EQ(at == std::string::npos
                      ? ""
                      : environment.substr(at + 1, environment.find('\n', at + 1) - at - 1),
                  value ? name + "=" + value : "");
    }
    EXPECT_TRUE(exists(home + "/.local/share/Aerivon Installer.prf"));
    EXPECT_FALSE(exists(work)) << work;
}

INSTANTIATE_TEST_SUITE_P(Rows, FlyTest,
                         testing::Values(fly_row{"UsersEnvironment", nullptr, nullptr},
                                         fly_row{"UsersThreadCountAndWindowClass", "3", "Users-Class"},
                                         fly_row{"HomeUnderColonsAndBackslashes", nullptr, nullptr,
                                                 "Games: Flight/Sims \\ 2026/home"},
                                         fly_row{"HomeUnderALatin1Parent", nullptr, nullptr,
                                                 "b\xFF"
                                                 "ad\xFE name/home"}),
                         [](const testing::TestParamInfo<fly_row>& i) { return std::string(i.param.name); });

// One large package, sent slowly: the bar follows its bytes, and the time left and the rate show once
// bytes have come, never as 0 while work remains.
TEST_F(DemoRoadProgramTest, TheBarFollowsTheBytesOfALargePackage) {
    serve({"--large", "3000"},
          {"mirror1.test/terrain.dat=slow=250000", "mirror2.test/terrain.dat=slow=250000"});
    start();
    walk_to_destination();
    click(continue_button);
    ASSERT_TRUE(shell::wait_until(
        [&] { return log().find("Wizard page: Finshed Web Demo Install") != std::string::npos; }, 60000))
        << log();
    expect_installed_copy();
    const std::string text = log();
    const size_t expanded = text.find("EXPANDING file " + copy + "Resources/large/terrain.dat");
    ASSERT_NE(expanded, std::string::npos) << text;
    std::vector<int> percents;
    const std::string tag = "Install progress: ";
    for (size_t at = text.find(tag); at < expanded; at = text.find(tag, at + 1)) {
        const std::string line = text.substr(at, text.find('\n', at) - at);
        percents.push_back(std::stoi(line.substr(tag.size())));
        if (percents.back() > 5) {
            EXPECT_NE(line.find(" left in the install, downloading at "), std::string::npos) << line;
        }
        EXPECT_EQ(line.find("About 0 seconds"), std::string::npos) << line;
        EXPECT_EQ(line.find(" 0 kilobytes/second"), std::string::npos) << line;
    }
    // The bar moved on while the package was still arriving, in many steps and never back.
    ASSERT_GE(percents.size(), 10u) << text;
    EXPECT_GE(percents.back(), 50) << text;
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << text;
}

// A proxy on a dead port: Check Servers says whom it could not reach and why, and when it tries again; the
// log has the line once per failure; GO BACK and OPTIONS work while it retries, and a mended port lets the
// road go on.
TEST_F(DemoRoadProgramTest, ADeadProxyIsNamedOnCheckServersAndMendedInOptions) {
    serve();
    proxy_port = 1; // nothing listens there
    start();
    walk_to_check_servers();
    const std::string line = "I could not reach 127.0.0.1: Connection refused. I will try again in ";
    ASSERT_TRUE(
        shell::wait_until([&] { return log().find(line + "2 seconds.") != std::string::npos; }, 10000))
        << log();
    click(back_button);
    ASSERT_TRUE(shell::wait_until(
        [&] {
            const std::string text = log();
            return text.find("Wizard page: End User License Agreement", text.find(line)) != std::string::npos;
        },
        5000))
        << log();
    click(continue_button); // "I agree!" is still ticked
    const std::string text = log();
    for (const char* wait : {"1 second.\n", "2 seconds.\n"})
        EXPECT_EQ(text.find(line + wait), text.rfind(line + wait)) << wait << " logged twice:\n" << text;
    click(options_button);
    ASSERT_TRUE(shows(panel_fill, proxy_port_field, false)) << s.last_shot;
    focus_field(proxy_port_field);
    s.xdo("key ctrl+a BackSpace type --delay 20 " + std::to_string(server->port()));
    s.key("Escape");
    // The next try comes after the wait of the last failure (at most 30 s).
    ASSERT_TRUE(shell::wait_until(
        [&] { return log().find("Wizard page: Pick Install Destination") != std::string::npos; }, 60000))
        << log();
}

// A TMPDIR with room for the directory archive but not for its text (a tmpfs of five pages): the failed
// expansion is one alert, the status line says it at each try after its wait, and QUIT ends the run.
TEST_F(DemoRoadProgramTest, ADirectoryThatCannotBeExpandedHereIsToldOnceAndQuitEndsTheRun) {
    serve({"--folders", "300"}); // an archive of 8 KB, its text of 28 KB
    start({}, "exec unshare -rm sh -c 'mount -t tmpfs -o size=20k tmpfs \"$TMPDIR\" && exec \"$0\" \"$@\"' "
              "\"$0\" \"$@\"");
    walk_to_check_servers();
    // Every alert is answered as soon as it shows, for 30 s.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        const shell::image img = s.screenshot();
        if (!img.empty() && img.at(400, 180)[0] + img.at(400, 180)[1] + img.at(400, 180)[2] > 150)
            s.key("Return");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const std::string text = log(), alert = "| The installer cannot extract a file.\n";
    int alerts = 0;
    for (size_t at = text.find(alert); at != std::string::npos; at = text.find(alert, at + 1))
        ++alerts;
    std::printf("alerts while the directory could not be expanded: %d\n", alerts);
    EXPECT_EQ(alerts, 1) << text;
    // The line names the folder that is full: the work folder in TMPDIR.
    EXPECT_NE(text.find("I could not save the file list in " + tmp.path() + "/aerivon-installer-"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(": No space left on device"), std::string::npos) << text;
    take(way_out::quit_clicked);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
}

TEST_F(DemoRoadProgramTest, OneRegisteredCopyRunsAtOnce) {
    const std::string other = s.home.file("Sim/");
    test::shell("mkdir -p " + shell::sh_quote(other) + " " + shell::sh_quote(s.home.file(".local/share")));
    test::write_file(other + "Aerivon.exe",
                     "#!/bin/sh\necho \"started $#\" > \"$(dirname \"$0\")/ran.txt\"\n");
    chmod((other + "Aerivon.exe").c_str(), 0755);
    test::write_file(s.home.file(".local/share/aerivon_install_10.txt"),
                     other + "\n" + s.home.file("gone/") + "\n");
    start();
    expect_page("");     // a welcome page without title: the three choices
    click(first_choice); // "Run the Aerivon Demo Now"
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_TRUE(shell::wait_until([&] { return test::read_file(other + "ran.txt") == "started 0\n"; }, 5000));
}

TEST_F(DemoRoadProgramTest, ContinuingAfterGoingBackFetchesNothingTwice) {
    serve({}, {"mirror1.test=slow=600", "mirror2.test=slow=600"});
    // "Change Destination" asks the folder chooser, which the fake zenity answers with another folder.
    const std::string parent = s.home.file("Games/"), dialog_log = s.home.file("dialog.log");
    test::shell("mkdir -p " + shell::sh_quote(parent) + " && cp " + AERIVON_SOURCE_DIR +
                "/tests/support/fake_dialog/fake_dialog.sh " + shell::sh_quote(s.home.file("bin/zenity")));
    start({{"FAKE_ZENITY_ANSWER", parent}, {"FAKE_DIALOG_LOG", dialog_log}});
    walk_to_destination();
    click(wizard(290, 203));
    ASSERT_TRUE(shell::wait_until(
        [&] { return test::read_file(dialog_log).find("--directory") != std::string::npos; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    copy = parent + "Aerivon 10 Demo/";
    go_back_mid_install();
    click(dialog_second); // "Continue"
    expect_page("Finshed Web Demo Install");
    expect_installed_copy();
    std::map<std::string, int> fetched;
    for (const test::demo_request& r : server->requests())
        EXPECT_EQ(++fetched[r.path], 1) << r.path << " fetched again";
    click(last_quit);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
}

TEST_F(DemoRoadProgramTest, CancellingAfterGoingBackDeletesThePartialCopy) {
    serve({}, {"mirror1.test=slow=300", "mirror2.test=slow=300"});
    start();
    walk_to_destination();
    go_back_mid_install();
    click(dialog_first); // "Cancel"
    EXPECT_TRUE(shell::wait_until([&] { return !exists(copy); }, 5000)) << copy;
    click(quit_button);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
}

// QUIT on the install page asks the cancel question over the page; a quit from outside (SIGTERM, the window
// closed) while it shows leaves it unanswered: the run ends cleanly and the partial copy stays. So does a
// SIGTERM, a SIGHUP (the terminal closed), or the window destroyed by another X client, while the packages
// come in. Either way no stage folder stays in the copy, and nothing in TMPDIR.
struct quit_row {
    const char* name;
    bool question; // QUIT clicked first: the quit comes while the cancel question shows
    way_out how;
};

void PrintTo(const quit_row& row, std::ostream* out) { *out << row.name; }

class InstallQuitTest : public DemoRoadProgramTest, public testing::WithParamInterface<quit_row> {};

TEST_P(InstallQuitTest, AQuitFromOutsideEndsTheRunCleanlyAndKeepsThePartialCopy) {
    const quit_row& row = GetParam();
    serve({}, {"mirror1.test=slow=300", "mirror2.test=slow=300"});
    start();
    walk_to_destination();
    const std::string work = work_folder();
    click(continue_button);
    expect_page("Installing");
    ASSERT_TRUE(shell::wait_until([&] { return exists(copy + "Aerivon.exe"); }, 20000));
    if (row.question) {
        const shell::image before = s.screenshot();
        click(quit_button);
        ASSERT_TRUE(shows(panel_fill, dialog_first, false)) << s.last_shot;
        const shell::image during = s.screenshot();
        // Outside the 700 x 206 question (and its frame) the page stays as it was: the step panel, the
        // background, the bottom row.
        for (const point p :
             {point{20, 500}, point{5, 595}, point{400, 577}, point{690, 590}, point{20, 150}})
            EXPECT_EQ(during.at(p.x, p.y), before.at(p.x, p.y))
                << p.x << ", " << p.y << " in " << s.last_shot;
    }
    take(row.how);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_TRUE(exists(copy + "Aerivon.exe")) << copy;
    EXPECT_NE(log().find("\nClean exit from threads.\n"), std::string::npos) << log();
    EXPECT_EQ(test::shell("find " + shell::sh_quote(copy) + " -name '.aerivon-unpack-*' | grep -q ."), 1);
    ASSERT_FALSE(work.empty());
    EXPECT_FALSE(exists(work)) << work;
    EXPECT_EQ(test::shell("find " + shell::sh_quote(tmp.path()) + " -mindepth 1 | grep ."), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, InstallQuitTest,
                         testing::Values(quit_row{"WindowClosedAtTheQuestion", true, way_out::close_box},
                                         quit_row{"SigtermAtTheQuestion", true, way_out::sigterm},
                                         quit_row{"SigtermMidDownload", false, way_out::sigterm},
                                         quit_row{"SighupMidDownload", false, way_out::sighup},
                                         quit_row{"WindowDestroyedMidDownload", false,
                                                  way_out::window_destroyed}),
                         [](const testing::TestParamInfo<quit_row>& i) { return std::string(i.param.name); });

// A resolver that keeps the proxy's name waiting: Check Servers is drawn at once after CONTINUE, and every
// way out ends the run at once, through the orderly exit, without waiting for the look-up. A look-up that
// never answers fails within 30 s with the failure line; one that fails first is tried again and the road
// goes on once it answers; a proxy name mended in OPTIONS is looked up at once.
enum class lookup_then { way_out, failure_line, goes_on, new_proxy };

struct lookup_row {
    const char* name;
    way_out way;
    std::map<std::string, std::string> resolver; // the shim's settings besides the name
    lookup_then then;
};

void PrintTo(const lookup_row& row, std::ostream* out) { *out << row.name; }

class HungLookUpTest : public DemoRoadProgramTest, public testing::WithParamInterface<lookup_row> {};

TEST_P(HungLookUpTest, CheckServersShowsAtOnceAndEveryWayOutEndsTheRun) {
    using clock = std::chrono::steady_clock;
    const auto seconds_since = [](clock::time_point t) {
        return std::chrono::duration<double>(clock::now() - t).count();
    };
    const lookup_row& row = GetParam();
    serve();
    proxy_host = "hung-proxy.test";
    std::map<std::string, std::string> env = row.resolver;
    env.insert({{"LD_PRELOAD", SLOW_LOOKUP_LIB}, {"AERIVON_SLOW_LOOKUP", proxy_host}});
    start(env);
    expect_page("Welcome");
    click(continue_button);
    expect_page("End User License Agreement");
    click(agree_box);
    ASSERT_TRUE(shows(panel_fill, {150, 530}));
    const shell::image license = s.screenshot();
    const std::string work = work_folder();
    click(continue_button);
    const clock::time_point clicked = clock::now();
    // The page's own picture: its title and text, not the licence's, in the right panel.
    const auto check_servers_drawn = [&] {
        if (log().find("Wizard page: Check Servers") == std::string::npos)
            return false;
        const shell::image now = s.screenshot();
        int differ = 0;
        for (int y = 100; !now.empty() && y < 450; y += 2)
            for (int x = 220; x < 780; x += 2)
                differ += now.at(x, y) != license.at(x, y);
        return differ > 200;
    };
    ASSERT_TRUE(shell::wait_until(check_servers_drawn, 20000)) << s.last_shot;
    const double shown = seconds_since(clicked);
    const auto logged = [&](const std::string& text, int ms) {
        return shell::wait_until([&] { return log().find(text) != std::string::npos; }, ms);
    };
    const std::string failure =
        "I could not reach hung-proxy.test: We could not find the server over the network.";
    const std::string next_page = "Wizard page: Pick Install Destination";
    if (row.then == lookup_then::failure_line) {
        EXPECT_TRUE(logged(failure, 35000 - static_cast<int>(seconds_since(clicked) * 1000))) << log();
        std::printf("click to the failure line: %.2f s\n", seconds_since(clicked));
    } else if (row.then == lookup_then::goes_on) {
        ASSERT_TRUE(logged(failure, 10000)) << log();
        const clock::time_point failed = clock::now();
        EXPECT_TRUE(logged(next_page, 10000)) << log();
        std::printf("failure line (resolver answering again) to the next page: %.2f s\n",
                    seconds_since(failed));
    } else if (row.then == lookup_then::new_proxy) {
        click(options_button);
        const point proxy_host_field = {proxy_port_field.x, proxy_port_field.y - 30};
        ASSERT_TRUE(shows(panel_fill, proxy_host_field, false)) << s.last_shot;
        focus_field(proxy_host_field);
        s.xdo("key End key --repeat 20 --delay 10 BackSpace type --delay 20 localhost");
        focus_field(proxy_port_field); // the field shows the port as the preferences file keeps it: empty
        s.xdo("key End key --repeat 8 --delay 10 BackSpace type --delay 20 " +
              std::to_string(server->port()));
        s.key("Escape");
        const clock::time_point mended = clock::now();
        // The new name is looked up at once, not after the hung look-up's limit; but each try that failed
        // while the port was typed put the next one off (the longer, the more loaded the machine).
        EXPECT_TRUE(logged(next_page, 35000)) << log();
        const double took = seconds_since(mended);
        const std::string text = log(), again = "I will try again in ";
        const size_t last = text.rfind(again);
        const int put_off = last == std::string::npos ? 0 : std::atoi(text.c_str() + last + again.size());
        EXPECT_LT(took, put_off + 10.0) << text;
        std::printf("new proxy name to the next page: %.2f s (the last failed try put it off %d s)\n", took,
                    put_off);
    }
    const clock::time_point asked = clock::now();
    take(row.way);
    EXPECT_EQ(s.process->wait_exit(20000), 0);
    const double ended = seconds_since(asked);
    std::printf("click to Check Servers drawn: %.2f s; way out to the end of the program: %.2f s\n", shown,
                ended);
    EXPECT_LT(shown, 2.0);
    EXPECT_LT(ended, 3.0);
    EXPECT_NE(log().find("\nClean exit from threads.\n"), std::string::npos) << log();
    ASSERT_FALSE(work.empty());
    EXPECT_FALSE(exists(work)) << work;
}

const std::map<std::string, std::string> never = {{"AERIVON_SLOW_LOOKUP_SECONDS", "never"}};

INSTANTIATE_TEST_SUITE_P(
    Rows, HungLookUpTest,
    testing::Values(lookup_row{"QuitButton", way_out::quit_clicked, {}, lookup_then::way_out},
                    lookup_row{"WindowClosed", way_out::close_box, {}, lookup_then::way_out},
                    lookup_row{"Sigterm", way_out::sigterm, {}, lookup_then::way_out},
                    lookup_row{"NeverAnswers", way_out::quit_clicked, never, lookup_then::failure_line},
                    lookup_row{"FailsOnceThenAnswers",
                               way_out::quit_clicked,
                               {{"AERIVON_SLOW_LOOKUP_FAILS", "1"}},
                               lookup_then::goes_on},
                    lookup_row{"NewProxyNameWhileItHangs", way_out::quit_clicked, never,
                               lookup_then::new_proxy}),
    [](const testing::TestParamInfo<lookup_row>& i) { return std::string(i.param.name); });

TEST_F(DemoRoadProgramTest, FormatsNewerThanTheInstallerOpenTheDownloadPageAndQuit) {
    const std::string record = s.home.file("xdg-open.txt");
    shell::fake_program(s.home.file("bin"), "xdg-open", record);
    for (const char* variant : {"--too-new-server-list", "--too-new-directory"}) {
        SCOPED_TRACE(variant);
        serve({variant});
        start();
        expect_page("Welcome");
        click(continue_button);
        click(agree_box);
        click(continue_button);
        ASSERT_TRUE(s.wait_for_alert()) << log();
        s.key("Return");
        EXPECT_EQ(s.process->wait_exit(10000), 0);
        for (const char* line :
             {"| OK I am checking the Nordvane Systems servers and I am finding file formats "
              "that are newer than I can understand!",
              "| In other words, you need to get a new installer!",
              "| No problem... grab it at the download section of www.aerivon.example.", "| (utils:92)"})
            EXPECT_NE(log().find(line), std::string::npos) << line << "\n" << log();
        // The stand-in browser is a detached child: its record comes when it has run.
        const std::string opened = "1\nhttp://www.aerivon.example/demo\n";
        EXPECT_TRUE(shell::wait_until([&] { return test::read_file(record) == opened; }, 10000))
            << test::read_file(record);
        std::remove(record.c_str());
    }
}

// Each run also removes, at its start, the work folder a killed run left (its lock is free), and leaves
// the folder of the run that is still going.
TEST(WorkFolderProgramTest, TwoRunsAtOnceHavePrivateFoldersThatGoAtExit) {
    test::TempDir tmp;
    const std::string stale = tmp.file("aerivon-installer-Killed");
    test::shell("mkdir -p '" + stale + "/sub' && touch '" + stale + "/lock' '" + stale + "/sub/3.zip'");
    shell::session runs[2] = {shell::session{"800x600x24"}, shell::session{"800x600x24"}};
    std::string folders[2];
    for (int i = 0; i < 2; ++i) {
        if (!runs[i].have_display())
            GTEST_SKIP() << "Xvfb did not start";
        const std::string log = runs[i].home.file("log.txt"), label = "os_dir_temp\t\t\t=";
        runs[i].start(AERIVON_EXE, {"--lang=en", "--log_path=" + log}, {{"TMPDIR", tmp.path()}});
        ASSERT_TRUE(
            shell::wait_until([&] { return test::read_file(log).find(label) != std::string::npos; }, 10000));
        const std::string text = test::read_file(log);
        const size_t at = text.find(label) + label.size();
        folders[i] = text.substr(at, text.find('\n', at) - at);
        struct stat st;
        ASSERT_EQ(stat(folders[i].c_str(), &st), 0) << folders[i];
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(folders[i].rfind(tmp.path() + "/aerivon-installer-", 0), 0u) << folders[i];
        EXPECT_EQ(text.find("Removed the work folder " + stale + "/ of a run that is gone, with result=0.") !=
                      std::string::npos,
                  i == 0)
            << text;
        EXPECT_FALSE(exists(stale));
        EXPECT_TRUE(exists(folders[0] + "lock")); // the first run is still going, with its folder
    }
    EXPECT_NE(folders[0], folders[1]);
    for (int i = 0; i < 2; ++i) {
        runs[i].process->signal(SIGTERM);
        EXPECT_EQ(runs[i].process->wait_exit(10000), 0);
        EXPECT_FALSE(exists(folders[i])) << folders[i];
    }
}

} // namespace
