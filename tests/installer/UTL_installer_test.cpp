// The server list and directory file readers, the random server pick and the tile names, on real files
// in a fresh temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "installer/UTL_installer.h"
#include "installer_fixtures.h"

namespace {

using test::count_of;
using test::LogCapture;
using test::ScopedOptions;

// ---------------------------------------------------------------- server list

const std::string list_header = "I\n1000 version\nSERVERS\n";

struct ServerListTest : test::InstallerTest {
    test::TempDir dir;
    int read(const std::string& bytes, server_list& list) {
        test::write_file(dir.file("server_list_10.txt"), bytes);
        return UTL_read_server_list(dir.file("server_list_10.txt"), list);
    }
    static std::vector<std::string> hosts(const server_list& list) {
        std::vector<std::string> out;
        for (const server_record& s : list.servers)
            out.push_back(s.host + s.base_path);
        return out;
    }
};

TEST_F(ServerListTest, HeadersThatAreNotAcceptedGiveFiveAndAnEmptyList) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"SERVER in place of SERVERS", "I\n1000 version\nSERVER\nSERVER h\n/p/\nh/p/\n"},
        {"version 1001", "I\n1001 version\nSERVERS\nSERVER h\n/p/\nh/p/\n"},
        {"first byte X", "X\n1000 version\nSERVERS\nSERVER h\n/p/\nh/p/\n"},
        {"empty type line", "A\n1000 version\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_list list;
        list.version = 1000;
        list.servers.push_back({"old", "/old/", "old/old/"});
        EXPECT_EQ(read(c.bytes, list), 5);
        EXPECT_EQ(list.version, 0);
        EXPECT_TRUE(list.servers.empty());
    }
    server_list list;
    EXPECT_EQ(UTL_read_server_list(dir.file("missing.txt"), list), 3);
    EXPECT_EQ(list.version, 0);
}

TEST_F(ServerListTest, ByteOrderMarkAndEveryLineEndReadAlike) {
    const std::string body = "BETA\tAerivon10DemoBeta\nFINAL Aerivon10Demo\nSERVER mirror1.test\n/pub/\n"
                             "mirror1.test/pub/\nSERVER mirror2.test\n/pub/\nmirror2.test/pub/\nENDOFLIST\n";
    auto with_ends = [](std::string text, const std::string& end) {
        std::string out;
        for (char c : text)
            out += c == '\n' ? end : std::string(1, c);
        return out;
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"LF", list_header + body},
        {"CR", with_ends(list_header + body, "\r")},
        {"CRLF", with_ends(list_header + body, "\r\n")},
        {"BOM", "\xEF\xBB\xBF" + list_header + body},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_list list;
        ASSERT_EQ(read(c.bytes, list), 0);
        EXPECT_EQ(list.version, 1000);
        EXPECT_EQ(list.beta_name, "Aerivon10DemoBeta");
        EXPECT_EQ(list.final_name, "Aerivon10Demo");
        ASSERT_EQ(list.servers.size(), 2u);
        EXPECT_EQ(list.servers[1].host, "mirror2.test");
        EXPECT_EQ(list.servers[1].base_path, "/pub/");
        EXPECT_EQ(list.servers[1].address, "mirror2.test/pub/");
    }
}

