// The HTTP client against the scripted loopback server: exact request bytes, response parsing, reuse,
// failures and their reports.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "base/APP_clock.h"
#include "base/APP_platform_tag.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "base/UTL_progress.h"
#include "base/hl_thread.h"
#include "base/http.h"
#include "base/http_io.h"
#include "base/thread_test_support.h"
#include "platform/APP_time.h"
#include "support/loopback_server.h"
#include "support/test_support.h"

namespace {

std::string response(const std::string& status, const std::string& headers, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\n" + headers + "\r\n" + body;
}

std::string ok(const std::string& body, const std::string& extra = "") {
    return response("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n" + extra, body);
}

// `n` interim blocks, each carrying `headers`.
std::string interim_blocks(int n, const std::string& headers) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "HTTP/1.1 100 Continue\r\n" + headers + "\r\n";
    return s;
}

// `n` bytes that differ from one position to the next, so a byte out of place shows.
std::string patterned(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return s;
}

int64_t size_of(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

const std::string user_agent = "User-agent: Aerivon Demo Installer 3.22r1-";
const std::string credentials = "cW9ydmludGFsZTpwZWJibGVydzgz";

class HttpClientTest : public testing::Test {
  protected:
    void SetUp() override {
        OPT_parse_only("");
        HTTP_clear();
        http_manager& m = HTTP_manager();
        m.proxy_host.clear();
        m.proxy_port.clear();
        m.port = 0;
        PREF_installer.get_beta = 0;
        APP_clock = frame_clock{};
        set_clock(0.0);
        dest = dir.file("out.bin");
        log_path = dir.file("log.txt");
        FILE_open_ofstream(LOG_stream, log_path, std::ios_base::out, 0x40);
    }
    void TearDown() override {
        HTTP_clear();
        LOG_stream.close();
        APP_clear_injected_microseconds();
    }

    // The frame clock through its timer seam: one frame at `seconds` of injected time.
    static void set_clock(double seconds) {
        APP_inject_microseconds(static_cast<int64_t>(seconds * 1e6));
        APP_frame_clock(APP_clock);
    }

    void use_proxy(int port) {
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().port = port;
    }

    // Polls as frames would until the result is not 0. The frame clock stands still, so a transfer that
    // stalls gives 0 after `wall_ms`. The default only bounds a transfer that must end: a loaded machine
    // may take seconds to run the look-up and I/O threads of one that ends at once on an idle one.
    int fetch(int key, const std::string& server, const std::string& path, int wall_ms = 30000,
              int64_t cap = -1) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(wall_ms);
        int r = 0;
        while ((r = net_check(key, server, path, dest, cap)) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return r;
    }

    std::string log() {
        LOG_stream.flush();
        return test::read_file(log_path);
    }

    test::TempDir dir;
    std::string dest;
    std::string log_path;
};

} // namespace

TEST_F(HttpClientTest, RequestThroughTheProxyIsExactAndNamesTheBetaOnlyWhenAsked) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok("abc")).read_request().send(ok("abcd")).start();
    use_proxy(server.port());

    EXPECT_EQ(fetch(1, "www.aerivon.example", "/a b/c.zip"), 1);
    EXPECT_EQ(test::read_file(dest), "abc");
    PREF_installer.get_beta = 1;
    EXPECT_EQ(fetch(1, "www.aerivon.example", "\\a b\\c.zip"), 1);
    EXPECT_EQ(test::read_file(dest), "abcd");
    ASSERT_TRUE(server.wait_done()) << server.error();

    const std::string head = "GET http://www.aerivon.example/a%20b/c.zip HTTP/1.1\r\n"
                             "Host: www.aerivon.example\r\n" +
                             user_agent;
    EXPECT_EQ(server.received(), head + "final-" + APP_platform_tag() + "\r\n\r\n" + head + "beta-" +
                                     APP_platform_tag() + "\r\n\r\n");
    EXPECT_EQ(server.connections(), 1); // the kept connection carried the second request
}

TEST_F(HttpClientTest, PathBytesOutsideTheUnreservedSetArePercentEncoded) {
    const struct {
        const char* path;
        const char* sent;
    } cases[] = {
        {"/a#b.txt", "/a%23b.txt"},
        {"/c?d.txt", "/c%3Fd.txt"},
        {"/e%41f.txt", "/e%2541f.txt"},
        {"/g h+i.txt", "/g%20h%2Bi.txt"},
        {"/caf\xc3\xa9.txt", "/caf%C3%A9.txt"},
        {"/AZaz09-._~/x", "/AZaz09-._~/x"},
        {"/!$&'()*,;=:@[]\"<>^`{|}", "/%21%24%26%27%28%29%2A%2C%3B%3D%3A%40%5B%5D%22%3C%3E%5E%60%7B%7C%7D"},
        {"\\dir\\\xff", "/dir/%FF"},
    };
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept();
    for (size_t i = 0; i < std::size(cases); ++i)
        server.read_request().send(ok("x"));
    server.start();
    use_proxy(server.port());
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].path);
        EXPECT_EQ(fetch(18, "www.aerivon.example", cases[i].path), 1);
        ASSERT_TRUE(server.wait_steps(3 + 2 * i)) << server.error();
        const std::string all = server.received();
        const std::string line =
            all.substr(all.rfind("GET "), all.find("\r\n", all.rfind("GET ")) - all.rfind("GET "));
        EXPECT_EQ(line, std::string("GET http://www.aerivon.example") + cases[i].sent + " HTTP/1.1");
    }
}

