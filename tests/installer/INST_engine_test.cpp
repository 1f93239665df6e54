// The engine end to end, headless: a generated sample release served by the demo server, reached through
// the proxy preference, fetched, scanned, planned and downloaded as the installing pages will do it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "base/FILE_compress.h"
#include "base/FILE_error_text.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "base/thread_test_support.h"
#include "installer/INST_format.h"
#include "installer/INST_startup.h"
#include "installer_fixtures.h"
#include "support/demo_release.h"
#include "support/engine_harness.h"

namespace {

namespace fs = std::filesystem;
using test::Engine;

std::string md5_of(const std::string& path) {
    std::string out;
    return FILE_md5_hex(path, out) == 0 ? out : "missing";
}

// One field of the manifest as "key\tvalue" lines (a map) or "value" lines (a list), read with python3.
std::vector<std::string> manifest_lines(const std::string& root, const std::string& key) {
    test::TempDir d;
    const std::string script =
        "import json,sys\nv=json.load(open(sys.argv[1]))[sys.argv[2]]\n"
        "print('\\n'.join(k+'\\t'+str(v[k]) for k in sorted(v)) if isinstance(v,dict) else "
        "'\\n'.join(map(str,v)))\n";
    test::write_file(d.file("m.py"), script);
    test::shell("python3 '" + d.file("m.py") + "' '" + root + "/manifest.json' '" + key + "' > '" +
                d.file("out") + "'");
    std::vector<std::string> out;
    std::istringstream in(test::read_file(d.file("out")));
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            out.push_back(line);
    return out;
}

std::map<std::string, std::string> manifest_map(const std::string& root, const std::string& key) {
    std::map<std::string, std::string> out;
    for (const std::string& line : manifest_lines(root, key)) {
        const size_t tab = line.find('\t');
        out[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return out;
}

// The path a package is fetched under.
std::string url_of(const std::string& path, const std::string& suffix) {
    return "/pub/Aerivon10Demo/" + path + suffix;
}

std::string suffix_of(const std::string& path) {
    if (path == "Resources/default data/earth_nav.dat")
        return ".7z";
    if (path == "Resources/plugins/read me.txt" || path == "Resources/linux only.so")
        return "";
    return ".zip";
}

struct EngineTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;
    test::ScopedOptions options{"--qa_script"};
    std::string release, work, install;

    void SetUp() override {
        InstallerTest::SetUp();
        LOG_init();
        LANG_restart_for_test("");
        PREF_installer.log_actions = 1;
        release = dir.file("release");
        work = dir.file("work/");
        install = dir.file("Aerivon 10 Demo/");
        fs::create_directories(work);
        reset_engine();
    }
    // The installer's state as at start-up; the sample release's manifest is a default install's.
    static void reset_engine() {
        InstallerTest::reset();
        INST_selected_os = INST_native_os_code();
    }
    void TearDown() override {
        PREF_installer.log_actions = 0;
        install_failed = 0;
        InstallerTest::TearDown();
    }
    void generate(const std::vector<std::string>& variant = {}) {
        std::string report;
        ASSERT_TRUE(test::make_sample_release(release, variant, &report)) << report;
    }
    // A copy of the release's installed v1 at the install folder.
    void copy_installed_v1() { fs::copy(release + "/installed-v1", install, fs::copy_options::recursive); }
    void expect_files(const std::string& after, const std::string& absent) {
        for (const auto& [path, sum] : manifest_map(release, after))
            EXPECT_EQ(md5_of(install + path), sum) << path;
        for (const std::string& path : manifest_lines(release, absent))
            EXPECT_FALSE(fs::exists(install + path)) << path;
    }
    // Generates the release with `variant`, installs it from the demo server and checks the files; the
    // server stays for its request log.
    std::unique_ptr<test::DemoServer> install_variant(const std::vector<std::string>& variant) {
        generate(variant);
        auto server = std::make_unique<test::DemoServer>(release);
        EXPECT_TRUE(server->ok()) << server->output();
        Engine engine(server->port(), work);
        EXPECT_GT(Engine::install(install), 0) << log.text();
        expect_files("after_install", "absent_after_install");
        return server;
    }
    void expect_no_slot_files() {
        for (const auto& e : fs::directory_iterator(work)) {
            const std::string name = e.path().filename().string();
            EXPECT_FALSE(!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) << name;
        }
    }
};

// The installs that hash the copy on the checksum queue's threads also run under TSan.
using ConcurrentEngineTest = EngineTest;

TEST_F(ConcurrentEngineTest, FreshInstallFromTwoServersMatchesTheManifest) {
    generate();
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    ASSERT_GT(Engine::install(install), 0) << log.text();
    EXPECT_EQ(install_failed, 0);

    expect_files("after_install", "absent_after_install");
    for (const std::string& folder : manifest_lines(release, "fixed_folders"))
        EXPECT_TRUE(fs::is_directory(install + folder)) << folder;
    expect_no_slot_files();

    // Each wanted package was fetched once, from both mirrors between them; nothing else was asked for.
    std::set<std::string> hosts;
    std::map<std::string, int> fetched;
    for (const test::demo_request& r : server.requests()) {
        EXPECT_EQ(r.status, 200) << r.path;
        if (r.path.find("directory.txt.zip") == std::string::npos && r.host != "www.aerivon.example") {
            hosts.insert(r.host);
            ++fetched[r.path];
        }
    }
    std::map<std::string, int> wanted;
    for (const auto& [path, sum] : manifest_map(release, "after_install"))
        wanted[url_of(path, suffix_of(path))] = 1;
    EXPECT_EQ(fetched, wanted);
    EXPECT_EQ(hosts, (std::set<std::string>{"mirror1.test", "mirror2.test"}));

    const std::string text = log.text();
    for (const auto& [path, sum] : manifest_map(release, "after_install"))
        EXPECT_NE(text.find("EXPANDING file " + install + path + ", with result=0.\n"), std::string::npos)
            << path;
    EXPECT_EQ(text.find("E/SYS"), std::string::npos) << text;

    // The simulator stand-in came out of its zip runnable.
    const test::ChildResult run = test::run_child({install + "Aerivon.exe", "--fly", "a b"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(test::read_file(install + "launch_marker.txt"), "started\narg:--fly\narg:a b\n");
    EXPECT_EQ(INST_dispenser.size_expanded, INST_total_expanded_kb);
    EXPECT_EQ(INST_dispenser.size_downloaded, INST_total_download_kb);
}

TEST_F(EngineTest, TheDefaultOsCodeInstallsThisSystemsFilesAndThoseOfEverySystem) {
    // The release has a file for every system, one for Windows (IBM) only and one for Linux only.
    generate();
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    const std::string every = "Resources/unchanged.txt", windows_only = "Resources/win only.dll",
                      linux_only = "Resources/linux only.so";
    const struct {
        const char* options;
        bool windows_wanted, linux_wanted;
    } rows[] = {
        {"--qa_script", false, true},
        {"--qa_script --os=IBM", true, false},
        {"--qa_script --os=ALL", true, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.options);
        test::ScopedOptions given(r.options);
        INST_selected_os = INST_os_code(OPT_has("--os"), OPT_get("--os")); // as start-up sets it
        fs::remove_all(install);
        Engine engine(server.port(), work);
        ASSERT_GT(Engine::install(install), 0) << log.text();
        EXPECT_TRUE(fs::exists(install + every));
        EXPECT_EQ(fs::exists(install + windows_only), r.windows_wanted);
        EXPECT_EQ(fs::exists(install + linux_only), r.linux_wanted);
        INST_servers = server_list{};
        INST_directory = install_directory{};
    }
}

TEST_F(ConcurrentEngineTest, UpdateReplacesRemovesAndAddsWithoutAskingAndKeepsTheRest) {
    generate();
    copy_installed_v1();
    const std::string unchanged = install + "Resources/unchanged.txt";
    const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(unchanged, old_time);
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    ASSERT_GT(Engine::update(install), 0) << log.text();
    EXPECT_EQ(install_failed, 0);
    EXPECT_TRUE(test::engine_questions.empty());

    expect_files("after_update", "absent_after_update");
    EXPECT_EQ(fs::last_write_time(unchanged), old_time);
    EXPECT_EQ(server.count("/pub/Aerivon10Demo/Resources/unchanged.txt.zip"), 0);
    EXPECT_EQ(server.count("/pub/Aerivon10Demo/Aerivon.exe.zip"), 0);
    for (const std::string& folder : manifest_lines(release, "folders_removed_by_update"))
        EXPECT_FALSE(fs::exists(install + folder)) << folder;
    const std::string text = log.text();
    const size_t deeper = text.find("cleanup: DELETING  file " + install + "Airfoils/old/, with result=0.\n");
    const size_t upper = text.find("cleanup: DELETING  file " + install + "Airfoils/, with result=0.\n");
    ASSERT_NE(deeper, std::string::npos) << text;
    ASSERT_NE(upper, std::string::npos) << text;
    EXPECT_LT(deeper, upper);
    EXPECT_NE(text.find("now we want to nuke a file: DELETING  file " + install + "Airfoils/old/wing.afl"),
              std::string::npos);

    // A second plan in the same run finds nothing to fetch, delete or ask.
    ASSERT_EQ(INST_plan_install_actions(), 1);
    for (const package_entry& entry : INST_directory.packages)
        EXPECT_EQ(entry.back().plan_download + entry.back().plan_delete, 0) << entry.back().path;
    EXPECT_TRUE(test::engine_questions.empty());
}

TEST_F(EngineTest, ModifiedFilesAreAskedAbout) {
    generate({"--modify", "changed", "--modify", "gone"});
    copy_installed_v1();
    const std::string mine = test::read_file(install + "Instructions/Aerivon Manual.txt");
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    test::engine_answers = {2, 1}; // keep my manual; delete the file that is no longer used
    ASSERT_GT(Engine::update(install), 0) << log.text();
    ASSERT_EQ(test::engine_questions.size(), 2u);
    EXPECT_EQ(test::engine_questions[0].path, install + "Instructions/Aerivon Manual.txt");
    EXPECT_EQ(test::engine_questions[0].gone, 0);
    EXPECT_EQ(test::engine_questions[1].path, install + "Airfoils/old/wing.afl");
    EXPECT_EQ(test::engine_questions[1].gone, 1);
    EXPECT_EQ(test::read_file(install + "Instructions/Aerivon Manual.txt"), mine);
    EXPECT_EQ(server.count("/pub/Aerivon10Demo/Instructions/Aerivon Manual.txt.zip"), 0);
    EXPECT_FALSE(fs::exists(install + "Airfoils"));
    EXPECT_NE(log.text().find("File: " + install + "Airfoils/old/wing.afl  sig_want=GONE  sig_have="),
              std::string::npos);
}

TEST_F(EngineTest, AFailingServerIsBenchedForThirtySecondsOfTheClock) {
    generate();
    const struct {
        const char* name;
        const char* fault;
    } cases[] = {
        {"503", "mirror2.test=503@2"},
        {"503 for ever", "mirror2.test=503"},
        {"dropped connection", "mirror2.test=drop=10@1"},
        {"short body", "mirror2.test=short@1"},
        {"more announced than sent", "mirror2.test=wronglen=500@1"},
        {"interim blocks without end", "mirror2.test=interim@1"},
        {"chunked body", "mirror2.test=chunked@1"},
        {"two lengths", "mirror2.test=twolengths@1"},
        {"no content", "mirror2.test=status=204@1"},
        {"not modified", "mirror2.test=status=304@1"},
        {"body past its cap", "mirror2.test=endless@1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(install);
        reset_engine();
        test::DemoServer server(release, {c.fault});
        ASSERT_TRUE(server.ok()) << server.output();
        Engine engine(server.port(), work);
        INST_install_folder = install;
        INST_set_include_flags(1, 0);
        ASSERT_EQ(Engine::fetch_server_list(), 0);
        ASSERT_EQ(Engine::fetch_directory(0), 0);
        Engine::scan();
        ASSERT_EQ(Engine::plan_and_make_folders(), 1);

        // Run until mirror2's first transfer failed: its slot is benched.
        auto mirror2_requests = [&] {
            int n = 0;
            for (const test::demo_request& r : server.requests())
                n += r.host == "mirror2.test" && r.path.find("directory") == std::string::npos;
            return n;
        };
        ASSERT_TRUE(Engine::poll([] {
            INST_download_step();
            return INST_dispenser.slots.size() == 2 && INST_dispenser.slots[1].retry_time > 0.0f;
        })) << log.text();
        EXPECT_EQ(INST_dispenser.slots[1].retry_time, 30.0f);
        EXPECT_EQ(INST_slot_status_text(1), "Server is not responding normally.");
        // The server logs a request once its answer is sent, so the client may see the failure first.
        for (int waited_ms = 0; mirror2_requests() == 0 && waited_ms < 5000; waited_ms += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(mirror2_requests(), 1);
        EXPECT_NE(log.text().find("mirror2.test"), std::string::npos);

        // Until the clock reaches 30 s mirror2 is left alone, while mirror1 works on (and takes the package
        // mirror2 failed to deliver).
        test::engine_clock_seconds = 29.9f;
        for (int i = 0; i < 200; ++i)
            INST_download_step();
        EXPECT_EQ(mirror2_requests(), 1);

        // Then it is served again, and the install completes with every file right.
        ASSERT_GT(Engine::download([&](int result) {
                      if (result == 0 && INST_download_clock() < INST_dispenser.slots[1].retry_time)
                          test::engine_clock_seconds = INST_dispenser.slots[1].retry_time;
                  }),
                  0)
            << log.text();
        EXPECT_EQ(install_failed, 0);
        expect_files("after_install", "absent_after_install");
        expect_no_slot_files();

        // Every package mirror1 fetched, it fetched once.
        std::map<std::string, int> from_mirror1;
        for (const test::demo_request& r : server.requests())
            if (r.host == "mirror1.test")
                ++from_mirror1[r.path];
        for (const auto& [path, n] : from_mirror1)
            EXPECT_EQ(n, 1) << path;
    }
}

TEST_F(EngineTest, NamesThatNeedEncodingAreFetchedAndInstalledWithTheirSignatures) {
    const auto server = install_variant({"--odd-names"});
    EXPECT_EQ(install_failed, 0);
    // The server decoded each request to the file's own name: one request each, never a 404.
    for (const char* name :
         {"a#b.txt.zip", "c?d.txt", "e%41f.txt.zip", "g h+i.txt.7z", "caf\xc3\xa9.txt.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(server->count(std::string("/pub/Aerivon10Demo/Resources/odd names/") + name), 1);
    }
    for (const test::demo_request& r : server->requests())
        EXPECT_EQ(r.status, 200) << r.path;
}

TEST_F(EngineTest, HostileDirectoryRecordsAreNeverFetchedOrWritten) {
    const auto server = install_variant({"--hostile-records"});
    for (const test::demo_request& r : server->requests())
        EXPECT_EQ(r.path.find("escape"), std::string::npos) << r.path;
    std::vector<std::string> beside;
    for (const auto& e : fs::directory_iterator(dir.path()))
        beside.push_back(e.path().filename().string());
    std::sort(beside.begin(), beside.end());
    EXPECT_EQ(beside, (std::vector<std::string>{"Aerivon 10 Demo", "release", "work"}));
    EXPECT_FALSE(fs::exists("/tmp/aerivon-escape.txt"));
    for (const char* made : {"a", "C:", "a\\b.txt", "escape.txt"})
        EXPECT_FALSE(fs::exists(install + made)) << made;
}

// Moves the dispenser's clock to the first benched slot's retry time, so benches pass at once.
void skip_benches(int result) {
    if (result != 0)
        return;
    float wake = 0.0f;
    for (const download_slot& slot : INST_dispenser.slots)
        if (slot.retry_time > INST_download_clock() && (wake == 0.0f || slot.retry_time < wake))
            wake = slot.retry_time;
    if (wake > 0.0f)
        test::engine_clock_seconds = wake;
}

// A package no server delivers right (a broken archive, a failed check, a failed transfer) is tried again
// on every server, behind the other packages, and fails the update once each server failed it 5 times,
// with the failing server's error and the package's name on the server. The old file stays.
TEST_F(EngineTest, ABrokenPackageStopsTheUpdateAndKeepsTheOldFile) {
    const std::string check_failed = "The downloaded file does not have the checksum it should have.";
    std::string crc_error, too_large, chunked, long_head;
    FILE_error_text(crc_error, -105);
    FILE_error_text(too_large, EFBIG);
    FILE_error_text(chunked, 20020);
    FILE_error_text(long_head, 20022);
    const struct {
        const char* variant;
        std::vector<std::string> faults;
        std::string error; // the alert's "Error:" text
        const char* why;   // the check named before the alert, for 20002
        // The package that fails, and the most bytes a file of this process may hold while the update runs
        // (0: no limit). A failure of this machine ends the update at its first try, on no server's account.
        const char* path = "Instructions/Aerivon Manual.txt";
        const char* suffix = ".zip";
        rlim_t file_size_limit = 0;
    } cases[] = {
        {"--bad-crc", {}, crc_error, nullptr},
        {"--wrong-bytes", {}, check_failed, "signature mismatch"},
        {"--wrong-name", {}, check_failed, "signature mismatch"},
        {"--hostile-entry", {}, "The archive holds a name that leads outside the folder", nullptr},
        {"",
         {"mirror1.test/Manual.txt.zip=404", "mirror2.test/Manual.txt.zip=404"},
         "404 Not Found", // the server's answer: no OS error to name
         nullptr},
        // An answer cut short is the server's, not this machine's input or output.
        {"",
         {"mirror1.test/Manual.txt.zip=short", "mirror2.test/Manual.txt.zip=short"},
         "The server's answer ended early",
         nullptr},
        // A connection closed before a byte of an answer: no answer began to end early.
        {"",
         {"mirror1.test/Manual.txt.zip=hangup", "mirror2.test/Manual.txt.zip=hangup"},
         "The connection was closed without an answer",
         nullptr},
        // The connection's own error, though the connection is gone when the alert is made.
        {"",
         {"mirror1.test/Manual.txt.zip=endless", "mirror2.test/Manual.txt.zip=endless"},
         too_large,
         nullptr},
        // Answers the client refuses by design: the text says what was refused.
        {"",
         {"mirror1.test/Manual.txt.zip=chunked", "mirror2.test/Manual.txt.zip=chunked"},
         chunked,
         nullptr},
        {"",
         {"mirror1.test/Manual.txt.zip=longheader", "mirror2.test/Manual.txt.zip=manyheaders"},
         long_head,
         nullptr},
        // The disk fills while a 2 MB package arrives: its download file cannot grow past 1 MiB.
        {"--large=2048", {}, too_large, nullptr, "Resources/large/terrain.dat", "", 1 << 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variant);
        SCOPED_TRACE(c.faults.empty() ? "" : c.faults.front());
        fs::remove_all(install);
        reset_engine();
        generate(*c.variant ? std::vector<std::string>{c.variant} : std::vector<std::string>{});
        copy_installed_v1();
        const std::string manual = install + c.path;
        const bool had = fs::exists(manual);
        const std::string old_bytes = had ? test::read_file(manual) : "";
        const std::string url = url_of(c.path, c.suffix);
        test::DemoServer server(release, c.faults);
        ASSERT_TRUE(server.ok()) << server.output();
        Engine engine(server.port(), work);
        const std::string before = log.text();
        std::vector<int> results;
        std::vector<int> failed_at;
        // The server logs a request when its answer ends, and an answer the client left ends after it went.
        const auto settled_count = [&](const std::string& path, const std::string& host, int least) {
            test::eventually([&] { return server.count(path, host) >= least; });
            return server.count(path, host);
        };
        {
            // Set once the server runs, so that only this process meets the limit.
            test::ScopedFileSizeLimit limit(c.file_size_limit);
            ASSERT_GT(Engine::update(install,
                                     [&](int result) {
                                         results.push_back(result);
                                         failed_at.push_back(install_failed);
                                         skip_benches(result);
                                     }),
                      0);
        }
        // The call that met the end of the package ended the step.
        const auto first_failed = std::find(failed_at.begin(), failed_at.end(), 1);
        ASSERT_NE(first_failed, failed_at.end());
        EXPECT_EQ(results[static_cast<size_t>(first_failed - failed_at.begin())], 1);
        EXPECT_EQ(first_failed + 1, failed_at.end());
        EXPECT_EQ(install_failed, 1);
        ASSERT_EQ(fs::exists(manual), had);
        EXPECT_EQ(had ? test::read_file(manual) : "", old_bytes);
        // Nothing else in its folder: no stage folder, no sibling.
        const fs::path folder = fs::path(manual).parent_path();
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), had ? 1 : 0);
        EXPECT_FALSE(fs::exists(install + "x"));
        EXPECT_FALSE(fs::exists(dir.file("x")));
        expect_no_slot_files();
        const std::string block = log.text().substr(before.size());
        // A package that never came whole was not extracted: its alert says it could not be downloaded.
        const bool downloading = !c.faults.empty() || c.file_size_limit != 0;
        const std::string heading = downloading ? "| The installer cannot download a file.\n"
                                                : "| The installer cannot extract a file.\n";
        const std::string label = downloading ? "| File: " : "| Compressed File: ";
        EXPECT_NE(block.find(heading), std::string::npos) << block;
        EXPECT_NE(block.find("| Destination: " + manual + "\n"), std::string::npos) << block;
        if (c.file_size_limit == 0) {
            // Tried 5 times on each server, after every other package was handed out: the rest is installed.
            for (const char* host : {"mirror1.test", "mirror2.test"})
                EXPECT_EQ(settled_count(url, host, 5), 5) << host;
            EXPECT_EQ(md5_of(install + "Resources/plugins/read me.txt"),
                      manifest_map(release, "after_update")["Resources/plugins/read me.txt"]);
        } else {
            // This machine's failure: fetched once, and no server benched or asked again.
            EXPECT_EQ(settled_count(url, "", 1), 1);
            EXPECT_TRUE(INST_dispenser.failures.empty());
            EXPECT_TRUE(INST_dispenser.retry_list.empty());
            for (size_t i = 0; i < INST_dispenser.slots.size(); ++i)
                EXPECT_NE(INST_slot_status_text(static_cast<int>(i)), "Server is not responding normally.");
        }
        // A server's failure names the package on the server; this machine's, the download file that could
        // not be written, in the work folder.
        const size_t named = block.find(label);
        ASSERT_NE(named, std::string::npos) << block;
        const size_t from = named + label.size();
        const std::string file = block.substr(from, block.find('\n', from) - from);
        if (c.file_size_limit == 0)
            EXPECT_EQ(file.substr(file.find('/')), url) << block;
        else
            EXPECT_EQ(file.rfind(work, 0), 0u) << block;
        EXPECT_EQ(block.find(heading), block.rfind(heading)) << block;
        EXPECT_EQ(block.find(downloading ? "cannot extract" : "cannot download"), std::string::npos) << block;
        const size_t error_at = block.find("| Error: ");
        ASSERT_NE(error_at, std::string::npos) << block;
        const std::string error_line = block.substr(error_at, block.find('\n', error_at) - error_at);
        EXPECT_NE(error_line.find(c.error), std::string::npos) << error_line;
        if (c.why) {
            const size_t why = block.rfind(std::string("failed its check: ") + c.why + ".\n");
            EXPECT_LT(why, block.find(heading)) << block;
        }
    }

    // A good install afterwards, in the same run, is not stopped by the earlier failure.
    fs::remove_all(install);
    reset_engine();
    generate();
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    ASSERT_EQ(install_failed, 1);
    ASSERT_GT(Engine::install(install), 0) << log.text();
    EXPECT_EQ(install_failed, 0);
    expect_files("after_install", "absent_after_install");
}

// One bad copy of a package on a mirror does not end the install: the slot is benched and the package
// comes from the next server that takes it; once it is in, the step ends without waiting out the bench.
TEST_F(EngineTest, APackageThatFailsItsCheckIsTakenFromAnotherServer) {
    const struct {
        std::vector<std::string> faults;
        const char* package;
        bool skip_benches; // both mirrors fail it once: the first to come off the bench delivers it
    } cases[] = {
        {{"mirror1.test/earth_nav.dat.7z=corrupt@1", "mirror2.test/earth_nav.dat.7z=corrupt@1"},
         "earth_nav.dat.7z",
         true},
        // mirror1's first package (a zip that fails its CRC) fails on every try: mirror1 stays benched.
        {{"mirror1.test/Aerivon.exe.zip=corrupt"}, "Aerivon.exe.zip", false},
        {{"mirror1.test/read me.txt=corrupt@1", "mirror2.test/read me.txt=corrupt@1"}, "read me.txt", true},
    };
    generate();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults.front());
        fs::remove_all(install);
        reset_engine();
        const std::string before = log.text();
        test::DemoServer server(release, c.faults);
        ASSERT_TRUE(server.ok()) << server.output();
        Engine engine(server.port(), work);
        ASSERT_GT(Engine::install(install, c.skip_benches ? skip_benches : std::function<void(int)>{}), 0)
            << log.text();
        EXPECT_EQ(install_failed, 0);
        expect_files("after_install", "absent_after_install");
        expect_no_slot_files();
        const std::string block = log.text().substr(before.size());
        EXPECT_NE(block.find("another server is tried"), std::string::npos) << block;
        EXPECT_EQ(block.find("| The installer cannot extract a file."), std::string::npos) << block;
        // The package came from one server after another failed it.
        int requests = 0;
        for (const test::demo_request& r : server.requests())
            requests += r.path.ends_with(c.package);
        EXPECT_GE(requests, 2);
    }
}

// A run makes one stage folder per folder of the copy while packages of that folder are in flight (never
// more than the jobs in flight) and a small pool of download files per slot, each written over by the
// packages that come in it; a slot fetches its next package while its last one expands. Stage folders and
// files are gone when the run ends.
TEST_F(EngineTest, OneStageFolderPerFolderAndASmallPoolOfDownloadFilesPerSlotServeTheWholeRun) {
    // The 7z package expands to some 13 MB, far longer than a pass, and packages follow it: its slot takes
    // the next one while it expands however the machine is loaded.
    generate({"--expand-past", "10000", "--folders", "20"});
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    std::map<std::string, size_t> stages;         // folder -> most stage folders seen in it at once
    size_t most_stages = 0;                       // in the whole copy at once
    std::map<std::string, std::set<ino_t>> files; // slot file -> inodes seen
    int fetching_while_expanding = 0;             // calls that saw a slot do both
    std::map<size_t, std::pair<int, int>> seen;   // slot -> package index and expansions last call
    const auto look = [&](int) {
        if (!fs::exists(install))
            return;
        std::map<std::string, size_t> now;
        for (const auto& e : fs::recursive_directory_iterator(install))
            if (e.path().filename().string().rfind(".aerivon-unpack-", 0) == 0)
                ++now[e.path().parent_path().string()];
        size_t all = 0;
        for (const auto& [folder, n] : now) {
            stages[folder] = std::max(stages[folder], n);
            all += n;
        }
        most_stages = std::max(most_stages, all);
        for (const char* name : {"0-0.download", "0-1.download", "0-2.download", "1-0.download",
                                 "1-1.download", "1-2.download", "0-3.download", "1-3.download"}) {
            struct stat st;
            if (stat((work + name).c_str(), &st) == 0)
                files[name].insert(st.st_ino);
        }
        // A slot that went on to another package while one of its downloads kept expanding.
        const int n = static_cast<int>(INST_directory.packages.size());
        for (size_t i = 0; i < INST_dispenser.slots.size(); ++i) {
            const download_slot& slot = INST_dispenser.slots[i];
            const auto [index, expanding] = seen[i];
            fetching_while_expanding +=
                expanding > 0 && slot.expanding > 0 && slot.package_index != index && slot.package_index < n;
            seen[i] = {slot.package_index, slot.expanding};
        }
    };
    INST_selected_os = 0; // every system's files: two zip packages share Resources/
    ASSERT_GT(Engine::install(install, look), 0) << log.text();
    EXPECT_EQ(install_failed, 0);
    int in_resources = 0;
    size_t plain = 0; // a plain package's download file is renamed into place: the next one is new
    for (const package_entry& entry : INST_directory.packages) {
        const file_record& r = entry.back();
        if (!r.plan_download)
            continue;
        plain += r.archive_kind != 0x40 && r.archive_kind != 0x80;
        EXPECT_EQ(md5_of(install + r.path), r.sig_want) << r.path;
        in_resources += r.path.rfind("Resources/", 0) == 0 && r.path.find('/', 10) == std::string::npos &&
                        r.archive_kind == 0x40;
    }
    EXPECT_GE(in_resources, 2);
    ASSERT_FALSE(stages.empty());
    for (const auto& [folder, n] : stages)
        EXPECT_EQ(n, 1u) << folder;
    EXPECT_LE(most_stages, 2u * 3u); // servers × download files per slot
    ASSERT_FALSE(files.empty());
    for (const auto& [name, inodes] : files)
        EXPECT_LE(inodes.size(), 1u + plain) << name;
    EXPECT_FALSE(files.count("0-3.download") + files.count("1-3.download")); // the pool's bound
    EXPECT_GT(fetching_while_expanding, 0);
    expect_no_slot_files();
    for (const auto& e : fs::recursive_directory_iterator(install))
        EXPECT_NE(e.path().filename().string().rfind(".aerivon-unpack-", 0), 0u) << e.path();
}

// The descriptors this process holds open.
int open_descriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n - 1; // the listing's own
}

// However many folders the copy has, the download holds descriptors for its work in flight only: 1,500
// one-file folders install under a soft limit of 256 descriptors.
TEST_F(EngineTest, ThousandsOfFoldersInstallUnderASmallDescriptorLimit) {
    generate({"--folders", "1500"});
    test::DemoServer server(release, {}, true); // started before the limit: the server is not under it
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    struct limit_guard {
        rlimit was{};
        limit_guard() { getrlimit(RLIMIT_NOFILE, &was); }
        ~limit_guard() { setrlimit(RLIMIT_NOFILE, &was); }
    } guard;
    rlimit small = guard.was;
    small.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &small), 0);
    int peak = 0;
    const int calls = Engine::install(
        install, [&](int) { peak = std::max(peak, open_descriptors()); }, 120000); // a long run when loaded
    setrlimit(RLIMIT_NOFILE, &guard.was);
    ASSERT_GT(calls, 0) << log.text();
    EXPECT_EQ(install_failed, 0);
    expect_files("after_install", "absent_after_install");
    EXPECT_EQ(
        std::distance(fs::directory_iterator(install + "Resources/folders/0000"), fs::directory_iterator()),
        1); // its file, and no stage folder left
    RecordProperty("peak_descriptors", peak);
}

