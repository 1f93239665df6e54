// The page texts: sizes, rates and times at their boundaries, the percent of a real transfer from the
// loopback server, and a slot's status text.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include "base/LANG_localise.h"
#include "base/http.h"
#include "installer/INST_download.h"
#include "installer/INST_format.h"
#include "installer_fixtures.h"
#include "support/loopback_server.h"

namespace {

TEST(FormatTest, SizesStepAtTheirBoundaries) {
    const struct {
        float kb;
        const char* text;
    } cases[] = {
        {0.0f, "0 KB"},         {1.0f, "1 KB"},          {1024.0f, "1024 KB"},   {1025.0f, "1 MB"},
        {1536.0f, "2 MB"},      {1024000.0f, "1000 MB"}, {1024001.0f, "1.0 GB"}, {1048576.0f, "1.0 GB"},
        {5242880.0f, "5.0 GB"}, {1572864.0f, "1.5 GB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kb);
        EXPECT_EQ(INST_format_size_kb(c.kb), c.text);
    }
    EXPECT_EQ(INST_int_to_string(-42), "-42");
    EXPECT_EQ(INST_int_to_string(INT_MIN), "-2147483648");
}

TEST(FormatTest, TimesPickTheirUnitAndNumber) {
    LANG_restart_for_test("");
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float seconds;
        const char* text;
    } cases[] = {
        {0.0f, "0 seconds"},
        {1.0f, "1 second"},
        {1.9f, "1 second"},
        {119.9f, "119 seconds"},
        {120.0f, "2 minutes"},
        {179.0f, "2 minutes"},
        {7199.0f, "119 minutes"},
        {7200.0f, "2 hours"},
        {3600.0f * 1.5f, "90 minutes"},
        // Clamped: nothing negative, nothing beyond 9,999 hours, and a rate of 0 (infinite time) shows
        // the most there is.
        {-5.0f, "0 seconds"},
        {-inf, "0 seconds"},
        {inf, "9999 hours"},
        {std::nanf(""), "9999 hours"},
        {1.0e30f, "9999 hours"},
        {9999.0f * 3600.0f, "9999 hours"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(INST_format_time_left(c.seconds), c.text);
    }
    EXPECT_EQ(INST_format_time_left(3600.0f), "60 minutes");
}

TEST(FormatTest, RatesAreWholeAndClamped) {
    LANG_restart_for_test("");
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float rate;
        const char* text;
    } cases[] = {
        {0.0f, "0 kilobytes/second"},         {1.0f, "1 kilobyte/second"},
        {1.99f, "1 kilobyte/second"},         {250.7f, "250 kilobytes/second"},
        {-3.0f, "0 kilobytes/second"},        {std::nanf(""), "0 kilobytes/second"},
        {inf, "2147483647 kilobytes/second"}, {1.0e20f, "2147483647 kilobytes/second"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(INST_format_rate(c.rate), c.text);
    }
}

TEST(FormatTest, TranslatedTextsFollowTheLanguagesPluralRule) {
    test::LogCapture log;
    LANG_restart_for_test("");
    LANG_load_file(3, std::string(AERIVON_SOURCE_DIR) + "/resources/text/Russian.txt");
    const struct {
        float seconds;
        const char* text;
    } cases[] = {{1.0f, "1 секунда"},   {3.0f, "3 секунды"},  {5.0f, "5 секунд"},  {12.0f, "12 секунд"},
                 {21.0f, "21 секунда"}, {180.0f, "3 минуты"}, {7200.0f, "2 часа"}, {36000.0f, "10 часов"}};
    for (const auto& c : cases)
        EXPECT_EQ(INST_format_time_left(c.seconds), c.text) << c.seconds;
    EXPECT_EQ(INST_format_rate(22.0f), "22 килобайта/с");
    EXPECT_EQ(INST_format_rate(25.0f), "25 килобайт/с");
    LANG_load_file(1, std::string(AERIVON_SOURCE_DIR) + "/resources/text/French.txt");
    EXPECT_EQ(INST_format_time_left(1.5f), "1 seconde");
    EXPECT_EQ(INST_format_time_left(0.0f), "0 seconde"); // French takes 0 and 1 as singular
    EXPECT_EQ(INST_format_rate(2.0f), "2 kilooctets/seconde");
    EXPECT_EQ(log.text().find("ERROR"), std::string::npos) << log.text();
    EXPECT_EQ(log.text().find("WARNING"), std::string::npos) << log.text();
    LANG_restart_for_test("");
}

std::string head(const std::string& length_header) { return "HTTP/1.1 200 OK\r\n" + length_header + "\r\n"; }

struct DownloadPercentTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;
    void SetUp() override {
        InstallerTest::SetUp();
        HTTP_clear();
    }
    void TearDown() override {
        HTTP_clear();
        HTTP_manager().proxy_host.clear();
        HTTP_manager().port = 0;
        InstallerTest::TearDown();
    }
    // Polls key 9 until `done` holds for the percent or the transfer ends; the last percent seen.
    float poll_until(test::LoopbackServer& server, const std::function<bool(float)>& done) {
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().port = server.port();
        float percent = 0.0f;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            if (net_check(9, "mirror1.test", "/f.zip", dir.file("f.zip")) != 0)
                break;
            percent = INST_download_percent(9);
            if (done(percent))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return percent;
    }
};

TEST_F(DownloadPercentTest, IsZeroWithoutAConnection) {
    EXPECT_EQ(INST_download_percent(9), 0.0f);
    EXPECT_EQ(INST_download_percent(-1), 0.0f);
}

TEST_F(DownloadPercentTest, IsMinusOneWhileTheServerGaveNoLength) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept()
        .read_request()
        .send(head("Content-Type: x\r\n") + "0123456789")
        .pause(1500)
        .close()
        .start();
    EXPECT_EQ(poll_until(server, [](float p) { return p < 0.0f; }), -1.0f);
}

TEST_F(DownloadPercentTest, FollowsTheBytesReceived) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept()
        .read_request()
        .send(head("Content-Length: 1000\r\n") + std::string(250, 'x'))
        .pause(1500)
        .start();
    EXPECT_FLOAT_EQ(poll_until(server, [](float p) { return p >= 25.0f; }), 25.0f);
}

TEST_F(DownloadPercentTest, CountsInSixtyFourBitsBeyondTwoGigabytes) {
    // 3,000,000,000 bytes announced, 1 MiB sent: 32-bit arithmetic would go negative or wrap.
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept()
        .read_request()
        .send(head("Content-Length: 3000000000\r\n") + std::string(1 << 20, 'x'))
        .pause(1500)
        .start();
    const float percent = poll_until(server, [](float p) { return p >= 0.0349f; });
    EXPECT_NEAR(percent, 1048576.0 * 100.0 / 3.0e9, 1e-4);
}

TEST(SlotStatusTest, IsEmptyUntilTheSlotFails) {
    LANG_restart_for_test("");
    INST_reset_downloads();
    EXPECT_EQ(INST_slot_status_text(0), "");
    EXPECT_EQ(INST_slot_status_text(-1), "");
    INST_next_work_item(1, 10);
    EXPECT_EQ(INST_slot_status_text(1), "");
    INST_bench_slot(1);
    EXPECT_EQ(INST_slot_status_text(1), "Server is not responding normally.");
    EXPECT_EQ(INST_slot_status_text(0), "");
    EXPECT_EQ(INST_slot_status_text(2), "");
    INST_reset_downloads();
}

} // namespace