TEST_F(HttpClientTest, AuthorizationGoesOnlyToTheBetaArtServerForBetaArt) {
    struct {
        const char* server;
        const char* path;
        bool authorized;
    } cases[] = {
        {"art.aerivon.example", "/art/beta/tiles.zip", true},
        {"art.aerivon.example", "/art/release/tiles.zip", false},
        {"www.aerivon.example", "/art/beta/tiles.zip", false},
        {"ART.aerivon.example", "/art/beta/tiles.zip", false},
    };
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept();
    for (size_t i = 0; i < std::size(cases); ++i)
        server.read_request().send(i + 1 < std::size(cases) ? ok("x") : response("404 Not Found", "", ""));
    server.close().start();
    use_proxy(server.port());

    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(std::string(cases[i].server) + cases[i].path);
        EXPECT_EQ(fetch(2, cases[i].server, cases[i].path), i + 1 < std::size(cases) ? 1 : 2);
        ASSERT_TRUE(server.wait_steps(2 + 2 * i)) << server.error();
        std::string all = server.received();
        std::string request = all.substr(all.rfind("GET "));
        std::string first_header = request.substr(request.find("\r\n") + 2);
        EXPECT_EQ(first_header.rfind("Authorization: Basic " + credentials + "\r\nHost: ", 0) == 0,
                  cases[i].authorized);
        EXPECT_EQ(request.find("Authorization") != std::string::npos, cases[i].authorized);
    }
    // The last case failed and wrote its report; no line of the log carries the credentials.
    EXPECT_NE(log().find("HTTP Error for "), std::string::npos);
    EXPECT_EQ(log().find(credentials), std::string::npos);
    EXPECT_EQ(log().find("pebblerw83"), std::string::npos);
}

