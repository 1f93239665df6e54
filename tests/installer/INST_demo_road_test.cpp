// The web demo road's pages that draw no widgets, run headless: Check Servers in each fetch state, and the
// install page with nothing to download.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

#include "base/APP_clock.h"
#include "base/LANG_localise.h"
#include "base/http.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_download.h"
#include "installer/INST_fetch_limits.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_startup.h"
#include "installer/INST_update_road.h"
#include "installer/INST_wizard.h"
#include "installer_fixtures.h"
#include "platform/APP_time.h"
#include "support/engine_harness.h"
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

std::string directory_answer(const std::string& text, const std::string& name = "directory.txt");

// A whole answer after which the connection closes: the next request, however soon, takes a new one.
std::string http_ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

// The status line of a failed server-list or directory fetch through a proxy says what went wrong, in the
// user's language, and whose fault it was: the proxy when it could not be reached, refused the request
// itself, closed without a byte of an answer or sent bytes that formed no status line, else the server asked,
// whose answer the proxy passed on as it came; no server at all (nor another one asked) when this machine
// could not keep what came or had no descriptor left.
TEST_F(DemoRoadTest, TheFetchFailureLineSaysWhatWentWrong) {
    // Past the file-size limit of their rows, which the log stays within: a list, an archive's text.
    const std::string big_list =
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(100000, 'x');
    const std::string directory = directory_answer(std::string(200000, 'd'));
    const std::string no_answer = "(the connection closes)";
    const std::string bad_gateway =
        "HTTP/1.1 502 Bad Gateway\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
    const std::string corrupt = http_ok("PK\x03\x04 no zip archive");
    const struct {
        std::string answer; // empty: nothing listens
        std::string english;
        std::string german = ""; // empty: the row runs in English only
        bool directory = false;  // the directory's fetch from mirror1.test (of two), else the list's
        rlim_t file_limit = 0;   // the files of this process cannot grow past this many bytes
        bool no_descriptor = false;
        bool again = false;              // every try gets the answer: 4 tries in 10 s of the clock
        bool stall = false;              // nothing follows the answer while the frame clock runs on
        bool drip = false;               // the body comes a byte at a time, the frame clock 2 s on at each
        std::string proxy = "127.0.0.1"; // the proxy host field as typed ("%p": the server's port)
        int port_field = -1;             // the proxy port field's number (-1: the server's)
        std::vector<std::string> earlier = {}; // the answers of the tries before
        int alerts = -1; // the alerts that an archive cannot be expanded (-1: not counted)
    } rows[] = {
        {"", "I could not reach 127.0.0.1: Connection refused. I will try again in 1 second.",
         "Ich konnte 127.0.0.1 nicht erreichen: Verbindung abgelehnt. Ich versuche es in 1 Sekunde erneut."},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n",
         "www.aerivon.example did not send the file: 404 Not Found. I will try again in 1 second.",
         "www.aerivon.example hat die Datei nicht gesendet: 404 Not Found. Ich versuche es in 1 Sekunde "
         "erneut."},
        {"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n",
         "mirror1.test did not send the file: 502 Bad Gateway. I will try again in 1 second.",
         "mirror1.test hat die Datei nicht gesendet: 502 Bad Gateway. Ich versuche es in 1 Sekunde erneut.",
         true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", // an empty list
         "I could not read the server list from www.aerivon.example: The list arrived empty. I will try "
         "again "
         "in 1 second.",
         "Ich konnte die Serverliste von www.aerivon.example nicht lesen: Die Liste kam leer an. Ich "
         "versuche es "
         "in 1 Sekunde erneut."},
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nI\n1000 version\n", // cut short
         "www.aerivon.example did not send the file: The server's answer ended early. I will try again in 1 "
         "second.",
         "www.aerivon.example hat die Datei nicht gesendet: Die Antwort des Servers brach vorzeitig ab. Ich "
         "versuche es in 1 Sekunde erneut."},
        {big_list,
         "I could not save the server list in " + dir.path() +
             ": File too large. I will try again in 1 second.",
         "Ich konnte die Serverliste nicht in " + dir.path() +
             " speichern: Datei zu gro\xC3\x9F. Ich versuche es in 1 "
             "Sekunde erneut.",
         false, 65536},
        {"",
         "I could not save the server list in " + dir.path() +
             ": Too many open files. I will try again in 1 second.",
         "Ich konnte die Serverliste nicht in " + dir.path() +
             " speichern: Zu viele offene Dateien. Ich versuche es in 1 "
             "Sekunde erneut.",
         false, 0, true},
        {directory, // the archive is saved, its text is not
         "I could not save the file list in " + dir.path() +
             ": File too large. I will try again in 1 second.",
         "Ich konnte die Dateiliste nicht in " + dir.path() +
             " speichern: Datei zu gro\xC3\x9F. Ich versuche es in 1 Sekunde "
             "erneut.",
         true, 65536},
        {.answer = http_ok("I\n1000 version\nSERVERS\nFINAL Aerivon10Demo\n"), // names no server
         .english = "I could not read the server list from www.aerivon.example: The list names no server. I "
                    "will try again in 1 second.",
         .german = "Ich konnte die Serverliste von www.aerivon.example nicht lesen: Die Liste nennt keinen "
                   "Server. Ich versuche es in 1 Sekunde erneut.",
         .again = true},
        {.answer = directory_answer("x", "missing/directory.txt"), // a damaged archive is the server's
         .english = "I could not read the file list from mirror1.test: No such file or directory. I will try "
                    "again in 1 second.",
         .directory = true},
        {.answer = corrupt, // told once since the last archive that expanded, whatever the transfers did
         .english = "I could not read the file list from mirror1.test: We were unable to open a zip file. It "
                    "may be missing or damaged. I will try again in 4 seconds.",
         .german = "Ich konnte die Dateiliste von mirror1.test nicht lesen: Eine ZIP-Datei konnte nicht "
                   "ge\xC3\xB6"
                   "ffnet werden. Sie fehlt vielleicht oder ist besch\xC3\xA4"
                   "digt. Ich versuche "
                   "es in 4 Sekunden erneut.",
         .directory = true,
         .earlier = {directory_answer("I\n1004 version\nINSTALLER\n"), bad_gateway, corrupt},
         .alerts = 1},
        {.answer = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", // then the server falls silent
         .english = "mirror1.test did not send the file: The server stopped sending. I will try again in 1 "
                    "second.",
         .german = "mirror1.test hat die Datei nicht gesendet: Der Server sendet nicht mehr. Ich versuche es "
                   "in 1 Sekunde erneut.",
         .directory = true,
         .stall = true},
        {.answer = "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n",
         .english =
             "127.0.0.1 did not send the file: 407 Proxy Authentication Required. I will try again in 1 "
             "second."},
        {.answer = no_answer, // no answer began, so none ended early
         .english =
             "127.0.0.1 did not send the file: The connection was closed without an answer. I will try "
             "again in 1 second.",
         .german =
             "127.0.0.1 hat die Datei nicht gesendet: Die Verbindung wurde ohne Antwort geschlossen. Ich "
             "versuche es in 1 Sekunde erneut."},
        // Bytes of another protocol from the proxy's port formed no status line: no HTTP answer came, from
        // the proxy nor from the server behind it.
        {.answer = std::string("\x15\x03\x01\x00\x02\x02\x46", 7), // a TLS alert (protocol version)
         .english = "127.0.0.1 did not send the file: The answer was not HTTP. I will try again in 1 second.",
         .german = "127.0.0.1 hat die Datei nicht gesendet: Die Antwort war kein HTTP. Ich versuche es in 1 "
                   "Sekunde erneut."},
        {.answer = "SSH-2.0-OpenSSH_9.2\r\n",
         .english = "127.0.0.1 did not send the file: The answer was not HTTP. I will try again in 1 second.",
         .directory = true},
        // The answers refused by design came: the server asked sent them.
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         "www.aerivon.example did not send the file: The server sent the file in a transfer coding (such as "
         "chunked) that the installer does not accept. I will try again in 1 second."},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello",
         "www.aerivon.example did not send the file: The server gave two different lengths for the file, or "
         "one the installer cannot read. I will try again in 1 second."},
        {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(70000, 'l') + "\r\nContent-Length: 0\r\n\r\n",
         "www.aerivon.example did not send the file: The server's headers are longer than the installer "
         "accepts (64 KB). I will try again in 1 second."},
        {.answer = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", // then a byte every 2 s
         .english = "mirror1.test did not send the file: The server sent too slowly. I will try again in 1 "
                    "second.",
         .german =
             "mirror1.test hat die Datei nicht gesendet: Der Server hat zu langsam gesendet. Ich versuche "
             "es in 1 Sekunde erneut.",
         .directory = true,
         .drip = true},
        // The proxy fields as people type them: the proxy is named as read; what cannot be read is named as
        // typed, and nothing is asked.
        {.answer = "",
         .english = "I could not reach 127.0.0.1: Connection refused. I will try again in 1 second.",
         .proxy = " http://127.0.0.1 "},
        {.answer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n",
         .english = "www.aerivon.example did not send the file: 404 Not Found. I will try again in 1 second.",
         .proxy = "HTTP://127.0.0.1:%p/",
         .port_field = 0},
        {.answer = "",
         .english = "The proxy setting ftp://127.0.0.1 is not valid. I will try again in 1 second.",
         .german = "Die Proxy-Einstellung ftp://127.0.0.1 ist ung\xC3\xBCltig. Ich versuche es in 1 Sekunde "
                   "erneut.",
         .proxy = "ftp://127.0.0.1",
         .port_field = 0},
        {.answer = "",
         .english =
             "The proxy setting 127.0.0.1:3128 with port 8080 is not valid. I will try again in 1 second.",
         .proxy = "127.0.0.1:3128",
         .port_field = 8080},
        {.answer = "",
         .english = "The proxy setting 127.0.0.1/proxy with port 3128 is not valid. I will try again in 1 "
                    "second.",
         .directory = true,
         .proxy = "127.0.0.1/proxy",
         .port_field = 3128},
    };
    fake_clock_seconds = 100.0f;
    INST_set_download_clock(fake_clock);
    test::ScopedOptions automated{"--qa_script"}; // alerts go to the log only
    LOG_init();
    for (const auto& row : rows)
        for (int language : {0, 2}) {
            if (language && row.german.empty())
                continue;
            SCOPED_TRACE(row.english);
            if (language)
                LANG_load(language);
            HTTP_clear();
            INST_fetch_succeeded(INST_server_list_fetch);
            INST_fetch_succeeded(INST_directory_fetch);
            INST_servers = server_list();
            if (row.directory) {
                one_server();
                INST_servers.servers.push_back({"mirror2.test", "/pub/Aerivon10Demo/", "mirror2.test/pub/"});
                UTL_install_directory_clear(INST_directory);
                INST_directory.version = -1;
                INST_directory.version_folder = "Aerivon10Demo";
            }
            INST_chosen_server = 0;
            test::LoopbackServer server;
            const auto answers = [&](const std::string& answer) {
                server.accept().read_request().send(answer == no_answer ? "" : answer).close();
            };
            for (const std::string& answer : row.earlier)
                answers(answer);
            if (row.stall)
                server.accept().read_request().send(row.answer).pause(20000);
            if (row.drip)
                server.accept().read_request().send(row.answer).send_pieces(std::string(5000, 'x'), 1, 2);
            for (int i = 0; i < (row.again ? 6 : 1) && !row.stall && !row.drip && !row.answer.empty(); ++i)
                answers(row.answer);
            server.start();
            HTTP_manager().proxy_host = row.proxy;
            if (const size_t p = row.proxy.find("%p"); p != std::string::npos)
                HTTP_manager().proxy_host.replace(p, 2, std::to_string(server.port()));
            HTTP_manager().port = row.port_field >= 0   ? row.port_field
                                  : !row.answer.empty() ? server.port()
                                                        : 1; // nothing listens on port 1
            float dripped = 0.0f;
            const fetch_kind kind = row.directory ? INST_directory_fetch : INST_server_list_fetch;
            const size_t log_start = log.text().size();
            double http_clock = 0.0; // the HTTP client's, stepped 20 s a frame once a stalled head is in
            APP_inject_microseconds(0);
            APP_frame_clock(APP_clock);
            page_desc d;
            for (size_t i = 0; i < row.earlier.size(); ++i) { // each fails, or reads a directory
                const float wait = INST_fetch_wait(kind);
                ASSERT_TRUE(test::Engine::poll([&] {
                    INST_page_check_servers(0, &(d = page_desc()));
                    return INST_fetch_wait(kind) > wait || INST_directory.version == 0;
                })) << log.text();
                INST_directory.version = -1;
                fake_clock_seconds += INST_fetch_wait(kind);
            }
            {
                test::ScopedFileSizeLimit limit(row.file_limit);
                test::ScopedNoDescriptors none(row.no_descriptor);
                const float wait = INST_fetch_wait(kind);
                ASSERT_TRUE(test::Engine::poll([&] {
                    INST_page_check_servers(0, &(d = page_desc()));
                    if (row.stall && server.wait_steps(3, 0) &&
                        HTTP_key_percent(row.directory ? 1 : 0) == 0.0f) {
                        APP_inject_microseconds(static_cast<int64_t>((http_clock += 20.0) * 1e6));
                        APP_frame_clock(APP_clock);
                    }
                    if (row.drip && HTTP_key_percent(row.directory ? 1 : 0) > dripped) {
                        dripped = HTTP_key_percent(row.directory ? 1 : 0);
                        APP_inject_microseconds(static_cast<int64_t>((http_clock += 2.0) * 1e6));
                        APP_frame_clock(APP_clock);
                    }
                    return INST_fetch_wait(kind) > wait;
                })) << log.text();
            }
            INST_page_check_servers(0, &(d = page_desc()));
            EXPECT_EQ(d.status, language ? row.german : row.english);
            // This machine's failure passes no server over, nor does a proxy setting that is not valid.
            if (row.file_limit || row.no_descriptor || row.english.starts_with("The proxy setting")) {
                EXPECT_EQ(INST_chosen_server, 0) << log.text();
            } else if (row.directory && row.earlier.empty()) { // any other failure passes it to mirror2
                EXPECT_EQ(INST_chosen_server, 1) << log.text();
            }
            if (row.alerts >= 0) {
                std::string alert;
                LANG_translate(alert, "The installer cannot extract a file.");
                const std::string text = log.text().substr(log_start);
                EXPECT_EQ(test::count_of(text, "| " + alert + "\n"), row.alerts) << text;
            }
            if (row.again) { // 10 s of the clock, which stands while a transfer runs
                const float end = fake_clock_seconds + 10.0f;
                ASSERT_TRUE(test::Engine::poll([&] {
                    INST_page_check_servers(0, &(d = page_desc()));
                    if (HTTP_transfers_running() == 0)
                        fake_clock_seconds += 0.05f;
                    return fake_clock_seconds >= end;
                })) << log.text();
                EXPECT_EQ(server.connections(), 4) << log.text(); // at 0, 1, 3 and 7 s
            }
            fake_clock_seconds = 100.0f;
            APP_clear_injected_microseconds();
            APP_clock = frame_clock{};
            LANG_reset();
        }
    // A file that is no list this installer reads (a portal's page, a newer list) brings an alert that ends
    // the run: its line names the server asked, not the proxy, and promises no other try.
    INST_fetch_succeeded(INST_server_list_fetch);
    INST_fetch_failed(INST_server_list_fetch, "www.aerivon.example", "", INST_fetch_too_new);
    EXPECT_EQ(INST_fetch_failure_line(INST_server_list_fetch),
              "The file from www.aerivon.example is not a server list this installer can read.");
    INST_fetch_succeeded(INST_server_list_fetch);
    INST_fetch_succeeded(INST_directory_fetch);
}

