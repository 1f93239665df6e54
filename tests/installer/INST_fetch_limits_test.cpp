// The web roads' fetches of the server list and the directory against the demo server: the byte caps of
// the transfers and the pacing of their retries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/LANG_localise.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_fetch_limits.h"
#include "installer_fixtures.h"
#include "support/demo_release.h"
#include "support/engine_harness.h"

namespace {

namespace fs = std::filesystem;
using test::Engine;

const std::string list_path = "/_lookup_10_/server_list_10.txt";
const std::string directory_path = "/pub/Aerivon10Demo/directory.txt.zip";

struct FetchLimitsTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;
    test::ScopedOptions options{"--qa_script"};
    std::string release, work;

    void SetUp() override {
        InstallerTest::SetUp();
        LOG_init();
        LANG_restart_for_test("");
        release = dir.file("release");
        work = dir.file("work/");
        fs::create_directories(work);
        std::string report;
        ASSERT_TRUE(test::make_sample_release(release, {}, &report)) << report;
        INST_fetch_succeeded(INST_server_list_fetch);
        INST_fetch_succeeded(INST_directory_fetch);
        INST_chosen_server = 0;
    }
    void TearDown() override {
        INST_fetch_succeeded(INST_server_list_fetch);
        INST_fetch_succeeded(INST_directory_fetch);
        InstallerTest::TearDown();
    }
    // Frames of the directory fetch until `done` holds (false after 20 s of real time).
    static bool frames_until(const std::function<bool()>& done) {
        return Engine::poll([&] {
            INST_fetch_directory_file();
            return done();
        });
    }
};

// The most a loopback connection's buffers can hold: the largest TCP receive and send buffers the kernel
// grows to (16 MiB when they cannot be read).
int64_t socket_buffers_bytes() {
    int64_t total = 0;
    for (const char* name : {"/proc/sys/net/ipv4/tcp_rmem", "/proc/sys/net/ipv4/tcp_wmem"}) {
        std::ifstream in(name);
        int64_t low = 0, initial = 0, high = 0;
        if (!(in >> low >> initial >> high))
            return int64_t{16} << 20;
        total += high;
    }
    return total;
}

