// Mapped data files and resources, their scanners, the header check and the header writer.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/xmap.h"
#include "support/test_support.h"

namespace {

// A temporary Sim-Root folder with the log stream on a file in it.
class XmapTest : public testing::Test {
  protected:
    void SetUp() override {
        saved_root_ = FILE_sim_root;
        FILE_sim_root = dir_.path() + "/";
        log_path_ = dir_.file("log.txt");
        FILE_open_ofstream(LOG_stream, log_path_, std::ios_base::trunc, 1);
        ASSERT_TRUE(LOG_stream.good());
    }
    void TearDown() override {
        LOG_stream.close();
        LOG_stream.clear();
        FILE_sim_root = saved_root_;
        XMAP_set_granularity(static_cast<int>(sysconf(_SC_PAGESIZE)));
    }
    std::string log_text() {
        LOG_stream.flush();
        return test::read_file(log_path_);
    }
    void write(const std::string& rel, const std::string& bytes) { test::write_file(dir_.file(rel), bytes); }

    test::TempDir dir_;
    std::string saved_root_;
    std::string log_path_;
};

// Points `f` at a heap copy of `bytes` of exactly that size, so that ASan sees any read past the end.
struct HeapView {
    explicit HeapView(const std::string& bytes) : data(new char[bytes.size() ? bytes.size() : 1]) {
        std::memcpy(data, bytes.data(), bytes.size());
        f.base = f.cursor = data;
        f.end = data + bytes.size();
    }
    ~HeapView() { delete[] data; }
    char* data;
    xmap_file f;
};

const int kText = XMAP_TYPE_TEXT;
const int kBinary = XMAP_TYPE_BINARY;
const int kV1[] = {1, 0};

TEST_F(XmapTest, HeadersAreCheckedAsEachReaderAsks) {
    const int v10[] = {10, 0};
    const int v900[] = {900, 0};
    const int v1000[] = {1000, 1004, 0};
    struct Case {
        const char* name;
        std::string bytes;
        int type;
        const int* versions;
        const char* keyword;
        int result;
        std::string rest;      // the rest of the version line, when the check got there
        std::string next_word; // the word at the cursor after a passing check
    } cases[] = {
        {"bom text", "\xEF\xBB\xBFI\n10 version\nKEY value\n", kText, v10, nullptr, 10, "version", "KEY"},
        {"bom, wrong first line", "\xEF\xBB\xBFX\n10 version\n", kText, v10, nullptr, 0, "", ""},
        {"A first line", "A\n10 version\n", kText, v10, nullptr, 10, "version", ""},
        {"version not listed", "I\n11 version\n", kText, v10, nullptr, 0, "version", ""},
        {"copyright text", "I\n10 version (c) Someone\nX\n", kText, v10, nullptr, 10, "version (c) Someone",
         "X"},
        {"keyword", "I\n900 version\nTRANSLATION\nHELLO bonjour\n", kText, v900, "TRANSLATION", 900,
         "version", "HELLO"},
        {"keyword too long", "I\n900 version\nTRANSLATION\n", kText, v900, "TRANSLATIONS", 0, "version", ""},
        {"keyword continues", "I\n900 version\nTRANSLATION\n", kText, v900, "TRANS", 0, "version", ""},
        {"keyword at the end", "I\n1004 version\nINSTALLER", kText, v1000, "INSTALLER", 1004, "version", ""},
        {"crlf", "I\r\n1000 version\r\nSERVERS\r\nS1 a\r\n", kText, v1000, "SERVERS", 1000, "version", "S1"},
        {"keyword then blank", "I\n1000 version\nDVD x y\nNEXT\n", kText, v1000, "DVD", 1000, "version",
         "NEXT"},
        {"binary swapped", std::string("a\x00\x00\x03\xE8", 5), kBinary, v1000, nullptr, 1000, "", ""},
        {"binary little-endian", std::string("i\xEC\x03\x00\x00rest", 9), kBinary, v1000, nullptr, 1004, "",
         "rest"},
        {"binary wrong kind byte", std::string("b\xE8\x03\x00\x00", 5), kBinary, v1000, nullptr, 0, "", ""},
        {"binary cut short", std::string("i\xE8\x03", 3), kBinary, v1000, nullptr, 0, "", ""},
        {"only a bom", "\xEF\xBB\xBF", kText, v10, nullptr, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write("h.txt", c.bytes);
        xmap_file f("h.txt");
        ASSERT_NE(f.base, nullptr);
        std::string rest;
        EXPECT_EQ(check_file(f, c.type, c.versions, c.keyword, &rest), c.result);
        EXPECT_EQ(rest, c.rest);
        if (c.result != 0) {
            std::string word;
            XMAP_read_word(f, &word);
            EXPECT_EQ(word, c.next_word);
        }
        EXPECT_EQ(f.swap, std::string(c.name) == "binary swapped" ? 1 : 0);
    }
    xmap_file none;
    EXPECT_EQ(check_file(none, kText, v10, nullptr, nullptr), 0);
}

TEST_F(XmapTest, ScannersReadWordsLinesAndIntegers) {
    {
        HeapView v("-12 +7 -+3 99999999999 -2147483648 4294967295 1x");
        EXPECT_EQ(XMAP_read_int(v.f), -12);
        EXPECT_EQ(XMAP_read_int(v.f), 7);
        EXPECT_EQ(XMAP_read_int(v.f), 3);
        EXPECT_EQ(XMAP_read_int(v.f), 1215752191); // taken modulo 2^32, never a signed overflow
        EXPECT_EQ(XMAP_read_int(v.f), INT_MIN);
        EXPECT_EQ(XMAP_read_int(v.f), -1);
        EXPECT_EQ(XMAP_read_int(v.f), 10 + ('x' - '0')); // no character check
        EXPECT_EQ(XMAP_read_int(v.f), 0);
    }
    {
        HeapView v("A  B\r\n\r\n  C");
        std::string s;
        XMAP_read_line(v.f, &s);
        EXPECT_EQ(s, "A  B");
        EXPECT_EQ(*v.f.cursor, 'C');
    }
    {
        HeapView v(" \tword1\tword2\nx");
        std::string s;
        EXPECT_TRUE(XMAP_at_blank(v.f));
        XMAP_read_word(v.f, &s);
        EXPECT_EQ(s, "word1");
        EXPECT_TRUE(XMAP_at_blank(v.f));
        XMAP_read_word(v.f, &s);
        EXPECT_EQ(s, "word2");
        EXPECT_TRUE(XMAP_at_line_end(v.f));
        XMAP_read_word(v.f, &s);
        EXPECT_EQ(s, "");
    }
    {
        HeapView v(std::string("\x01\x02\x03\x04\x01\x02\x03\x04", 8));
        EXPECT_EQ(XMAP_read_int32(v.f), 0x04030201);
        v.f.swap = 1;
        EXPECT_EQ(XMAP_read_int32(v.f), 0x01020304);
        EXPECT_EQ(XMAP_read_int32(v.f), 0);
    }
    {
        HeapView v("key=1 key;2 key");
        EXPECT_FALSE(XMAP_match_token(v.f, "key", false, 0));
        EXPECT_TRUE(XMAP_match_token(v.f, "key", false, '='));
        EXPECT_EQ(*v.f.cursor, '=');
        v.f.cursor = v.f.base + 6;
        EXPECT_FALSE(XMAP_match_token(v.f, "key", true, '='));
        EXPECT_EQ(v.f.cursor, v.f.base + 6);
        v.f.cursor = v.f.base + 12;
        EXPECT_FALSE(XMAP_match_token(v.f, "key", false, 0)); // data ends with the literal
        EXPECT_TRUE(XMAP_match_token(v.f, "key", true, 0));
        EXPECT_EQ(v.f.cursor, v.f.end);
        v.f.cursor = v.f.base + 12;
        EXPECT_FALSE(XMAP_match_token(v.f, "keys", true, 0));
        EXPECT_EQ(v.f.cursor, v.f.base + 12);
    }
}

// Every scanner run to the end of data that ends in a digit with no newline reads nothing past it: both
// over an exact heap buffer (ASan) and over a mapped file of exactly one page.
TEST_F(XmapTest, ScannersStopAtTheEndOfTheData) {
    std::string bytes;
    while (bytes.size() < 4096 - 8)
        bytes += "ab 12\r\n";
    bytes.resize(4095, ' ');
    bytes += '7';
    ASSERT_EQ(bytes.size(), 4096u);
    write("page.txt", bytes);

    for (int mapped = 0; mapped < 2; ++mapped) {
        SCOPED_TRACE(mapped ? "mapped file" : "heap buffer");
        HeapView heap(bytes);
        xmap_file file(mapped ? "page.txt" : "");
        xmap_file& f = mapped ? file : heap.f;
        ASSERT_NE(f.base, nullptr);
        ASSERT_EQ(f.end - f.base, 4096);

        for (int scanner = 0; scanner < 5; ++scanner) {
            SCOPED_TRACE(scanner);
            f.cursor = f.base;
            std::string s;
            for (int guard = 0; f.cursor < f.end && guard < 10000; ++guard) {
                switch (scanner) {
                case 0:
                    XMAP_read_word(f, &s);
                    if (f.cursor < f.end)
                        ++f.cursor; // step over the blank or line end that stopped the word
                    break;
                case 1:
                    XMAP_read_line(f, &s);
                    break;
                case 2:
                    XMAP_read_int(f);
                    if (f.cursor < f.end)
                        ++f.cursor;
                    break;
                case 3:
                    XMAP_read_int32(f);
                    break;
                case 4:
                    if (!XMAP_match_token(f, "ab", true, 0))
                        ++f.cursor;
                    break;
                }
            }
            EXPECT_EQ(f.cursor, f.end);
            EXPECT_TRUE(XMAP_at_line_end(f));
            EXPECT_FALSE(XMAP_at_blank(f));
            EXPECT_EQ(XMAP_read_int(f), 0);
            EXPECT_EQ(XMAP_read_int32(f), 0);
            EXPECT_FALSE(XMAP_match_token(f, "7", false, 0));
        }
        f.cursor = f.end - 1;
        EXPECT_EQ(XMAP_read_int(f), 7);
        for (int left = 1; left <= 3; ++left) {
            f.cursor = f.end - left;
            EXPECT_EQ(XMAP_read_int32(f), 0);
            EXPECT_EQ(f.cursor, f.end);
        }
    }
}

TEST_F(XmapTest, OffsetsAndLengthsStayInsideTheFile) {
    std::string bytes(10000, 'x');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    write("big.txt", bytes);
    struct Case {
        int granularity;
        size_t offset, length;
        bool ok;
    } cases[] = {
        {4096, 0, 0, true},        {4096, 5000, 0, true},     {4096, 5000, 5000, true},
        {4096, 5000, 5001, false}, {4096, 9999, 1, true},     {4096, 10000, 0, false},
        {4096, 12000, 0, false},   {4096, 12000, 1, false},   {0, 5000, 100, true},
        {65536, 8193, 0, true},    {0, 10000, 0, false},      {4096, 1, SIZE_MAX, false},
        {3000, 3001, 10, true},    {65536, 9000, 1000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.granularity) + " " + std::to_string(c.offset) + " " +
                     std::to_string(c.length));
        XMAP_set_granularity(c.granularity);
        xmap_file f("big.txt", c.offset, c.length);
        if (!c.ok) {
            EXPECT_EQ(f.base, nullptr);
            EXPECT_EQ(f.map_addr, nullptr);
            continue;
        }
        ASSERT_NE(f.base, nullptr);
        const size_t want = c.length ? c.length : bytes.size() - c.offset;
        ASSERT_EQ(static_cast<size_t>(f.end - f.cursor), want);
        EXPECT_EQ(std::string(f.cursor, f.end), bytes.substr(c.offset, want));
        EXPECT_LE(f.base, f.cursor);
    }
    EXPECT_NE(log_text().find("Warning: remaining file space is 0 and offset is 10000 for file big.txt\n"),
              std::string::npos);
}

TEST_F(XmapTest, MissingAndEmptyFilesGiveNoView) {
    write("empty.txt", "");
    xmap_file f("empty.txt");
    EXPECT_EQ(f.base, nullptr);
    EXPECT_EQ(f.path, "empty.txt");
    EXPECT_EQ(XMAP_map(f, "missing.txt"), nullptr);
    EXPECT_EQ(log_text(), "");

    // Opening again closes what was open; closing keeps the path.
    write("a.txt", "I\n1 version\n");
    ASSERT_NE(XMAP_open(f, "a.txt"), nullptr);
    EXPECT_NE(f.map_addr, nullptr);
    EXPECT_EQ(XMAP_close(f), 0);
    EXPECT_EQ(f.base, nullptr);
    EXPECT_EQ(f.map_addr, nullptr);
    EXPECT_EQ(f.path, "a.txt");
}

int hook_calls = 0;

TEST_F(XmapTest, RefusedMappingRunsTheHookAndLogsTheError) {
    ASSERT_EQ(mkdir(dir_.file("folder").c_str(), 0777), 0);
    struct stat st;
    ASSERT_EQ(stat(dir_.file("folder").c_str(), &st), 0);
    if (st.st_size == 0)
        GTEST_SKIP() << "this file system gives folders no size, so no mapping is tried";
    hook_calls = 0;
    void (*memory_report)() = XMAP_mapping_failed_hook;
    EXPECT_NE(memory_report, nullptr);
    XMAP_mapping_failed_hook = [] { ++hook_calls; };
    xmap_file f("folder");
    XMAP_mapping_failed_hook = memory_report;
    EXPECT_EQ(f.base, nullptr);
    EXPECT_EQ(hook_calls, 1);
    EXPECT_NE(log_text().find("Mem file error.  Err=19, file=" + dir_.file("folder") + "\n"),
              std::string::npos);
}

TEST_F(XmapTest, ResourceNamesIgnoreCaseAndMapTheWholeResource) {
    const std::string disk =
        test::read_file(std::string(AERIVON_SOURCE_DIR) + "/tests/support/resources/Test_Resource.TXT");
    xmap_file f("RESOURCE:test_RESOURCE.txt", 3, 2);
    ASSERT_NE(f.base, nullptr);
    EXPECT_EQ(f.cursor, f.base);
    EXPECT_EQ(f.not_owned, 1);
    EXPECT_EQ(std::string(f.base, f.end), disk);
    const int v1[] = {1, 0};
    EXPECT_EQ(check_file(f, kText, v1, "TEST_RESOURCE", nullptr), 1);
    std::string word;
    XMAP_read_word(f, &word);
    EXPECT_EQ(word, "WORD");
    const char* bytes = f.base;
    EXPECT_EQ(XMAP_close(f), 0);
    EXPECT_EQ(std::string(bytes, disk.size()), disk); // resource bytes stay

    EXPECT_EQ(XMAP_map(f, "RESOURCE:no_such_resource.txt"), nullptr);
    EXPECT_EQ(XMAP_map(f, "RESOURCE:"), nullptr);
}

// Alerts of kinds 2 and 3 end the process, so each runs in a death-test child without a display. The
// child re-runs the test body up to the statement, so these tests make no temporary folders.
TEST(XmapDeathTest, PathRuleAndTypeAlertsAreFatal) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            test::route_log_to_stderr();
            FILE_sim_root = "/games/sim/";
            xmap_file f("x/games/sim/a.txt");
        },
        testing::ExitedWithCode(1), "not Sim-Root relative.*x/games/sim/a\\.txt.*xmap.*166");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            test::route_log_to_stderr();
            xmap_file f("a\\b.txt");
        },
        testing::ExitedWithCode(1), "bad dirchar.*a.b\\.txt.*xmap.*172");
    // "RESOURCE:" is case-sensitive: this is a relative file path, whose ':' breaks the path rule.
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            test::route_log_to_stderr();
            xmap_file f("resource:Test_Resource.TXT");
        },
        testing::ExitedWithCode(1), "bad dirchar.*resource:Test_Resource\\.TXT.*xmap.*172");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            test::route_log_to_stderr();
            xmap_file f("RESOURCE:Test_Resource.TXT");
            check_file(f, 3, kV1, nullptr, nullptr);
        },
        testing::ExitedWithCode(1), "Bad check_file type!.*RESOURCE:Test_Resource\\.TXT.*xmap.*41");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            test::route_log_to_stderr();
            x_ofstream out;
            ouf_open(out, "/nonexistent-folder/o.txt", 7, 1, "no-copyright-string");
        },
        testing::ExitedWithCode(1), "Bad ouf_open type!.*o\\.txt.*FILE_ops.*1285");
}

