// The update road as a user runs it: the program on an X server of its own, clicked through with xdotool,
// updating the sample generator's installed v1 copy (registered under a temporary HOME) from the local demo
// server, which serves v2 through the proxy preference. Click points are the wizard's (x, y up) turned into
// window pixels of the 800 x 600 window; the tests wait on the page lines of the log ("_log_actions").
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <map>
#include <sstream>

#include "base/FILE_compress.h"
#include "base/FILE_error_text.h"
#include "support/demo_release.h"
#include "support/test_support.h"
#include "ui/shell_harness.h"

namespace {

struct point {
    int x, y;
};
constexpr point wizard(int x, int y) { return {x, 600 - y}; }
// The modified-file question's buttons: the 750 x 146 dialog centred in the window has its origin at
// (25, 227).
constexpr point question(int x, int y) { return {25 + x, 600 - 227 - y}; }
// The preferences dialog, 700 x 380, has its origin at (50, 110).
constexpr point prefs(int x, int y) { return {50 + x, 600 - 110 - y}; }

constexpr point continue_button = wizard(719, 23), quit_button = wizard(58, 23),
                options_button = wizard(159, 23);
constexpr point last_quit = wizard(742, 23);      // QUIT in place of CONTINUE on a road's last page
constexpr point update_choice = wizard(500, 325); // "Update the Aerivon Demo", the second choice
constexpr point overwrite = question(90, 40), keep = question(90, 20), keep_every = question(310, 20),
                cancel_all = question(590, 20);

class UpdateRoadProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!s.have_display())
            GTEST_SKIP() << "Xvfb did not start";
        copy = s.home.file("Aerivon 10 Demo/");
    }
    // Makes the sample release with `options`, installs its v1 copy, registers it and serves v2 (or v1 with
    // `serve_v1`) with `faults`.
    void serve(const std::vector<std::string>& options = {}, const std::vector<std::string>& faults = {},
               bool serve_v1 = false) {
        ASSERT_TRUE(test::make_sample_release(release.path(), options));
        test::shell("cp -r " + shell::sh_quote(release.file("installed-v1")) + " " + shell::sh_quote(copy) +
                    " && mkdir -p " + shell::sh_quote(s.home.file(".local/share")));
        test::write_file(s.home.file(".local/share/aerivon_install_10.txt"), copy + "\n");
        server = std::make_unique<test::DemoServer>(serve_v1 ? release.file("v1") : release.path(), faults);
        ASSERT_TRUE(server->ok()) << server->output();
    }
    // Rewrites the served directory.txt with a Python expression over its text `t` (re is imported).
    void rewrite_directory(const std::string& expression) {
        const std::string script = tmp.file("rewrite.py");
        test::write_file(script, "import re, sys, zipfile\n"
                                 "p = sys.argv[1]\n"
                                 "with zipfile.ZipFile(p) as z:\n"
                                 "    t = z.read('directory.txt').decode()\n"
                                 "t = eval(sys.argv[2])\n"
                                 "with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                 "    z.writestr('directory.txt', t)\n");
        ASSERT_EQ(test::shell("python3 " + shell::sh_quote(script) + " " +
                              shell::sh_quote(release.file("mirror/pub/Aerivon10Demo/directory.txt.zip")) +
                              " " + shell::sh_quote(expression)),
                  0);
    }
    // Starts the installer (through `wrapper`, a shell word list run before it, when given).
    void start(std::vector<std::string> args = {}, int proxy_port = 0, const std::string& wrapper = "") {
        args.insert(args.end(), {"--lang=en", "--pref:_log_actions=1", "--log_path=" + log_path});
        if (server)
            args.insert(args.end(), {"--pref:_proxy_host=" + proxy_host,
                                     "--pref:_proxy_port_int=" +
                                         std::to_string(proxy_port ? proxy_port : server->port())});
        if (wrapper.empty()) {
            s.start(AERIVON_EXE, args, {{"TMPDIR", tmp.path()}});
        } else {
            args.insert(args.begin(), {"-c", wrapper + "; exec \"$0\" \"$@\"", AERIVON_EXE});
            s.start("/bin/sh", args, {{"TMPDIR", tmp.path()}});
        }
        ASSERT_FALSE(s.window().empty()) << s.process->errors();
    }
    // Before another run in the same test: the last one has ended, and the copy, server and log are gone.
    void next_run() {
        if (s.process) {
            ASSERT_EQ(s.process->wait_exit(10000), 0);
        }
        server.reset();
        test::shell("rm -rf " + shell::sh_quote(copy));
        test::write_file(log_path, "");
    }
    std::string log() const { return test::read_file(log_path); }
    bool wait_log(const std::string& text, int timeout_ms = 20000) {
        return shell::wait_until([&] { return log().find(text) != std::string::npos; }, timeout_ms);
    }
    void expect_page(const std::string& title, int timeout_ms = 20000) {
        ASSERT_TRUE(wait_log("Wizard page: " + title + "\n", timeout_ms)) << title << "\n" << log();
    }
    // The body the page showed first, as the road logs it.
    bool page_text(const std::string& body) { return wait_log("Page text: " + body + "\n", 5000); }
    void click(point p) { s.click(p.x, p.y); }
    // Welcome (a copy is registered) -> Update -> the copy is chosen -> CONTINUE -> Search for Updates.
    void walk_to_search() {
        expect_page("");
        click(update_choice);
        expect_page("Pick Destination");
        s.xdo("sleep 0.3"); // the chooser's first frame is on screen
        continue_look = word_brightness(continue_button);
        click(continue_button);
        expect_page("Search for Updates");
    }
    void walk_to_disk_space() {
        walk_to_search();
        expect_page("Check Disk Space");
    }
    // Waits for the modified-file question about `path` (relative to the copy) and its picture.
    void expect_question(const std::string& path) {
        ASSERT_TRUE(wait_log("File: " + copy + path + "  sig_want=")) << log();
        ASSERT_TRUE(shell::wait_until(
            [&] {
                const shell::image img = s.screenshot();
                return !img.empty() && img.at(cancel_all.x, cancel_all.y) != panel_fill &&
                       img.at(keep.x, keep.y) != panel_fill;
            },
            5000))
            << s.last_shot;
    }
    // True once CONTINUE shows darker than it did on the copy chooser: its dim look.
    bool continue_dims() {
        return shell::wait_until([&] { return word_brightness(continue_button) < continue_look * 9 / 10; },
                                 5000);
    }
    // The summed channels of the middle row of a word button.
    int word_brightness(point p) {
        const shell::image img = s.screenshot();
        int sum = 0;
        for (int x = p.x - 40; !img.empty() && x <= p.x + 40; ++x)
            for (int c : img.at(x, p.y))
                sum += c;
        return sum;
    }
    // Values of the manifest: a Python expression over it (`m`) giving a dict (path -> value) or a list.
    std::map<std::string, std::string> manifest(const std::string& expression) {
        const std::string script = tmp.file("manifest.py"), out = tmp.file("manifest.txt");
        test::write_file(script, "import json, sys\n"
                                 "m = json.load(open(sys.argv[1]))\n"
                                 "v = eval(sys.argv[2])\n"
                                 "for k in sorted(v):\n"
                                 "    print(k + '\\t' + (v[k] if isinstance(v, dict) else ''))\n");
        test::shell("python3 " + shell::sh_quote(script) + " " +
                    shell::sh_quote(release.file("manifest.json")) + " " + shell::sh_quote(expression) +
                    " > " + shell::sh_quote(out));
        std::map<std::string, std::string> values;
        std::istringstream in(test::read_file(out));
        for (std::string line; std::getline(in, line);)
            values[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
        return values;
    }
    std::string role(const std::string& name) { return manifest("m['roles']")[name]; }
    static std::string md5(const std::string& path) {
        std::string have;
        return FILE_md5_hex(path, have) == 0 ? have : "<" + path + " unreadable>";
    }
    static bool exists(const std::string& path) {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }
    // Every file of the copy with its MD5, one line each.
    std::string tree() {
        const std::string out = tmp.file("tree.txt");
        test::shell("cd " + shell::sh_quote(copy) + " && find . -type f | sort | xargs -d '\\n' md5sum > " +
                    shell::sh_quote(out));
        return test::read_file(out);
    }
    // Requests of packages (anything but the server list and the directory).
    int package_requests() {
        int n = 0;
        for (const test::demo_request& r : server->requests())
            n += r.path.find("server_list_10.txt") == std::string::npos &&
                 r.path.find("directory.txt.zip") == std::string::npos;
        return n;
    }
    std::string work_folder() {
        const std::string text = log(), label = "os_dir_temp\t\t\t=";
        const size_t at = text.find(label);
        return at == std::string::npos
                   ? ""
                   : text.substr(at + label.size(), text.find('\n', at) - at - label.size());
    }
    // The updated copy holds v2: the changed file's new bytes, the added file, no GONE file and none of its
    // emptied folders; the unchanged file is untouched and was never requested.
    void expect_updated(time_t unchanged_mtime) {
        for (const auto& [path, want] : manifest("m['after_update']"))
            EXPECT_EQ(md5(copy + path), want) << path;
        for (const auto& [path, unused] : manifest("m['absent_after_update']"))
            EXPECT_FALSE(exists(copy + path)) << path;
        for (const auto& [folder, unused] : manifest("m['folders_removed_by_update']"))
            EXPECT_FALSE(exists(copy + folder)) << folder;
        EXPECT_TRUE(exists(copy + role("added")));
        struct stat st;
        ASSERT_EQ(stat((copy + role("unchanged")).c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, unchanged_mtime);
        EXPECT_EQ(
            server->count(manifest("{p: v['url'] for p, v in m['packages'].items()}")[role("unchanged")]), 0);
    }
    time_t unchanged_mtime() {
        struct stat st;
        return stat((copy + role("unchanged")).c_str(), &st) == 0 ? st.st_mtime : 0;
    }

    const std::array<int, 3> panel_fill = {22, 32, 48}; // the wizard panels' fill
    std::string proxy_host = "127.0.0.1";
    shell::session s{"800x600x24"};
    test::TempDir release, tmp;
    std::unique_ptr<test::DemoServer> server;
    const std::string log_path = s.home.file("log.txt");
    std::string copy;
    int continue_look = 0;
};

TEST_F(UpdateRoadProgramTest, ChangedRemovedAndAddedFilesThenAnUpdateThatOnlyDeletes) {
    serve();
    const time_t mtime = unchanged_mtime();
    start();
    walk_to_disk_space();
    click(continue_button);
    expect_page("Finshed Web Update");
    EXPECT_TRUE(page_text("I have finished updating " + copy + ".")) << log();
    EXPECT_EQ(log().find("File: "), std::string::npos) << "a question was asked";
    EXPECT_EQ(log().find("E/SYS: |"), std::string::npos) << "an alert was raised:\n" << log();
    expect_updated(mtime);
    click(last_quit);
    ASSERT_EQ(s.process->wait_exit(10000), 0);
    // Quitting from the last page logs no page of its own.
    const std::string ended = log(), page_line = "Wizard page: ";
    const size_t last = ended.rfind(page_line);
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(ended.substr(last + page_line.size(), ended.find('\n', last) - last - page_line.size()),
              "Finshed Web Update");

    // The GONE file is back: the update only deletes, with nothing to install (a total of 0 KB).
    const std::string gone = role("gone");
    test::shell("mkdir -p " + shell::sh_quote(copy + "Airfoils/old") + " && cp " +
                shell::sh_quote(release.file("installed-v1/" + gone)) + " " + shell::sh_quote(copy + gone));
    test::write_file(log_path, "");
    const int requested = package_requests();
    start();
    walk_to_disk_space();
    EXPECT_TRUE(page_text("You are about to download 0 KB of compressed data to update to Aerivon10Demo."));
    click(continue_button);
    expect_page("Finshed Web Update");
    EXPECT_TRUE(page_text("I have finished updating " + copy + ".")) << log();
    EXPECT_FALSE(exists(copy + gone));
    EXPECT_FALSE(exists(copy + "Airfoils/"));
    EXPECT_EQ(package_requests(), requested);
}

TEST_F(UpdateRoadProgramTest, AnUpToDateCopyGoesStraightToTheFinishPage) {
    serve({}, {}, true);
    const std::string before = tree();
    start();
    walk_to_disk_space();
    expect_page("Finshed Web Update");
    EXPECT_TRUE(page_text("This copy of Aerivon (" + copy + ") is already up to date.")) << log();
    EXPECT_EQ(package_requests(), 0);
    EXPECT_EQ(tree(), before);
}

// The proxy host typed as a browser shows it, blanks around it and all, is read as people mean it.
TEST_F(UpdateRoadProgramTest, ThroughTinyproxyTheRequestsTravelTheProxy) {
    serve();
    test::UpstreamTinyproxy proxy(tmp.path(), server->port());
    if (!proxy.ok())
        GTEST_SKIP() << "tinyproxy did not start";
    proxy_host = " HTTP://127.0.0.1/ ";
    const time_t mtime = unchanged_mtime();
    start({}, proxy.port());
    walk_to_disk_space();
    click(continue_button);
    expect_page("Finshed Web Update");
    expect_updated(mtime);
    const std::string proxied = test::read_file(tmp.file("tinyproxy-upstream.log"));
    const std::vector<test::demo_request> requests = server->requests();
    ASSERT_GE(requests.size(), 4u);
    for (const test::demo_request& r : requests) {
        // tinyproxy logs the request line as it came, blanks as the client encoded them.
        std::string path = r.path;
        for (size_t at = 0; (at = path.find(' ', at)) != std::string::npos;)
            path.replace(at, 1, "%20");
        EXPECT_NE(proxied.find(r.host + path), std::string::npos) << r.host << r.path;
    }
}

TEST_F(UpdateRoadProgramTest, EachAnswerAboutAModifiedFileIsCarriedOut) {
    struct row {
        const char* modified; // the role of the file the user changed (--modify)
        point button;
        int outcome; // 1 the current bytes, 0 the user's kept, -1 deleted, 2 back on Check Disk Space
    };
    for (const row& r : {row{"changed", overwrite, 1}, row{"gone", overwrite, -1}, row{"gone", keep, 0},
                         row{"changed", cancel_all, 2}}) {
        SCOPED_TRACE(std::string(r.modified) + " " + std::to_string(r.outcome));
        ASSERT_NO_FATAL_FAILURE(next_run());
        serve({"--modify", r.modified});
        const std::string path = role(r.modified), before = tree(), user_md5 = md5(copy + path);
        start();
        walk_to_disk_space();
        click(continue_button);
        expect_question(path); // the "File: ..." line, then the dialog on screen
        click(r.button);
        if (r.outcome == 2) {
            ASSERT_TRUE(shell::wait_until(
                [&] {
                    const std::string text = log();
                    return text.find("Wizard page: Check Disk Space\n", text.find("File: ")) !=
                           std::string::npos;
                },
                10000))
                << log();
            EXPECT_EQ(package_requests(), 0);
            EXPECT_EQ(tree(), before);
            click(quit_button);
            continue;
        }
        expect_page("Finshed Web Update");
        EXPECT_EQ(exists(copy + path), r.outcome >= 0);
        if (r.outcome >= 0) {
            EXPECT_EQ(md5(copy + path), r.outcome ? manifest("m['after_update']")[path] : user_md5);
        }
        click(last_quit);
    }
}

TEST_F(UpdateRoadProgramTest, KeepingEveryFileOfAFolderCoversItsFilesButNotItsSubFolders) {
    serve();
    // The user changed two files of Resources/ and one of a sub-folder.
    const std::string p1 = role("unchanged"), p2 = role("linux_only"), p3 = role("compressible");
    std::map<std::string, std::string> user_md5;
    for (const std::string& p : {p1, p2, p3}) {
        test::write_file(copy + p, test::read_file(copy + p) + "The user's own line.\n");
        user_md5[p] = md5(copy + p);
    }
    start();
    walk_to_disk_space();
    click(continue_button);
    expect_question(p1);
    click(keep_every);
    expect_question(p3);
    click(keep);
    expect_page("Finshed Web Update");
    EXPECT_EQ(log().find("File: " + copy + p2), std::string::npos) << "P2 was asked about";
    for (const auto& [p, sum] : user_md5)
        EXPECT_EQ(md5(copy + p), sum) << p;
}

TEST_F(UpdateRoadProgramTest, AFailingServerSitsOutThirtySecondsWhileTheOtherTakesItsPackage) {
    // A server that refuses, and one that sends its first answer's body at 1 byte every 2 s: that transfer
    // times out a minute after its head.
    const struct {
        const char* fault;
        int status; // what the server logs for the failed request
        const char* report;
        int finish_ms;
    } rows[] = {
        {"mirror2.test=503@45s", 503, "(#503)", 60000},
        {"mirror2.test=drip@1", 200, "Timeout for ", 150000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        next_run();
        serve({}, {row.fault});
        const time_t mtime = unchanged_mtime();
        start();
        walk_to_disk_space();
        const auto begun = std::chrono::steady_clock::now();
        click(continue_button);
        expect_page("Finshed Web Update", row.finish_ms);
        std::cout << row.fault << ": the update took "
                  << std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count()
                  << " s to the finish page\n";
        expect_updated(mtime);
        const std::string text = log();
        EXPECT_NE(text.find(row.report), std::string::npos) << text;

        const std::vector<test::demo_request> requests = server->requests();
        const test::demo_request* failed = nullptr;
        for (const test::demo_request& r : requests)
            if (r.host == "mirror2.test" && r.status == row.status && !failed)
                failed = &r;
        ASSERT_NE(failed, nullptr);
        for (const test::demo_request& r : requests)
            if (r.host == "mirror2.test" && &r != failed) {
                EXPECT_GE(r.time, failed->time + 30.0) << r.path;
            }
        EXPECT_EQ(server->count(failed->path, "mirror1.test"), 1) << failed->path;
        click(last_quit);
    }
}

TEST_F(UpdateRoadProgramTest, FailedFetchesAreRetriedUntilTheRoadGoesOnByItself) {
    // The maker's site answers 404 for the first 10 s; mirror1 has no directory.
    serve({}, {"www.aerivon.example=404@10s", "mirror1.test/directory.txt.zip=404"});
    const auto begun = std::chrono::steady_clock::now();
    start();
    walk_to_search();
    EXPECT_TRUE(page_text("I am contacting www.aerivon.example to find an update server for Aerivon 10."));
    ASSERT_TRUE(wait_log("HTTP Error for ")) << log();
    EXPECT_NE(log().find("server_list_10.txt"), std::string::npos);
    EXPECT_TRUE(continue_dims()) << s.last_shot;
    // Retries wait 1 s, 2 s, 4 s, 8 s...: the list comes after 15 s, the directory within 30 s more.
    expect_page("Check Disk Space", 60000);
    EXPECT_GE(std::chrono::steady_clock::now() - begun, std::chrono::seconds(8));
    EXPECT_GE(server->count("/pub/Aerivon10Demo/directory.txt.zip", "mirror1.test"), 1);
    EXPECT_EQ(server->count("/pub/Aerivon10Demo/directory.txt.zip", "mirror2.test"), 1);
    std::vector<double> list_times;
    for (const test::demo_request& r : server->requests())
        if (r.path == "/_lookup_10_/server_list_10.txt")
            list_times.push_back(r.time);
    ASSERT_GE(list_times.size(), 3u);
    EXPECT_LE(list_times.size(), 6u);
    for (size_t i = 1; i + 1 < list_times.size(); ++i)
        EXPECT_GE(list_times[i] - list_times[i - 1], 0.9 * static_cast<double>(1 << (i - 1))) << i;
    // One report of the list's failures, and their count once the list came.
    const std::string text = log();
    const std::string report_line = "   file       =/_lookup_10_/server_list_10.txt\n";
    int reports = 0;
    for (size_t at = text.find(report_line); at != std::string::npos; at = text.find(report_line, at + 1))
        ++reports;
    EXPECT_EQ(reports, 1) << text;
    EXPECT_NE(text.find("(the same error " + std::to_string(list_times.size() - 2) + " more times)"),
              std::string::npos)
        << text;
}

TEST_F(UpdateRoadProgramTest, AFailedExpansionLeavesTheOldFileAndSaysSo) {
    std::string efbig, read_only;
    FILE_error_text(efbig, EFBIG);
    FILE_error_text(read_only, EROFS);
    struct row {
        std::vector<std::string> options;
        const char* wrapper;             // run by the shell before the installer
        std::vector<std::string> logged; // lines of the log (the alert block's start with "| ")
        const char* kept;                // the role of the file whose old bytes stay
    };
    const row rows[] = {
        // A file no longer used lies in a folder that cannot be written (read-only even for root): the
        // deletion fails, is alerted with its error, and the update says there were problems.
        {{},
         "exec unshare -rm sh -c 'd=\"$HOME/Aerivon 10 Demo/Airfoils/old\"; mount --bind \"$d\" \"$d\" && "
         "mount -o remount,bind,ro \"$d\" \"$d\" && exec \"$0\" \"$@\"' \"$0\" \"$@\"",
         {"| The installer cannot delete a file.", "| Error: " + read_only},
         "gone"},
        // 2,048 blocks of 512 bytes: the log fits, the expanded data does not. The program ignores SIGXFSZ:
        // the write fails with EFBIG.
        {{"--expand-past", "3000"}, "ulimit -f 2048", {"| Error: " + efbig}, "compressible"},
        // The directory lists "../escape.txt" (dropped), and a package cannot be expanded. (A broken
        // package is tried on every server before it fails the update: the engine tests cover it.)
        {{"--hostile-records", "--expand-past", "3000"},
         "ulimit -f 2048",
         {"Directory file: dropped the record of \"../escape.txt\"",
          "| The installer cannot extract a file."},
         "compressible"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.options.empty() ? r.wrapper : r.options.front());
        ASSERT_NO_FATAL_FAILURE(next_run());
        serve(r.options);
        const std::string kept = role(r.kept), old = md5(copy + kept);
        start({}, 0, r.wrapper);
        walk_to_disk_space();
        const std::string work = work_folder();
        click(continue_button);
        ASSERT_TRUE(s.wait_for_alert()) << log();
        s.key("Return");
        expect_page("Finshed Web Update");
        EXPECT_TRUE(page_text("There were problems updating Aerivon.  You can try this updater again using a "
                              "different server."));
        for (const std::string& line : r.logged)
            EXPECT_NE(log().find(line), std::string::npos) << line << "\n" << log();
        EXPECT_EQ(md5(copy + kept), old);
        ASSERT_FALSE(work.empty());
        // No download file of the run is left.
        for (const char* name :
             {"0-0.download", "0-1.download", "0-2.download", "1-0.download", "1-1.download", "1-2.download"})
            EXPECT_FALSE(exists(work + name)) << name;
        for (const std::string& outside : {s.home.file("escape.txt"), s.home.file("x"), copy + "x"})
            EXPECT_FALSE(exists(outside)) << outside;
        click(last_quit);
    }
}

TEST_F(UpdateRoadProgramTest, TooLittleDiskSpaceKeepsTheUpdateBack) {
    serve();
    // Every file of the directory expands to 2 TB.
    rewrite_directory("re.sub(r'^(FILE(?: \\S+){7}) \\S+', r'\\1 2000000000', t, flags=re.M)");
    start();
    walk_to_disk_space();
    EXPECT_TRUE(
        page_text("There is a newer version of Aerivon 10 available, but you do not have enough free disk "
                  "space to download and install the update.\n\nPlease free some space on your hard "
                  "drive."))
        << log();
    EXPECT_TRUE(continue_dims()) << s.last_shot;
}

TEST_F(UpdateRoadProgramTest, FormatsNewerThanTheInstallerOpenTheDownloadPageAndQuit) {
    for (const bool server_list : {true, false}) {
        SCOPED_TRACE(server_list ? "server list 1001" : "directory 1002");
        server.reset();
        test::shell("rm -rf " + shell::sh_quote(copy));
        serve(server_list ? std::vector<std::string>{"--too-new-server-list"} : std::vector<std::string>{});
        if (!server_list)
            rewrite_directory("t.replace('\\n1004 version\\n', '\\n1002 version\\n', 1)");
        const std::string record = s.home.file("xdg-open.txt");
        std::remove(record.c_str());
        shell::fake_program(s.home.file("bin"), "xdg-open", record);
        test::write_file(log_path, "");
        start();
        walk_to_search();
        ASSERT_TRUE(s.wait_for_alert()) << log();
        s.key("Return");
        EXPECT_EQ(s.process->wait_exit(10000), 0);
        EXPECT_NE(log().find("| In other words, you need to get a new installer!"), std::string::npos);
        // The stand-in browser is a detached child: its record comes when it has run.
        const std::string opened = "1\nhttp://www.aerivon.example/demo\n";
        EXPECT_TRUE(shell::wait_until([&] { return test::read_file(record) == opened; }, 10000))
            << test::read_file(record);
    }
}

TEST_F(UpdateRoadProgramTest, PreferencesSetInTheDialogAreSavedAtQuit) {
    start();
    expect_page("Welcome");
    click(options_button);
    ASSERT_TRUE(shell::wait_until(
        [&] {
            const shell::image img = s.screenshot();
            return !img.empty() && img.at(prefs(85, 43).x, prefs(85, 43).y) != panel_fill;
        },
        5000))
        << s.last_shot;
    click(prefs(200, 55)); // the proxy host field
    s.xdo("type --delay 20 proxy.example");
    click(prefs(200, 23));
    s.xdo("type --delay 20 3128");
    click(prefs(250, 144)); // the log box: off (it was on)
    s.xdo("sleep 0.3");
    s.key("Escape");
    ASSERT_TRUE(shell::wait_until(
        [&] {
            const shell::image img = s.screenshot();
            return !img.empty() && img.at(prefs(85, 43).x, prefs(85, 43).y) == panel_fill;
        },
        5000))
        << "the dialog is still open: " << s.last_shot;
    click(quit_button);
    ASSERT_EQ(s.process->wait_exit(10000), 0);
    const std::string saved = test::read_file(s.home.file(".local/share/Aerivon Installer.prf"));
    for (const char* line : {"\n_proxy_host proxy.example\n", "\n_proxy_port 3128\n",
                             "\n_proxy_port_int 3128\n", "\n_log_actions 0\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
}

} // namespace