TEST_F(ServerListTest, RecordsFollowTheirKeywordRules) {
    server_list list;
    list.beta_name = "kept";
    ASSERT_EQ(read(list_header + "BETA\n"                               // BETA alone: skipped
                                 "  FINAL  Aerivon10Demo  \n"           // value keeps its trailing blanks
                                 "BETA_VERSION 1012 beta\n"             // the rest of the line is ignored
                                 "FINAL_VERSION\t-7\n"                  //
                                 "BETA_INSTALLER_WIN setup.exe  a b \n" // a word, then the rest
                                 "FINAL_INSTALLER_WIN\n"                // a word and rest both empty
                                 "SERVERS not.a.server\n/x/\nx/x/\n"    // SERVERS is no SERVER record
                                 "BETAX something\n"                    // BETA must be followed by a blank
                                 "SERVER mirror1.test\n\n\n  /pub/\nmirror1.test/pub/\n\n"
                                 "SERVER\tmirror2.test\n/pub/\nmirror2.test/pub/\n"
                                 "ENDOFLIST\n"
                                 "SERVER late.test\n/pub/\nlate.test/pub/\nBETA late\n",
                   list),
              0);
    EXPECT_EQ(list.beta_name, "kept");
    EXPECT_EQ(list.final_name, "Aerivon10Demo  ");
    EXPECT_EQ(list.beta_version, 1012);
    EXPECT_EQ(list.final_version, -7);
    EXPECT_EQ(list.beta_installer[0], "setup.exe");
    EXPECT_EQ(list.beta_installer[1], "a b ");
    EXPECT_EQ(list.final_installer[0], "");
    EXPECT_EQ(list.final_installer[1], "");
    EXPECT_EQ(hosts(list), (std::vector<std::string>{"mirror1.test/pub/", "mirror2.test/pub/"}));
    EXPECT_EQ(list.servers[0].address, "mirror1.test/pub/");
}

TEST_F(ServerListTest, ARecordMissingFromTheFileKeepsItsValueFromTheReadBefore) {
    server_list list;
    ASSERT_EQ(read(list_header + "BETA b1\nFINAL f1\nBETA_VERSION 5\nFINAL_INSTALLER_WIN w r\n"
                                 "SERVER one.test\n/pub/\none.test/pub/\n",
                   list),
              0);
    ASSERT_EQ(read(list_header + "FINAL f2\nSERVER two.test\n/pub/\ntwo.test/pub/", list), 0);
    EXPECT_EQ(list.beta_name, "b1");
    EXPECT_EQ(list.final_name, "f2");
    EXPECT_EQ(list.beta_version, 5);
    EXPECT_EQ(list.final_installer[0], "w");
    EXPECT_EQ(hosts(list), (std::vector<std::string>{"two.test/pub/"}));
}

