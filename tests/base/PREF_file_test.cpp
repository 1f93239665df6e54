// Preferences files: the installer set saved and loaded through real files, command-line overrides,
// markers and hostile values.
#include <gtest/gtest.h>

#include <climits>

#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "base/http.h"
#include "support/test_support.h"

namespace {

class PreferencesTest : public testing::Test {
  protected:
    void SetUp() override {
        OPT_parse_only("");
        set_values("", "", 0, 0, 0, 0);
        for (auto& m : PREF_installer.messages)
            m.clear();
        PREF_installer.stream_count = 0;
    }
    void TearDown() override { OPT_parse_only(""); }

    static void set_values(const std::string& host, const std::string& port_text, int port, int beta, int log,
                           int streams) {
        HTTP_manager().proxy_host = host;
        HTTP_manager().proxy_port = port_text;
        HTTP_manager().port = port;
        PREF_installer.get_beta = beta;
        PREF_installer.log_actions = log;
        PREF_installer.stream_count = streams;
    }

    std::string file() const { return dir.path() + "/Aerivon Installer.prf"; }

    test::TempDir dir;
    test::ScopedEnv data_home{"XDG_DATA_HOME", dir.path()};
};

} // namespace

TEST_F(PreferencesTest, SaveWritesExactlyTheHeaderAndTheKeysInOrder) {
    set_values("my proxy", "8080", 8080, 1, 0, 3);
    PREF_load_save(11, 1);
    EXPECT_EQ(test::read_file(file()),
              "I\n10 version\n_stream_count 3\n_log_actions 0\n_proxy_host my proxy\n"
              "_proxy_port 8080\n_proxy_port_int 8080\n_get_beta 1\n");
}

TEST_F(PreferencesTest, SaveThenLoadGivesTheSameValues) {
    set_values("proxy.example", "3128", 3128, 1, 1, 7);
    PREF_installer.messages[0] = "first message";
    PREF_installer.messages[3] = "fourth, with  two blanks";
    PREF_load_save(11, 1);
    set_values("", "", 0, 0, 0, 0);
    PREF_installer.messages[0].clear();
    PREF_installer.messages[3].clear();
    PREF_load_save(11, 0);
    EXPECT_EQ(HTTP_manager().proxy_host, "proxy.example");
    EXPECT_EQ(HTTP_manager().proxy_port, "3128");
    EXPECT_EQ(HTTP_manager().port, 3128);
    EXPECT_EQ(PREF_installer.get_beta, 1);
    EXPECT_EQ(PREF_installer.log_actions, 1);
    EXPECT_EQ(PREF_installer.stream_count, 7);
    EXPECT_EQ(PREF_installer.messages[0], "first message");
    EXPECT_EQ(PREF_installer.messages[1], "");
    EXPECT_EQ(PREF_installer.messages[3], "fourth, with  two blanks");
}