TEST_F(EngineTest, AResetInMidDownloadDeletesOnlyTheDownloadAndStartsAfresh) {
    generate();
    // Slot 0 takes the first package from mirror1: it comes slowly enough to be cut off in the middle.
    test::DemoServer server(release, {"mirror1.test/Aerivon.exe.zip=slow=100"});
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    INST_install_folder = install;
    INST_set_include_flags(1, 0);
    ASSERT_EQ(Engine::fetch_server_list(), 0);
    ASSERT_EQ(Engine::fetch_directory(0), 0);
    Engine::scan();
    ASSERT_EQ(Engine::plan_and_make_folders(), 1);
    // A file of the user's that is named like the package, beside the file it installs.
    const std::string users = install + "Aerivon.exe.zip";
    test::write_file(users, "mine\n");

    ASSERT_TRUE(Engine::poll([&] {
        INST_download_step();
        return fs::exists(work + "0-0.download") && INST_download_percent(5) > 0.0f;
    })) << log.text();
    INST_reset_downloads();
    EXPECT_EQ(test::read_file(users), "mine\n");
    expect_no_slot_files();
    EXPECT_TRUE(INST_dispenser.slots.empty());

    // Starting again fetches every package afresh, and nothing of the dropped transfer gets in the way.
    ASSERT_TRUE(server.clear_faults());
    ASSERT_GT(Engine::download(), 0) << log.text();
    EXPECT_EQ(install_failed, 0);
    expect_files("after_install", "absent_after_install");
    expect_no_slot_files();
    EXPECT_EQ(test::read_file(users), "mine\n");
}