TEST_F(FetchLimitsTest, ListingsWithoutEndAreCutAtTheirCapAndLeaveNoFile) {
    const struct {
        const char* name;
        const char* fault;
        std::string path;
        std::string file;
    } cases[] = {
        {"server list", "www.aerivon.example=endless@1", list_path, "server_list_10.txt"},
        {"directory", "mirror1.test/directory.txt.zip=endless@1", directory_path, "directory.txt.zip"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallerTest::reset();
        INST_fetch_succeeded(INST_server_list_fetch);
        test::DemoServer server(release, {c.fault, "mirror2.test/directory.txt.zip=404"});
        ASSERT_TRUE(server.ok()) << server.output();
        Engine engine(server.port(), work);
        const size_t before = log.text().size();
        ASSERT_TRUE(
            frames_until([&] { return log.text().find("HTTP Error for ", before) != std::string::npos; }));
        const std::string report = log.text().substr(before);
        EXPECT_NE(report.find("   GetOSErr   =27\n"), std::string::npos) << report;
        EXPECT_NE(report.find(c.path), std::string::npos) << report;
        EXPECT_FALSE(fs::exists(work + c.file));
        // It took the cap and not much more: the server logs what it sent once the client has gone. Until
        // the next frame closes the socket, the kernel's buffers on both sides still take bytes.
        ASSERT_TRUE(Engine::poll([&] { return server.count(c.path) > 0; }, 5000));
        for (const test::demo_request& r : server.requests())
            if (r.path == c.path) {
                EXPECT_GE(r.bytes, INST_listing_byte_cap);
                EXPECT_LT(r.bytes, INST_listing_byte_cap + socket_buffers_bytes() + (int64_t{1} << 20));
            }
    }
}

TEST_F(FetchLimitsTest, FailedFetchesWaitOneSecondThenTwiceAsLongUpToThirtyUntilASuccess) {
    test::DemoServer server(release, {"www.aerivon.example=503", "mirror1.test/directory.txt.zip=404",
                                      "mirror2.test/directory.txt.zip=404"});
    ASSERT_TRUE(server.ok()) << server.output();
    Engine engine(server.port(), work);
    int requests = 0;
    // At `seconds` of the clock: one more request when `asks`, else none, however many frames pass.
    auto frames_at = [&](float seconds, bool asks, fetch_kind kind, const std::string& path) {
        test::engine_clock_seconds = seconds;
        if (asks) {
            ++requests;
            ASSERT_TRUE(frames_until([&] { return !INST_fetch_due(kind) || INST_directory.version > 0; }));
            ASSERT_TRUE(Engine::poll([&] { return server.count(path) == requests; }, 5000));
        } else {
            for (int i = 0; i < 50; ++i)
                INST_fetch_directory_file();
            EXPECT_EQ(server.count(path), requests);
        }
    };
    const struct {
        float seconds;
        bool asks;
    } list_steps[] = {{0.0f, true},   {0.99f, false}, {1.0f, true},  {2.99f, false}, {3.0f, true},
                      {7.0f, true},   {14.9f, false}, {15.0f, true}, {30.9f, false}, {31.0f, true},
                      {60.9f, false}, {61.0f, true},  {90.9f, false}};
    for (const auto& s : list_steps) {
        SCOPED_TRACE(s.seconds);
        frames_at(s.seconds, s.asks, INST_server_list_fetch, list_path);
    }
    EXPECT_EQ(INST_fetch_wait(INST_server_list_fetch), 30.0f);

    // The list comes: its wait is gone, and the directory fetch is paced on its own from here.
    ASSERT_TRUE(server.clear_faults());
    ASSERT_TRUE(server.set_fault("mirror1.test/directory.txt.zip=404"));
    ASSERT_TRUE(server.set_fault("mirror2.test/directory.txt.zip=404"));
    test::engine_clock_seconds = 91.0f;
    ASSERT_TRUE(frames_until([] { return !INST_servers.servers.empty(); }));
    EXPECT_EQ(INST_fetch_wait(INST_server_list_fetch), 0.0f);
    requests = 0;
    for (const auto& s : {std::pair{91.0f, true}, {91.99f, false}, {92.0f, true}, {93.99f, false}}) {
        SCOPED_TRACE(s.first);
        test::engine_clock_seconds = s.first;
        const int before =
            server.count(directory_path, "mirror1.test") + server.count(directory_path, "mirror2.test");
        if (s.second)
            ASSERT_TRUE(frames_until([] { return !INST_fetch_due(INST_directory_fetch); }));
        else
            for (int i = 0; i < 50; ++i)
                INST_fetch_directory_file();
        ASSERT_TRUE(Engine::poll(
            [&] {
                return server.count(directory_path, "mirror1.test") +
                           server.count(directory_path, "mirror2.test") ==
                       before + s.second;
            },
            5000));
    }
    ASSERT_TRUE(server.clear_faults());
    test::engine_clock_seconds = 94.0f;
    ASSERT_TRUE(frames_until([] { return INST_directory.version > 0; }));
    EXPECT_EQ(INST_fetch_wait(INST_directory_fetch), 0.0f);

    // One report of the list's failure, counted once the list came.
    const std::string text = log.text();
    const size_t first = text.find("HTTP Error for " + work + "server_list_10.txt");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("HTTP Error for " + work + "server_list_10.txt", first + 1), std::string::npos)
        << text;
    EXPECT_NE(text.find("(the same error 6 more times)\n", first), std::string::npos) << text;
}

TEST(FetchLimitsCapTest, APackageMayTakeTwiceItsSizePlusOneMebibyte) {
    EXPECT_EQ(INST_package_byte_cap(1.0f), 2000 + (1 << 20));
    EXPECT_EQ(INST_package_byte_cap(1500000.0f), 3000000000LL + (1 << 20));
    EXPECT_EQ(INST_package_byte_cap(0.0f), int64_t{4} << 30);
}

} // namespace
