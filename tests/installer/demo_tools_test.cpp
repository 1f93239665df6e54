// tools/make_sample_release.py and tools/demo_server.py, checked with the standard tools: the manifest
// against md5sum of what unzip and 7z expand, and the server's routing and faults through curl.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "installer_fixtures.h"
#include "support/demo_release.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string q(const std::string& s) { return "'" + s + "'"; }

// Standard output of a shell command.
std::string output_of(const std::string& command) {
    test::TempDir d;
    test::shell(command + " > " + q(d.file("out")) + " 2>/dev/null");
    return test::read_file(d.file("out"));
}

struct DemoToolsTest : testing::Test {
    test::TempDir dir;
    std::string release;
    void SetUp() override {
        release = dir.file("release");
        std::string report;
        ASSERT_TRUE(test::make_sample_release(release, {}, &report)) << report;
    }
    // "status bytes" of a GET through the demo server as the proxy (curl -x), with extra curl options.
    std::string fetch(int port, const std::string& url, const std::string& extra = "") {
        return output_of("curl -s -m 5 -o /dev/null -w '%{http_code} %{size_download}' -x 127.0.0.1:" +
                         std::to_string(port) + " " + extra + " " + q(url));
    }
};

TEST_F(DemoToolsTest, TheManifestAgreesWithWhatThePackagesExpandTo) {
    // Every package expanded by the standard tools (or taken as it is) has the manifest's md5sum.
    const std::string script = R"(
import json, os, subprocess, sys, tempfile
root = sys.argv[1]
m = json.load(open(os.path.join(root, 'manifest.json')))
for path, p in sorted(m['packages'].items()):
    package = os.path.join(root, 'mirror', p['url'].lstrip('/'))
    with tempfile.TemporaryDirectory() as out:
        if p['kind'] == 'zip':
            subprocess.run(['unzip', '-q', package, '-d', out], check=True)
        elif p['kind'] == '7z':
            subprocess.run(['7z', 'x', '-o' + out, package], check=True, stdout=subprocess.DEVNULL)
        else:
            out = os.path.dirname(package)
        name = os.path.join(out, os.path.basename(path))
        md5 = subprocess.run(['md5sum', name], check=True, capture_output=True, text=True).stdout.split()[0]
        mode = oct(os.stat(name).st_mode & 0o777)
        print(path, md5 == p['md5'], md5 == m['after_install'].get(path, md5), mode)
)";
    test::write_file(dir.file("check.py"), script);
    const std::string lines = output_of("python3 " + q(dir.file("check.py")) + " " + q(release));
    EXPECT_EQ(lines, "Aerivon.exe True True 0o755\n"
                     "Global Scenery/Demo Scenery/Earth nav data/+40-130/+47-123.dsf True True 0o644\n"
                     "Instructions/Aerivon Manual.txt True True 0o644\n"
                     "Resources/default data/earth_nav.dat True True 0o644\n"
                     "Resources/linux only.so True True 0o644\n"
                     "Resources/plugins/read me.txt True True 0o644\n"
                     "Resources/unchanged.txt True True 0o644\n"
                     "Resources/win only.dll True True 0o644\n");

    // The installed v1 copy holds what the manifest says, and the whole release is small and the same
    // every time it is made.
    const std::string installed =
        output_of("cd " + q(release + "/installed-v1") + " && find . -type f | sort");
    EXPECT_EQ(installed, "./Aerivon.exe\n./Airfoils/old/wing.afl\n./Instructions/Aerivon Manual.txt\n"
                         "./Resources/default data/earth_nav.dat\n./Resources/linux only.so\n"
                         "./Resources/unchanged.txt\n");
    EXPECT_TRUE(fs::is_directory(release + "/installed-v1/Output"));
    uintmax_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(release))
        if (e.is_regular_file())
            bytes += e.file_size();
    EXPECT_LT(bytes, 1000000u);
    const std::string sums = "find . -type f -print0 | sort -z | xargs -0 md5sum";
    const std::string first = output_of("cd " + q(release) + " && " + sums);
    ASSERT_TRUE(test::make_sample_release(dir.file("again")));
    EXPECT_EQ(output_of("cd " + q(dir.file("again")) + " && " + sums), first);
}

