// The web demo road as a user runs it: the program on an X server of its own, clicked through with
// xdotool, installing from the local demo server and its sample release through the proxy preference.
// Click points are the wizard's (x, y up) turned into window pixels of the 800 x 600 window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <set>

#include "base/FILE_compress.h"
#include "support/demo_release.h"
#include "support/test_support.h"
#include "ui/shell_harness.h"

namespace {

// Window pixels of wizard points; the bottom row's words, the first choice and the two-button dialog's
// buttons (the 700 x 206 dialog centred in the window: its origin is (50, 197)).
struct point {
    int x, y;
};
constexpr point wizard(int x, int y) { return {x, 600 - y}; }
constexpr point continue_button = wizard(719, 23), back_button = wizard(594, 23),
                quit_button = wizard(58, 23);
constexpr point agree_box = wizard(250, 302), first_choice = wizard(500, 350);
constexpr point dialog_first = {50 + 96, 600 - 197 - 56}, dialog_second = {50 + 96, 600 - 197 - 31};

class DemoRoadProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
        desktop = s.home.file("Desktop/");
        copy = desktop + "Aerivon 10 Demo/";
    }
    // Makes the sample release with `options` and serves it with `faults`.
    void serve(const std::vector<std::string>& options = {}, const std::vector<std::string>& faults = {}) {
        ASSERT_TRUE(test::make_sample_release(release.path(), options));
        server = std::make_unique<test::DemoServer>(release.path(), faults);
        ASSERT_TRUE(server->ok()) << server->output();
    }
    void start(std::vector<std::string> args = {}, std::map<std::string, std::string> env = {}) {
        args.insert(args.end(), {"--lang=en", "--pref:_log_actions=1", "--log_path=" + log_path});
        if (server)
            args.insert(args.end(), {"--pref:_proxy_host=127.0.0.1",
                                     "--pref:_proxy_port_int=" + std::to_string(server->port())});
        env["TMPDIR"] = tmp.path();
        s.start(AERIVON_EXE, args, env);
        ASSERT_FALSE(s.window().empty()) << s.process->errors();
    }
    std::string log() const { return test::read_file(log_path); }
    bool wait_log(const std::string& text, int timeout_ms = 20000) {
        return shell::wait_until([&] { return log().find(text) != std::string::npos; }, timeout_ms);
    }
    // Waits for the page's log line, then checks that the window shows the wizard's panels.
    void expect_page(const std::string& title) {
        ASSERT_TRUE(wait_log("Wizard page: " + title)) << log();
        EXPECT_TRUE(shell::wait_until(
            [&] {
                const shell::image img = s.screenshot();
                return !img.empty() && img.at(150, 530) == panel_fill && img.at(760, 300) == panel_fill;
            },
            5000))
            << title << ": " << s.last_shot;
    }
    void click(point p) { s.click(p.x, p.y); }
    // Welcome -> License (ticked) -> Check Servers -> Pick Destination.
    void walk_to_destination() {
        expect_page("Welcome");
        click(continue_button);
        expect_page("End User License Agreement");
        click(agree_box);
        click(continue_button);
        expect_page("Pick Install Destination for Aerivon10Demo.");
    }
    // Values of one table of the manifest: "after_install" (path -> MD5) or "absent_after_install" (path ->
    // its package's URL).
    std::map<std::string, std::string> manifest(const std::string& table) {
        const std::string script = tmp.file("manifest.py"), out = tmp.file("manifest.txt");
        test::write_file(script,
                         "import json, sys\n"
                         "m = json.load(open(sys.argv[1]))\n"
                         "t = m[sys.argv[2]]\n"
                         "for p in (t if isinstance(t, list) else sorted(t)):\n"
                         "    v = m['packages'].get(p, {}).get('url', '') if isinstance(t, list) else t[p]\n"
                         "    print(p + '\\t' + v)\n");
        test::shell("python3 " + shell::sh_quote(script) + " " +
                    shell::sh_quote(release.file("manifest.json")) + " " + table + " > " +
                    shell::sh_quote(out));
        std::map<std::string, std::string> values;
        std::istringstream in(test::read_file(out));
        for (std::string line; std::getline(in, line);)
            values[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
        return values;
    }
    // Every installed file has the manifest's MD5; nothing unwanted was installed or requested.
    void expect_installed_copy() {
        const auto md5s = manifest("after_install");
        ASSERT_FALSE(md5s.empty());
        for (const auto& [path, md5] : md5s) {
            std::string have;
            EXPECT_EQ(FILE_md5_hex(copy + path, have), 0) << path;
            EXPECT_EQ(have, md5) << path;
        }
        for (const auto& [path, url] : manifest("absent_after_install")) {
            struct stat st;
            EXPECT_NE(lstat((copy + path).c_str(), &st), 0) << path;
            if (!url.empty()) {
                EXPECT_EQ(server->count(url), 0) << url;
            }
        }
    }
    std::string work_folder() {
        const std::string text = log(), label = "os_dir_temp\t\t\t=";
        const size_t at = text.find(label);
        return at == std::string::npos
                   ? ""
                   : text.substr(at + label.size(), text.find('\n', at) - at - label.size());
    }

    const std::array<int, 3> panel_fill = {22, 32, 48}; // the wizard panels' fill (style 23)
    shell::session s{"800x600x24"};
    test::TempDir release, tmp;
    std::unique_ptr<test::DemoServer> server;
    const std::string log_path = s.home.file("log.txt");
    std::string desktop, copy;
};