TEST_F(PreferencesTest, LoadCases) {
    struct {
        const char* name;
        std::string text;
        const char* options;
        std::string host; // expected proxy host ("kept" is the value before the load)
        int beta;
    } cases[] = {
        {"keys with blanks in the value", "I\n10 version\n_get_beta 1\n_proxy_host my proxy\n", "",
         "my proxy", 1},
        {"the command line wins", "I\n10 version\n_get_beta 1\n_proxy_host my proxy\n",
         "--pref:_get_beta=0 --pref:_proxy_host=cmd.example", "cmd.example", 0},
        {"version 9 loads nothing", "I\n9 version\n_get_beta 1\n_proxy_host my proxy\n", "", "kept", 0},
        {"a foreign first line loads nothing", "X\n10 version\n_get_beta 1\n", "", "kept", 0},
        {"byte-order mark", "\xEF\xBB\xBFI\n10 version\n_proxy_host bom.example\n", "", "bom.example", 0},
        {"the later of two wins", "I\n10 version\n_proxy_host a\n_proxy_host b\n_get_beta 1\n_get_beta 0\n",
         "", "b", 0},
        {"CR LF lines", "I\r\n10 version\r\n_proxy_host crlf.example\r\n_get_beta 1\r\n", "", "crlf.example",
         1},
        {"a NUL where a key belongs is skipped", std::string("I\n10 version\n\0junk\n_get_beta 1\n", 30), "",
         "kept", 1},
        {"a NUL at the very end", std::string("I\n10 version\n_get_beta 1\n\0", 25), "", "kept", 1},
        {"no number is 0", "I\n10 version\n_get_beta yes\n", "", "kept", 0},
        {"leading digits count", "I\n10 version\n_get_beta 12abc\n", "", "kept", 12},
        {"too large saturates", "I\n10 version\n_get_beta 99999999999999999999\n", "", "kept", INT_MAX},
        {"too small saturates", "I\n10 version\n_get_beta -99999999999\n", "", "kept", INT_MIN},
        {"an empty file", "", "", "kept", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::write_file(file(), c.text);
        OPT_parse_only(c.options);
        set_values("kept", "", 0, 0, 0, 0);
        PREF_load_save(11, 0);
        EXPECT_EQ(HTTP_manager().proxy_host, c.host);
        EXPECT_EQ(PREF_installer.get_beta, c.beta);
    }
}

TEST_F(PreferencesTest, AMissingFileKeepsEveryValue) {
    set_values("kept", "81", 81, 1, 1, 2);
    PREF_load_save(11, 0);
    EXPECT_EQ(HTTP_manager().proxy_host, "kept");
    EXPECT_EQ(HTTP_manager().port, 81);
    EXPECT_EQ(PREF_installer.get_beta, 1);
}

TEST_F(PreferencesTest, AnEmptyTextIsNotWrittenAndLoadingLeavesItAlone) {
    set_values("", "", 0, 0, 0, 0);
    PREF_load_save(11, 1);
    std::string text = test::read_file(file());
    EXPECT_EQ(text.find("_proxy_host"), std::string::npos);
    EXPECT_EQ(text.find("_message_"), std::string::npos);
    EXPECT_NE(text.find("_proxy_port_int 0\n"), std::string::npos);
    HTTP_manager().proxy_host = "as it was";
    PREF_load_save(11, 0);
    EXPECT_EQ(HTTP_manager().proxy_host, "as it was");
}

TEST_F(PreferencesTest, LineBreaksInAValueCannotMakeKeys) {
    set_values("evil\r\n_get_beta 1\nx", "80", 80, 0, 0, 0);
    PREF_load_save(11, 1);
    EXPECT_NE(test::read_file(file()).find("_proxy_host evil  _get_beta 1 x\n"), std::string::npos);
    set_values("", "", 0, 0, 0, 0);
    PREF_load_save(11, 0);
    EXPECT_EQ(HTTP_manager().proxy_host, "evil  _get_beta 1 x");
    EXPECT_EQ(PREF_installer.get_beta, 0);
}

TEST_F(PreferencesTest, CommandLineValuesAreSavedToo) {
    test::write_file(file(), "I\n10 version\n_proxy_host from.file\n");
    OPT_parse_only("--pref:_proxy_host=proxy.test");
    PREF_load_save(11, 0);
    PREF_load_save(11, 1);
    EXPECT_NE(test::read_file(file()).find("\n_proxy_host proxy.test\n"), std::string::npos);
}

TEST_F(PreferencesTest, TheUnsafeMarkStaysUntilTheFileIsWrittenAgain) {
    const std::string path = file();
    test::write_file(path, "I\n10 version\n_get_beta 1\n");
    {
        pref_file f;
        PREF_open(f, path, 0, 1);
        EXPECT_EQ(f.unsafe, 0);
        PREF_close(f);
    }
    EXPECT_EQ(test::read_file(path), "I\n10 version\n_get_beta 1\nUNSAFE\n");
    {
        pref_file f;
        PREF_open(f, path, 0, 0);
        EXPECT_EQ(f.unsafe, 1);
        EXPECT_EQ(f.values.count("UNSAFE"), 0u);
        int beta = 0;
        EXPECT_TRUE(PREF_int(f, beta, "_get_beta"));
        EXPECT_EQ(beta, 1);
        std::string absent = "untouched";
        EXPECT_FALSE(PREF_string(f, absent, "_proxy_host"));
        EXPECT_EQ(absent, "untouched");
        PREF_close(f);
    }
    test::write_file(path, "I\n10 version\nUNSAFE\nAUTO_UPDATE now\n_get_beta 1\n");
    {
        pref_file f;
        PREF_open(f, path, 0, 0);
        EXPECT_EQ(f.unsafe, 0);
        EXPECT_EQ(f.values.size(), 1u) << f.values.begin()->first << "=" << f.values.begin()->second;
        PREF_close(f);
    }
    PREF_load_save(11, 1);
    {
        pref_file f;
        PREF_open(f, path, 0, 0);
        EXPECT_EQ(f.unsafe, 0);
        PREF_close(f);
    }
}