TEST_F(HttpClientTest, AResponseThatEndsItsConnectionMakesTheNextRequestUseANewOne) {
    const struct {
        const char* name;
        std::string first;
        int connections; // 2: the second request must come on a new connection
    } cases[] = {
        {"close", ok("one", "Connection: Close\r\n"), 2},
        {"close in other case", ok("one", "connection: CLOSE\r\n"), 2},
        {"close among other options", ok("one", "Connection: Upgrade, close\r\n"), 2},
        {"HTTP/1.0 without keep-alive", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\none", 2},
        {"HTTP/1.0 with keep-alive",
         "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 3\r\n\r\none", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        server.accept().read_request().send(c.first);
        if (c.connections == 2)
            server.accept();
        server.read_request().send(ok("two"));
        server.start();
        use_proxy(server.port());
        EXPECT_EQ(fetch(3, "www.aerivon.example", "/one"), 1);
        EXPECT_EQ(fetch(3, "www.aerivon.example", "/two"), 1);
        EXPECT_EQ(test::read_file(dest), "two");
        ASSERT_TRUE(server.wait_done()) << server.error();
        EXPECT_EQ(server.connections(), c.connections);
        HTTP_clear();
    }
}

TEST_F(HttpClientTest, ResponsesThatSucceed) {
    struct {
        const char* name;
        std::string bytes;
        std::string body;
        size_t piece; // 0: one send
    } cases[] = {
        {"zero length", response("200 OK", "Content-Length: 0\r\n", ""), "", 0},
        {"body in small pieces", ok("0123456789abcdefghij"), "0123456789abcdefghij", 7},
        {"interim block in an earlier piece",
         "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" + ok("after the interim block"),
         "after the interim block", 40},
        {"interim block in the same piece", "HTTP/1.1 100 Continue\r\n\r\n" + ok("ok"), "ok", 0},
        {"status line without a reason", "HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok", "ok", 0},
        {"name case and no blank", response("200 OK", "content-length:5\r\n", "hello"), "hello", 0},
        {"blanks around the value", response("200 OK", "Content-Length:  5 \r\n", "hello"), "hello", 0},
        {"repeated length with the same value",
         response("200 OK", "Content-Length: 5\r\ncontent-length: 5\r\n", "hello"), "hello", 0},
        {"identity transfer encoding",
         response("200 OK", "Transfer-Encoding: Identity\r\nContent-Length: 5\r\n", "hello"), "hello", 0},
        {"eight interim blocks", interim_blocks(8, "") + ok("after eight"), "after eight", 0},
        {"an interim block's length is not the body's",
         "HTTP/1.1 100 Continue\r\nContent-Length: 2\r\nConnection: close\r\n\r\n" + ok("hello"), "hello", 0},
        {"bytes beyond the length", ok("hello") + "EXTRA", "hello", 0},
        {"206 is success", response("206 Partial Content", "Content-Length: 3\r\n", "abc"), "abc", 0},
        {"a body of several reads in one send", ok(patterned(3 * 1048576 + 7)), patterned(3 * 1048576 + 7),
         0},
        {"a body in pieces that straddle the reads", ok(patterned(2 * 1048576 + 5)),
         patterned(2 * 1048576 + 5), 524289},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A longer earlier download lies in the file: the body is written over it and nothing of it stays.
        test::write_file(dest, std::string(70000, 'x'));
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        server.accept().read_request();
        if (c.piece)
            server.send_pieces(c.bytes, c.piece, 20);
        else
            server.send(c.bytes);
        server.pause(300).start();
        use_proxy(server.port());
        // The frame clock stands still: a transfer that waited for bytes that never come would give 0.
        EXPECT_EQ(fetch(4, "www.aerivon.example", "/f.zip", 2000), 1);
        EXPECT_EQ(test::read_file(dest), c.body);
        EXPECT_FLOAT_EQ(HTTP_key_percent(4), 100.0f);
        HTTP_clear();
    }
}

TEST_F(HttpClientTest, ATransferRunsUntilItsBodyIsInAndAKeptConnectionIsIdle) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().pause(200).send(ok("hello")).pause(300).start();
    use_proxy(server.port());
    EXPECT_EQ(HTTP_transfers_running(), 0);
    EXPECT_EQ(net_check(4, "www.aerivon.example", "/f.zip", dest), 0);
    EXPECT_EQ(HTTP_transfers_running(), 1);
    EXPECT_EQ(fetch(4, "www.aerivon.example", "/f.zip"), 1);
    EXPECT_EQ(HTTP_transfers_running(), 0);
}

TEST_F(HttpClientTest, ResponsesThatFailWithTheirReport) {
    struct {
        const char* name;
        std::string bytes;
        bool close;
        std::string report_part;
        int failure_error = 0;
        const char* failure_text = nullptr; // when no error code gives it
    } cases[] = {
        {"not found", response("404 Not Found", "Content-Length: 9\r\n", "not found"), false,
         "   IsErr      =0\n   GetStat    =3\n   GetOSErr   =0\n   response   =Not Found (#404)\n\n"},
        {"no length, then the close", response("200 OK", "", "a body of unknown length"), true,
         "   IsDone     =1\n   IsComplete =0\n   IsErr      =0\n   GetStat    =3\n   GetOSErr   =0\n"
         "   response   =OK (#200)\n\n",
         0, "The server sent the file without its length (Content-Length), which the installer needs"},
        {"close inside the head", "HTTP/1.1 200 OK\r\nContent-Le", true,
         "   GetStat    =3\n   GetOSErr   =0\n   response   =OK (#200)\n\n"},
        {"close inside the body", ok("0123456789").substr(0, 45), true, "   IsComplete =0\n"},
        {"close inside the status line", "HTTP/1.1 2", true, "   GetOSErr   =0\n", 0,
         "The server's answer ended early"},
        {"another protocol's banner", "SSH-2.0-OpenSSH_9.2\r\n", true, "   GetOSErr   =0\n", 0,
         "The answer was not HTTP"},
        {"length with a letter", response("200 OK", "Content-Length: 12a\r\n", "0123456789ab"), false,
         "   GetOSErr   =20021\n", 20021},
        {"length that is no number", response("200 OK", "Content-Length: -5\r\n", ""), false,
         "   GetOSErr   =20021\n", 20021},
        {"status that is no number", "HTTP/1.1 2x0 OK\r\n\r\n", false, "   GetOSErr   =71\n", 71},
        {"head without an end", "HTTP/1.1 200 OK\r\n" + std::string(70 * 1024, 'h'), false,
         "   GetOSErr   =20022\n", 20022},
        {"head of endless lines",
         [] {
             std::string s = "HTTP/1.1 200 OK\r\n";
             while (s.size() < 70 * 1024)
                 s += "X-Filler: " + std::string(90, 'f') + "\r\n";
             return s;
         }(),
         false, "   GetOSErr   =20022\n", 20022},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        server.accept().read_request().send(c.bytes);
        if (c.close)
            server.close();
        else
            server.pause(1000);
        server.start();
        use_proxy(server.port());
        EXPECT_EQ(fetch(5, "www.aerivon.example", "/f.zip", 1000), 2);
        std::string text = log();
        size_t report = text.rfind("HTTP Error for " + dest +
                                   "\n   server     =www.aerivon.example\n"
                                   "   file       =/f.zip\n");
        ASSERT_NE(report, std::string::npos) << text;
        EXPECT_NE(text.find(c.report_part, report), std::string::npos) << text;
        // A failed transfer leaves nothing in the slot but the address and the error of its report.
        EXPECT_FLOAT_EQ(HTTP_key_percent(5), 0.0f);
        EXPECT_EQ(HTTP_failure_error(5), c.failure_error);
        std::string why;
        FILE_error_text(why, c.failure_error);
        if (c.failure_error != 0 || c.failure_text) {
            EXPECT_EQ(HTTP_failure_text(5), c.failure_text ? c.failure_text : why);
        }
        EXPECT_FALSE(HTTP_failure_on_this_machine(5));
        HTTP_clear();
    }
}

TEST_F(HttpClientTest, ResponsesWeCannotTrustFailAtOnceWithoutAFile) {
    // The server keeps the connection open: only the client's own refusal can end these in time.
    const std::string filler = "X-Filler: " + std::string(20 * 1024, 'f') + "\r\n";
    // What was refused is the failure's error, and its text says it (EPROTO for the rest).
    constexpr int coding = 20020, lengths = 20021, head = 20022;
    struct {
        const char* name;
        std::string bytes;
        int error;
    } cases[] = {
        {"nine interim blocks", interim_blocks(9, "") + ok("never"), EPROTO},
        {"interim blocks without end", interim_blocks(2000, "X-Interim: 1\r\n"), EPROTO},
        {"interim blocks together past the head cap", interim_blocks(4, filler) + ok("never"), head},
        {"two lengths that differ", response("200 OK", "Content-Length: 5\r\nContent-Length: 9\r\n", "hello"),
         lengths},
        {"a length that differs in a later line",
         response("200 OK", "Content-Length: 5\r\nX-A: b\r\nCONTENT-LENGTH: 6\r\n", "hello!"), lengths},
        {"chunked", response("200 OK", "Transfer-Encoding: chunked\r\n", "5\r\nhello\r\n0\r\n\r\n"), coding},
        {"chunked beside a length",
         response("200 OK", "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n", "hello"), coding},
        {"gzip", response("200 OK", "Transfer-Encoding: gzip\r\nContent-Length: 5\r\n", "hello"), coding},
        {"204", response("204 No Content", "", ""), EPROTO},
        {"304", response("304 Not Modified", "Content-Length: 5\r\n", ""), EPROTO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        server.accept().read_request().send(c.bytes).pause(3000).start();
        use_proxy(server.port());
        EXPECT_EQ(fetch(17, "www.aerivon.example", "/f.zip", 1500), 2);
        EXPECT_NE(log().rfind("   GetOSErr   =" + std::to_string(c.error) + "\n"), std::string::npos)
            << log();
        std::string why;
        FILE_error_text(why, c.error);
        EXPECT_EQ(HTTP_failure_text(17), why);
        EXPECT_FALSE(FILE_is_file(dest));
        HTTP_clear();
    }
}

TEST_F(HttpClientTest, ABodyPastTheCapFailsAndItsPartialFileGoes) {
    const std::string body(3000, 'b');
    struct {
        const char* name;
        std::string bytes;
        int64_t cap;
        int result;
        bool file_left;
    } cases[] = {
        {"announced length at the cap", ok(body), 3000, 1, true},
        {"announced length past the cap", ok(body), 2999, 2, false},
        {"unannounced length past the cap", response("200 OK", "", body), 2999, 2, false},
        {"unannounced body past the cap in small pieces", response("200 OK", "", body + body), 4000, 2,
         false},
        {"a failed status's body is capped too", response("404 Not Found", "", body), 100, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        server.accept().read_request().send_pieces(c.bytes, 1000, 5).pause(3000).start();
        use_proxy(server.port());
        std::remove(dest.c_str());
        EXPECT_EQ(fetch(19, "www.aerivon.example", "/f.zip", 1500, c.cap), c.result);
        EXPECT_EQ(FILE_is_file(dest), c.file_left);
        if (c.result == 2) {
            EXPECT_NE(log().rfind("   GetOSErr   =27\n"), std::string::npos) << log();
            EXPECT_FALSE(HTTP_failure_on_this_machine(19)); // the server sent too much, not our disk
        }
        HTTP_clear();
    }
}

TEST_F(HttpClientTest, RepeatedReportsOfOneUrlAreWrittenOnceAndCounted) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    const std::string not_found = response("404 Not\x1b[31m Found", "Content-Length: 0\r\n", "");
    const std::string gone = response("410 Gone", "Content-Length: 0\r\n", "");
    const char* const paths[] = {"/a", "/a", "/a", "/a", "/a", "/b", "/a", "/a", "/a"};
    const int results[] = {2, 2, 2, 2, 2, 2, 1, 2, 2};
    const std::string* answers[] = {&not_found, &not_found, &not_found, &gone,     &gone,
                                    &not_found, nullptr,    &not_found, &not_found};
    const std::string fine = ok("x");
    for (size_t i = 0; i < std::size(paths); ++i) {
        if (i == 0 || results[i - 1] == 2)
            server.accept(); // a failed transfer drops its connection
        server.read_request().send(answers[i] ? *answers[i] : fine);
    }
    server.start();
    use_proxy(server.port());
    for (size_t i = 0; i < std::size(paths); ++i)
        EXPECT_EQ(fetch(20, "www.aerivon.example", paths[i]), results[i]) << i;
    HTTP_clear();

    // Each distinct report once, with the server's control bytes escaped; the held-back ones counted when
    // the next different report comes, at the success, and when the client is cleared.
    std::string text = log();
    std::string shape;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (line.rfind("   file", 0) == 0 || line.rfind("   response", 0) == 0 ||
            line.rfind("(the same", 0) == 0)
            shape += line + "\n";
        at = end + 1;
    }
    EXPECT_EQ(shape, "   file       =/a\n   response   =Not\\x1B[31m Found (#404)\n"
                     "(the same error 2 more times)\n"
                     "   file       =/a\n   response   =Gone (#410)\n"
                     "   file       =/b\n   response   =Not\\x1B[31m Found (#404)\n"
                     "(the same error 1 more times)\n"
                     "   file       =/a\n   response   =Not\\x1B[31m Found (#404)\n"
                     "(the same error 1 more times)\n");
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
}

TEST_F(HttpClientTest, BytesBeyondTheLengthSpoilTheConnectionForReuse) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok("hello") + "EXTRA").accept().read_request().send(ok("next"));
    server.start();
    use_proxy(server.port());
    EXPECT_EQ(fetch(6, "www.aerivon.example", "/a"), 1);
    EXPECT_EQ(test::read_file(dest), "hello");
    EXPECT_EQ(fetch(6, "www.aerivon.example", "/b"), 1);
    EXPECT_EQ(test::read_file(dest), "next");
    ASSERT_TRUE(server.wait_done()) << server.error();
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(HttpClientTest, AFileThatCannotBeClosedFailsTheTransfer) {
    // /dev/full takes the buffered bytes and refuses them when they are flushed at the close.
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok("hello")).pause(300).start();
    use_proxy(server.port());
    dest = "/dev/full";
    EXPECT_EQ(fetch(7, "www.aerivon.example", "/a"), 2);
    EXPECT_NE(log().find("   GetOSErr   =28\n"), std::string::npos) << log();
    EXPECT_EQ(HTTP_failure_error(7), ENOSPC);
    EXPECT_TRUE(HTTP_failure_on_this_machine(7));
}