TEST_F(DemoRoadProgramTest, TheRoadInstallsRegistersAndFliesTheDemo) {
    serve();
    start();
    walk_to_destination();
    click(continue_button);
    expect_page("Finshed Web Demo Install");

    expect_installed_copy();
    EXPECT_EQ(test::read_file(s.home.file(".local/share/aerivon_install_10.txt")), copy + "\n");
    const std::string text = log();
    EXPECT_NE(text.find("EXPANDING file " + copy + "Aerivon.exe, with result=0."), std::string::npos) << text;
    EXPECT_EQ(text.find("E/SYS: |"), std::string::npos) << "an alert was raised:\n" << text;
    const std::string work = work_folder();
    ASSERT_FALSE(work.empty());

    click(first_choice); // "Fly Aerivon 10 Now"
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_TRUE(
        shell::wait_until([&] { return !test::read_file(copy + "launch_marker.txt").empty(); }, 5000));
    EXPECT_EQ(test::read_file(copy + "launch_marker.txt"), "started\n"); // and no arguments
    struct stat st;
    EXPECT_EQ(stat(s.home.file(".local/share/Aerivon Installer.prf").c_str(), &st), 0);
    EXPECT_NE(stat(work.c_str(), &st), 0) << work;
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
    expect_page("");     // the welcome page of a registered copy has no title
    click(first_choice); // "Run the Aerivon Demo Now"
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    EXPECT_TRUE(shell::wait_until([&] { return test::read_file(other + "ran.txt") == "started 0\n"; }, 5000));
}