TEST_F(XmapTest, AbsolutePathsSkipThePathRules) {
    write("resource:x", "on disk\n");
    xmap_file f(dir_.file("resource:x"));
    ASSERT_NE(f.base, nullptr);
    EXPECT_EQ(std::string(f.base, f.end), "on disk\n");
}

TEST_F(XmapTest, OufOpenMakesTheFolderAndWritesTheHeader) {
    ASSERT_EQ(mkdir(dir_.file("Output").c_str(), 0777), 0);
    {
        x_ofstream out;
        ASSERT_TRUE(ouf_open(out, "Output/Prefs/X.PRF", kText, 10, "no-copyright-string"));
        out << "key " << 1.5 << "\n";
        out.close();
    }
    EXPECT_TRUE(FILE_is_folder("Output/Prefs/"));
    EXPECT_EQ(test::read_file(dir_.file("Output/Prefs/X.prf")), "I\n10 version\nkey 1.500000\n");
    struct stat st;
    EXPECT_NE(stat(dir_.file("Output/Prefs/X.PRF").c_str(), &st), 0);

    {
        x_ofstream out;
        ASSERT_TRUE(ouf_open(out, "lang.txt", kText, 900, " (c) Maker"));
        out << "TRANSLATION\n";
        out.close();
        xmap_file f("lang.txt");
        const int v[] = {900, 0};
        std::string rest;
        EXPECT_EQ(check_file(f, kText, v, "TRANSLATION", &rest), 900);
        EXPECT_EQ(rest, "version (c) Maker");
    }
    {
        x_ofstream out;
        ASSERT_TRUE(ouf_open(out, "data.BIN", kBinary, 1004, "no-copyright-string"));
        out.close();
        EXPECT_EQ(test::read_file(dir_.file("data.bin")), std::string("i\xEC\x03\x00\x00", 5));
        xmap_file f("data.bin");
        const int v[] = {1004, 0};
        EXPECT_EQ(check_file(f, kBinary, v, nullptr, nullptr), 1004);
        EXPECT_EQ(f.swap, 0);
    }
}

// The save-failure alert is a warning (kind 1): ouf_open returns false. The child removes the folder that
// its own run of the test body made, since it never returns to the destructor.
TEST(XmapDeathTest, OufOpenWarnsWhenAFileStandsWhereItsFolderShouldBe) {
    test::TempDir dir;
    test::write_file(dir.file("Output"), "a file, not a folder");
    const std::string saved_root = FILE_sim_root;
    FILE_sim_root = dir.path() + "/";
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            test::route_log_to_stderr();
            x_ofstream out;
            const bool ok = ouf_open(out, "Output/X.prf", kText, 10, "no-copyright-string");
            std::filesystem::remove_all(dir.path());
            std::_Exit(ok ? 3 : 0);
        },
        testing::ExitedWithCode(0), "I could not save the file!.*Output/X\\.prf.*FILE_ops.*1336");
    FILE_sim_root = saved_root;
    EXPECT_EQ(test::read_file(dir.file("Output")), "a file, not a folder");
}

} // namespace