TEST_F(EngineTest, TheRouteThroughTinyproxyChainedToTheDemoServerInstalls) {
    if (!test::have_program("tinyproxy"))
        GTEST_SKIP() << "tinyproxy is not installed";
    generate();
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    test::UpstreamTinyproxy proxy(dir.path(), server.port());
    ASSERT_TRUE(proxy.ok());
    const std::string port = std::to_string(proxy.port());
    // The proxy fields as people type them, a browser's address among them; the last one installs.
    const struct {
        std::string host;
        int port_field;             // 0: empty
        std::string port_text = ""; // the port field's text, when it is not the number's
    } typed[] = {{"http://127.0.0.1", proxy.port()},
                 {" 127.0.0.1\t", proxy.port()},
                 {"127.0.0.1", -1, " " + port + " "}, // the port pasted with blanks: no number
                 {"HTTP://127.0.0.1:" + port + "/", proxy.port()},
                 {"127.0.0.1:" + port, 0}};
    const std::string list = "/_lookup_10_/server_list_10.txt";
    for (const auto& row : typed) {
        SCOPED_TRACE(row.host);
        Engine engine(proxy.port(), work);
        HTTP_manager().proxy_host = row.host;
        HTTP_manager().port = row.port_field;
        HTTP_manager().proxy_port = row.port_text;
        if (&row != std::end(typed) - 1) {
            const int before = server.count(list, "www.aerivon.example");
            EXPECT_EQ(Engine::fetch_server_list(), 0) << log.text();
            EXPECT_TRUE(
                test::eventually([&] { return server.count(list, "www.aerivon.example") == before + 1; }));
            continue;
        }
        ASSERT_GT(Engine::install(install), 0) << log.text();
        expect_files("after_install", "absent_after_install");
        EXPECT_EQ(server.count("/pub/Aerivon10Demo/Aerivon.exe.zip"), 1);
        EXPECT_EQ(server.count(list, "www.aerivon.example"), static_cast<int>(std::size(typed)));
    }
    EXPECT_EQ(
        test::count_of(test::read_file(dir.file("tinyproxy-upstream.log")), "www.aerivon.example" + list),
        static_cast<int>(std::size(typed)));
}

} // namespace