TEST_F(DemoRoadProgramTest, GoingBackMidInstallThenContinuingFetchesNothingTwice) {
    serve({}, {"mirror1.test=slow=600", "mirror2.test=slow=600"});
    // "Change Destination" asks the folder chooser: the fake zenity answers with another folder.
    const std::string parent = s.home.file("Games/"), dialog_log = s.home.file("dialog.log");
    test::shell(
        "mkdir -p " + shell::sh_quote(parent) + " && cp " +
        shell::sh_quote(std::string(AERIVON_SOURCE_DIR) + "/tests/support/fake_dialog/fake_dialog.sh") + " " +
        shell::sh_quote(s.home.file("bin/zenity")));
    start({}, {{"FAKE_ZENITY_ANSWER", parent}, {"FAKE_DIALOG_LOG", dialog_log}});
    walk_to_destination();
    click(wizard(290, 203));
    ASSERT_TRUE(shell::wait_until(
        [&] { return test::read_file(dialog_log).find("--directory") != std::string::npos; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    copy = parent + "Aerivon 10 Demo/";
    click(continue_button);
    ASSERT_TRUE(wait_log("Wizard page: Installing"));
    click(back_button);
    // The question shows over the window: its first button where the step panel was.
    ASSERT_TRUE(shell::wait_until(
        [&] {
            const shell::image img = s.screenshot();
            return !img.empty() && img.at(dialog_first.x, dialog_first.y) != panel_fill;
        },
        5000))
        << s.last_shot;
    click(dialog_second); // "Continue"
    expect_page("Finshed Web Demo Install");
    expect_installed_copy();
    std::map<std::string, int> fetched;
    for (const test::demo_request& r : server->requests())
        EXPECT_EQ(++fetched[r.path], 1) << r.path << " fetched again";
    click(wizard(742, 23)); // QUIT, in place of CONTINUE
    EXPECT_EQ(s.process->wait_exit(10000), 0);
}

TEST_F(DemoRoadProgramTest, GoingBackMidInstallThenCancellingDeletesThePartialCopy) {
    serve({}, {"mirror1.test=slow=300", "mirror2.test=slow=300"});
    start();
    walk_to_destination();
    click(continue_button);
    struct stat st;
    ASSERT_TRUE(shell::wait_until([&] { return stat((copy + "Aerivon.exe").c_str(), &st) == 0; }, 20000));
    click(back_button);
    ASSERT_TRUE(shell::wait_until(
        [&] {
            const shell::image img = s.screenshot();
            return !img.empty() && img.at(dialog_first.x, dialog_first.y) != panel_fill;
        },
        5000));
    click(dialog_first); // "Cancel"
    EXPECT_TRUE(shell::wait_until([&] { return stat(copy.c_str(), &st) != 0; }, 5000)) << copy;
    click(quit_button);
    EXPECT_EQ(s.process->wait_exit(10000), 0);
}

TEST_F(DemoRoadProgramTest, FormatsNewerThanTheInstallerOpenTheDownloadPageAndQuit) {
    for (const char* variant : {"--too-new-server-list", "--too-new-directory"}) {
        SCOPED_TRACE(variant);
        server.reset();
        serve({variant});
        const std::string record = s.home.file("xdg-open.txt");
        shell::fake_program(s.home.file("bin"), "xdg-open", record);
        test::write_file(log_path, "");
        start();
        expect_page("Welcome");
        click(continue_button);
        expect_page("End User License Agreement");
        click(agree_box);
        click(continue_button);
        ASSERT_TRUE(s.wait_for_alert()) << log();
        s.key("Return");
        EXPECT_EQ(s.process->wait_exit(10000), 0);
        const std::string text = log();
        for (const char* line :
             {"| OK I am checking the Nordvane Systems servers and I am finding file formats that are newer "
              "than I "
              "can understand!",
              "| In other words, you need to get a new installer!",
              "| No problem... grab it at the download section of www.aerivon.example.", "| (utils:92)"})
            EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        EXPECT_EQ(test::read_file(record), "1\nhttp://www.aerivon.example/demo\n");
        std::remove(record.c_str());
    }
}

TEST(WorkFolderProgramTest, TwoRunsAtOnceHavePrivateFoldersThatGoAtExit) {
    test::TempDir tmp;
    shell::session a{"800x600x24"}, b{"800x600x24"};
    if (!a.have_display() || !b.have_display())
        GTEST_SKIP() << "Xvfb did not start";
    std::vector<std::string> folders;
    for (shell::session* s : {&a, &b}) {
        s->start(AERIVON_EXE, {"--lang=en", "--log_path=" + s->home.file("log.txt")},
                 {{"TMPDIR", tmp.path()}});
        ASSERT_FALSE(s->window().empty());
        const std::string label = "os_dir_temp\t\t\t=";
        std::string text;
        ASSERT_TRUE(shell::wait_until(
            [&] {
                return (text = test::read_file(s->home.file("log.txt"))).find(label) != std::string::npos;
            },
            10000));
        const size_t at = text.find(label) + label.size();
        folders.push_back(text.substr(at, text.find('\n', at) - at));
    }
    ASSERT_NE(folders[0], folders[1]);
    for (const std::string& f : folders) {
        struct stat st;
        ASSERT_EQ(stat(f.c_str(), &st), 0) << f;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << f;
        EXPECT_EQ(f.rfind(tmp.path() + "/aerivon-installer-", 0), 0u) << f;
    }
    for (shell::session* s : {&a, &b}) {
        s->process->signal(SIGTERM);
        EXPECT_EQ(s->process->wait_exit(10000), 0);
    }
    for (const std::string& f : folders) {
        struct stat st;
        EXPECT_NE(stat(f.c_str(), &st), 0) << f;
    }
}

} // namespace
