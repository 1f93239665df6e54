// The polled TCP socket against a scripted server on 127.0.0.1.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/PCSB_socket.h"
#include "support/loopback_server.h"

namespace {

const uint32_t loopback = htonl(INADDR_LOOPBACK);

// Polls until the socket leaves state 2; every poll must return at once.
int poll_until_settled(PCSBSocket& s) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int state = s.poll_state();
    while (state == 2 && std::chrono::steady_clock::now() < end) {
        auto before = std::chrono::steady_clock::now();
        state = s.poll_state();
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return state;
}

// Reads until `want` bytes came, a -1, or three seconds passed.
std::string read_bytes(PCSBSocket& s, size_t want, int* last = nullptr) {
    std::string got;
    char buf[4096];
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int n = 0;
    while (got.size() < want && std::chrono::steady_clock::now() < end) {
        n = s.read(buf, sizeof buf);
        if (n < 0)
            break;
        got.append(buf, static_cast<size_t>(n));
        if (n == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (last)
        *last = n;
    return got;
}

} // namespace

TEST(SocketTest, ConnectToAClosedPortEndsClosedWithoutBlocking) {
    int port = test::free_loopback_port();
    ASSERT_NE(port, 0);
    PCSBSocket s(0, false);
    ASSERT_EQ(s.get_state(), 1);
    EXPECT_EQ(s.connect(loopback, port), 0);
    EXPECT_EQ(s.get_state(), 2);
    EXPECT_EQ(poll_until_settled(s), 4);
    EXPECT_EQ(s.get_error(), ECONNREFUSED);
    char buf[8];
    EXPECT_EQ(s.read(buf, sizeof buf), -1);
}

TEST(SocketTest, RemainingBytesAreReadThenEndOfStreamWhileStillConnected) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().send("hello, world").close();
    server.start();
    PCSBSocket s(0, false);
    ASSERT_EQ(s.connect(loopback, server.port()), 0);
    ASSERT_EQ(poll_until_settled(s), 3);
    ASSERT_TRUE(server.wait_done());
    EXPECT_EQ(read_bytes(s, 12), "hello, world");
    EXPECT_FALSE(s.is_eof());
    char buf[16];
    EXPECT_EQ(s.read(buf, sizeof buf), 0);
    EXPECT_TRUE(s.is_eof());
    EXPECT_EQ(s.poll_state(), 3);
    EXPECT_FALSE(s.is_idle_and_open());
}

TEST(SocketTest, WrittenBytesArriveAndAnIdleOpenConnectionSaysSo) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send("ok").pause(50);
    server.start();
    PCSBSocket s(0, false);
    ASSERT_EQ(s.connect(loopback, server.port()), 0);
    ASSERT_EQ(poll_until_settled(s), 3);
    const std::string request = "GET / HTTP/1.1\r\n\r\n";
    EXPECT_EQ(s.write(request.data(), static_cast<int>(request.size())), static_cast<int>(request.size()));
    ASSERT_TRUE(server.wait_steps(3));
    EXPECT_EQ(server.received(), request);
    // Unread bytes are waiting: not an idle connection.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (s.is_idle_and_open() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(s.is_idle_and_open());
    EXPECT_EQ(read_bytes(s, 2), "ok");
    EXPECT_TRUE(s.is_idle_and_open());
    EXPECT_EQ(s.get_state(), 3);
}

TEST(SocketTest, AResetGivesClosedAndMinusOne) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    // The reset comes only once the client has seen the connection made and said so.
    server.accept().read_request().reset();
    server.start();
    PCSBSocket s(0, false);
    ASSERT_EQ(s.connect(loopback, server.port()), 0);
    ASSERT_EQ(poll_until_settled(s), 3);
    EXPECT_EQ(s.write("go\r\n\r\n", 6), 6);
    ASSERT_TRUE(server.wait_done());
    int last = 0;
    read_bytes(s, 1, &last);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(s.get_state(), 4);
}

TEST(SocketTest, WritingToAClosedPeerFailsWithoutKillingTheProcess) {
    // Default SIGPIPE action for this test: only the send flag may keep the process alive.
    struct sigaction old_action {};
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, &old_action);

    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().close();
    server.start();
    PCSBSocket s(0, false);
    ASSERT_EQ(s.connect(loopback, server.port()), 0);
    ASSERT_EQ(poll_until_settled(s), 3);
    ASSERT_TRUE(server.wait_done());
    std::vector<char> block(65536, 'x');
    int n = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (n >= 0 && std::chrono::steady_clock::now() < end) {
        n = s.write(block.data(), static_cast<int>(block.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(n, -1);
    EXPECT_EQ(s.get_state(), 4);
    sigaction(SIGPIPE, &old_action, nullptr);
}

TEST(SocketTest, ASocketNumberedAbove1023PollsRight) {
    rlimit lim{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &lim), 0);
    if (lim.rlim_cur < 1100) {
        if (lim.rlim_max < 1100)
            GTEST_SKIP() << "the descriptor limit is below 1100";
        rlimit raised = lim;
        raised.rlim_cur = 1100;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    }
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().send("ping").pause(100);
    server.start();

    // Take every free descriptor below 1030 so that the socket gets a high number.
    std::vector<int> fillers;
    for (;;) {
        int fd = fcntl(0, F_DUPFD_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        fillers.push_back(fd);
        if (fd >= 1030)
            break;
    }
    {
        PCSBSocket s(0, false);
        EXPECT_EQ(s.connect(loopback, server.port()), 0);
        EXPECT_EQ(poll_until_settled(s), 3);
        EXPECT_EQ(read_bytes(s, 4), "ping");
    }
    for (int fd : fillers)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &lim);
}

TEST(SocketTest, HostLookUp) {
    EXPECT_EQ(PCSB_lookup_host("127.0.0.1"), loopback);
    EXPECT_EQ(PCSB_lookup_host("10.1.2.3"), htonl(0x0a010203));
    EXPECT_EQ(ntohl(PCSB_lookup_host("localhost")) >> 24, 127u);
    EXPECT_EQ(PCSB_lookup_host("nonexistent.invalid"), 0u);
    EXPECT_EQ(PCSB_lookup_host(""), 0u);
}
