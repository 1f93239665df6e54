// The server list fetched over HTTP from the scripted loopback server, reached as the proxy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/FILE_ops.h"
#include "base/http.h"
#include "installer/UTL_installer.h"
#include "installer_fixtures.h"
#include "support/loopback_server.h"

namespace {

std::string http_response(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

const std::string good_list = "I\n1000 version\nSERVERS\nFINAL Aerivon10Demo\nBETA Aerivon10DemoBeta\n"
                              "SERVER mirror1.test\n/pub/\nmirror1.test/pub/\nENDOFLIST\n";

struct ServerListFetchTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;

    void SetUp() override {
        InstallerTest::SetUp();
        HTTP_clear();
        INST_work_folder = dir.path() + "/";
    }
    void TearDown() override {
        HTTP_clear();
        HTTP_manager().proxy_host.clear();
        HTTP_manager().port = 0;
        InstallerTest::TearDown();
    }
    static void use_proxy(const test::LoopbackServer& server) {
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().port = server.port();
    }
    // Polls once per "frame" until the result is no longer 2; every result in order.
    static std::vector<int> poll(server_list& list) {
        std::vector<int> results;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        do {
            results.push_back(UTL_fetch_server_list(list));
            if (results.back() != 2)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        } while (std::chrono::steady_clock::now() < end);
        return results;
    }
};

TEST_F(ServerListFetchTest, RunsThenReadsTheListFromTheMakersHost) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().pause(100).send(http_response("200 OK", good_list)).start();
    use_proxy(server);
    server_list list;
    const std::vector<int> results = poll(list);
    ASSERT_GE(results.size(), 2u);
    EXPECT_EQ(results.front(), 2);
    EXPECT_EQ(results.back(), 0);
    EXPECT_EQ(list.version, 1000);
    EXPECT_EQ(list.final_name, "Aerivon10Demo");
    ASSERT_EQ(list.servers.size(), 1u);
    EXPECT_EQ(list.servers[0].host, "mirror1.test");
    EXPECT_EQ(test::read_file(dir.file("server_list_10.txt")), good_list);
    ASSERT_TRUE(server.wait_done());
    EXPECT_EQ(
        server.received().rfind("GET http://www.aerivon.example/_lookup_10_/server_list_10.txt HTTP/1.1\r\n"
                                "Host: www.aerivon.example\r\n",
                                0),
        0u)
        << server.received();
}

TEST_F(ServerListFetchTest, FailuresAndRefusedHeadersGiveTheirCodes) {
    const struct {
        const char* name;
        std::string response;
        int result;
        bool unchanged;
    } cases[] = {
        {"not found", http_response("404 Not Found", "gone"), 4, true},
        {"server error", http_response("503 Service Unavailable", ""), 4, true},
        {"newer format", http_response("200 OK", "I\n1001 version\nSERVERS\nSERVER a\n/p/\na/p/\n"), 5,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HTTP_clear();
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        server.accept().read_request().send(c.response).close().start();
        use_proxy(server);
        server_list list;
        list.version = 1000;
        list.final_name = "before";
        list.servers.push_back({"old.test", "/pub/", "old.test/pub/"});
        EXPECT_EQ(poll(list).back(), c.result);
        EXPECT_EQ(list.final_name, "before");
        EXPECT_EQ(list.version, c.unchanged ? 1000 : 0);
        EXPECT_EQ(list.servers.size(), c.unchanged ? 1u : 0u);
        server.wait_done();
    }
}

TEST_F(ServerListFetchTest, WithoutAWorkFolderTheListLandsInThePrivateTemporaryFolder) {
    INST_work_folder.clear();
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(http_response("200 OK", good_list)).start();
    use_proxy(server);
    server_list list;
    EXPECT_EQ(poll(list).back(), 0);
    std::string work;
    FILE_get_special_folder(4, work);
    EXPECT_EQ(test::read_file(work + "server_list_10.txt"), good_list);
    std::remove((work + "server_list_10.txt").c_str());
    server.wait_done();
}

} // namespace