TEST_F(HttpClientTest, AKeptConnectionTheServerClosedIsNotReused) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok("first")).close().accept().read_request().send(ok("second"));
    server.start();
    use_proxy(server.port());
    EXPECT_EQ(fetch(8, "www.aerivon.example", "/a"), 1);
    ASSERT_TRUE(server.wait_steps(4)) << server.error();
    http_connection* kept = HTTP_manager().slots[8]->connection.get();
    ASSERT_NE(kept, nullptr);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (HTTP_conn_reusable(kept, kept->address, kept->port) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(fetch(8, "www.aerivon.example", "/b"), 1);
    EXPECT_EQ(test::read_file(dest), "second");
    ASSERT_TRUE(server.wait_done()) << server.error();
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(HttpClientTest, TwoMinutesFortySecondsWithoutProgressTimeOut) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send("HTTP/1.1 200 OK\r\n").pause(5000).start();
    use_proxy(server.port());
    // Frames pass until the server has sent the status line and stopped.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!server.wait_steps(3, 1) && std::chrono::steady_clock::now() < end)
        EXPECT_EQ(net_check(9, "www.aerivon.example", "/slow.zip", dest), 0);
    ASSERT_TRUE(server.wait_steps(3)) << server.error();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(net_check(9, "www.aerivon.example", "/slow.zip", dest), 0);
    set_clock(240.0);
    EXPECT_EQ(net_check(9, "www.aerivon.example", "/slow.zip", dest), 0);
    set_clock(240.5);
    EXPECT_EQ(net_check(9, "www.aerivon.example", "/slow.zip", dest), 2);
    EXPECT_NE(log().find("Timeout for " + dest +
                         "\n   server     =www.aerivon.example\n   file       =/slow.zip\n"
                         "   status     =6\n   complete   =-1"),
              std::string::npos)
        << log();
}