// The HTTP answer carrying a directory archive whose one entry, `name` (without its folders' entries),
// holds `text`.
std::string directory_answer(const std::string& text, const std::string& name) {
    test::TempDir d;
    std::filesystem::create_directories(std::filesystem::path(d.file(name)).parent_path());
    test::write_file(d.file(name), text);
    EXPECT_EQ(test::shell("cd '" + d.path() + "' && zip -q -D a.zip '" + name + "'"), 0);
    return http_ok(test::read_file(d.file("a.zip")));
}

// The death-test child of the test below: Check Servers as the program runs it, with no TMPDIR to use and
// a /tmp that takes no work folder (or no lock in it) after another user set up `plant` there. Names the
// line shown and the servers read on stderr; exits 6 when what they set up changed.
int check_servers_where_tmp_takes_no_folder(test::tmp_plant plant) {
    const char* tmpdir = std::getenv("TMPDIR");
    setenv("TMPDIR", (std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/missing").c_str(), 1);
    if (!test::take_tmp_after(plant)) {
        std::fprintf(stderr, "<<unavailable>>");
        return 0;
    }
    FILE_get_special_folder(4, INST_work_folder); // as the program's start does
    INST_hold_work_folder();
    test::LoopbackServer proxy;
    proxy.accept()
        .read_request()
        .send(http_ok("I\n1000 version\nSERVERS\nFINAL Aerivon10Demo\nSERVER "
                      "mirror1.test\n/pub/\nmirror1.test/pub/\nENDOFLIST\n"))
        .close()
        .start();
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().port = proxy.port();
    INST_servers = server_list();
    std::string line;
    test::Engine::poll([&] {
        page_desc d;
        INST_page_check_servers(0, &d);
        return !(line = INST_fetch_failure_line(INST_server_list_fetch)).empty() ||
               !INST_servers.servers.empty();
    });
    std::fprintf(stderr, "<<%s|%zu servers>>", line.c_str(), INST_servers.servers.size());
    HTTP_clear();
    return test::tmp_plant_untouched(plant) ? 0 : 6;
}

// The work files are never written into a shared folder: where no private work folder can be made, or its
// lock cannot be taken, no list is saved or read, the line names the folder tried in /tmp and why, and
// nothing another user set up in /tmp (a link to the list's name, the fallback folder) is written through.
TEST_F(DemoRoadTest, AListThatCannotBeSavedInAPrivateFolderNamesTheFolderTried) {
    fake_clock_seconds = 100.0f; // the clock stands: the line is the first wait's
    INST_set_download_clock(fake_clock);
    const std::string full = "No space left on device. Perhaps your hard drive is full";
    const std::pair<test::tmp_plant, std::string> rows[] = {
        {test::tmp_plant::list_link, full},
        {test::tmp_plant::fallback_folder, full},
        {test::tmp_plant::room_for_a_folder, full}, // the folder is made, but not its lock
        {test::tmp_plant::read_only, "The destination file system is read-only"},
    };
    for (const auto& [plant, why] : rows) {
        SCOPED_TRACE(why + " for row " + std::to_string(int(plant)));
        std::string err;
        EXPECT_EXIT(std::_Exit(check_servers_where_tmp_takes_no_folder(plant)), testing::ExitedWithCode(0),
                    test::capture(err));
        if (err.find("<<unavailable>>") != std::string::npos)
            GTEST_SKIP() << "no mount namespace for it here";
        EXPECT_NE(err.find("<<I could not save the server list in /tmp: " + why +
                           ". I will try again in 1 second.|0 servers>>"),
                  std::string::npos)
            << err;
    }
}

// A directory with a good header and no FILE record is a failed directory on both web roads: the page says
// so, nothing is offered, and it is fetched again only when the page is entered again.
TEST_F(DemoRoadTest, ADirectoryThatListsNothingIsAFailedDirectory) {
    const struct {
        const char* name;
        page_fn page;
        std::string body;
    } rows[] = {
        {"header only", INST_page_check_servers, "I\n1004 version\nINSTALLER\n"},
        {"no FILE record", INST_page_search_updates,
         "I\n1004 version\nINSTALLER\nDIR Resources/\nDISK 1\nPRODUCT_KEY 1\nFILE\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HTTP_clear();
        const std::string answer = directory_answer(row.body);
        test::LoopbackServer server;
        server.accept()
            .read_request()
            .send(answer)
            .close()
            .accept()
            .read_request()
            .send(answer)
            .close()
            .start();
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().port = server.port();
        one_server();
        UTL_install_directory_clear(INST_directory);
        INST_directory.version = -1;
        INST_directory.version_folder = "Aerivon10Demo";
        page_desc d;
        for (int frame = 0;
             frame < 2000 && d.body != "There was a problem reading information from the servers."; ++frame) {
            d = page_desc();
            row.page(0, &d);
            usleep(1000);
        }
        EXPECT_EQ(d.body, "There was a problem reading information from the servers.");
        EXPECT_EQ(d.next, nullptr);
        EXPECT_EQ(INST_directory.version, 0);
        EXPECT_TRUE(INST_directory.packages.empty());
        EXPECT_NE(log.text().find("lists no file; the servers' information is not used."), std::string::npos);
        // Later frames do not ask again; entering the page again does.
        for (int frame = 0; frame < 50; ++frame)
            row.page(0, &(d = page_desc()));
        EXPECT_EQ(server.connections(), 1);
        row.page(1, &(d = page_desc()));
        if (row.page == INST_page_search_updates) {
            // Entering the search page starts the whole fetch afresh, from the server list.
            EXPECT_EQ(INST_directory.version, -1);
            EXPECT_TRUE(INST_servers.servers.empty());
            continue;
        }
        EXPECT_TRUE(test::Engine::poll([&] {
            row.page(0, &(d = page_desc()));
            return server.connections() == 2 && INST_directory.version == 0;
        })) << log.text();
    }
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
    // No byte has come and the only server waits: no time left or rate, but the wait and the server's line.
    EXPECT_EQ(d.body, "I am waiting for the servers: each is tried again when its wait is over.\n\n"
                      "mirror1.test: Server is not responding normally..  Will retry in 30 seconds.");

    fake_clock_seconds = 200.0f;
    int result = 0;
    for (int frame = 0; frame < 10 && !result; ++frame)
        result = INST_page_download_demo(0, &(d = page_desc()));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(d.next, INST_page_finished_web_demo);
    EXPECT_EQ(INST_download_started, 0);
}

// 3 KB of a 100 KB package in 10 s: the bar counts the received share, and the slow rate reads 1, not 0.
TEST_F(DemoRoadTest, ThePackageBeingFetchedMovesTheBarAndASlowRateNeverReadsZero) {
    file_record big;
    big.sig_want = "abc";
    big.path = "big.dat";
    big.plan_download = 1;
    big.download_kb = big.expanded_kb = 100.0f;
    INST_directory.packages = {{big}};
    INST_total_expanded_kb = INST_total_download_kb = 100.0f;
    fake_clock_seconds = 100.0f;
    INST_set_download_clock(fake_clock);
    INST_reset_downloads();
    INST_next_work_item(0, 1);
    fake_clock_seconds = 110.0f;
    INST_dispenser.slots[0].size_in_progress = INST_dispenser.size_in_progress = 3.0f;
    EXPECT_FLOAT_EQ(INST_install_kb_in(), 3.0f);
    APP_clock.frame_time = 0.05f;
    page_desc d;
    float shown = 0.02f;
    INST_describe_install(&d, &shown, false);
    EXPECT_GT(shown, 0.02f);
    EXPECT_EQ(d.body, "About 5 minutes left in the install, downloading at 1 kilobyte/second with 1 download "
                      "stream.\n\nDownloading at 1 kilobyte/second from mirror1.test.");

    // Benched for another package's fault (its expansion taken back): the transfer it holds goes on, and
    // so does its line; once it holds none, the bench shows.
    download_slot& slot = INST_dispenser.slots[0];
    slot.retry_time = 140.0f;
    slot.status_text = "Server is not responding normally.";
    INST_describe_install(&d, &shown, false);
    EXPECT_NE(d.body.find("\n\nDownloading at 1 kilobyte/second from mirror1.test."), std::string::npos)
        << d.body;
    // Then every server waits: the rate the bytes so far give would be the 1 KB/s floor, and the time left
    // a guess; the page says that it waits.
    slot.state = 1;
    INST_describe_install(&d, &shown, false);
    EXPECT_EQ(d.body, "I am waiting for the servers: each is tried again when its wait is over.\n\n"
                      "mirror1.test: Server is not responding normally..  Will retry in 30 seconds.");

    // The wait is over with 3 KB in from an earlier package: while no byte of the package tried again is
    // in, the rate would be the floor and the time left hours; once one is, the average is shown.
    fake_clock_seconds = 140.0f;
    INST_dispenser.size_downloaded = slot.size_finished = 3.0f;
    const std::string waiting =
        "I am waiting for the servers: each is tried again when its wait is over.\n\n";
    const struct {
        const char* what;
        int state;
        float received;
        std::string body;
    } rows[] = {
        {"a retry that is due", 1, 0.0f, waiting + "Downloading at 0 kilobytes/second from mirror1.test."},
        {"restarted with no byte yet", 0, 0.0f,
         waiting + "Downloading at 0 kilobytes/second from mirror1.test."},
        {"its first byte", 0, 0.001f,
         "About 21 minutes left in the install, downloading at 1 kilobyte/second with 1 download stream.\n\n"
         "Downloading at 1 kilobyte/second from mirror1.test."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        slot.state = row.state;
        INST_dispenser.size_in_progress = slot.size_in_progress = row.received;
        INST_describe_install(&d, &shown, false);
        EXPECT_EQ(d.body, row.body);
    }

    // Before a package's head arrives its length is unknown: nothing of it is done yet, not "-1%".
    INST_last_action = 1;
    INST_last_fraction = -0.01f;
    INST_describe_install(&d, &shown, false);
    EXPECT_NE(d.status.find(", currently 0% done with that file."), std::string::npos) << d.status;
}

TEST(DiskSpaceTest, FreeSpaceEqualToTheTotalIsEnough) {
    EXPECT_TRUE(INST_enough_disk_space(1000.0f, 1000999));
    EXPECT_FALSE(INST_enough_disk_space(1001.0f, 1000999));
}

} // namespace