TEST_F(ServerListTest, OptionsReplaceExtendAndCloneTheServers) {
    const std::string file = list_header + "FINAL f\nSERVER file.test\n/pub/\nfile.test/pub/\n";
    const struct {
        const char* options;
        std::vector<std::string> servers;
    } cases[] = {
        {"", {"file.test/pub/"}},
        {"--server=a/p/ --add_server=b/p/ --server_clone=2", {"a/p/", "b/p/", "a/p/", "a/p/"}},
        {"--add_server=b/q/r/", {"file.test/pub/", "b/q/r/"}},
        {"--server_clone=0", {"file.test/pub/"}},
        {"--server_clone=-1", {"file.test/pub/"}},
        {"--server_clone=x", {"file.test/pub/"}},
        {"--server_clone=1", {"file.test/pub/", "file.test/pub/"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        ScopedOptions options(c.options);
        server_list list;
        ASSERT_EQ(read(file, list), 0);
        EXPECT_EQ(hosts(list), c.servers);
    }
    ScopedOptions options("--server=a/p/ --install_name=Mine");
    server_list list;
    ASSERT_EQ(read(file, list), 0);
    EXPECT_EQ(list.servers[0].address, "a/p/");
    EXPECT_EQ(list.final_name, "Mine");
    EXPECT_EQ(list.beta_name, "Mine");
    // Options act only on a list that was read.
    EXPECT_EQ(UTL_read_server_list(dir.file("missing.txt"), list), 3);
    EXPECT_TRUE(list.servers.empty());
}

TEST_F(ServerListTest, ServersWithoutAHostOrAnAbsoluteBasePathAreSkippedInOrder) {
    LogCapture log;
    ScopedOptions options("--add_server=nohost --server=/onlypath/");
    server_list list;
    ASSERT_EQ(read(list_header + "SERVER good1.test\n/pub/\ngood1.test/pub/\n"
                                 "SERVER \n/pub/\n/pub/\n"                     // empty host
                                 "SERVER bad.test/\n/pub/\nbad.test//pub/\n"   // host ends in '/'
                                 "SERVER bad2.test\npub/\nbad2.test/pub/\n"    // base without '/'
                                 "SERVER good2.test\n/pub/\ngood2.test/pub/\n" //
                                 "SERVER bad3.test\\\n/pub/\nx\n"              // host ends in '\'
                                 "SERVER good3.test\n/pub/\ngood3.test/pub/\n",
                   list),
              0);
    EXPECT_EQ(hosts(list),
              (std::vector<std::string>{"good1.test/pub/", "good2.test/pub/", "good3.test/pub/"}));
    const std::string text = log.text();
    EXPECT_EQ(count_of(text, "Server list: skipped the server"), 5) << text;
    EXPECT_EQ(count_of(text, "Server list: ignored --add_server=\"nohost\""), 1) << text;
}

TEST_F(ServerListTest, TheListIsCappedWithALogLine) {
    LogCapture log;
    {
        ScopedOptions options("--server_clone=99999999999999999999");
        server_list list;
        ASSERT_EQ(read(list_header + "SERVER a.test\n/p/\na.test/p/\n", list), 0);
        EXPECT_EQ(list.servers.size(), static_cast<size_t>(UTL_MAX_SERVERS));
    }
    std::string many = list_header;
    for (int i = 0; i < 70; ++i)
        many += "SERVER s" + std::to_string(i) + ".test\n/p/\nx\n";
    server_list list;
    ASSERT_EQ(read(many, list), 0);
    ASSERT_EQ(list.servers.size(), static_cast<size_t>(UTL_MAX_SERVERS));
    EXPECT_EQ(list.servers.back().host, "s63.test");
    const std::string text = log.text();
    EXPECT_EQ(count_of(text, "Server list: kept the first 64 servers and dropped "), 2) << text;
    EXPECT_EQ(count_of(text, "dropped 6 more."), 1) << text;
}

TEST_F(ServerListTest, ResetEmptiesTheNamesAndServersOnly) {
    server_list list;
    list.version = 1000;
    list.beta_name = "b";
    list.final_name = "f";
    list.final_version = 3;
    list.servers.push_back({"h", "/p/", "h/p/"});
    INST_reset_server_list(list);
    EXPECT_EQ(list.version, 1000);
    EXPECT_EQ(list.final_version, 3);
    EXPECT_TRUE(list.beta_name.empty() && list.final_name.empty() && list.servers.empty());
}

TEST(RandRangeTest, StaysInsideItsBoundsAndReachesEachValue) {
    EXPECT_EQ(UTL_rand_range(7, 7), 7);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int v = UTL_rand_range(-2, 3);
        ASSERT_GE(v, -2);
        ASSERT_LE(v, 3);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 6u);
    const int wide = UTL_rand_range(-2147483647 - 1, 2147483647);
    (void)wide; // the span of the whole int range must not overflow
}

TEST(RandRangeDeathTest, BoundsTheWrongWayRoundEndTheProgram) {
    std::string err;
    EXPECT_EXIT(
        {
            test::child_folder_with_log();
            UTL_rand_range(3, 2);
            std::_Exit(77);
        },
        testing::ExitedWithCode(1), test::capture(err));
    EXPECT_THAT(err, testing::ContainsRegex("int rand range negative!\nlo=3 hi=2\n"));
    const std::string log = test::child_log(err);
    EXPECT_THAT(log, testing::HasSubstr("E/SYS: | int rand range negative!\n"));
    EXPECT_THAT(log, testing::HasSubstr("E/SYS: | (hl_math:712)\n"));
}

// ---------------------------------------------------------------- directory file

std::string directory(int version, const std::string& body) {
    return "I\n" + std::to_string(version) + " version\nINSTALLER\n" + body;
}

struct DirectoryFileTest : test::InstallerTest {
    test::TempDir dir;
    install_directory out;
    int read(const std::string& bytes) {
        test::write_file(dir.file("directory.txt"), bytes);
        return UTL_read_directory_file(dir.file("directory.txt"), out);
    }
    const file_record& only() {
        EXPECT_EQ(out.packages.size(), 1u);
        EXPECT_EQ(out.packages.at(0).size(), 1u);
        return out.packages.at(0).at(0);
    }
};

TEST_F(DirectoryFileTest, FlagWordsSplitIntoOsTileFlagsAndArchiveKind) {
    const struct {
        int word, os, has_tile, flags, kind;
    } cases[] = {
        {0x4A, 2, 1, 0x00, 0x40}, {0xC0, 0, 0, 0x00, 0xC0}, {64, 0, 0, 0x00, 0x40}, {128, 0, 0, 0x00, 0x80},
        {0, 0, 0, 0x00, 0x00},    {66, 2, 0, 0x00, 0x40},   {67, 3, 0, 0x00, 0x40}, {120, 0, 1, 0x30, 0x40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        ASSERT_EQ(
            read(directory(1004, "FILE " + std::to_string(c.word) +
                                     " 9 1 2 3 4 120 340 0123456789abcdef0123456789abcdef Aerivon.exe\n")),
            0);
        const file_record& r = only();
        EXPECT_EQ(r.os, c.os);
        EXPECT_EQ(r.has_tile, c.has_tile);
        EXPECT_EQ(r.flags, c.flags);
        EXPECT_EQ(r.archive_kind, c.kind);
        EXPECT_EQ(r.extra, 9);
        EXPECT_EQ((std::vector<int>{r.x0, r.y0, r.x1, r.y1}), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(r.download_kb, 120.0f);
        EXPECT_EQ(r.expanded_kb, 340.0f);
        EXPECT_EQ(r.sig_want, "0123456789abcdef0123456789abcdef");
        EXPECT_EQ(r.path, "Aerivon.exe");
        EXPECT_EQ(out.version, 1004);
        EXPECT_EQ(r.sig_have, "");
        EXPECT_EQ(r.matches + r.plan_download + r.plan_delete, 0);
    }
}

TEST_F(DirectoryFileTest, Version1000ClampsTheOsAndFindsGlobalScenery) {
    const struct {
        const char* line;
        int os, has_tile, flags, kind, x, y;
        const char* path;
    } cases[] = {
        {"FILE 1 7 0 10 20 sig Resources/a.txt", 3, 0, 0, 0x40, 0, 0, "Resources/a.txt"},
        {"FILE 1 -2 0 10 20 sig Resources/a.txt", 0, 0, 0, 0x40, 0, 0, "Resources/a.txt"},
        {"FILE 1 2 0 10 20 sig Global Scenery/X/Earth nav data/+40-130/+47-123.dsf", 2, 1, 0x30, 0, 5, 13,
         "Global Scenery/X/Earth nav data/+40-130/+47-123.dsf"},
        {"FILE 1 2 0 10 20 sig Global Scenery/X/readme.txt", 2, 0, 0x30, 0, 0, 0,
         "Global Scenery/X/readme.txt"},
        {"FILE 1 1 0 10 20 sig Custom/-global terrain-/+00+000.ter", 1, 1, 0x30, 0, 18, 9,
         "Custom/-global terrain-/+00+000.ter"},
        {"FILE 1 0 0 10 20 sig global scenery/+47-123.dsf", 0, 0, 0, 0x40, 0, 0,
         "global scenery/+47-123.dsf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(read(directory(1000, std::string(c.line) + "\n")), 0);
        const file_record& r = only();
        EXPECT_EQ(r.os, c.os);
        EXPECT_EQ(r.has_tile, c.has_tile);
        EXPECT_EQ(r.flags, c.flags);
        EXPECT_EQ(r.archive_kind, c.kind);
        EXPECT_EQ((std::vector<int>{r.x0, r.y0, r.x1, r.y1}), (std::vector<int>{c.x, c.y, c.x, c.y}));
        EXPECT_EQ(r.download_kb, 10.0f);
        EXPECT_EQ(r.expanded_kb, 20.0f);
        EXPECT_EQ(r.path, c.path);
    }
}

TEST_F(DirectoryFileTest, ConsecutiveRecordsOfOnePathFormOneHistory) {
    ASSERT_EQ(read(directory(1004, "FILE 0 0 0 0 0 0 1 1 s1 A\nFILE 0 0 0 0 0 0 1 1 s2 A\n"
                                   "FILE 0 0 0 0 0 0 1 1 s3 B\nFILE 0 0 0 0 0 0 1 1 s4 A\n")),
              0);
    ASSERT_EQ(out.packages.size(), 3u);
    ASSERT_EQ(out.packages[0].size(), 2u);
    EXPECT_EQ(out.packages[0][0].sig_want, "s1");
    EXPECT_EQ(out.packages[0].back().sig_want, "s2");
    EXPECT_EQ(out.packages[1].back().path, "B");
    EXPECT_EQ(out.packages[2].back().sig_want, "s4");
}

TEST_F(DirectoryFileTest, DiskDirAndProductKeyApplyToWhatFollows) {
    out.dvd_root = "D:\\";
    out.version_folder = "v10";
    ASSERT_EQ(read(directory(1004, "FILE 0 0 0 0 0 0 1 1 s a.txt\n"
                                   "DISK 2 and more\n"
                                   "DIR Resources/  \n"
                                   "FILE 0 0 0 0 0 0 1 1 s b.txt  \n"
                                   "  PRODUCT_KEY 2\n"
                                   "UNKNOWN 1 2 3\n"
                                   "DIR Output/\n"
                                   "FILE\t0 0 0 0 0 0 1 1 s sub dir/c.txt\n")),
              0);
    ASSERT_EQ(out.packages.size(), 3u);
    EXPECT_EQ(out.packages[0][0].dvd, -1);
    EXPECT_EQ(out.packages[0][0].path, "a.txt");
    EXPECT_EQ(out.packages[1][0].dvd, 2);
    EXPECT_EQ(out.packages[1][0].path, "Resources/  b.txt  ");
    EXPECT_EQ(out.packages[2][0].path, "Output/sub dir/c.txt");
    EXPECT_EQ(out.product_kind, 2);
    EXPECT_EQ(out.dvd_root, "D:\\"); // the reader leaves the DVD fields alone
    EXPECT_EQ(out.version_folder, "v10");
}

TEST_F(DirectoryFileTest, RefusedOrMissingFilesLeaveTheListEmpty) {
    ASSERT_EQ(read(directory(1004, "FILE 0 0 0 0 0 0 1 1 s a.txt\n")), 0);
    EXPECT_EQ(read(directory(1002, "FILE 0 0 0 0 0 0 1 1 s a.txt\n")), 5);
    EXPECT_EQ(out.version, 0);
    EXPECT_TRUE(out.packages.empty());
    EXPECT_EQ(read("I\n1004 version\nINSTALLERS\n"), 5);
    EXPECT_EQ(UTL_read_directory_file(dir.file("none.txt"), out), 3);
    EXPECT_EQ(out.version, 0);

    out.version_folder = "v";
    out.dvd_lines = {"LANG fr"};
    out.product_kind = 2;
    UTL_install_directory_clear(out);
    EXPECT_TRUE(out.version_folder.empty() && out.dvd_root.empty() && out.dvd_lines.empty());
    EXPECT_EQ(out.product_kind, 0);
}

TEST_F(DirectoryFileTest, RecordsWhosePathLeavesTheInstallFolderAreDroppedAndLogged) {
    const char* hostile[] = {"../../.bashrc", "a/../../x", "/etc/x", "C:/x", "c:x",  "a\\b",
                             "..\\x",         "a/./b",     "./x",    "a//b", "a/..", ".."};
    std::string body = "FILE 0 0 0 0 0 0 1 1 s good/first.txt\n";
    for (const char* path : hostile)
        body += "FILE 0 0 0 0 0 0 1 1 s " + std::string(path) + "\n";
    body += "FILE 0 0 0 0 0 0 1 1 s\n";            // no path at all
    body += "DIR ../\nFILE 0 0 0 0 0 0 1 1 s x\n"; // the prefix escapes
    body += "DIR good/\nFILE 0 0 0 0 0 0 1 1 s last.txt\n";
    LogCapture log;
    ASSERT_EQ(read(directory(1004, body)), 0);
    ASSERT_EQ(out.packages.size(), 2u);
    EXPECT_EQ(out.packages[0][0].path, "good/first.txt");
    EXPECT_EQ(out.packages[1][0].path, "good/last.txt");
    const std::string text = log.text();
    EXPECT_EQ(count_of(text, "Directory file: dropped the record of "),
              static_cast<int>(std::size(hostile)) + 2)
        << text;
    for (const char* path : hostile)
        EXPECT_EQ(count_of(text, "record of \"" + std::string(path) + "\""), 1) << path;
}

TEST_F(DirectoryFileTest, RecordsWhosePathHoldsAControlByteAreDropped) {
    std::string body;
    for (const char* path : {"a\x01"
                             "b.txt",
                             "tab\there.txt", "del\x7f.txt", "good.txt"})
        body += "FILE 0 0 0 0 0 0 1 1 s " + std::string(path) + "\n";
    LogCapture log;
    ASSERT_EQ(read(directory(1004, body)), 0);
    EXPECT_EQ(only().path, "good.txt");
    for (const char* shown : {"a\\x01b.txt", "tab\\x09here.txt", "del\\x7F.txt"})
        EXPECT_EQ(count_of(log.text(), "dropped the record of \"" + std::string(shown) + "\""), 1) << shown;
}

TEST_F(DirectoryFileTest, MoreThanTwoMillionRecordsAreRefusedWhole) {
    std::string body = "DIR d/\n";
    body.reserve(static_cast<size_t>(UTL_MAX_DIRECTORY_RECORDS) * 28);
    for (long long i = 0; i <= UTL_MAX_DIRECTORY_RECORDS; ++i) // every kind of line end
        body += i % 3 == 0   ? "FILE 0 0 0 0 0 0 1 1 s a\n"
                : i % 3 == 1 ? " \tFILE 0 0 0 0 0 0 1 1 s a\r"
                             : "FILE 0 0 0 0 0 0 1 1 s a\r\n";
    LogCapture log;
    EXPECT_EQ(read(directory(1004, body)), 5);
    EXPECT_EQ(out.version, 0);
    EXPECT_TRUE(out.packages.empty());
    EXPECT_NE(log.text().find("FILE records; it is not read."), std::string::npos) << log.text();
    // Other lines do not count, even when they begin like one.
    std::string others = "FILE 0 0 0 0 0 0 1 1 s a\n";
    for (long long i = 0; i <= UTL_MAX_DIRECTORY_RECORDS; ++i)
        others += i % 2 ? "FILES 1\n" : "xFILE 1\r";
    EXPECT_EQ(read(directory(1004, others)), 0);
    EXPECT_EQ(out.packages.size(), 1u);
}

#ifndef AERIVON_SANITIZED
// The child of the memory test: reads a directory of 400,000 distinct paths with 48 MB of address space
// to spare, and exits with the reader's result.
[[noreturn]] void child_reads_a_directory_that_does_not_fit(const std::string& path) {
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (48u << 20);
    rlimit limit{room, room};
    setrlimit(RLIMIT_AS, &limit);
    install_directory d;
    const int result = UTL_read_directory_file(path, d);
    std::_Exit(result == 5 && d.packages.empty() && d.version == 0 ? 0 : 10 + result);
}
#endif

TEST_F(DirectoryFileTest, ADirectoryThatDoesNotFitInMemoryIsRefused) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "sanitizers reserve address space of their own";
#else
    std::string body;
    for (int i = 0; i < 400000; ++i)
        body += "FILE 0 0 0 0 0 0 1 1 s folder/file number " + std::to_string(i) + ".txt\n";
    test::write_file(dir.file("big.txt"), directory(1004, body));
    EXPECT_EXIT(child_reads_a_directory_that_does_not_fit(dir.file("big.txt")), testing::ExitedWithCode(0),
                "");
#endif
}

TEST_F(DirectoryFileTest, TileRectanglesAreClippedToTheGrid) {
    ASSERT_EQ(read(directory(1004, "FILE 8 0 0 0 99 99 1 1 s a\n"
                                   "FILE 8 0 -5 -3 2 4 1 1 s b\n"
                                   "FILE 8 0 40 0 50 5 1 1 s c\n"
                                   "FILE 8 0 -9 -9 -1 -1 1 1 s d\n"
                                   "FILE 8 0 3 99999999999 4 2 1 1 s e\n")),
              0);
    ASSERT_EQ(out.packages.size(), 5u);
    auto rect = [&](size_t i) {
        const file_record& r = out.packages[i][0];
        return std::vector<int>{r.x0, r.y0, r.x1, r.y1};
    };
    EXPECT_EQ(rect(0), (std::vector<int>{0, 0, 35, 17}));
    EXPECT_EQ(rect(1), (std::vector<int>{0, 0, 2, 4}));
    for (size_t i = 2; i < 5; ++i) {
        SCOPED_TRACE(i);
        const file_record& r = out.packages[i][0];
        EXPECT_TRUE(r.x0 > r.x1 || r.y0 > r.y1); // empty stays empty
        EXPECT_TRUE(r.x0 >= 0 && r.y0 >= 0 && r.x1 < UTL_TILES_X && r.y1 < UTL_TILES_Y);
    }
    // The loops over the rectangles stay inside the grid (ASan watches the neighbours).
    INST_directory = out;
    INST_build_offered_tiles();
    int offered = 0;
    for (int cell : INST_offered_tiles.cells)
        offered += cell;
    EXPECT_EQ(offered, UTL_TILES_X * UTL_TILES_Y);
    INST_select_offered_tiles();
    EXPECT_EQ(INST_tile_rect_has_selection(-50, -50, 100, 100), 1);
}

TEST_F(DirectoryFileTest, NegativeSizesReadAsZero) {
    ASSERT_EQ(read(directory(1004, "FILE 0 0 0 0 0 0 -12 -1 s a\n")), 0);
    EXPECT_EQ(only().download_kb, 0.0f);
    EXPECT_EQ(only().expanded_kb, 0.0f);
    ASSERT_EQ(read(directory(1000, "FILE 0 0 0 -4 5 s a\n")), 0);
    EXPECT_EQ(only().download_kb, 0.0f);
    EXPECT_EQ(only().expanded_kb, 5.0f);
}

TEST(DirectoryFileDeathTest, APathEndingInASlashEndsTheProgram) {
    std::string err;
    EXPECT_EXIT(
        {
            const std::string folder = test::child_folder_with_log();
            test::write_file(
                folder + "directory.txt",
                directory(1004, "FILE 0 0 0 0 0 0 1 1 s Resources/\nFILE 0 0 0 0 0 0 1 1 s a\n"));
            install_directory out;
            UTL_read_directory_file(folder + "directory.txt", out);
            std::_Exit(77);
        },
        testing::ExitedWithCode(0), test::capture(err));
    EXPECT_THAT(err,
                testing::HasSubstr("I am reading the directory text file and found a path that has no "
                                   "file!\nThis is impossible to download or delete!\nIt is:\nResources/\n"));
    EXPECT_THAT(test::child_log(err), testing::HasSubstr("E/SYS: | (UTL_installer:316)\n"));
}

TEST(TileNameTest, ParsesTheLastComponent) {
    const struct {
        const char* path;
        bool ok;
        int x, y;
    } cases[] = {
        {"Global Scenery/p/+47-123.dsf", true, 5, 13},
        {"-90-180", true, 0, 0},
        {"x/+80+170.env", true, 35, 17},
        {"Earth nav data/+40-080/", true, 10, 13},
        {"-05-001.dsf", true, 17, 8},
        {"+90+000.dsf", false, 0, 0},
        {"+00+180.dsf", false, 0, 0},
        {"+47-12.dsf", false, 0, 0},
        {"47-1234", false, 0, 0},
        {"+47_123", false, 0, 0},
        {"+4a-123", false, 0, 0},
        {"+47-123/readme.txt", false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        int x = -1, y = -1;
        EXPECT_EQ(UTL_parse_tile_name(c.path, &x, &y), c.ok);
        if (c.ok) {
            EXPECT_EQ(x, c.x);
            EXPECT_EQ(y, c.y);
        } else {
            EXPECT_EQ(x, -1);
            EXPECT_EQ(y, -1);
        }
    }
    EXPECT_TRUE(UTL_is_global_scenery_path("Custom Scenery/default scenery/DSF 820/x"));
    EXPECT_TRUE(UTL_is_global_scenery_path("a/-global overlays-/b"));
    EXPECT_FALSE(UTL_is_global_scenery_path("-global overlays-/b"));
}

} // namespace