TEST_F(HttpClientTest, ABodyBelowOneKibPerSecondOverAMinuteTimesOut) {
    // The server sends the head and `sent` bytes of a longer body at once, then nothing; the frame clock
    // is stepped to each time in turn. Only the body counts: the minute starts when the head is in.
    const struct {
        const char* name;
        size_t sent;
        std::vector<std::pair<double, int>> steps; // frame clock, result
    } cases[] = {
        {"nothing after the head", 0, {{30.0, 0}, {59.5, 0}, {60.5, 2}}},
        {"less than a KiB a second", 60 * 1024 - 100, {{59.5, 0}, {60.5, 2}}},
        {"a KiB a second, then nothing for a minute", 70 * 1024, {{60.5, 0}, {121.0, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        const std::string body(1 << 20, 'd');
        server.accept().read_request().send(ok(body).substr(0, ok(body).size() - body.size() + c.sent));
        server.pause(5000).start();
        use_proxy(server.port());
        set_clock(0.0);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        // Frames until the server has sent and the client has taken every byte of it.
        const float target = static_cast<float>(100.0 * c.sent / body.size());
        while (std::chrono::steady_clock::now() < end) {
            ASSERT_EQ(net_check(22, "www.aerivon.example", "/drip.zip", dest), 0);
            const float percent = HTTP_key_percent(22);
            if (server.wait_steps(3, 1) && percent >= 0.0f && percent >= target)
                break;
        }
        EXPECT_EQ(net_check(22, "www.aerivon.example", "/drip.zip", dest), 0); // this frame sees the head
        for (const auto& [at, result] : c.steps) {
            set_clock(at);
            EXPECT_EQ(net_check(22, "www.aerivon.example", "/drip.zip", dest), result) << at;
        }
        EXPECT_NE(log().rfind("Timeout for " + dest +
                              "\n   server     =www.aerivon.example\n   file       =/drip.zip\n"
                              "   status     =5\n"),
                  std::string::npos)
            << log();
        EXPECT_EQ(HTTP_failure_error(22), ETIMEDOUT);
        HTTP_clear();
    }
}

TEST_F(HttpClientTest, ControlBytesInThePathOrServerSendNothing) {
    struct {
        const char* server;
        const char* path;
    } cases[] = {
        {"www.aerivon.example", "/a\r\nX: y"}, {"www.aerivon.example", "/a\x7f"},
        {"www.aerivon.example", "/a\tb"},      {"www.aerivon.example\r\nX: y", "/a"},
        {"www.aerivon example", "/a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server + std::string(c.path));
        test::LoopbackServer server;
        ASSERT_TRUE(server.ok());
        server.set_step_timeout(500);
        server.accept().read_until_closed().start();
        use_proxy(server.port());
        EXPECT_EQ(fetch(10, c.server, c.path), 2);
        server.wait_done(1000);
        EXPECT_EQ(server.received(), "");
        EXPECT_NE(log().find("   GetOSErr   =22\n"), std::string::npos);
        HTTP_clear();
    }
}

TEST_F(HttpClientTest, AHugeLengthCountsIn64Bits) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    const std::string mib(1 << 20, 'z');
    server.accept()
        .read_request()
        .send(response("200 OK", "Content-Length: 3000000000\r\n", mib))
        .pause(5000);
    server.start();
    use_proxy(server.port());
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int r = 0;
    while (HTTP_key_percent(11) < 0.0349f && std::chrono::steady_clock::now() < end)
        r = net_check(11, "www.aerivon.example", "/big.zip", dest);
    EXPECT_EQ(r, 0);
    EXPECT_NEAR(HTTP_key_percent(11), 100.0 * (1 << 20) / 3e9, 1e-4);
    EXPECT_EQ(HTTP_manager().slots[11]->connection->content_length, 3000000000LL);
}

TEST_F(HttpClientTest, DirectRequestsGoToPort80WhateverTheProxyPortSays) {
    test::LoopbackServer server(80);
    if (!server.ok())
        GTEST_SKIP() << "127.0.0.1:80 cannot be bound here";
    server.accept().read_request().send(ok("direct")).start();
    HTTP_manager().port = 3128; // a stale proxy port without a proxy
    EXPECT_EQ(fetch(12, "127.0.0.1", "/direct.txt"), 1);
    EXPECT_EQ(test::read_file(dest), "direct");
    ASSERT_TRUE(server.wait_done()) << server.error();
    EXPECT_EQ(server.received().rfind("GET http://127.0.0.1/direct.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n", 0),
              0u);
}

TEST_F(HttpClientTest, AProxyPortOutOfRangeFailsWithoutASocket) {
    for (int port : {70000, -1, 65536}) {
        SCOPED_TRACE(port);
        use_proxy(port);
        EXPECT_EQ(fetch(13, "www.aerivon.example", "/a"), 2);
        // A setting that names no usable proxy, told as such.
        EXPECT_EQ(HTTP_failure_error(13), HTTP_bad_proxy_error);
        EXPECT_NE(log().rfind("The proxy setting is not valid: host 127.0.0.1, port " + std::to_string(port) +
                              "\n"),
                  std::string::npos)
            << log();
    }
}

TEST_F(HttpClientTest, ACorrectedProxyTakesEffectInTheSameRun) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok("via the corrected proxy")).start();
    HTTP_manager().proxy_host = "nonexistent.invalid";
    HTTP_manager().port = server.port();
    EXPECT_EQ(fetch(14, "www.aerivon.example", "/a"), 2);
    EXPECT_EQ(fetch(14, "www.aerivon.example", "/a"), 2); // looked up again, it fails again
    use_proxy(server.port());
    EXPECT_EQ(fetch(14, "www.aerivon.example", "/a"), 1);
    EXPECT_EQ(test::read_file(dest), "via the corrected proxy");
}

TEST_F(HttpClientTest, AnUnknownServerFailsAndARefusedConnectionReports) {
    EXPECT_EQ(fetch(15, "nonexistent.invalid", "/a"), 2);
    use_proxy(test::free_loopback_port());
    EXPECT_EQ(fetch(15, "www.aerivon.example", "/a"), 2);
    EXPECT_NE(log().find("   GetStat    =3\n   GetOSErr   =111\n   response   = (#0)\n\n"), std::string::npos)
        << log();
}

TEST_F(HttpClientTest, BodyBytesReachTheFileWithoutFrames) {
    // More than the socket buffers hold: the file fills only if something drains the socket meanwhile.
    const std::string body(32 << 20, 'q');
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok(body)).pause(3000).start();
    use_proxy(server.port());
    // Frames until the request is under way, then none.
    auto sent = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server.wait_steps(2, 1) && std::chrono::steady_clock::now() < sent)
        ASSERT_EQ(net_check(21, "www.aerivon.example", "/big.zip", dest), 0);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (size_of(dest) < static_cast<int64_t>(body.size()) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(size_of(dest), static_cast<int64_t>(body.size()));
    // A frame soon finds it done (the thread counts the last bytes just after it wrote them).
    int result = 0;
    const auto counted = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((result = net_check(21, "www.aerivon.example", "/big.zip", dest)) == 0 &&
           std::chrono::steady_clock::now() < counted)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(result, 1);
    EXPECT_FLOAT_EQ(HTTP_key_percent(21), 100.0f);
    EXPECT_EQ(test::read_file(dest), body);

    // Half of a body, and then the server waits: every byte counted is already in the file (a reader may
    // take the counted bytes from it while the transfer goes on).
    const std::string half = patterned(5000);
    test::LoopbackServer slow;
    ASSERT_TRUE(slow.ok());
    slow.accept()
        .read_request()
        .send(response("200 OK", "Content-Length: 10000\r\n", half))
        .pause(3000)
        .start();
    use_proxy(slow.port());
    const auto halfway = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (HTTP_key_percent(22) < 50.0f && std::chrono::steady_clock::now() < halfway) {
        ASSERT_EQ(net_check(22, "www.aerivon.example", "/half.bin", dest), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FLOAT_EQ(HTTP_key_percent(22), 50.0f);
    EXPECT_EQ(test::read_file(dest).compare(0, half.size(), half), 0) << "counted bytes not in the file";
}

using HttpConcurrentLookupTest = HttpClientTest;
using HttpConcurrentIoTest = HttpClientTest;

// The resolver linked in (slow_lookup): the look-ups of a held name wait until it is let go, and the
// look-ups it slowed are counted.
extern "C" void slow_lookup_hold(const char* host);
extern "C" int slow_lookup_count();

TEST_F(HttpConcurrentIoTest, TransfersMoveOnTheIoThreadWhileFramesReadDropAndClearThem) {
    // Four keys at once, each from a server of its own sending its body in pieces: one completes, one is
    // dropped in mid-body, one runs past its cap, and one is still running when the client is cleared.
    const std::string body(3 << 20, 'w');
    std::vector<std::unique_ptr<test::LoopbackServer>> servers;
    for (int i = 0; i < 4; ++i) {
        servers.push_back(std::make_unique<test::LoopbackServer>());
        ASSERT_TRUE(servers.back()->ok());
        // The second one sends half its body and waits to be dropped; the last one sends so slowly that
        // it is still running at the end.
        servers.back()->accept().read_request();
        if (i == 1)
            servers.back()->send_pieces(ok(body).substr(0, body.size() / 2), 64 * 1024, 1);
        else if (i < 3)
            servers.back()->send_pieces(ok(body), 64 * 1024, 1);
        else
            servers.back()->send_pieces(ok(body), 1024, 50);
        servers.back()->pause(3000).start();
    }
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i)
        files.push_back(dir.file("f" + std::to_string(i)));
    const int64_t caps[] = {-1, -1, 1 << 20, -1};
    int results[4] = {0, 0, 0, 0};
    bool dropped = false;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((results[0] == 0 || results[2] == 0 || !dropped) && std::chrono::steady_clock::now() < end) {
        for (int i = 0; i < 4; ++i) {
            if (results[i] != 0 || (i == 1 && dropped))
                continue;
            HTTP_manager().proxy_host = "127.0.0.1";
            HTTP_manager().port = servers[static_cast<size_t>(i)]->port();
            results[i] =
                net_check(30 + i, "www.aerivon.example", "/f", files[static_cast<size_t>(i)], caps[i]);
            const float percent = HTTP_key_percent(30 + i);
            EXPECT_TRUE(percent == 0.0f || percent == -1.0f || (percent >= 0.0f && percent <= 100.0f));
            if (i == 1 && percent > 10.0f) {
                HTTP_drop(31);
                dropped = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    EXPECT_EQ(results[0], 1);
    EXPECT_EQ(test::read_file(files[0]), body);
    EXPECT_TRUE(dropped);
    EXPECT_EQ(HTTP_key_percent(31), 0.0f);
    EXPECT_EQ(results[2], 2);
    EXPECT_FALSE(FILE_is_file(files[2]));
    EXPECT_EQ(results[3], 0);
    HTTP_clear(); // key 33 is in flight
    EXPECT_EQ(HTTP_key_percent(33), 0.0f);
}

std::atomic<int> io_wakes{0};
void count_io_wake() { ++io_wakes; }

TEST_F(HttpConcurrentIoTest, TheEndOfATransferWakesTheFrameOnceItCanBeAnswered) {
    // A body in pieces, then the connection stays open: only the I/O thread sees the transfer end.
    const std::string body(1 << 20, 'e');
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send_pieces(ok(body), 64 * 1024, 2).pause(3000).start();
    use_proxy(server.port());
    io_wakes = 0;
    UTL_progress_set_wake(count_io_wake);
    auto sent = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server.wait_steps(2, 1) && std::chrono::steady_clock::now() < sent)
        ASSERT_EQ(net_check(40, "www.aerivon.example", "/w.zip", dest), 0);
    EXPECT_TRUE(test::eventually([] { return io_wakes.load() > 0; }));
    // Woken, the frame finds the transfer over.
    EXPECT_EQ(net_check(40, "www.aerivon.example", "/w.zip", dest), 1);
    EXPECT_EQ(test::read_file(dest), body);
    UTL_progress_set_wake(nullptr);
}

TEST_F(HttpConcurrentLookupTest, LookUpsOnThreadsOfTheirOwnKeepTheFrameGoing) {
    // Without pool workers, as in the program: the look-up still runs off this thread.
    ASSERT_EQ(THREAD_worker_count(), 0);
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok("looked up on a thread")).start();
    HTTP_manager().proxy_host = "localhost";
    HTTP_manager().port = server.port();
    slow_lookup_hold("localhost");
    EXPECT_EQ(net_check(16, "www.aerivon.example", "/a", dest), 0);
    EXPECT_EQ(HTTP_transfers_running(), 1);
    // Once it has answered, it runs no more, whether or not a frame polls the key again.
    slow_lookup_hold(nullptr);
    EXPECT_TRUE(test::eventually([] { return HTTP_transfers_running() == 0; }));
    EXPECT_EQ(fetch(16, "www.aerivon.example", "/a"), 1);
    EXPECT_EQ(test::read_file(dest), "looked up on a thread");
    // Look-ups still running when the client is cleared are left behind and touch nothing of it.
    HTTP_clear();
    slow_lookup_hold("localhost");
    for (int key = 17; key < 25; ++key)
        EXPECT_EQ(net_check(key, "www.aerivon.example", "/a", dest), 0);
    HTTP_clear();
    slow_lookup_hold(nullptr);
}

TEST_F(HttpConcurrentLookupTest, ALookUpFailsAfterItsLimitAndIsTriedAgainOrForANewName) {
    // The resolver linked in (slow_lookup) never answers for hung.test and fails flaky.test's first look-up.
    test::LoopbackServer server;
    ASSERT_TRUE(server.ok());
    server.accept().read_request().send(ok("new name")).read_request().send(ok("second try")).start();
    setenv("AERIVON_SLOW_LOOKUP_SECONDS", "never", 1);
    setenv("AERIVON_SLOW_LOOKUP", "hung.test", 1);
    const int threads = slow_lookup_count(); // the hung look-ups of earlier runs never end
    HTTP_manager().proxy_host = "hung.test";
    HTTP_manager().port = server.port();
    EXPECT_EQ(fetch(16, "www.aerivon.example", "/a", 200), 0);
    EXPECT_EQ(HTTP_key_percent(16), -1.0f); // as while connecting
    EXPECT_EQ(net_check(17, "www.aerivon.example", "/a", dest), 0);
    // A key dropped while it waits is no longer looking up, and nothing keeps the frame going.
    EXPECT_EQ(net_check(18, "www.aerivon.example", "/a", dest), 0);
    EXPECT_EQ(HTTP_transfers_running(), 3);
    HTTP_drop(18);
    EXPECT_EQ(HTTP_transfers_running(), 2);
    EXPECT_EQ(HTTP_key_percent(18), 0.0f);
    set_clock(HTTP_lookup_limit);
    EXPECT_EQ(net_check(16, "www.aerivon.example", "/a", dest), 0);
    set_clock(HTTP_lookup_limit + 0.5);
    EXPECT_EQ(net_check(16, "www.aerivon.example", "/a", dest), 2);
    EXPECT_EQ(HTTP_failure_error(16), 20011);
    EXPECT_FALSE(HTTP_failure_on_this_machine(16));
    EXPECT_EQ(net_check(17, "www.aerivon.example", "/a", dest), 2);
    EXPECT_NE(log().find("The look-up of hung.test did not answer in 30 seconds.\n"), std::string::npos);
    // The next try waits again, for the same look-up; a new proxy name is looked up at once.
    EXPECT_EQ(net_check(16, "www.aerivon.example", "/a", dest), 0);
    HTTP_drop(16);
    HTTP_drop(17);
    EXPECT_EQ(HTTP_transfers_running(), 0);
    EXPECT_EQ(net_check(17, "www.aerivon.example", "/a", dest), 0);
    HTTP_manager().proxy_host = "localhost";
    EXPECT_EQ(fetch(16, "www.aerivon.example", "/a"), 1);
    EXPECT_EQ(test::read_file(dest), "new name");
    // Every key shared one look-up from the start, and so did each try after the limit.
    EXPECT_TRUE(test::eventually([&] { return slow_lookup_count() > threads; }));
    EXPECT_EQ(slow_lookup_count() - threads, 1);

    unsetenv("AERIVON_SLOW_LOOKUP_SECONDS");
    setenv("AERIVON_SLOW_LOOKUP_FAILS", "1", 1);
    setenv("AERIVON_SLOW_LOOKUP", "flaky.test", 1);
    HTTP_manager().proxy_host = "flaky.test";
    EXPECT_EQ(fetch(16, "www.aerivon.example", "/a"), 2);
    EXPECT_EQ(HTTP_failure_error(16), 20011);
    EXPECT_EQ(fetch(16, "www.aerivon.example", "/a"), 1); // not remembered: looked up again
    EXPECT_EQ(test::read_file(dest), "second try");
    unsetenv("AERIVON_SLOW_LOOKUP_FAILS");
    unsetenv("AERIVON_SLOW_LOOKUP");
}

namespace {

// A dirchar alert ends the program (kind 3) with its lines in the box and its source in the log block.
// The death-test child runs the test body again: it writes its log where the parent said (an inherited
// environment variable, removed at the end of the test) and makes no folder of its own.
void expect_dirchar_alert(const std::string& log_path, const std::string& server, const std::string& path,
                          const std::string& box, const std::string& source) {
    OPT_parse_only("");
    HTTP_clear();
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().port = 1;
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            LOG_init();
            FILE_open_ofstream(LOG_stream, log_path, std::ios_base::out, 0x40);
            net_check(1, server, path, "x");
        },
        testing::ExitedWithCode(1), box);
    EXPECT_NE(test::read_file(log_path).find("| " + source + "\n"), std::string::npos)
        << test::read_file(log_path);
    HTTP_manager().proxy_host.clear();
}

} // namespace