// The variants the engine tests do not run end to end.
TEST_F(DemoToolsTest, VariantsChangeWhatTheyName) {
    const std::string out = dir.file("variant");
    ASSERT_TRUE(test::make_sample_release(
        out, {"--too-new-server-list", "--too-new-directory", "--expand-past", "200"}));
    EXPECT_EQ(test::read_file(out + "/maker/_lookup_10_/server_list_10.txt").substr(0, 15),
              "I\n1001 version\n");
    EXPECT_EQ(output_of("unzip -p " + q(out + "/mirror/pub/Aerivon10Demo/directory.txt.zip")).substr(0, 15),
              "I\n1005 version\n");
    const std::string listing = output_of(
        "7z l -slt " + q(out + "/mirror/pub/Aerivon10Demo/Resources/default data/earth_nav.dat.7z") +
        " | grep '^Size = '");
    EXPECT_GT(std::atoll(listing.c_str() + 7), 200000);
    EXPECT_FALSE(test::make_sample_release(dir.file("two"), {"--bad-crc", "--wrong-name"})); // one at a time
}

TEST_F(DemoToolsTest, TheServerRoutesByHostInEveryFormARequestTakes) {
    test::DemoServer server(release);
    ASSERT_TRUE(server.ok()) << server.output();
    const int port = server.port();
    const std::string zip = "/pub/Aerivon10Demo/directory.txt.zip";
    const std::string size = std::to_string(fs::file_size(release + "/mirror" + zip));
    // The Done-when check: the directory archive through the server as a proxy, byte for byte.
    EXPECT_EQ(output_of("curl -s -x 127.0.0.1:" + std::to_string(port) + " http://mirror1.test" + zip +
                        " | md5sum"),
              output_of("md5sum < " + q(release + "/mirror" + zip)));
    const struct {
        const char* name;
        std::string command;
        std::string want;
    } cases[] = {
        {"absolute URI", "-x 127.0.0.1:" + std::to_string(port) + " http://mirror2.test" + zip,
         "200 " + size},
        {"absolute URI with :80 (what tinyproxy forwards upstream)",
         "-x 127.0.0.1:" + std::to_string(port) + " --request-target http://mirror1.test:80" + zip +
             " http://mirror1.test/",
         "200 " + size},
        {"host with another port", "-x 127.0.0.1:" + std::to_string(port) + " http://MIRROR1.test:8080" + zip,
         "200 " + size},
        {"origin form with Host", "-H 'Host: mirror1.test:80' http://127.0.0.1:" + std::to_string(port) + zip,
         "200 " + size},
        {"the maker's host",
         "-x 127.0.0.1:" + std::to_string(port) +
             " http://www.aerivon.example/_lookup_10_/server_list_10.txt",
         "200 " + std::to_string(fs::file_size(release + "/maker/_lookup_10_/server_list_10.txt"))},
        {"%20 in a path",
         "-x 127.0.0.1:" + std::to_string(port) +
             " 'http://mirror1.test/pub/Aerivon10Demo/Resources/plugins/read%20me.txt'",
         "200 " + std::to_string(
                      fs::file_size(release + "/mirror/pub/Aerivon10Demo/Resources/plugins/read me.txt"))},
        {"a mirror path on the maker's host",
         "-x 127.0.0.1:" + std::to_string(port) + " http://www.aerivon.example" + zip, "404 10"},
        {"an unknown host", "-x 127.0.0.1:" + std::to_string(port) + " http://elsewhere.test" + zip,
         "404 10"},
        {"a path that climbs out",
         "-x 127.0.0.1:" + std::to_string(port) + " --path-as-is http://mirror1.test/pub/../../hosts.json",
         "404 10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(output_of("curl -s -m 5 -o /dev/null -w '%{http_code} %{size_download}' " + c.command),
                  c.want);
    }
    const std::vector<test::demo_request> log = server.requests(std::size(cases) + 1);
    ASSERT_EQ(log.size(), std::size(cases) + 1);
    EXPECT_EQ(log[2].host, "mirror1.test");
    EXPECT_EQ(log[2].path, zip);
    EXPECT_EQ(log[2].status, 200);
    EXPECT_EQ(log[6].path, "/pub/Aerivon10Demo/Resources/plugins/read me.txt");
    EXPECT_EQ(log[7].status, 404);

    // Keep-alive: two requests on one connection, each with its Content-Length.
    const std::string two =
        test::raw_http(port, "GET http://mirror1.test" + zip +
                                 " HTTP/1.1\r\nHost: mirror1.test\r\n\r\nGET http://mirror2.test" + zip +
                                 " HTTP/1.1\r\nHost: mirror2.test\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(test::count_of(two, "HTTP/1.1 200 OK\r\n"), 2) << two.substr(0, 300);
    EXPECT_EQ(test::count_of(two, "Content-Length: " + size + "\r\n"), 2);
    EXPECT_EQ(two.find("chunked"), std::string::npos);
}

TEST_F(DemoToolsTest, EveryFaultModeMisbehavesAsAsked) {
    const std::string zip = "/pub/Aerivon10Demo/directory.txt.zip";
    const long long size = static_cast<long long>(fs::file_size(release + "/mirror" + zip));
    test::DemoServer server(release, {"mirror2.test=503@2", "mirror2.test/.txt=404"});
    ASSERT_TRUE(server.ok()) << server.output();
    const int port = server.port();
    const std::string m1 = "http://mirror1.test" + zip, m2 = "http://mirror2.test" + zip;

    // From the command line: two 503s, then the real file; a suffix only where it matches.
    EXPECT_EQ(fetch(port, m2), "503 10");
    EXPECT_EQ(fetch(port, m2), "503 10");
    EXPECT_EQ(fetch(port, m2), "200 " + std::to_string(size));
    EXPECT_EQ(fetch(port, "http://mirror2.test/pub/Aerivon10Demo/Resources/plugins/read%20me.txt"), "404 10");

    // Through the control host while running.
    const struct {
        const char* rule;
        const char* curl; // extra curl options
        int exit_code;    // curl's
        std::string want; // "status bytes"
    } cases[] = {
        {"mirror1.test=404", "", 0, "404 10"},
        {"mirror1.test=status=500", "", 0, "500 10"},
        {"mirror1.test=drop=100", "", 56, "200 100"},
        {"mirror1.test=short", "", 18, "200 " + std::to_string(size / 2)},
        {"mirror1.test=wronglen=50", "", 18, "200 " + std::to_string(size)},
        {"mirror1.test=wronglen=-50", "", 0, "200 " + std::to_string(size - 50)},
        {"mirror1.test=stall", "-m 1", 28, "200 0"},
        {"mirror1.test=corrupt", "", 0, "200 " + std::to_string(size)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_TRUE(server.set_fault(c.rule));
        test::TempDir d;
        const int status =
            test::shell("curl -s -m 5 " + std::string(c.curl) + " -o " + q(d.file("body")) +
                        " -w '%{http_code} %{size_download}' -x 127.0.0.1:" + std::to_string(port) + " " +
                        q(m1) + " > " + q(d.file("out")));
        EXPECT_EQ(status, c.exit_code);
        EXPECT_EQ(test::read_file(d.file("out")), c.want);
        if (std::string(c.rule).ends_with("corrupt")) {
            EXPECT_NE(output_of("md5sum < " + q(d.file("body"))),
                      output_of("md5sum < " + q(release + "/mirror" + zip)));
        }
    }

    // A slow body takes its time: 2,000 bytes per second.
    ASSERT_TRUE(server.set_fault("mirror1.test=slow=2000"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch(port, m1), "200 " + std::to_string(size));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(size * 1000 / 2000 - 150));

    // A fault for a number of requests or seconds runs out; clearing ends them all. The seconds count from
    // the rule, so the one that holds has time to spare on a loaded machine.
    ASSERT_TRUE(server.set_fault("mirror1.test=503@1"));
    EXPECT_EQ(fetch(port, m1), "503 10");
    EXPECT_EQ(fetch(port, m1), "200 " + std::to_string(size));
    ASSERT_TRUE(server.set_fault("mirror1.test=503@600s"));
    EXPECT_EQ(fetch(port, m1), "503 10");
    ASSERT_TRUE(server.set_fault("mirror1.test=503@0.3s"));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(fetch(port, m1), "200 " + std::to_string(size));
    ASSERT_TRUE(server.set_fault("mirror1.test=503"));
    ASSERT_TRUE(server.clear_faults());
    EXPECT_EQ(fetch(port, m1), "200 " + std::to_string(size));
    EXPECT_FALSE(server.set_fault("mirror1.test=nonsense"));
    EXPECT_FALSE(server.set_fault("no mode"));

    // The request log has one line per request, faults included.
    int failed = 0;
    for (const test::demo_request& r : server.requests())
        failed += r.status != 200;
    EXPECT_EQ(failed, 7);
}

} // namespace
