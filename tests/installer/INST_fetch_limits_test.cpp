// The web roads' fetches of the server list and the directory against the demo server: the byte caps of
// the transfers and the pacing of their retries.
#include <gtest/gtest.h>

#include <filesystem>
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
        // It took the cap and not much more: the server logs what it sent once the client has gone.
        ASSERT_TRUE(Engine::poll([&] { return server.count(c.path) > 0; }, 5000));
        for (const test::demo_request& r : server.requests())
            if (r.path == c.path) {
                EXPECT_GE(r.bytes, INST_listing_byte_cap);
                EXPECT_LT(r.bytes, INST_listing_byte_cap + (int64_t{16} << 20));
            }
    }
}

TEST(FetchLimitsCapTest, APackageMayTakeTwiceItsSizePlusOneMebibyte) {
    EXPECT_EQ(INST_package_byte_cap(1.0f), 2000 + (1 << 20));
    EXPECT_EQ(INST_package_byte_cap(1500000.0f), 3000000000LL + (1 << 20));
    EXPECT_EQ(INST_package_byte_cap(0.0f), int64_t{4} << 30);
}

} // namespace