TEST(HttpDeathTest, DirCharsInTheWrongPlaceAreFatal) {
    const char* variable = "AERIVON_HTTP_DEATH_LOG";
    std::unique_ptr<test::TempDir> dir;
    if (!std::getenv(variable)) {
        dir = std::make_unique<test::TempDir>();
        setenv(variable, dir->file("log.txt").c_str(), 1);
    }
    const std::string log = std::getenv(variable);
    expect_dirchar_alert(
        log, "www.aerivon.example/", "/a",
        "net_check error! You have a dirchar at the end of the server name!\nYou should not!\n"
        "Our convention is that a server name is simply a server name... with no slash!\n"
        "www.aerivon.example/",
        "(http:373)");
    expect_dirchar_alert(log, "www.aerivon.example\\", "/a", "dirchar at the end of the server name",
                         "(http:373)");
    expect_dirchar_alert(
        log, "127.0.0.1", "a/b.zip",
        "net_check error! You do not have a dirchar at the beginning of the directory name!\nYou "
        "should!\nOur convention is that a directory name does start with a slash because it must "
        "include the hard drive,which is a dir char on unix!\na/b.zip",
        "(http:374)");
    unsetenv(variable);
}

namespace {

// The death-test child of the test below: one descriptor left, then polls; exits with the result * 10,
// plus 1 when the kept error is EMFILE.
// A loopback socket bound to a port of its own; listening or not (a connect to it is then refused).
int loopback_socket(bool listening, int* port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && listen(fd, 4) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::_Exit(9);
    *port = ntohs(address.sin_port);
    return fd;
}

int poll_for_2_s(int key) {
    int r = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while ((r = net_check(key, "www.aerivon.example", "/a", "/dev/null")) == 0 &&
           std::chrono::steady_clock::now() < end) {
    }
    return r;
}

// The death-test child of the test below: `left` descriptors left, then polls; exits with the result * 10,
// plus 1 when the kept error is EMFILE and this machine's.
[[noreturn]] void fetch_with_descriptors_left(int left) {
    OPT_parse_only("");
    int refusing = 0, listening = 0;
    loopback_socket(false, &refusing);
    loopback_socket(true, &listening); // connected to without an accept
    HTTP_manager().proxy_host = "127.0.0.1";
    // A refused request first, with descriptors to spare: the sanitizers' first look at each type the
    // failure path uses needs one. Then the I/O thread goes.
    HTTP_manager().port = refusing;
    if (poll_for_2_s(1) != 2)
        std::_Exit(8);
    HTTP_io_shutdown();
    HTTP_manager().port = listening;
    const rlimit few{64, 64};
    setrlimit(RLIMIT_NOFILE, &few);
    std::vector<int> taken;
    for (int fd; (fd = dup(0)) >= 0;)
        taken.push_back(fd);
    for (int i = 0; i < left; ++i)
        close(taken[taken.size() - 1 - static_cast<size_t>(i)]);
    const int r = poll_for_2_s(1);
    std::_Exit(r * 10 + (HTTP_failure_error(1) == EMFILE && HTTP_failure_on_this_machine(1) ? 1 : 0));
}

} // namespace

TEST(HttpDeathTest, NoDescriptorLeftForTheSocketOrTheIoThreadFailsTheTransferAtOnce) {
    // With one left, the connection's socket takes it and the I/O thread's wake-up finds none; with none,
    // socket() fails. The frame clock stands still, so only a failure at once ends the polling with 2.
    for (int left : {1, 0}) {
        SCOPED_TRACE(left);
        EXPECT_EXIT(fetch_with_descriptors_left(left), testing::ExitedWithCode(21), "");
    }
}

TEST(HttpTest, Base64) {
    struct {
        const char* in;
        const char* out;
    } cases[] = {{"", ""},
                 {"f", "Zg=="},
                 {"fo", "Zm8="},
                 {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="},
                 {"foobar", "Zm9vYmFy"},
                 {"\xff\xfe\x00", "//4="}};
    for (const auto& c : cases)
        EXPECT_EQ(HTTP_base64(c.in), c.out) << c.in;
    EXPECT_EQ(HTTP_base64(std::string("\xff\xfe\x00", 3)), "//4A");
}
