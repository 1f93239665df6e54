// The web demo road's pages that draw no widgets, run headless: Check Servers in each fetch state, and the
// install page with nothing to download.
#include <gtest/gtest.h>

#include <cmath>

#include "base/APP_clock.h"
#include "base/http.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_download.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_wizard.h"
#include "installer_fixtures.h"
#include "support/loopback_server.h"

namespace {

float fake_clock_seconds = 0.0f;
float fake_clock() { return fake_clock_seconds; }

class DemoRoadTest : public test::InstallerTest {
  protected:
    void SetUp() override {
        InstallerTest::SetUp();
        HTTP_clear();
        INST_work_folder = dir.path() + "/";
        one_server();
    }
    static void one_server() {
        INST_servers.version = 1000;
        INST_servers.servers = {{"mirror1.test", "/pub/Aerivon10Demo/", "mirror1.test/pub/"}};
    }
    void TearDown() override {
        HTTP_clear();
        HTTP_manager().proxy_host.clear();
        INST_set_download_clock(nullptr);
        INST_reset_downloads();
        InstallerTest::TearDown();
    }
    test::TempDir dir;
    test::LogCapture log;
};

TEST_F(DemoRoadTest, CheckServersShowsEachFetchState) {
    // Transfers go to a proxy that takes the request and never answers.
    test::LoopbackServer silent;
    silent.accept().read_request().pause(3000).accept().read_request().pause(3000).start();
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().port = silent.port();
    const auto page = [](int* result = nullptr) {
        page_desc d;
        const int r = INST_page_check_servers(0, &d);
        if (result)
            *result = r;
        return d;
    };
    INST_servers = server_list(); // no list yet: it is asked of the maker's site
    page_desc d = page();
    EXPECT_EQ(d.body, "I am contacting www.aerivon.example to find a server for the Aerivon 10 demo.");
    EXPECT_LT(d.progress, 0.0f);

    HTTP_clear(); // the list is in; the directory's server has not said how long it is: no bar
    one_server();
    INST_directory.version = -1;
    INST_directory.version_folder = "Aerivon10Demo";
    d = page();
    EXPECT_EQ(d.body,
              "I am checking the net for the latest version of Aerivon 10 right now, and I am connecting "
              "to the server...");
    EXPECT_LT(d.progress, 0.0f);
    EXPECT_EQ(d.status, "I am downloading demo info from mirror1.test.");

    INST_directory.version = 0; // failed
    INST_directory.version_folder.clear();
    d = page();
    EXPECT_EQ(d.body, "There was a problem reading information from the servers.");
    EXPECT_EQ(d.next, nullptr);
    INST_directory.version = 1004; // read: on at once
    INST_directory.packages.resize(1);
    int result = 0;
    EXPECT_EQ(page(&result).next, INST_page_pick_destination_demo);
    EXPECT_EQ(result, 1);
}

TEST_F(DemoRoadTest, AnInstallWithNothingToExpandShowsAFiniteBarAndFinishes) {
    // One record that is gone and absent: nothing to download or expand, so the install total is 0.
    INST_install_folder = dir.path() + "/copy/";
    file_record gone;
    gone.sig_want = "GONE";
    gone.sig_have = "NONE";
    gone.path = "old.txt";
    INST_directory.packages = {{gone}};
    INST_total_expanded_kb = INST_total_download_kb = 0.0f;
    // Mid-install, with the only server benched for 30 s.
    fake_clock_seconds = 100.0f;
    INST_set_download_clock(fake_clock);
    INST_reset_downloads();
    INST_download_started = 1;
    INST_next_work_item(0, 1);
    INST_bench_slot(0);
    APP_clock.frame_time = 0.05f;
    page_desc d;
    EXPECT_EQ(INST_page_download_demo(1, &d), 0);
    EXPECT_TRUE(std::isfinite(d.progress));
    EXPECT_GT(d.progress, 0.0f);
    EXPECT_NE(d.body.find("\n\nmirror1.test: Server is not responding normally..  Will retry in 30 seconds."),
              std::string::npos)
        << d.body;

    fake_clock_seconds = 200.0f;
    int result = 0;
    for (int frame = 0; frame < 10 && !result; ++frame)
        result = INST_page_download_demo(0, &(d = page_desc()));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(d.next, INST_page_finished_web_demo);
    EXPECT_EQ(INST_download_started, 0);
}

TEST(DiskSpaceTest, FreeSpaceEqualToTheTotalIsEnough) {
    EXPECT_TRUE(INST_enough_disk_space(1000.0f, 1000999));
    EXPECT_FALSE(INST_enough_disk_space(1001.0f, 1000999));
}

} // namespace
